// CComPtr: owns one reference to a COM interface and releases it when it goes
// out of scope.
#pragma once

template <class T>
class CComPtr {
public:
    CComPtr() = default;
    ~CComPtr() { Release(); }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;

    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For out parameters: drops the current reference and hands out the slot.
    T** Receive() {
        Release();
        return &m_p;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

    void Release() {
        if (T* p = m_p) {
            m_p = nullptr;
            p->Release();
        }
    }

private:
    T* m_p = nullptr;
};
