#include "framework/Dialog.h"

#include <iterator>
#include <vector>

#include "framework/ErrorBarrier.h"
#include "framework/WinApp.h"

const CRuntimeClass CDialog::classCDialog{"CDialog", nullptr, &CWnd::classCWnd};

const MessageEntry CDialog::messageEntries[] = {
    OnCommand<&CDialog::OnOK>(IDOK),
    OnCommand<&CDialog::OnCancel>(IDCANCEL),
};

const MessageMap CDialog::messageMap{&CWnd::messageMap, messageEntries, std::size(messageEntries)};

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (!control.m_hWnd) control.Attach(pDX->m_pDlgWnd->GetDlgItem(id));
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    HWND dialog = pDX->m_pDlgWnd->m_hWnd;
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<int>(IsDlgButtonChecked(dialog, id));
    } else {
        CheckDlgButton(dialog, id, static_cast<UINT>(value));
    }
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
    HWND control = pDX->m_pDlgWnd->GetDlgItem(id);
    if (!pDX->m_bSaveAndValidate) {
        SetWindowTextA(control, value);
        return;
    }
    std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1);
    int length = GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    value = CString(text.data(), length);
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

const CRuntimeClass* CDialog::GetRuntimeClass() const {
    return &classCDialog;
}

const MessageMap* CDialog::GetMessageMap() const {
    return &messageMap;
}

INT_PTR CDialog::DoModal() {
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!m_pParentWnd) {
        CWnd* main = AfxGetMainWnd();
        if (main && main != this && IsWindow(main->m_hWnd)) owner = main->m_hWnd;
    }
    return DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner, &CDialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(int result) {
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    CenterWindow();
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

// Until WM_INITDIALOG the system's dialog handling does everything; from then
// on the window is served by the framework's window procedure, whose default
// processing comes back here and answers FALSE.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->SubclassCurrent(hWnd);
    return CallBarrier<BOOL>(TRUE, [&] { return dialog->OnInitDialog(); });
}
