// CShellWindowWatcher: notices top-level Explorer and Internet Explorer
// windows of any process coming and going, on the thread that made it.
//
// Wine tells other processes only that a window was made (no show, hide or
// destroy events). So a new shell window is polled until it shows, and a
// shown one is known to have gone when its process ends or, if it closes
// while its process goes on, at the next window event. Where the system sends
// show and destroy events they only make this sooner. Only a shell window
// just made is ever polled: otherwise nothing runs until a window event comes.
#pragma once

#include <memory>
#include <vector>

#include <windows.h>
#include <oaidl.h>

class CShellWindowWatcher {
public:
    // dispatch id 200 ("WindowRegistered") or 201 ("WindowRevoked") and the
    // window's cookie, the same for both.
    struct Event {
        DISPID id;
        LONG cookie;
    };

    class Listener {
    public:
        // Runs on the watcher's thread, from its message queue; may destroy
        // the watcher.
        virtual void ShellWindowEvents(const std::vector<Event>& events) = 0;

    protected:
        ~Listener() = default;
    };

    // Watches from the calling thread, which must pump messages for anything
    // to be noticed; windows that exist already are never reported. Null
    // when the hook or the message window can't be had (GetLastError says
    // why).
    static std::unique_ptr<CShellWindowWatcher> Start(Listener& listener);

    ~CShellWindowWatcher();
    CShellWindowWatcher(const CShellWindowWatcher&) = delete;
    CShellWindowWatcher& operator=(const CShellWindowWatcher&) = delete;

private:
    struct Pending {
        HWND window;
        DWORD createdAt;
    };
    struct Shown {
        HWND window;
        LONG cookie;
        HANDLE process;
        HANDLE wait;
    };

    explicit CShellWindowWatcher(Listener& listener) : m_listener(listener) {}

    void WindowCreated(HWND window);
    // Looks from a message of the watcher's window, never from the hook's
    // callback: while that runs, Wine drops the hook's further events, and a
    // sink may pump messages for as long as it likes.
    void LookSoon();
    // Reports what changed since the last look; the listener call comes last
    // because it may destroy this watcher.
    void Look();
    void Report(HWND window, std::vector<Event>& events);
    static void Forget(Shown& shown);

    static CShellWindowWatcher* FindByHook(HWINEVENTHOOK hook);
    static void CALLBACK OnWinEvent(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object, LONG child, DWORD,
                                    DWORD);
    static void CALLBACK OnProcessEnded(void* window, BOOLEAN);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Listener& m_listener;
    HWND m_window = nullptr;
    HWINEVENTHOOK m_hook = nullptr;
    bool m_polling = false;
    bool m_lookPosted = false;
    std::vector<Pending> m_pending;
    std::vector<Shown> m_shown;
    CShellWindowWatcher* m_next = nullptr;
};
