// CShellWindowList: the ShellWindows object this DLL serves. Its
// IShellWindows and IDispatch calls go to Wine's own window list; it adds the
// DShellWindowsEvents connection point that Wine's lacks.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>

#include "framework/ComPtr.h"
#include "platform/wine/WindowEventPoint.h"

class CShellWindowList final : public IShellWindows, public IConnectionPointContainer {
public:
    // Makes a list around a new instance of Wine's and answers iid.
    static HRESULT Create(REFIID iid, void** object);

    CShellWindowList(const CShellWindowList&) = delete;
    CShellWindowList& operator=(const CShellWindowList&) = delete;

    // IUnknown: IUnknown, IDispatch and IShellWindows share one interface;
    // nothing of Wine's list is handed out, so the identity stays ours.
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    STDMETHOD(GetTypeInfoCount)(UINT* count) override;
    STDMETHOD(GetTypeInfo)(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHOD(GetIDsOfNames)(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHOD(Invoke)(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argumentError) override;

    STDMETHOD(get_Count)(LONG* count) override;
    STDMETHOD(Item)(VARIANT index, IDispatch** folder) override;
    STDMETHOD(_NewEnum)(IUnknown** enumerator) override;
    STDMETHOD(Register)(IDispatch* dispatch, LONG window, int windowClass, LONG* cookie) override;
    STDMETHOD(RegisterPending)(LONG thread, VARIANT* location, VARIANT* root, int windowClass,
                               LONG* cookie) override;
    STDMETHOD(Revoke)(LONG cookie) override;
    STDMETHOD(OnNavigate)(LONG cookie, VARIANT* location) override;
    STDMETHOD(OnActivated)(LONG cookie, VARIANT_BOOL active) override;
    STDMETHOD(FindWindowSW)(VARIANT* location, VARIANT* root, int windowClass, LONG* window, int options,
                            IDispatch** dispatch) override;
    STDMETHOD(OnCreated)(LONG cookie, IUnknown* unknown) override;
    STDMETHOD(ProcessAttachDetach)(VARIANT_BOOL attach) override;

    STDMETHOD(EnumConnectionPoints)(IEnumConnectionPoints** points) override;
    STDMETHOD(FindConnectionPoint)(REFIID iid, IConnectionPoint** point) override;

private:
    CShellWindowList();
    ~CShellWindowList();

    volatile LONG m_refs = 1;
    CComPtr<IShellWindows> m_wine;
    CWindowEventPoint m_point{*this};
};
