// CQuickTipDlg: shows one tip at a time from "tips.txt" and remembers where it
// stopped, so every showing continues with the next tip and the file is read
// in a cycle. Its settings are in the profile's "Tip" section.
#pragma once

#include <cstdio>

#include "framework/Dialog.h"
#include "framework/Strings.h"

class CQuickTipDlg : public CDialog {
public:
    // Reads the settings, opens the tips file and reads the tip to show.
    explicit CQuickTipDlg(CWnd* parent = nullptr);
    // Saves the reading position for the next showing.
    ~CQuickTipDlg() override;

    // The next tip line, with its line end, wrapping at the end of the file.
    // A file without a single tip gives a text saying so and is closed.
    void ReadNextTip(CString& tip);

    // "&Show Tips on StartUp".
    BOOL m_bShowAtStart;
    CString m_strTipText;

protected:
    // Open from construction to destruction; null when missing or tipless.
    std::FILE* m_pTipsFile;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    // Also stores whether tips show at start-up; Esc and the close box don't.
    void OnOK() override;

    const MessageMap* GetMessageMap() const override;
    static const MessageEntry messageEntries[];
    static const MessageMap messageMap;

private:
    void OnNextButton();
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT kind);

    void DisableNextTip();
    void ReportTrouble();
};
