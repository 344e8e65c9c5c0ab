// A list view of another process. Messages that carry a pointer need the
// record in that process's memory: one block is borrowed there for the
// lifetime of this object.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

class RemoteListView {
public:
    RemoteListView(HWND listView, HANDLE process);
    ~RemoteListView();
    RemoteListView(const RemoteListView&) = delete;
    RemoteListView& operator=(const RemoteListView&) = delete;

    bool Valid() const { return m_block != nullptr; }
    int Count() const;
    // The first selected row, or -1.
    int Selected() const;
    // The row's text (its first column).
    std::string ItemText(int row) const;
    // The row's icon rectangle in the list view's client coordinates.
    RECT ItemRect(int row) const;
    // Selects (and focuses) row, or clears the selection when row is -1.
    void Select(int row) const;
    // A left click at a point of the client area.
    void ClickAt(POINT point) const;
    void ClickRow(int row) const;

private:
    HWND m_listView;
    HANDLE m_process;
    void* m_block = nullptr;
};

}  // namespace e2e
