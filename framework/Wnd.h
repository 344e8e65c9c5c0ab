// CWnd: an object over a window handle whose messages run through its class's
// message map. Windows made by CreateEx, and dialogs, use the framework's
// window procedure; Attach only wraps a handle, without taking its messages.
#pragma once

#include <windows.h>

#include "framework/CmdTarget.h"

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    // Destroys a window this object still has, so no message reaches a dead
    // object.
    ~CWnd() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCWnd;

    HWND GetSafeHwnd() const { return m_hWnd; }

    // Wraps a handle made elsewhere; its messages stay with its own procedure.
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach();

    // Creates a window of a class registered with AfxRegisterWndClass (or any
    // class whose procedure is the framework's); its messages from the first
    // one on reach WindowProc.
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menu);
    BOOL DestroyWindow();

    // Changes the style bits; with flags 0 only the bits, no position change,
    // redraw or frame update.
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    DWORD GetStyle() const;
    CWnd* SetParent(CWnd* parent);
    HWND GetParent() const;

    // Centres the window over its owner, or on the work area when it has
    // none or the owner is hidden.
    void CenterWindow();
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    HWND SetActiveWindow() { return ::SetActiveWindow(m_hWnd); }
    BOOL BringWindowToTop() { return ::BringWindowToTop(m_hWnd); }
    BOOL RedrawWindow(const RECT* update, HRGN region, UINT flags) {
        return ::RedrawWindow(m_hWnd, update, region, flags);
    }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    void SetRedraw(BOOL redraw = TRUE) { SendMessage(WM_SETREDRAW, redraw, 0); }
    HICON SetIcon(HICON icon, BOOL big) {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }
    HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    int MessageBox(const char* text, const char* caption, UINT type) {
        return ::MessageBoxA(m_hWnd, text, caption, type);
    }

    // The message map, then default processing for what it leaves.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // The framework's window procedure: every window of ours, and every dialog
    // once it is initialised, is served by it.
    static LRESULT CALLBACK StandardWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

protected:
    // Default processing of the message being handled: the window's original
    // procedure for dialogs, DefWindowProc for windows of ours.
    LRESULT Default();
    // Base handler of WM_SETTINGCHANGE, for derived handlers to call first.
    void OnSettingChange(UINT flags, const char* section);

    // Takes the window's messages from now on (used for dialogs, whose
    // procedure the system sets).
    void SubclassCurrent(HWND hWnd);
    // Called after WM_NCDESTROY, when the handle is gone.
    virtual void PostNcDestroy() {}

    const MessageMap* GetMessageMap() const override;
    static const MessageMap messageMap;

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;
    CurrentMessage m_current{};
};

// A window class whose procedure is the framework's, registered once per
// distinct set of arguments; returns its name.
const char* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                                HICON icon = nullptr);
