#include "platform/wine/ShellWindowList.h"

#include <olectl.h>

#include "framework/ErrorBarrier.h"
#include "platform/wine/Server.h"

HRESULT CShellWindowList::Create(REFIID iid, void** object) {
    CShellWindowList* list = new CShellWindowList;
    // Wine's ieframe.dll refuses this class in-process
    // (CLASS_E_CLASSNOTAVAILABLE); the list lives in Wine's desktop process.
    // Asking for the local server alone can't come back to this DLL.
    HRESULT result = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                      list->m_wine.ReceiveVoid());
    if (SUCCEEDED(result)) result = list->QueryInterface(iid, object);
    list->Release();
    return result;
}

CShellWindowList::CShellWindowList() {
    LockModule();
}

CShellWindowList::~CShellWindowList() {
    UnlockModule();
}

STDMETHODIMP CShellWindowList::QueryInterface(REFIID iid, void** object) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] {
        if (!object) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_IShellWindows)) {
            *object = static_cast<IShellWindows*>(this);
        } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
            *object = static_cast<IConnectionPointContainer*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    });
}

STDMETHODIMP_(ULONG) CShellWindowList::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

STDMETHODIMP_(ULONG) CShellWindowList::Release() {
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CShellWindowList::GetTypeInfoCount(UINT* count) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_wine->GetTypeInfoCount(count); });
}

STDMETHODIMP CShellWindowList::GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_wine->GetTypeInfo(index, locale, info); });
}

STDMETHODIMP CShellWindowList::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_wine->GetIDsOfNames(iid, names, count, locale, ids); });
}

STDMETHODIMP CShellWindowList::Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                      VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] {
        return m_wine->Invoke(id, iid, locale, flags, params, result, exception, argumentError);
    });
}

STDMETHODIMP CShellWindowList::get_Count(LONG* count) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_wine->get_Count(count); });
}

STDMETHODIMP CShellWindowList::Item(VARIANT index, IDispatch** folder) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_wine->Item(index, folder); });
}

STDMETHODIMP CShellWindowList::_NewEnum(IUnknown** enumerator) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_wine->_NewEnum(enumerator); });
}

STDMETHODIMP CShellWindowList::Register(IDispatch* dispatch, LONG window, int windowClass, LONG* cookie) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_wine->Register(dispatch, window, windowClass, cookie); });
}

STDMETHODIMP CShellWindowList::RegisterPending(LONG thread, VARIANT* location, VARIANT* root, int windowClass,
                                               LONG* cookie) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] {
        return m_wine->RegisterPending(thread, location, root, windowClass, cookie);
    });
}

STDMETHODIMP CShellWindowList::Revoke(LONG cookie) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_wine->Revoke(cookie); });
}

STDMETHODIMP CShellWindowList::OnNavigate(LONG cookie, VARIANT* location) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_wine->OnNavigate(cookie, location); });
}

STDMETHODIMP CShellWindowList::OnActivated(LONG cookie, VARIANT_BOOL active) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_wine->OnActivated(cookie, active); });
}

STDMETHODIMP CShellWindowList::FindWindowSW(VARIANT* location, VARIANT* root, int windowClass, LONG* window,
                                            int options, IDispatch** dispatch) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] {
        return m_wine->FindWindowSW(location, root, windowClass, window, options, dispatch);
    });
}

STDMETHODIMP CShellWindowList::OnCreated(LONG cookie, IUnknown* unknown) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_wine->OnCreated(cookie, unknown); });
}

STDMETHODIMP CShellWindowList::ProcessAttachDetach(VARIANT_BOOL attach) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_wine->ProcessAttachDetach(attach); });
}

STDMETHODIMP CShellWindowList::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points) *points = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP CShellWindowList::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(iid, DIID_DShellWindowsEvents)) return CONNECT_E_NOCONNECTION;
    *point = &m_point;
    m_point.AddRef();
    return S_OK;
}
