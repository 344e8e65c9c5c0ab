// What the tray tests share: a main window that records the commands it
// gets, a tray icon whose state can be read, and the shell's icon windows.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <windows.h>

#include "tray/TrayIcon.h"

inline bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const RECT& r, std::ostream* out) {
    *out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

constexpr UINT kCallbackMessage = WM_APP + 10;
constexpr UINT kIconId = 131;

// The thread's main window in the tests: a visible popup that records every
// WM_COMMAND it receives, and lets a test act once a popup menu it owns is
// open and idle.
class CommandWindow : public CWnd {
public:
    BOOL Create(int x, int y);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    std::vector<std::pair<WPARAM, LPARAM>> commands;
    // Runs once, with the menu's window, then is cleared.
    std::function<void(HWND menuWindow)> onMenu;

private:
    // Closes the menu if it is still open a while after onMenu acted.
    UINT_PTR m_menuWatchdog = 0;
};

// A visible window of another thread, as another program's window would be;
// made the foreground window by Activate.
class ForeignWindow {
public:
    ForeignWindow();
    ~ForeignWindow();
    ForeignWindow(const ForeignWindow&) = delete;
    ForeignWindow& operator=(const ForeignWindow&) = delete;

    // TRUE once it is the foreground window.
    bool Activate() const;

    HWND m_hWnd = nullptr;

private:
    std::thread m_thread;
    DWORD m_threadId = 0;
};

// What a test saw of an open popup menu.
struct MenuSeen {
    bool open = false;
    RECT window{};
    int items = 0;
    UINT defaultPosition = static_cast<UINT>(-1);
    UINT defaultCommand = static_cast<UINT>(-1);
    bool firstItemDefault = false;
    HWND foreground = nullptr;
};

// Records what the open menu shows into seen, then clicks its item at
// position, or presses Escape when position is negative.
std::function<void(HWND)> ReadMenuThenChoose(MenuSeen& seen, int position);

// The icon's flags as (hidden, deleted, add pending).
using IconFlags = std::tuple<BOOL, BOOL, BOOL>;
constexpr IconFlags kShown{FALSE, FALSE, FALSE};
constexpr IconFlags kDeleted{TRUE, TRUE, FALSE};

class ProbeTrayIcon : public CTrayIcon {
public:
    struct Notification {
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result;
    };

    LRESULT OnIconNotify(WPARAM wParam, LPARAM lParam) override;

    const NOTIFYICONDATAA& Record() const { return m_nid; }
    UINT AddFlags() const { return m_addFlags; }
    IconFlags Flags() const { return {m_bIconHidden, m_bIconDeleted, m_bAddPending}; }
    static HWND HiddenParent() { return s_hiddenParent.m_hWnd; }

    // Creates the icon as the settings dialog does, with the given tip.
    BOOL CreateAsProgram(HICON icon, const char* tip = "Click here to setup Zelvo.", UINT id = kIconId);

    std::vector<Notification> notifications;
};

HICON ProgramIcon();

// The shell's window for each notification icon when there is no taskbar:
// children of Wine's standalone tray.
std::vector<HWND> IconWindows();
// The icon window that is not among before; null if there is none.
HWND NewIconWindow(const std::vector<HWND>& before);

// Adds or removes the icon behind the object's back, as a shell that loses or
// keeps its icons would.
BOOL ShellAdd(const NOTIFYICONDATAA& record, UINT flags);
BOOL ShellDelete(const NOTIFYICONDATAA& record);

// Sends message to every top-level window, waiting for each.
void Broadcast(UINT message, WPARAM wParam, LPARAM lParam);
