#include "framework/Menu.h"

#include "framework/WinApp.h"

BOOL CMenu::LoadMenu(UINT id) {
    DestroyMenu();
    m_hMenu = ::LoadMenuA(AfxFindResourceHandle(MAKEINTRESOURCEA(id), RT_MENU), MAKEINTRESOURCEA(id));
    m_bOwned = m_hMenu != nullptr;
    return m_bOwned;
}

BOOL CMenu::DestroyMenu() {
    HMENU menu = m_hMenu;
    bool owned = m_bOwned;
    m_hMenu = nullptr;
    m_bOwned = false;
    return owned && ::DestroyMenu(menu);
}

void CMenu::Attach(HMENU menu) {
    DestroyMenu();
    m_hMenu = menu;
}

BOOL CMenu::GetSubMenu(int position, CMenu& submenu) const {
    HMENU popup = ::GetSubMenu(m_hMenu, position);
    submenu.Attach(popup);
    return popup != nullptr;
}
