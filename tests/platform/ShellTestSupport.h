// What the event source's tests share: the DLL built beside them, real shell
// windows in their own processes, a recording event sink and message pumps.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <windows.h>
#include <exdisp.h>

// zelvo_shellwindows.dll beside the test program, by its full path.
std::wstring ShellWindowsDllPath();

// Runs this thread's messages for ms milliseconds.
void Pump(DWORD ms);
// Runs this thread's messages until done() holds or ms pass; done()'s last value.
bool PumpUntil(const std::function<bool()>& done, DWORD ms);

// The message-only windows that belong to this thread.
int MessageWindowsOfThisThread();

// A program with a top-level window, in a process of its own, such as Wine's
// file browser. The process ends with the object, closed or not.
class ShellProcess {
public:
    ShellProcess(const wchar_t* commandLine, const wchar_t* windowClass);
    ~ShellProcess();
    ShellProcess(const ShellProcess&) = delete;
    ShellProcess& operator=(const ShellProcess&) = delete;

    // Wine's file browser on C:\windows. A second one started while one runs
    // shows the first and ends: two windows at once need Internet Explorer.
    static const wchar_t kExplorer[];
    static const wchar_t kExplorerClass[];
    static const wchar_t kInternetExplorer[];
    static const wchar_t kInternetExplorerClass[];

    bool Started() const { return m_process.hProcess != nullptr; }
    // Pumps this thread's messages until the process shows its window; null
    // when it doesn't within ms.
    HWND WaitForWindow(DWORD ms);
    // Asks the window to close and pumps until the process has ended; false
    // when it has not within ms.
    bool Close(DWORD ms);

private:
    HWND FindVisibleWindow() const;

    std::wstring m_windowClass;
    PROCESS_INFORMATION m_process{};
    HWND m_window = nullptr;
};

// A DShellWindowsEvents sink that records every call. Sinks of one thread
// given the same journal also write their name and the event there, so the
// order across sinks can be read.
class RecordingSink : public IDispatch {
public:
    struct Call {
        DISPID id;    // negated unless a method call without an interface id, as the shell makes
        LONG cookie;  // -1 unless one VT_I4 argument came
        DWORD thread;
        bool operator==(const Call& other) const {
            return id == other.id && cookie == other.cookie && thread == other.thread;
        }
    };
    using Journal = std::vector<std::string>;

    explicit RecordingSink(std::string name = "sink", Journal* journal = nullptr)
        : m_name(std::move(name)), m_journal(journal) {}

    std::vector<Call> Calls() const;
    size_t CallCount() const;
    // References held by others.
    ULONG OutsideRefs() const { return m_refs - 1; }
    // Runs inside Invoke, after the call is recorded.
    std::function<void(const Call&)> onCall;

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetTypeInfoCount)(UINT* count) override;
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                      UINT*) override;

private:
    const std::string m_name;
    Journal* const m_journal;
    mutable std::mutex m_mutex;
    std::vector<Call> m_calls;
    volatile LONG m_refs = 1;
};

// "name:id:cookie", as sinks write the journal.
std::string JournalEntry(const std::string& name, DISPID id, LONG cookie);
