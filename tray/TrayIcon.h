// CTrayIcon: the program's icon in the taskbar notification area, whose mouse
// actions become commands for the thread's main window; and, as static
// operations, hiding a window into the tray and restoring it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "framework/Menu.h"
#include "framework/Wnd.h"

class CTrayIcon : public CWnd {
public:
    CTrayIcon();
    // Removes the icon and destroys the callback window.
    ~CTrayIcon() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCTrayIcon;

    // Adds the icon; callbacks go to callbackWnd, or to this object's own
    // window when callbackWnd is null or has no handle. The information
    // (balloon) text and the hidden state are used only by NT 5 shells and
    // later. FALSE when the platform has no notification area, otherwise the
    // outcome of the add.
    BOOL Create(CWnd* callbackWnd, UINT callbackMessage, const char* tip, HICON icon, UINT id, BOOL hidden,
                const char* infoText, const char* infoTitle, DWORD infoFlags, UINT infoTimeoutSeconds);
    // TRUE when the icon is gone or never could exist.
    BOOL DeleteIcon();
    // The popup's default item, a command id or (byPosition) a position;
    // FALSE when the menu can't be loaded (the item is kept all the same).
    BOOL SetDefaultItem(UINT item, BOOL byPosition);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The callback message: a right button release shows the popup menu, a
    // double click runs its default item.
    virtual LRESULT OnIconNotify(WPARAM wParam, LPARAM lParam);
    // Called with the popup just before it is shown.
    virtual void PrepareMenu(CMenu* popup);

    // The optional caption animation, then the window loses its taskbar
    // button and its visible style bit.
    static void HideToTray(CWnd* wnd, BOOL forceAnimation);
    // Back to a top-level window: visible, repainted, active, in front.
    static void RestoreFromTray(CWnd* wnd, BOOL forceAnimation);
    // Where the notification area is, in screen coordinates.
    static void FindTrayRect(RECT* rect);
    // The user's minimise and restore animation setting.
    static BOOL IsWindowAnimationOn();
    // Parents wnd under the hidden window; FALSE when that can't be made.
    static BOOL DetachFromTaskbar(CWnd* wnd);

    // "TaskbarCreated", broadcast when the shell (re)creates the taskbar.
    static const UINT s_taskbarCreatedMsg;

protected:
    // Adds the icon again, with the flags of its first add, when an add is
    // pending and the icon is not hidden.
    void RetryAddIcon();
    LRESULT OnTaskbarRestart(WPARAM, LPARAM);
    void OnSettingChange(UINT flags, const char* section);

    const MessageMap* GetMessageMap() const override;
    static const MessageEntry messageEntries[];
    static const MessageMap messageMap;

    NOTIFYICONDATAA m_nid;
    BOOL m_bTraySupported = FALSE;
    BOOL m_bIconHidden = TRUE;
    BOOL m_bIconDeleted = TRUE;
    BOOL m_bAddPending = FALSE;
    const BOOL m_bNewShell;
    UINT m_defaultItem = 0;
    BOOL m_bDefaultByPosition = TRUE;
    UINT m_addFlags = 0;

    // Windows parented under it have no taskbar button; made on first use,
    // never shown, kept until the process ends.
    static CWnd s_hiddenParent;

private:
    // The menu resource named by the icon id, and its first popup.
    BOOL LoadTrayMenu(CMenu& menu, CMenu& popup) const;
};
