#include "tray/TrayIcon.h"

#include <cstddef>
#include <cstring>
#include <iterator>

#include "framework/WinApp.h"

const CRuntimeClass CTrayIcon::classCTrayIcon{"CTrayIcon", nullptr, &CWnd::classCWnd};

// Registered before the application starts, so the message map can name it.
const UINT CTrayIcon::s_taskbarCreatedMsg = RegisterWindowMessageA("TaskbarCreated");

CWnd CTrayIcon::s_hiddenParent;

const MessageEntry CTrayIcon::messageEntries[] = {
    OnMessage<WM_SETTINGCHANGE, &CTrayIcon::OnSettingChange>(),
    OnRegisteredMessage<&CTrayIcon::OnTaskbarRestart>(&CTrayIcon::s_taskbarCreatedMsg),
};

const MessageMap CTrayIcon::messageMap{&CWnd::messageMap, messageEntries, std::size(messageEntries)};

namespace {

BOOL IsNewShell() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

// Copies at most maxBytes bytes of text into dest and ends it there, without
// splitting a double-byte character.
void CopyCut(char* dest, const char* text, std::size_t maxBytes) {
    std::size_t length = 0;
    while (text && text[length] && length < maxBytes) {
        std::size_t step = IsDBCSLeadByte(static_cast<BYTE>(text[length])) && text[length + 1] ? 2 : 1;
        if (length + step > maxBytes) break;
        length += step;
    }
    if (length) std::memcpy(dest, text, length);
    dest[length] = '\0';
}

// The notification area without the clock, or the whole taskbar when it has
// no notification window.
BOOL CALLBACK NarrowToNotificationArea(HWND child, LPARAM param) {
    auto* rect = reinterpret_cast<RECT*>(param);
    char className[255];
    if (!GetClassNameA(child, className, static_cast<int>(std::size(className)))) return TRUE;
    if (std::strcmp(className, "TrayNotifyWnd") == 0) {
        GetWindowRect(child, rect);
        return TRUE;
    }
    if (std::strcmp(className, "TrayClockWClass") != 0) return TRUE;
    RECT clock;
    GetWindowRect(child, &clock);
    // A clock well above the bottom sits on top of the icons of a vertical
    // taskbar; otherwise it ends a horizontal one on the right.
    if (clock.bottom < rect->bottom - 5) {
        rect->top = clock.bottom;
    } else {
        rect->right = clock.left;
    }
    return FALSE;
}

}  // namespace

CTrayIcon::CTrayIcon() : m_bNewShell(IsNewShell()) {
    std::memset(&m_nid, 0, sizeof m_nid);
}

CTrayIcon::~CTrayIcon() {
    DeleteIcon();
    DestroyWindow();
}

const CRuntimeClass* CTrayIcon::GetRuntimeClass() const {
    return &classCTrayIcon;
}

const MessageMap* CTrayIcon::GetMessageMap() const {
    return &messageMap;
}

