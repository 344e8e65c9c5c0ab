// A stand-in for the shell's window list, registered as the class object of
// CLSID_ShellWindows for the life of a ShellWindowsRegistration. Unlike
// Wine's own it has a DShellWindowsEvents connection point: it records the
// calls a client makes, captures the sink at Advise and fires events into it.
#pragma once

#include <string>
#include <vector>

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <olectl.h>

// The call that fails, for the failure-path tests.
enum class ShellFault { None, CreateInstance, Run, NoShellWindows, NoContainer, NoConnectionPoint, Advise };

class FakeShellWindows : public IShellWindows,
                         public IConnectionPointContainer,
                         public IConnectionPoint,
                         public IRunnableObject {
public:
    static constexpr DWORD kCookie = 0x5A17;

    explicit FakeShellWindows(ShellFault fault = ShellFault::None) : m_fault(fault) {}
    ~FakeShellWindows();

    ShellFault Fault() const { return m_fault; }
    // References held by others; the test's own is not counted.
    ULONG OutsideRefs() const { return m_refs - 1; }
    std::vector<std::string> TakeCalls();
    IDispatch* Sink() const { return m_sink; }

    // Invokes the captured sink as the shell does: a method call with one
    // argument and no named arguments.
    HRESULT Fire(DISPID id, const VARIANT& argument);
    HRESULT FireLong(DISPID id, LONG cookie);

    // IUnknown, shared by all the interfaces.
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // IDispatch and IShellWindows: never called by the watcher.
    STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(get_Count)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(Item)(VARIANT, IDispatch**) override { return E_NOTIMPL; }
    STDMETHOD(_NewEnum)(IUnknown**) override { return E_NOTIMPL; }
    STDMETHOD(Register)(IDispatch*, LONG, int, LONG*) override { return E_NOTIMPL; }
    STDMETHOD(RegisterPending)(LONG, VARIANT*, VARIANT*, int, LONG*) override { return E_NOTIMPL; }
    STDMETHOD(Revoke)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(OnNavigate)(LONG, VARIANT*) override { return E_NOTIMPL; }
    STDMETHOD(OnActivated)(LONG, VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHOD(FindWindowSW)(VARIANT*, VARIANT*, int, LONG*, int, IDispatch**) override { return E_NOTIMPL; }
    STDMETHOD(OnCreated)(LONG, IUnknown*) override { return E_NOTIMPL; }
    STDMETHOD(ProcessAttachDetach)(VARIANT_BOOL) override { return E_NOTIMPL; }

    // IConnectionPointContainer
    STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHOD(FindConnectionPoint)(REFIID iid, IConnectionPoint** point) override;

    // IConnectionPoint
    STDMETHOD(GetConnectionInterface)(IID*) override { return E_NOTIMPL; }
    STDMETHOD(GetConnectionPointContainer)(IConnectionPointContainer**) override { return E_NOTIMPL; }
    STDMETHOD(Advise)(IUnknown* sink, DWORD* cookie) override;
    STDMETHOD(Unadvise)(DWORD cookie) override;
    STDMETHOD(EnumConnections)(IEnumConnections**) override { return E_NOTIMPL; }

    // IRunnableObject: OleRun's way in.
    STDMETHOD(GetRunningClass)(LPCLSID) override { return E_NOTIMPL; }
    STDMETHOD(Run)(LPBINDCTX) override;
    STDMETHOD_(BOOL, IsRunning)() override { return TRUE; }
    STDMETHOD(LockRunning)(BOOL, BOOL) override { return S_OK; }
    STDMETHOD(SetContainedObject)(BOOL) override { return S_OK; }

    void Record(std::string call) { m_calls.push_back(std::move(call)); }

private:
    const ShellFault m_fault;
    ULONG m_refs = 1;
    IDispatch* m_sink = nullptr;
    std::vector<std::string> m_calls;
};

// Makes CoCreateInstance(CLSID_ShellWindows, ...) in this apartment hand out
// the fake, until destroyed.
class ShellWindowsRegistration {
public:
    explicit ShellWindowsRegistration(FakeShellWindows& shell);
    ~ShellWindowsRegistration();
    ShellWindowsRegistration(const ShellWindowsRegistration&) = delete;
    ShellWindowsRegistration& operator=(const ShellWindowsRegistration&) = delete;

    bool Registered() const { return m_registered; }

private:
    class Factory : public IClassFactory {
    public:
        explicit Factory(FakeShellWindows& shell) : m_shell(shell) {}
        STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
        STDMETHOD_(ULONG, AddRef)() override { return 2; }
        STDMETHOD_(ULONG, Release)() override { return 1; }
        STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** object) override;
        STDMETHOD(LockServer)(BOOL) override { return S_OK; }

    private:
        FakeShellWindows& m_shell;
    };

    Factory m_factory;
    DWORD m_registration = 0;
    bool m_registered = false;
};
