// The notification area as Wine shows it without a desktop tray: each icon is
// a "__winex11_tray_icon" window under a "__winex11_standalone_tray" window,
// and mouse messages posted to it reach the icon's owner as callbacks.
#pragma once

#include <windows.h>

#include <set>

namespace e2e {

std::set<HWND> TrayIcons();

// The icons that are not in before: the ones a program added since.
std::set<HWND> TrayIconsAddedSince(const std::set<HWND>& before);

void DoubleClickTrayIcon(HWND icon);
void RightClickTrayIcon(HWND icon);

// Waits for a popup menu of the process ("#32768") and chooses the item
// whose mnemonic is key, as typing the underlined letter does. False when no
// menu opened.
bool ChooseFromPopupMenu(DWORD pid, char key);
// The same for the menu's last item, by the arrow keys: up from the first
// item, or from none, wraps to the last.
bool ChooseLastFromPopupMenu(DWORD pid);

}  // namespace e2e
