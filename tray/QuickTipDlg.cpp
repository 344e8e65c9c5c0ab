#include "tray/QuickTipDlg.h"

#include <cctype>
#include <ctime>
#include <iterator>

#include <sys/stat.h>

#include "framework/WinApp.h"
#include "res/resource.h"

namespace {

const char kSection[] = "Tip";
const char kStartUp[] = "StartUp";
const char kFilePos[] = "FilePos";
const char kTimeStamp[] = "TimeStamp";
const char kTipsFile[] = "tips.txt";

// fgets reads at most one less: longer lines come in pieces of 999.
constexpr int kLineBuffer = 1000;

// The file's creation time in ctime's form, without the line end.
CString TimeStampOf(std::FILE* file) {
    struct _stat status;
    if (_fstat(_fileno(file), &status) != 0) return CString();
    const char* text = std::ctime(&status.st_ctime);
    if (!text) return CString();
    CString stamp(text);
    int length = stamp.GetLength();
    while (length > 0 && std::isspace(static_cast<unsigned char>(text[length - 1]))) --length;
    return stamp.Left(length);
}

bool IsTip(const char* line) {
    return line[0] != ';' && line[0] != ' ' && line[0] != '\t' && line[0] != '\n';
}

}  // namespace

const MessageEntry CQuickTipDlg::messageEntries[] = {
    OnCommand<&CQuickTipDlg::OnNextButton>(IDC_NEXTTIP),
    ::OnCtlColor<&CQuickTipDlg::OnCtlColor>(),
};

const MessageMap CQuickTipDlg::messageMap{&CDialog::messageMap, messageEntries, std::size(messageEntries)};

const MessageMap* CQuickTipDlg::GetMessageMap() const {
    return &messageMap;
}

CQuickTipDlg::CQuickTipDlg(CWnd* parent)
    : CDialog(IDD_QUICKTIP, parent), m_bShowAtStart(FALSE), m_pTipsFile(nullptr) {
    CWinApp* app = AfxGetApp();
    m_bShowAtStart = app->GetProfileInt(kSection, kStartUp, 0) == 0;
    // Values beyond the range of long come out negative, and the seek fails.
    long pos = static_cast<long>(app->GetProfileInt(kSection, kFilePos, 0));

    // Deliberately also beside the program when the current folder has none.
    m_pTipsFile = std::fopen(FindProgramFile(kTipsFile), "r");
    if (!m_pTipsFile) {
        m_strTipText = AfxLoadString(IDS_TIPS_MISSING);
        return;
    }

    // A new file starts again from its first tip.
    CString stamp = TimeStampOf(m_pTipsFile);
    if (app->GetProfileString(kSection, kTimeStamp) != stamp) {
        pos = 0;
        app->WriteProfileString(kSection, kTimeStamp, stamp);
    }

    if (std::fseek(m_pTipsFile, pos, SEEK_SET) != 0) {
        ReportTrouble();
        return;
    }
    ReadNextTip(m_strTipText);
}

CQuickTipDlg::~CQuickTipDlg() {
    if (!m_pTipsFile) return;
    long pos = std::ftell(m_pTipsFile);
    if (pos >= 0) AfxGetApp()->WriteProfileInt(kSection, kFilePos, static_cast<int>(pos));
    std::fclose(m_pTipsFile);
}

void CQuickTipDlg::ReadNextTip(CString& tip) {
    char line[kLineBuffer];
    // Deliberately bounded: a second end of file without a tip on the way means there is none.
    bool rewound = false;
    while (m_pTipsFile) {
        if (std::fgets(line, kLineBuffer, m_pTipsFile)) {
            if (!IsTip(line)) continue;
            tip = line;
            return;
        }
        if (rewound) break;
        rewound = true;
        if (std::fseek(m_pTipsFile, 0, SEEK_SET) != 0) ReportTrouble();
    }
    tip = AfxLoadString(IDS_TIPS_NONE);
    if (m_pTipsFile) std::fclose(m_pTipsFile);
    m_pTipsFile = nullptr;
}

void CQuickTipDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Check(pDX, IDC_SHOWTIPS, m_bShowAtStart);
    DDX_Text(pDX, IDC_TIPTEXT, m_strTipText);
}

BOOL CQuickTipDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (!m_pTipsFile) DisableNextTip();
    return TRUE;
}

void CQuickTipDlg::OnOK() {
    CDialog::OnOK();
    AfxGetApp()->WriteProfileInt(kSection, kStartUp, m_bShowAtStart ? 0 : 1);
}

void CQuickTipDlg::OnNextButton() {
    ReadNextTip(m_strTipText);
    UpdateData(FALSE);
    if (!m_pTipsFile) DisableNextTip();
}

HBRUSH CQuickTipDlg::OnCtlColor(HDC dc, HWND control, UINT) {
    if (control != GetDlgItem(IDC_TIPTEXT)) return reinterpret_cast<HBRUSH>(Default());
    SetBkColor(dc, RGB(255, 255, 255));
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

// A disabled button must not keep the focus: the keyboard would go nowhere.
void CQuickTipDlg::DisableNextTip() {
    HWND next = GetDlgItem(IDC_NEXTTIP);
    if (::GetFocus() == next) SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(IDOK)), TRUE);
    ::EnableWindow(next, FALSE);
}

void CQuickTipDlg::ReportTrouble() {
    MessageBox(AfxLoadString(IDS_TIPS_TROUBLE), AfxGetApp()->m_pszExeName, MB_OK | MB_ICONEXCLAMATION);
}
