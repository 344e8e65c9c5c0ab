#include "TipSession.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tray/QuickTipDlg.h"

namespace {

constexpr UINT kTickMs = 20;
// From the end of the script until the dialog must be gone.
constexpr DWORD kCloseLimitMs = 5000;
// The whole showing, message boxes included, on a loaded machine.
constexpr DWORD kSessionLimitMs = 30000;
constexpr INT_PTR kEndedByForce = 0x5151;

struct Session {
    const TipScript* script;
    Showing showing;
    bool hooked = false;
    HWND dialog = nullptr;
    bool scriptRan = false;
    DWORD scriptEnd = 0;
    bool leftOpen = false;
};

thread_local Session* t_session = nullptr;

std::string TextOf(HWND window) {
    std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1);
    int length = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return std::string(text.data(), static_cast<size_t>(length));
}

// A message box's text is its one static control with text.
BOOL CALLBACK FindMessageText(HWND child, LPARAM found) {
    char className[16] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0 || GetWindowTextLengthA(child) == 0) return TRUE;
    *reinterpret_cast<std::string*>(found) = TextOf(child);
    return FALSE;
}

bool IsDialog(HWND window) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    return lstrcmpA(className, "#32770") == 0;
}

// The Quick Tip dialog is noted for the script; a message box is read and
// answered with OK. (Other activations, like that of no window when the
// dialog goes, are none of the test's business.)
LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && IsDialog(window)) {
        if (GetDlgItem(window, IDC_TIPTEXT)) {
            t_session->dialog = window;
        } else {
            std::string text;
            EnumChildWindows(window, &FindMessageText, reinterpret_cast<LPARAM>(&text));
            t_session->showing.messageBoxes.push_back(text);
            PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Runs the script once the dialog is up; ends a dialog the script left open.
void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    Session& session = *t_session;
    if (!session.dialog || !IsWindowVisible(session.dialog)) return;
    if (!session.scriptRan) {
        session.scriptRan = true;
        (*session.script)(TipWindow(session.dialog));
        session.scriptEnd = GetTickCount();
    } else if (GetTickCount() - session.scriptEnd > kCloseLimitMs && !session.leftOpen) {
        session.leftOpen = true;
        EndDialog(session.dialog, kEndedByForce);
    }
}

DWORD WINAPI RunSession(void* parameter) {
    Session& session = *static_cast<Session*>(parameter);
    t_session = &session;
    HHOOK hook = SetWindowsHookExA(WH_CBT, &OnCbt, nullptr, GetCurrentThreadId());
    session.hooked = hook != nullptr;
    if (session.hooked) {
        CQuickTipDlg dialog(nullptr);
        session.showing.showAtStart = dialog.m_bShowAtStart != FALSE;
        if (*session.script) {
            UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, &OnTick);
            session.showing.result = dialog.DoModal();
            KillTimer(nullptr, timer);
        }
    }
    if (session.hooked) UnhookWindowsHookEx(hook);
    return 0;
}

}  // namespace

std::string TipWindow::Tip() const {
    return TextOf(GetDlgItem(m_hWnd, IDC_TIPTEXT));
}

bool TipWindow::IsEnabled(int id) const {
    return IsWindowEnabled(GetDlgItem(m_hWnd, id)) != FALSE;
}

bool TipWindow::IsChecked(int id) const {
    return IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

bool TipWindow::HasFocus(int id) const {
    return GetFocus() == GetDlgItem(m_hWnd, id);
}

void TipWindow::Click(int id) const {
    SendMessageA(GetDlgItem(m_hWnd, id), BM_CLICK, 0, 0);
}

void TipWindow::Press(UINT key) const {
    HWND focus = GetFocus();
    HWND target = focus && IsChild(m_hWnd, focus) ? focus : m_hWnd;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

void TipWindow::CloseBox() const {
    SendMessageA(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

Showing ShowQuickTip(const TipScript& script) {
    Session session{&script, {}};
    HANDLE thread = CreateThread(nullptr, 0, &RunSession, &session, 0, nullptr);
    if (!thread) {
        ADD_FAILURE() << "no thread for the dialog, error " << GetLastError();
        return session.showing;
    }
    if (WaitForSingleObject(thread, kSessionLimitMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the Quick Tip dialog did not end within " << kSessionLimitMs / 1000
                      << " s; stopping, since its thread cannot be";
        std::fflush(stdout);
        ExitProcess(3);
    }
    CloseHandle(thread);
    EXPECT_TRUE(session.hooked) << "no hook to answer message boxes with";
    if (script) {
        EXPECT_TRUE(session.scriptRan) << "the dialog did not come up; DoModal gave " << session.showing.result;
        EXPECT_FALSE(session.leftOpen) << "the dialog was still open " << kCloseLimitMs / 1000
                                       << " s after the script";
    }
    return session.showing;
}
