#include "ui/AboutBoxDlg.h"

#include "resource.h"

CAboutBoxDlg::CAboutBoxDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}
