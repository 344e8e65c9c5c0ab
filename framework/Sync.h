// CMutex and CSingleLock: a named kernel mutex and a lock on it.
#pragma once

#include <windows.h>

class CMutex {
public:
    // Not owned at creation unless initiallyOwn; name may be null.
    explicit CMutex(BOOL initiallyOwn = FALSE, const char* name = nullptr)
        : m_hObject(CreateMutexA(nullptr, initiallyOwn, name)) {}
    ~CMutex() {
        if (m_hObject) CloseHandle(m_hObject);
    }
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    // Waits up to timeout milliseconds; TRUE when the mutex is now ours
    // (also when its last owner ended without releasing it).
    BOOL Lock(DWORD timeout) {
        if (!m_hObject) return FALSE;
        DWORD result = WaitForSingleObject(m_hObject, timeout);
        return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    }
    BOOL Unlock() { return m_hObject && ReleaseMutex(m_hObject); }

    HANDLE m_hObject;
};
