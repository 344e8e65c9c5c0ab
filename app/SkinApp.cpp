#include "app/SkinApp.h"

#include <cstring>
#include <iterator>

#include "res/resource.h"
#include "tray/QuickTipDlg.h"
#include "ui/SkinSettingsDlg.h"

const char kStartHiddenSwitch[] = "-min";
const char kMainWindowTitle[] = "Zelvo";

namespace {

const char kMutexName[] = "Zelvo";

// Brings the first copy's window to the front.
void ActivateFirstCopy() {
    HWND window = FindWindowA(nullptr, kMainWindowTitle);
    if (!window) return;
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    ShowWindow(window, SW_SHOWNORMAL);
    BringWindowToTop(window);
    SetForegroundWindow(window);
}

}  // namespace

const MessageEntry CSkinApp::messageEntries[] = {
    OnCommand<&CSkinApp::ShowQuickTip>(ID_SHOW_QUICKTIP_APP),
};

const MessageMap CSkinApp::messageMap{&CWinApp::messageMap, messageEntries, std::size(messageEntries)};

const MessageMap* CSkinApp::GetMessageMap() const {
    return &messageMap;
}

CSkinApp::CSkinApp() : m_mutex(FALSE, kMutexName) {}

// The lock is tested before the switch is read, so a second copy started
// with "-min" still brings the first copy's window to the front.
BOOL CSkinApp::InitInstance() {
    if (!m_mutex.Lock(0)) {
        ActivateFirstCopy();
        return FALSE;
    }
    if (std::strstr(GetCommandLineA(), kStartHiddenSwitch)) m_bStartHidden = true;
    if (!m_bStartHidden) ShowQuickTipAtStart();
    Enable3dControls();

    CSkinSettingsDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

void CSkinApp::ShowQuickTipAtStart() {
    CCommandLineInfo commandLine;
    ParseCommandLine(commandLine);
    if (!commandLine.m_bShowSplash) return;
    CQuickTipDlg tip(nullptr);
    if (tip.m_bShowAtStart) tip.DoModal();
}

void CSkinApp::ShowQuickTip() {
    CQuickTipDlg tip(nullptr);
    tip.DoModal();
}
