// CSkinApp: the application object. One copy of Zelvo runs at a time; it
// shows the Quick Tip at start-up when asked to, then runs the settings
// window as its main window until the user exits.
#pragma once

#include "framework/Sync.h"
#include "framework/WinApp.h"

class CSkinApp : public CWinApp {
public:
    // The mutex "Zelvo" is made here, not owned.
    CSkinApp();

    // The whole life of the process; always FALSE, so the process ends when
    // it returns.
    BOOL InitInstance() override;

    void ShowQuickTipAtStart();
    void ShowQuickTip();

    CMutex m_mutex;
    // "-min" on the command line: the settings window stays hidden until it
    // is restored from the tray.
    bool m_bStartHidden = false;

protected:
    const MessageMap* GetMessageMap() const override;
    static const MessageEntry messageEntries[];
    static const MessageMap messageMap;
};

// The switch that starts the program hidden in the tray.
extern const char kStartHiddenSwitch[];
// The title of the settings window, which a second copy looks for.
extern const char kMainWindowTitle[];
