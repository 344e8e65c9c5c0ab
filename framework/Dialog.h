// CDialog: a modal dialog from a dialog template resource, with data
// exchange between its controls and the object's members.
#pragma once

#include "framework/Strings.h"
#include "framework/Wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    CWnd* const m_pDlgWnd;
    // TRUE: controls to members; FALSE: members to controls.
    const BOOL m_bSaveAndValidate;
};

// Binds control to the dialog's control id (the first exchange only).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// A check box's state as 0 (clear), 1 (checked) or 2 (indeterminate).
void DDX_Check(CDataExchange* pDX, int id, int& value);
void DDX_Text(CDataExchange* pDX, int id, CString& value);

class CDialog : public CWnd {
public:
    // parent null: owned by the application's main window, if there is one
    // other than this dialog.
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCDialog;

    // Runs the dialog until EndDialog; its result, or -1 when the dialog
    // could not be made.
    virtual INT_PTR DoModal();
    void EndDialog(int result);

    BOOL UpdateData(BOOL saveAndValidate = TRUE);

protected:
    virtual void DoDataExchange(CDataExchange*) {}
    // Fills the controls from the members and centres the dialog; TRUE lets
    // the system set the focus.
    virtual BOOL OnInitDialog();
    // Enter and the OK button: takes the controls into the members and ends
    // the dialog with IDOK.
    virtual void OnOK();
    // Escape, the close box and the Cancel button: ends it with IDCANCEL.
    virtual void OnCancel();

    const MessageMap* GetMessageMap() const override;
    static const MessageEntry messageEntries[];
    static const MessageMap messageMap;

    const UINT m_nIDTemplate;
    CWnd* const m_pParentWnd;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};
