#include "FakeShellWindows.h"

#include <utility>

FakeShellWindows::~FakeShellWindows() {
    if (m_sink) m_sink->Release();
}

std::vector<std::string> FakeShellWindows::TakeCalls() {
    return std::exchange(m_calls, {});
}

HRESULT FakeShellWindows::Fire(DISPID id, const VARIANT& argument) {
    if (!m_sink) return E_UNEXPECTED;
    VARIANT arg = argument;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT argError = 0;
    return m_sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &exception,
                          &argError);
}

HRESULT FakeShellWindows::FireLong(DISPID id, LONG cookie) {
    VARIANT arg;
    arg.vt = VT_I4;
    arg.lVal = cookie;
    return Fire(id, arg);
}

STDMETHODIMP FakeShellWindows::QueryInterface(REFIID iid, void** object) {
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
        *object = static_cast<IShellWindows*>(this);
    } else if (IsEqualIID(iid, IID_IShellWindows)) {
        Record("QueryInterface IShellWindows");
        if (m_fault != ShellFault::NoShellWindows) *object = static_cast<IShellWindows*>(this);
    } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
        Record("QueryInterface IConnectionPointContainer");
        if (m_fault != ShellFault::NoContainer) *object = static_cast<IConnectionPointContainer*>(this);
    } else if (IsEqualIID(iid, IID_IRunnableObject)) {
        Record("QueryInterface IRunnableObject");
        *object = static_cast<IRunnableObject*>(this);
    }
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) FakeShellWindows::AddRef() {
    return ++m_refs;
}

STDMETHODIMP_(ULONG) FakeShellWindows::Release() {
    return --m_refs;
}

STDMETHODIMP FakeShellWindows::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    *point = nullptr;
    bool events = IsEqualIID(iid, DIID_DShellWindowsEvents);
    Record(events ? "FindConnectionPoint DShellWindowsEvents" : "FindConnectionPoint other");
    if (!events || m_fault == ShellFault::NoConnectionPoint) return CONNECT_E_NOCONNECTION;
    *point = this;
    AddRef();
    return S_OK;
}

// Like the shell's, the point asks the sink for the events interface itself.
STDMETHODIMP FakeShellWindows::Advise(IUnknown* sink, DWORD* cookie) {
    Record("Advise");
    *cookie = 0;
    if (m_fault == ShellFault::Advise || m_sink) return CONNECT_E_ADVISELIMIT;
    if (!sink || FAILED(sink->QueryInterface(DIID_DShellWindowsEvents, reinterpret_cast<void**>(&m_sink)))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = kCookie;
    return S_OK;
}

STDMETHODIMP FakeShellWindows::Unadvise(DWORD cookie) {
    Record(cookie == kCookie ? "Unadvise" : "Unadvise wrong cookie");
    if (cookie != kCookie || !m_sink) return CONNECT_E_NOCONNECTION;
    std::exchange(m_sink, nullptr)->Release();
    return S_OK;
}

STDMETHODIMP FakeShellWindows::Run(LPBINDCTX) {
    Record("Run");
    return m_fault == ShellFault::Run ? E_FAIL : S_OK;
}

ShellWindowsRegistration::ShellWindowsRegistration(FakeShellWindows& shell) : m_factory(shell) {
    CoInitialize(nullptr);
    m_registered = SUCCEEDED(CoRegisterClassObject(CLSID_ShellWindows, &m_factory, CLSCTX_INPROC_SERVER,
                                                   REGCLS_MULTIPLEUSE, &m_registration));
}

ShellWindowsRegistration::~ShellWindowsRegistration() {
    if (m_registered) CoRevokeClassObject(m_registration);
}

STDMETHODIMP ShellWindowsRegistration::Factory::QueryInterface(REFIID iid, void** object) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ShellWindowsRegistration::Factory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
    *object = nullptr;
    m_shell.Record(IsEqualIID(iid, IID_IUnknown) && !outer ? "CreateInstance IUnknown" : "CreateInstance other");
    if (outer) return CLASS_E_NOAGGREGATION;
    if (m_shell.Fault() == ShellFault::CreateInstance) return E_OUTOFMEMORY;
    return m_shell.QueryInterface(iid, object);
}
