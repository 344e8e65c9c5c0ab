#include "ui/AboutBoxDlg.h"

#include "res/resource.h"

CAboutBoxDlg::CAboutBoxDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}
