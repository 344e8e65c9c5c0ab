// The settings window itself: start-up, the message map, hiding to and
// restoring from the tray, ending.
#include "ui/SkinSettingsDlg.h"

#include <iterator>

#include "app/SkinApp.h"
#include "app/SkinStore.h"
#include "framework/StdioFile.h"
#include "image/ZImage.h"
#include "res/resource.h"
#include "ui/AboutBoxDlg.h"

namespace {

// The tray icon's callback message and tooltip.
constexpr UINT kTrayCallbackMessage = WM_APP + 10;
const char kTrayTip[] = "Click here to setup Zelvo.";
constexpr UINT kTrayInfoTimeout = 10;

bool StartHidden() {
    auto* app = static_cast<CSkinApp*>(AfxGetApp());
    return app && app->m_bStartHidden;
}

}  // namespace

const MessageEntry CSkinSettingsDlg::messageEntries[] = {
    OnMessage<WM_SYSCOMMAND, &CSkinSettingsDlg::OnSysCommand>(),
    OnMessage<WM_PAINT, &CSkinSettingsDlg::OnPaint>(),
    OnMessage<WM_QUERYDRAGICON, &CSkinSettingsDlg::OnQueryDragIcon>(),
    OnCommand<&CSkinSettingsDlg::OnAdd>(IDC_ADD),
    OnCommand<&CSkinSettingsDlg::OnRemove>(IDC_REMOVE),
    OnCommand<&CSkinSettingsDlg::OnHelp>(IDHELP),
    OnCommand<&CSkinSettingsDlg::OnSkinSettings>(ID_SKIN_SETTINGS),
    OnCommand<&CSkinSettingsDlg::OnExit>(ID_TRAY_EXIT),
    OnCommand<&CSkinSettingsDlg::OnHide>(ID_HIDE),
    OnNotify<&CSkinSettingsDlg::OnClickList>(IDC_SKINLIST, NM_CLICK),
    OnNotify<&CSkinSettingsDlg::OnSelectionChanged>(IDC_SKINLIST, LVN_ITEMCHANGED),
    OnCommand<&CSkinSettingsDlg::OnRunAtStartup>(IDC_RUNATSTARTUP),
    OnMessage<WM_CLOSE, &CSkinSettingsDlg::OnClose>(),
    OnCommand<&CSkinSettingsDlg::OnClearAndExit>(IDC_CLEAREXIT),
    OnCommand<&CSkinSettingsDlg::OnAbout>(ID_APP_ABOUT),
    OnMessage<WM_WINDOWPOSCHANGING, &CSkinSettingsDlg::OnWindowPosChanging>(),
    OnCommand<&CSkinSettingsDlg::OnTellAFriend>(IDC_TELLFRIEND),
    OnCommand<&CSkinSettingsDlg::OnShowQuickTip>(ID_SHOW_QUICKTIP),
};

const MessageMap CSkinSettingsDlg::messageMap{&CDialog::messageMap, messageEntries, std::size(messageEntries)};

const MessageMap* CSkinSettingsDlg::GetMessageMap() const {
    return &messageMap;
}

CSkinSettingsDlg::CSkinSettingsDlg(CWnd* parent)
    : CDialog(IDD_SKINSETTINGS, parent), m_hIcon(LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

void CSkinSettingsDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_REMOVE, m_btnRemove);
    DDX_Control(pDX, IDC_SKINLIST, m_listSkins);
    DDX_Check(pDX, IDC_RUNATSTARTUP, m_bRunAtStartup);
}

BOOL CSkinSettingsDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    CMenu systemMenu;
    systemMenu.Attach(GetSystemMenu(FALSE));
    if (systemMenu.m_hMenu) {
        CString about = AfxLoadString(IDS_ABOUTBOX);
        if (!about.IsEmpty()) {
            systemMenu.AppendMenu(MF_SEPARATOR);
            systemMenu.AppendMenu(MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    m_imageList.Create(kThumbnailSize, kThumbnailSize, ILC_COLOR24, 0, 1);
    m_trayIcon.Create(nullptr, kTrayCallbackMessage, kTrayTip, m_hIcon, IDR_TRAYMENU, FALSE, nullptr, nullptr, 0,
                      kTrayInfoTimeout);
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    m_trayIcon.SetDefaultItem(0, TRUE);
    m_listSkins.SetImageList(&m_imageList, LVSIL_NORMAL);
    m_watcher.Connect();
    m_strFolder = ProgramFolderPrefix();
    m_bRunAtStartup = IsRunAtStartup() ? TRUE : FALSE;
    LoadSkinList();
    UpdateData(FALSE);
    return TRUE;
}

// Every stored skin joins the rotation and gets a row, a placeholder when its
// bitmap does not load, so that row i stays rotation entry i.
void CSkinSettingsDlg::LoadSkinList() {
    CStringArray paths;
    if (!ReadSkinList(SkinListPath(m_strFolder), paths)) return;
    for (int i = 0; i < paths.GetSize(); ++i) {
        m_watcher.AddSkin(paths[i]);
        ZImage image(FORMAT_UNKNOWN);
        if (image.Load(paths[i], FORMAT_BMP) && image.IsValid()) {
            AddThumbnail(image);
        } else {
            AddPlaceholderThumbnail();
        }
    }
    RebuildRows();
}

void CSkinSettingsDlg::OnSysCommand(UINT id, LPARAM) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        OnAbout();
    } else {
        Default();
    }
}

void CSkinSettingsDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(&client);
    int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
}

HICON CSkinSettingsDlg::OnQueryDragIcon() {
    return m_hIcon;
}

void CSkinSettingsDlg::OnOK() {
    OnHide();
}

void CSkinSettingsDlg::OnCancel() {
    if (m_bExiting) CDialog::OnCancel();
}

void CSkinSettingsDlg::OnClose() {
    if (m_bExiting) {
        Default();
    } else {
        OnHide();
    }
}

void CSkinSettingsDlg::OnHide() {
    CTrayIcon::HideToTray(this, FALSE);
}

void CSkinSettingsDlg::OnSkinSettings() {
    CTrayIcon::RestoreFromTray(this, FALSE);
}

void CSkinSettingsDlg::OnExit() {
    m_bExiting = true;
    m_trayIcon.DeleteIcon();
    OnCancel();
}

// Started with "-min", no show request ever shows the window: only the
// restore from the tray, which sets the visible style directly.
void CSkinSettingsDlg::OnWindowPosChanging(WINDOWPOS* position) {
    if (StartHidden()) position->flags &= ~SWP_SHOWWINDOW;
    Default();
}

void CSkinSettingsDlg::OnAbout() {
    CAboutBoxDlg about;
    about.DoModal();
}

void CSkinSettingsDlg::OnShowQuickTip() {
    if (auto* app = static_cast<CSkinApp*>(AfxGetApp())) app->ShowQuickTip();
}
