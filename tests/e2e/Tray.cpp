#include "Tray.h"

#include "Harness.h"

namespace e2e {

namespace {

BOOL CALLBACK CollectIcon(HWND window, LPARAM param) {
    if (ClassName(window) == "__winex11_tray_icon") reinterpret_cast<std::set<HWND>*>(param)->insert(window);
    return TRUE;
}

BOOL CALLBACK CollectTray(HWND window, LPARAM param) {
    if (ClassName(window) == "__winex11_standalone_tray") EnumChildWindows(window, CollectIcon, param);
    return TRUE;
}

// Where on the icon the pointer is; the icon only passes the message on.
constexpr LPARAM kIconPoint = MAKELPARAM(8, 8);

}  // namespace

std::set<HWND> TrayIcons() {
    std::set<HWND> icons;
    EnumWindows(CollectTray, reinterpret_cast<LPARAM>(&icons));
    return icons;
}

std::set<HWND> TrayIconsAddedSince(const std::set<HWND>& before) {
    std::set<HWND> added;
    for (HWND icon : TrayIcons()) {
        if (!before.count(icon)) added.insert(icon);
    }
    return added;
}

void DoubleClickTrayIcon(HWND icon) {
    PostMessageA(icon, WM_LBUTTONDOWN, MK_LBUTTON, kIconPoint);
    PostMessageA(icon, WM_LBUTTONUP, 0, kIconPoint);
    PostMessageA(icon, WM_LBUTTONDBLCLK, MK_LBUTTON, kIconPoint);
    PostMessageA(icon, WM_LBUTTONUP, 0, kIconPoint);
}

void RightClickTrayIcon(HWND icon) {
    PostMessageA(icon, WM_RBUTTONDOWN, MK_RBUTTON, kIconPoint);
    PostMessageA(icon, WM_RBUTTONUP, 0, kIconPoint);
}

namespace {

HWND WaitPopupMenu(DWORD pid) {
    HWND menu = nullptr;
    WaitFor([&] {
        for (HWND window : TopLevelWindows(pid, "#32768", nullptr)) {
            if (IsWindowVisible(window)) menu = window;
        }
        return menu != nullptr;
    });
    return menu;
}

}  // namespace

bool ChooseFromPopupMenu(DWORD pid, char key) {
    HWND menu = WaitPopupMenu(pid);
    if (!menu) return false;
    PostMessageA(menu, WM_CHAR, static_cast<WPARAM>(key), 1);
    return true;
}

bool ChooseLastFromPopupMenu(DWORD pid) {
    HWND menu = WaitPopupMenu(pid);
    if (!menu) return false;
    PressKey(menu, VK_UP);
    PressKey(menu, VK_RETURN);
    return true;
}

}  // namespace e2e
