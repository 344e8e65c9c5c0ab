#include "platform/wine/ShellWindowWatcher.h"

#include <iterator>

#include <exdispid.h>

#include "framework/ErrorBarrier.h"
#include "platform/wine/Server.h"

namespace {

constexpr wchar_t kWindowClass[] = L"ZelvoShellWindowWatcher";
const wchar_t* const kShellClasses[] = {L"ExplorerWClass", L"CabinetWClass", L"ExploreWClass", L"IEFrame"};

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollPeriod = 100;
// Wine's file browser shows 0.3 to 1.5 s after it is made. A window hidden
// for longer, such as an Internet Explorer made by automation, stops being
// polled and is never reported.
constexpr DWORD kShowWait = 30000;
constexpr UINT kLook = WM_APP;

// Guards the list of watchers, which the hook callback searches, and the
// window class, which the first watcher registers and the last removes.
SRWLOCK g_lock = SRWLOCK_INIT;
CShellWindowWatcher* g_watchers = nullptr;
volatile LONG g_lastCookie = 0;

class ExclusiveLock {
public:
    ExclusiveLock() { AcquireSRWLockExclusive(&g_lock); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&g_lock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
};

bool IsShellWindow(HWND window) {
    if (GetAncestor(window, GA_PARENT) != GetDesktopWindow()) return false;
    wchar_t name[32];
    if (!GetClassNameW(window, name, static_cast<int>(std::size(name)))) return false;
    for (const wchar_t* shellClass : kShellClasses) {
        if (CompareStringOrdinal(name, -1, shellClass, -1, TRUE) == CSTR_EQUAL) return true;
    }
    return false;
}

}  // namespace

std::unique_ptr<CShellWindowWatcher> CShellWindowWatcher::Start(Listener& listener) {
    std::unique_ptr<CShellWindowWatcher> watcher(new CShellWindowWatcher(listener));
    // The cleanup of a half-made watcher must not hide why it failed.
    auto fail = [&watcher] {
        const DWORD error = GetLastError();
        watcher.reset();
        SetLastError(error);
        return nullptr;
    };
    {
        ExclusiveLock lock;
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = ThisModule();
        windowClass.lpszClassName = kWindowClass;
        if (RegisterClassW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
            watcher->m_window =
                CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), nullptr);
        }
        if (watcher->m_window) {
            watcher->m_next = g_watchers;
            g_watchers = watcher.get();
        }
    }
    if (!watcher->m_window) return fail();
    SetWindowLongPtrW(watcher->m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(watcher.get()));
    // Out of context, the system queues the events to this thread: they run
    // as it pumps messages, like the window's timer.
    watcher->m_hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr, OnWinEvent, 0, 0,
                                      WINEVENT_OUTOFCONTEXT);
    if (!watcher->m_hook) return fail();
    return watcher;
}

CShellWindowWatcher::~CShellWindowWatcher() {
    if (m_hook) UnhookWinEvent(m_hook);
    // Before the window goes: a process wait ending now still posts to it.
    for (Shown& shown : m_shown) Forget(shown);
    ExclusiveLock lock;
    for (CShellWindowWatcher** link = &g_watchers; *link; link = &(*link)->m_next) {
        if (*link == this) {
            *link = m_next;
            break;
        }
    }
    if (m_window) DestroyWindow(m_window);
    // Refused while another thread's watcher has a window; the last one to go
    // removes the class, which would otherwise outlive the DLL.
    UnregisterClassW(kWindowClass, ThisModule());
}

void CShellWindowWatcher::WindowCreated(HWND window) {
    // A handle value that comes again names a new window: the old one has gone.
    for (Shown& shown : m_shown) {
        if (shown.window == window) shown.window = nullptr;
    }
    for (Pending& pending : m_pending) {
        if (pending.window == window) pending.window = nullptr;
    }
    if (IsShellWindow(window)) m_pending.push_back({window, GetTickCount()});
}

void CShellWindowWatcher::LookSoon() {
    if (m_lookPosted || (m_pending.empty() && m_shown.empty())) return;
    m_lookPosted = PostMessageW(m_window, kLook, 0, 0) != FALSE;
}

void CShellWindowWatcher::Look() {
    std::vector<Event> events;
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        if (IsWindow(it->window)) {
            ++it;
            continue;
        }
        events.push_back({DISPID_WINDOWREVOKED, it->cookie});
        Forget(*it);
        it = m_shown.erase(it);
    }
    const DWORD now = GetTickCount();
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        const bool exists = IsWindow(it->window);
        if (exists && IsWindowVisible(it->window)) {
            Report(it->window, events);
        } else if (exists && now - it->createdAt < kShowWait) {
            ++it;
            continue;
        }
        it = m_pending.erase(it);
    }
    if (!m_pending.empty() && !m_polling) {
        m_polling = SetTimer(m_window, kPollTimer, kPollPeriod, nullptr) != 0;
    } else if (m_pending.empty() && m_polling) {
        KillTimer(m_window, kPollTimer);
        m_polling = false;
    }
    if (!events.empty()) m_listener.ShellWindowEvents(events);
}

void CShellWindowWatcher::Report(HWND window, std::vector<Event>& events) {
    m_shown.push_back({window, InterlockedIncrement(&g_lastCookie), nullptr, nullptr});
    Shown& shown = m_shown.back();
    events.push_back({DISPID_WINDOWREGISTERED, shown.cookie});
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    shown.process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (shown.process && !RegisterWaitForSingleObject(&shown.wait, shown.process, OnProcessEnded, m_window, INFINITE,
                                                      WT_EXECUTEONLYONCE)) {
        shown.wait = nullptr;
    }
}

void CShellWindowWatcher::Forget(Shown& shown) {
    // INVALID_HANDLE_VALUE: returns only once a callback already running is done.
    if (shown.wait) UnregisterWaitEx(shown.wait, INVALID_HANDLE_VALUE);
    if (shown.process) CloseHandle(shown.process);
    shown.wait = shown.process = nullptr;
}

CShellWindowWatcher* CShellWindowWatcher::FindByHook(HWINEVENTHOOK hook) {
    AcquireSRWLockShared(&g_lock);
    CShellWindowWatcher* watcher = g_watchers;
    while (watcher && watcher->m_hook != hook) watcher = watcher->m_next;
    ReleaseSRWLockShared(&g_lock);
    return watcher;
}

void CALLBACK CShellWindowWatcher::OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child,
                                              DWORD, DWORD) {
    CallBarrier(false, [&] {
        if (!window || object != OBJID_WINDOW || child != CHILDID_SELF) return false;
        CShellWindowWatcher* watcher = FindByHook(hook);
        if (!watcher) return false;
        if (event == EVENT_OBJECT_CREATE) watcher->WindowCreated(window);
        watcher->LookSoon();
        return true;
    });
}

void CALLBACK CShellWindowWatcher::OnProcessEnded(void* window, BOOLEAN) {
    PostMessageW(static_cast<HWND>(window), kLook, 0, 0);
}

LRESULT CALLBACK CShellWindowWatcher::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallBarrier<LRESULT>(0, [&]() -> LRESULT {
        auto* watcher = reinterpret_cast<CShellWindowWatcher*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (watcher && (message == WM_TIMER || message == kLook)) {
            if (message == kLook) watcher->m_lookPosted = false;
            watcher->Look();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    });
}