BOOL CTrayIcon::Create(CWnd* callbackWnd, UINT callbackMessage, const char* tip, HICON icon, UINT id, BOOL hidden,
                       const char* infoText, const char* infoTitle, DWORD infoFlags, UINT infoTimeoutSeconds) {
    m_bTraySupported = LOBYTE(LOWORD(GetVersion())) >= 4;
    if (!m_bTraySupported) return FALSE;

    CreateEx(0, AfxRegisterWndClass(0), "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr);

    m_nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
    m_nid.hWnd = callbackWnd && callbackWnd->m_hWnd ? callbackWnd->m_hWnd : m_hWnd;
    m_nid.uID = id;
    m_nid.hIcon = icon;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = callbackMessage;
    CopyCut(m_nid.szTip, tip, sizeof m_nid.szTip - 1);

    const bool withInfo = m_bNewShell && infoText;
    if (withInfo) {
        m_nid.uFlags |= NIF_INFO;
        CopyCut(m_nid.szInfo, infoText, sizeof m_nid.szInfo - 1);
        CopyCut(m_nid.szInfoTitle, infoTitle, sizeof m_nid.szInfoTitle - 1);
        m_nid.uTimeout = infoTimeoutSeconds * 1000;
        m_nid.dwInfoFlags = infoFlags;
    }

    m_bIconHidden = hidden;
    if (m_bNewShell && hidden) {
        m_nid.uFlags = NIF_STATE;
        m_nid.dwState = NIS_HIDDEN;
        m_nid.dwStateMask = NIS_HIDDEN;
    }
    m_addFlags = m_nid.uFlags;

    BOOL result = TRUE;
    if (!hidden || m_bNewShell) {
        result = Shell_NotifyIconA(NIM_ADD, &m_nid);
        m_bIconDeleted = m_bIconHidden = m_bAddPending = !result;
    }
    // The balloon is shown once, not again by a later add.
    if (withInfo) m_nid.szInfo[0] = '\0';
    return result;
}

BOOL CTrayIcon::DeleteIcon() {
    m_bAddPending = FALSE;
    if (!m_bTraySupported || m_bIconDeleted) return TRUE;
    m_nid.uFlags = 0;
    if (Shell_NotifyIconA(NIM_DELETE, &m_nid)) m_bIconHidden = m_bIconDeleted = TRUE;
    return m_bIconDeleted;
}

BOOL CTrayIcon::LoadTrayMenu(CMenu& menu, CMenu& popup) const {
    return menu.LoadMenu(LOWORD(m_nid.uID)) && menu.GetSubMenu(0, popup);
}

BOOL CTrayIcon::SetDefaultItem(UINT item, BOOL byPosition) {
    if (item == m_defaultItem && !byPosition == !m_bDefaultByPosition) return TRUE;
    m_defaultItem = item;
    m_bDefaultByPosition = byPosition;
    CMenu menu;
    CMenu popup;
    if (!LoadTrayMenu(menu, popup)) return FALSE;
    popup.SetDefaultItem(m_defaultItem, m_bDefaultByPosition);
    return TRUE;
}

LRESULT CTrayIcon::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == m_nid.uCallbackMessage) return OnIconNotify(wParam, lParam);
    return CWnd::WindowProc(message, wParam, lParam);
}

LRESULT CTrayIcon::OnIconNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != m_nid.uID) return 0;
    CWinThread* thread = AfxGetThread();
    CWnd* target = thread ? thread->GetMainWnd() : nullptr;
    if (!target || !IsWindow(target->m_hWnd)) return 0;

    switch (LOWORD(lParam)) {
    case WM_RBUTTONUP: {
        CMenu menu;
        CMenu popup;
        if (!LoadTrayMenu(menu, popup)) return 0;
        popup.SetDefaultItem(m_defaultItem, m_bDefaultByPosition);
        PrepareMenu(&popup);
        POINT cursor;
        GetCursorPos(&cursor);
        // The menu closes when the user clicks elsewhere only if its owner is
        // in front; the null message afterwards lets a second click open it.
        target->SetForegroundWindow();
        popup.TrackPopupMenu(0, cursor.x, cursor.y, target->m_hWnd);
        target->PostMessage(WM_NULL, 0, 0);
        return 1;
    }
    case WM_LBUTTONDBLCLK: {
        target->SetForegroundWindow();
        UINT command = m_defaultItem;
        if (m_bDefaultByPosition) {
            CMenu menu;
            CMenu popup;
            if (!LoadTrayMenu(menu, popup)) return 0;
            command = popup.GetMenuItemID(static_cast<int>(m_defaultItem));
        }
        target->PostMessage(WM_COMMAND, command, 0);
        return 1;
    }
    default:
        return 1;
    }
}

void CTrayIcon::PrepareMenu(CMenu*) {}

