// Resource and command ids shared by the resource scripts and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_SKINSETTINGS 102
#define IDD_QUICKTIP 104
#define ID_SHOW_QUICKTIP_APP 105
#define IDS_TIPS_MISSING 108
#define IDS_TIPS_TROUBLE 109
#define IDS_TIPS_NONE 110
#define IDR_MAINFRAME 128
#define IDR_TRAYMENU 131

// The settings window's controls.
#define IDC_SKINLIST 1001
#define IDC_ADD 1002
#define IDC_REMOVE 1003
#define IDC_RUNATSTARTUP 1005
#define IDC_CLEAREXIT 1007
#define IDC_TELLFRIEND 1008

// The Quick Tip dialog's controls.
#define IDC_SHOWTIPS 1001
#define IDC_NEXTTIP 1002
#define IDC_TIPTEXT 1004

// Commands: the hide command no control sends, the About item of the system
// menu, and the tray menu's items.
#define ID_HIDE 1004
#define IDM_ABOUTBOX 0x0010
#define ID_TRAY_EXIT 32771
#define ID_SKIN_SETTINGS 32772
#define ID_SHOW_QUICKTIP 32773
#define ID_APP_ABOUT 57664
#define ID_TRAY_HELP 9

#define IDC_STATIC (-1)
