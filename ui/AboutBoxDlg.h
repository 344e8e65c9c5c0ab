// CAboutBoxDlg: the program's icon, name and version.
#pragma once

#include "framework/Dialog.h"

class CAboutBoxDlg : public CDialog {
public:
    explicit CAboutBoxDlg(CWnd* parent = nullptr);
};
