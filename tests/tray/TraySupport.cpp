#include "TraySupport.h"

#include <algorithm>
#include <future>

#include "framework/WinApp.h"
#include "resource.h"
#include "tests/framework/WindowTesting.h"

// The application object: the tray icon sends its commands to its main window.
CWinApp theApp;

BOOL CommandWindow::Create(int x, int y) {
    const char* windowClass =
        AfxRegisterWndClass(0, LoadCursor(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    return CreateEx(0, windowClass, "Zelvo test", WS_POPUP | WS_CAPTION | WS_VISIBLE, x, y, 240, 160, nullptr,
                    nullptr);
}

namespace {

// A lost click would leave the menu open and the test waiting for ever.
void CALLBACK CloseForgottenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EndMenu();
}

}  // namespace

LRESULT CommandWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) commands.emplace_back(wParam, lParam);
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU && onMenu) {
        auto act = std::move(onMenu);
        onMenu = nullptr;
        act(reinterpret_cast<HWND>(lParam));
        m_menuWatchdog = SetTimer(nullptr, 0, 5000, &CloseForgottenMenu);
    }
    if (message == WM_EXITMENULOOP && m_menuWatchdog) {
        KillTimer(nullptr, m_menuWatchdog);
        m_menuWatchdog = 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

ForeignWindow::ForeignWindow() {
    std::promise<std::pair<HWND, DWORD>> made;
    std::future<std::pair<HWND, DWORD>> window = made.get_future();
    m_thread = std::thread([made = std::move(made)]() mutable {
        HWND own = CreateWindowExA(0, "STATIC", "Another program", WS_POPUP | WS_CAPTION | WS_VISIBLE, 600, 480, 200,
                                   120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        made.set_value({own, GetCurrentThreadId()});
        MSG msg;
        while (own && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        if (own) DestroyWindow(own);
    });
    std::tie(m_hWnd, m_threadId) = window.get();
}

ForeignWindow::~ForeignWindow() {
    PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
    m_thread.join();
}

bool ForeignWindow::Activate() const {
    SetForegroundWindow(m_hWnd);
    return PumpUntil([&] { return GetForegroundWindow() == m_hWnd; });
}

std::function<void(HWND)> ReadMenuThenChoose(MenuSeen& seen, int position) {
    return [&seen, position](HWND menuWindow) {
        seen.open = true;
        seen.foreground = GetForegroundWindow();
        GetWindowRect(menuWindow, &seen.window);
        auto menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
        seen.items = GetMenuItemCount(menu);
        seen.defaultPosition = GetMenuDefaultItem(menu, TRUE, 0);
        seen.defaultCommand = GetMenuDefaultItem(menu, FALSE, 0);
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STATE;
        seen.firstItemDefault = GetMenuItemInfoA(menu, 0, TRUE, &info) && (info.fState & MFS_DEFAULT);
        RECT item;
        if (position >= 0 && GetMenuItemRect(menuWindow, menu, static_cast<UINT>(position), &item)) {
            ClickAt(CentreOf(item));
        } else {
            PressKey(VK_ESCAPE);
        }
    };
}

LRESULT ProbeTrayIcon::OnIconNotify(WPARAM wParam, LPARAM lParam) {
    LRESULT result = CTrayIcon::OnIconNotify(wParam, lParam);
    notifications.push_back({wParam, lParam, result});
    return result;
}

BOOL ProbeTrayIcon::CreateAsProgram(HICON icon, const char* tip, UINT id) {
    return Create(nullptr, kCallbackMessage, tip, icon, id, FALSE, nullptr, nullptr, 0, 10);
}

HICON ProgramIcon() {
    return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

std::vector<HWND> IconWindows() {
    std::vector<HWND> icons;
    HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
    if (!tray) return icons;
    for (HWND icon = FindWindowExA(tray, nullptr, "__winex11_tray_icon", nullptr); icon;
         icon = FindWindowExA(tray, icon, "__winex11_tray_icon", nullptr)) {
        icons.push_back(icon);
    }
    return icons;
}

HWND NewIconWindow(const std::vector<HWND>& before) {
    for (HWND icon : IconWindows()) {
        if (std::find(before.begin(), before.end(), icon) == before.end()) return icon;
    }
    return nullptr;
}

BOOL ShellAdd(const NOTIFYICONDATAA& record, UINT flags) {
    NOTIFYICONDATAA copy = record;
    copy.uFlags = flags;
    return Shell_NotifyIconA(NIM_ADD, &copy);
}

BOOL ShellDelete(const NOTIFYICONDATAA& record) {
    NOTIFYICONDATAA copy = record;
    copy.uFlags = 0;
    return Shell_NotifyIconA(NIM_DELETE, &copy);
}

void Broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
    SendMessageTimeoutA(HWND_BROADCAST, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, nullptr);
}