void CTrayIcon::RetryAddIcon() {
    if (!m_bAddPending || m_bIconHidden) return;
    m_nid.uFlags = m_addFlags;
    m_bIconHidden = m_bAddPending = !Shell_NotifyIconA(NIM_ADD, &m_nid);
}

LRESULT CTrayIcon::OnTaskbarRestart(WPARAM, LPARAM) {
    m_bAddPending = TRUE;
    RetryAddIcon();
    return 0;
}

void CTrayIcon::OnSettingChange(UINT flags, const char* section) {
    CWnd::OnSettingChange(flags, section);
    if (flags != SPI_SETWORKAREA) return;
    m_bAddPending = !m_bIconHidden;
    RetryAddIcon();
}

void CTrayIcon::FindTrayRect(RECT* rect) {
    if (HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr)) {
        ::GetWindowRect(taskbar, rect);
        EnumChildWindows(taskbar, &NarrowToNotificationArea, reinterpret_cast<LPARAM>(rect));
        return;
    }

    APPBARDATA bar{};
    bar.cbSize = sizeof bar;
    if (SHAppBarMessage(ABM_GETTASKBARPOS, &bar)) {
        switch (bar.uEdge) {
        case ABE_LEFT:
        case ABE_RIGHT:
            *rect = {bar.rc.left, bar.rc.bottom - 100, bar.rc.right, bar.rc.bottom - 16};
            break;
        case ABE_TOP:
        case ABE_BOTTOM:
            *rect = {bar.rc.right - 100, bar.rc.top, bar.rc.right - 16, bar.rc.bottom};
            break;
        default:
            break;
        }
        return;
    }

    SystemParametersInfoA(SPI_GETWORKAREA, 0, rect, 0);
    rect->left = rect->right - 150;
    rect->top = rect->bottom - 30;
}

BOOL CTrayIcon::IsWindowAnimationOn() {
    ANIMATIONINFO animation{};
    animation.cbSize = sizeof animation;
    SystemParametersInfoA(SPI_GETANIMATION, sizeof animation, &animation, 0);
    return animation.iMinAnimate != 0;
}

BOOL CTrayIcon::DetachFromTaskbar(CWnd* wnd) {
    if (!IsWindow(s_hiddenParent.m_hWnd) &&
        !s_hiddenParent.CreateEx(0, AfxRegisterWndClass(0), "", WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr)) {
        return FALSE;
    }
    wnd->SetParent(&s_hiddenParent);
    return TRUE;
}

void CTrayIcon::HideToTray(CWnd* wnd, BOOL forceAnimation) {
    if (forceAnimation || IsWindowAnimationOn()) {
        RECT from;
        wnd->GetWindowRect(&from);
        RECT to = from;
        FindTrayRect(&to);
        DrawAnimatedRects(wnd->m_hWnd, IDANI_CAPTION, &from, &to);
    }
    DetachFromTaskbar(wnd);
    // The bit alone: no position change carries a hide flag.
    wnd->ModifyStyle(WS_VISIBLE, 0);
}

void CTrayIcon::RestoreFromTray(CWnd* wnd, BOOL forceAnimation) {
    if (forceAnimation || IsWindowAnimationOn()) {
        RECT to;
        wnd->GetWindowRect(&to);
        RECT from = to;
        FindTrayRect(&from);
        wnd->SetParent(nullptr);
        DrawAnimatedRects(wnd->m_hWnd, IDANI_CAPTION, &from, &to);
    } else {
        wnd->SetParent(nullptr);
    }
    // The bit alone, so a filter that strips show flags from position changes
    // can't keep the window hidden.
    wnd->ModifyStyle(0, WS_VISIBLE);
    wnd->RedrawWindow(nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
    if (s_hiddenParent.m_hWnd) s_hiddenParent.SetActiveWindow();
    wnd->SetActiveWindow();
    wnd->SetForegroundWindow();
}
