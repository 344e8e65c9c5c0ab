#include "framework/Wnd.h"

#include <cstdio>
#include <map>
#include <string>
#include <tuple>

#include "framework/ErrorBarrier.h"
#include "framework/WinApp.h"

const CRuntimeClass CWnd::classCWnd{"CWnd", nullptr, &CCmdTarget::classCCmdTarget};

const MessageMap CWnd::messageMap{&CCmdTarget::messageMap, nullptr, 0};

namespace {

// The object of each window served by StandardWndProc.
const char kObjectProperty[] = "Zelvo.CWnd";

// The object whose window CreateEx is making: its first messages arrive
// before CreateWindowEx returns the handle.
thread_local CWnd* t_creating = nullptr;

CWnd* ObjectOf(HWND hWnd) {
    return static_cast<CWnd*>(GetPropA(hWnd, kObjectProperty));
}

}  // namespace

CWnd::~CWnd() {
    if (m_hWnd && ObjectOf(m_hWnd) == this) ::DestroyWindow(m_hWnd);
}

const CRuntimeClass* CWnd::GetRuntimeClass() const {
    return &classCWnd;
}

const MessageMap* CWnd::GetMessageMap() const {
    return &messageMap;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu) {
    CWnd* outer = t_creating;
    t_creating = this;
    HWND hWnd = CreateWindowExA(exStyle, className, windowName, style, x, y, width, height, parent, menu,
                                GetModuleHandleA(nullptr), nullptr);
    t_creating = outer;
    if (!hWnd) return FALSE;
    m_hWnd = hWnd;
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    return m_hWnd && ::DestroyWindow(m_hWnd);
}

DWORD CWnd::GetStyle() const {
    return static_cast<DWORD>(GetWindowLongPtrA(m_hWnd, GWL_STYLE));
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
    DWORD style = GetStyle();
    DWORD changed = (style & ~remove) | add;
    if (changed == style) return FALSE;
    SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
    if (flags) SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

void CWnd::CenterWindow() {
    RECT area;
    HWND owner = GetWindow(m_hWnd, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &area);
    } else {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT window;
    GetWindowRect(&window);
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(m_hWnd, nullptr, x < 0 ? 0 : x, y < 0 ? 0 : y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CWnd* CWnd::SetParent(CWnd* parent) {
    ::SetParent(m_hWnd, parent ? parent->m_hWnd : nullptr);
    return parent;
}

HWND CWnd::GetParent() const {
    return ::GetParent(m_hWnd);
}

void CWnd::SubclassCurrent(HWND hWnd) {
    m_hWnd = hWnd;
    SetPropA(hWnd, kObjectProperty, this);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StandardWndProc)));
}

LRESULT CWnd::Default() {
    if (m_pfnSuper) return CallWindowProcA(m_pfnSuper, m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
    return DefWindowProcA(m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
}

void CWnd::OnSettingChange(UINT, const char*) {
    Default();
}

// Commands a window does not handle go on to the application.
LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnCmdMsg(message, wParam, lParam, result)) return result;
    CWinApp* app = message == WM_COMMAND ? AfxGetApp() : nullptr;
    if (app && app->OnCmdMsg(message, wParam, lParam, result)) return result;
    return Default();
}

// Keeps the message for Default, also across nested messages.
LRESULT CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    CurrentMessage outer = m_current;
    m_current = {message, wParam, lParam};
    LRESULT result = CallBarrier<LRESULT>(0, [&] { return WindowProc(message, wParam, lParam); });
    m_current = outer;
    return result;
}

LRESULT CALLBACK CWnd::StandardWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = ObjectOf(hWnd);
    if (!wnd && t_creating && !t_creating->m_hWnd) {
        wnd = t_creating;
        wnd->m_hWnd = hWnd;
        SetPropA(hWnd, kObjectProperty, wnd);
    }
    if (!wnd) return DefWindowProcA(hWnd, message, wParam, lParam);

    if (message != WM_NCDESTROY) return wnd->Dispatch(message, wParam, lParam);
    LRESULT result = wnd->Dispatch(message, wParam, lParam);
    RemovePropA(hWnd, kObjectProperty);
    if (wnd->m_pfnSuper) SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(wnd->m_pfnSuper));
    wnd->m_pfnSuper = nullptr;
    wnd->m_hWnd = nullptr;
    CallBarrier<int>(0, [&] {
        wnd->PostNcDestroy();
        return 0;
    });
    return result;
}

const char* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
    static std::map<std::tuple<UINT, HCURSOR, HBRUSH, HICON>, std::string> registered;
    auto key = std::make_tuple(classStyle, cursor, background, icon);
    auto found = registered.find(key);
    if (found != registered.end()) return found->second.c_str();

    char name[96];
    std::snprintf(name, sizeof name, "Zelvo:%x:%p:%p:%p", classStyle, static_cast<void*>(cursor),
                  static_cast<void*>(background), static_cast<void*>(icon));
    WNDCLASSA wc{};
    wc.style = classStyle;
    wc.lpfnWndProc = &CWnd::StandardWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = name;
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return "";
    return registered.emplace(key, name).first->second.c_str();
}
