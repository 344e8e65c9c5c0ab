#include "ShellTestSupport.h"

#include <algorithm>

#include "framework/ErrorBarrier.h"

const wchar_t ShellProcess::kExplorer[] = L"explorer.exe \"C:\\windows\"";
const wchar_t ShellProcess::kExplorerClass[] = L"ExplorerWClass";
const wchar_t ShellProcess::kInternetExplorer[] = L"iexplore.exe about:blank";
const wchar_t ShellProcess::kInternetExplorerClass[] = L"IEFrame";

std::wstring ShellWindowsDllPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll(path, length);
    return dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"zelvo_shellwindows.dll";
}

void Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return done();
        // Also wakes now and then: some conditions, like another process's
        // window showing, come with no message.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(ms - elapsed, 20), QS_ALLINPUT);
    }
}

int MessageWindowsOfThisThread() {
    int count = 0;
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) {
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) ++count;
    }
    return count;
}

ShellProcess::ShellProcess(const wchar_t* commandLine, const wchar_t* windowClass) : m_windowClass(windowClass) {
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process)) {
        m_process = {};
    }
}

// Closed rather than ended when it can be: a file browser started soon after
// one was ended hands its folder to the dead one and opens no window.
ShellProcess::~ShellProcess() {
    if (!Started()) return;
    if (!Close(5000)) {
        TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, 5000);
    }
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
}

HWND ShellProcess::FindVisibleWindow() const {
    struct Search {
        const ShellProcess* process;
        HWND found;
    } search{this, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* search = reinterpret_cast<Search*>(context);
            DWORD processId = 0;
            GetWindowThreadProcessId(window, &processId);
            wchar_t name[64] = L"";
            GetClassNameW(window, name, 64);
            if (processId == search->process->m_process.dwProcessId && IsWindowVisible(window) &&
                search->process->m_windowClass == name) {
                search->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ShellProcess::WaitForWindow(DWORD ms) {
    if (Started()) PumpUntil([this] { return (m_window = FindVisibleWindow()) != nullptr; }, ms);
    return m_window;
}

bool ShellProcess::Close(DWORD ms) {
    if (!Started()) return false;
    if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0) return true;
    if (!m_window) m_window = FindVisibleWindow();
    if (m_window) PostMessageW(m_window, WM_CLOSE, 0, 0);
    return PumpUntil([this] { return WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0; }, ms);
}

std::vector<RecordingSink::Call> RecordingSink::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

size_t RecordingSink::CallCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls.size();
}

STDMETHODIMP RecordingSink::QueryInterface(REFIID iid, void** object) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, DIID_DShellWindowsEvents)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) RecordingSink::AddRef() {
    return InterlockedIncrement(&m_refs);
}

// Lives on the test's stack: the count only shows what others hold.
STDMETHODIMP_(ULONG) RecordingSink::Release() {
    return InterlockedDecrement(&m_refs);
}

STDMETHODIMP RecordingSink::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

STDMETHODIMP RecordingSink::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] {
        const bool oneLong =
            params && params->cArgs == 1 && params->cNamedArgs == 0 && params->rgvarg[0].vt == VT_I4;
        const bool shellCall = IsEqualIID(iid, IID_NULL) && flags == DISPATCH_METHOD;
        const Call call{shellCall ? id : -id, oneLong ? params->rgvarg[0].lVal : -1, GetCurrentThreadId()};
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_calls.push_back(call);
        }
        if (m_journal) m_journal->push_back(JournalEntry(m_name, call.id, call.cookie));
        if (onCall) onCall(call);
        return S_OK;
    });
}

std::string JournalEntry(const std::string& name, DISPID id, LONG cookie) {
    return name + ":" + std::to_string(id) + ":" + std::to_string(cookie);
}
