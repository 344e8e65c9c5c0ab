#include "RemoteListView.h"

#include <commctrl.h>

namespace e2e {

namespace {

constexpr SIZE_T kBlockSize = 4096;
// Where in the block a text is placed, after the record that points to it.
constexpr SIZE_T kTextOffset = 1024;

}  // namespace

RemoteListView::RemoteListView(HWND listView, HANDLE process) : m_listView(listView), m_process(process) {
    m_block = VirtualAllocEx(process, nullptr, kBlockSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteListView::~RemoteListView() {
    if (m_block) VirtualFreeEx(m_process, m_block, 0, MEM_RELEASE);
}

int RemoteListView::Count() const {
    return static_cast<int>(SendMessageA(m_listView, LVM_GETITEMCOUNT, 0, 0));
}

int RemoteListView::Selected() const {
    return static_cast<int>(SendMessageA(m_listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::string RemoteListView::ItemText(int row) const {
    char* remoteText = static_cast<char*>(m_block) + kTextOffset;
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = remoteText;
    item.cchTextMax = static_cast<int>(kBlockSize - kTextOffset);
    WriteProcessMemory(m_process, m_block, &item, sizeof item, nullptr);
    const LRESULT length = SendMessageA(m_listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                                        reinterpret_cast<LPARAM>(m_block));
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) ReadProcessMemory(m_process, remoteText, text.data(), text.size(), nullptr);
    return text;
}

RECT RemoteListView::ItemRect(int row) const {
    RECT rect{LVIR_ICON, 0, 0, 0};
    WriteProcessMemory(m_process, m_block, &rect, sizeof rect, nullptr);
    if (!SendMessageA(m_listView, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(m_block)))
        return RECT{};
    ReadProcessMemory(m_process, m_block, &rect, sizeof rect, nullptr);
    return rect;
}

void RemoteListView::Select(int row) const {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = row < 0 ? 0 : LVIS_SELECTED | LVIS_FOCUSED;
    WriteProcessMemory(m_process, m_block, &item, sizeof item, nullptr);
    SendMessageA(m_listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(m_block));
}

void RemoteListView::ClickAt(POINT point) const {
    const LPARAM where = MAKELPARAM(point.x, point.y);
    PostMessageA(m_listView, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageA(m_listView, WM_LBUTTONUP, 0, where);
}

void RemoteListView::ClickRow(int row) const {
    RECT rect = ItemRect(row);
    ClickAt(POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

}  // namespace e2e
