// CMenu: a menu handle, destroyed with the object when the object loaded it.
#pragma once

#include <windows.h>

class CMenu {
public:
    CMenu() = default;
    ~CMenu() { DestroyMenu(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    BOOL LoadMenu(UINT id);
    BOOL DestroyMenu();
    // Wraps a menu that someone else owns (a submenu, the system menu).
    void Attach(HMENU menu);

    // The popup at position, wrapped in submenu; FALSE when there is none.
    BOOL GetSubMenu(int position, CMenu& submenu) const;
    UINT GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    BOOL SetDefaultItem(UINT item, BOOL byPosition) { return SetMenuDefaultItem(m_hMenu, item, byPosition); }
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const char* text = nullptr) {
        return ::AppendMenuA(m_hMenu, flags, id, text);
    }
    BOOL TrackPopupMenu(UINT flags, int x, int y, HWND owner, const RECT* rect = nullptr) {
        return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner, rect);
    }

    HMENU m_hMenu = nullptr;

private:
    bool m_bOwned = false;
};
