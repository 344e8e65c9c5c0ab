#include "framework/CmdTarget.h"

#include <cstring>
#include <new>

#include "framework/ErrorBarrier.h"

const CRuntimeClass CCmdTarget::classCCmdTarget{"CCmdTarget", nullptr, &CObject::classCObject};

const DispatchMap CCmdTarget::dispatchMap{nullptr, nullptr, nullptr, 0};

const MessageMap CCmdTarget::messageMap{nullptr, nullptr, 0};

CCmdTarget::CCmdTarget() : m_xDispatch(this) {}

const CRuntimeClass* CCmdTarget::GetRuntimeClass() const {
    return &classCCmdTarget;
}

ULONG CCmdTarget::InternalAddRef() {
    return ++m_dwRef;
}

ULONG CCmdTarget::InternalRelease() {
    ULONG count = --m_dwRef;
    if (count == 0) OnFinalRelease();
    return count;
}

void CCmdTarget::OnFinalRelease() {
    delete this;
}

HRESULT CCmdTarget::InternalQueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!m_bAutomation) return E_NOINTERFACE;
    const IID* dispInterface = m_bConnections ? FindDispInterface() : nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        (dispInterface && IsEqualIID(iid, *dispInterface))) {
        *object = static_cast<IDispatch*>(&m_xDispatch);
        InternalAddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

void CCmdTarget::EnableAutomation() {
    m_bAutomation = true;
}

void CCmdTarget::EnableConnections() {
    m_bConnections = true;
}

IDispatch* CCmdTarget::GetIDispatch(bool addRef) {
    if (!m_bAutomation) return nullptr;
    if (addRef) InternalAddRef();
    return &m_xDispatch;
}

const DispatchMap* CCmdTarget::GetDispatchMap() const {
    return &dispatchMap;
}

const MessageMap* CCmdTarget::GetMessageMap() const {
    return &messageMap;
}

// Menu items, accelerators and button clicks; other control notifications
// arriving as WM_COMMAND are not commands.
static bool IsCommandCode(UINT code) {
    return code == 0 || code == 1;
}

static bool Matches(const MessageEntry& entry, UINT message, WPARAM wParam, LPARAM lParam) {
    if (entry.registered) return *entry.registered != 0 && message == *entry.registered;
    if (message < entry.firstMessage || message > entry.lastMessage) return false;
    switch (message) {
    case WM_COMMAND:
        return LOWORD(wParam) == entry.id && IsCommandCode(HIWORD(wParam));
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        return header && header->idFrom == entry.id && header->code == entry.code;
    }
    default:
        return true;
    }
}

bool CCmdTarget::OnCmdMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    for (const MessageMap* map = GetMessageMap(); map; map = map->baseMap) {
        for (std::size_t i = 0; i < map->count; ++i) {
            if (Matches(map->entries[i], message, wParam, lParam)) {
                result = map->entries[i].thunk(this, message, wParam, lParam);
                return true;
            }
        }
    }
    return false;
}

const DispatchEntry* CCmdTarget::FindDispatchEntry(DISPID id) const {
    for (const DispatchMap* map = GetDispatchMap(); map; map = map->baseMap) {
        for (std::size_t i = 0; i < map->count; ++i) {
            if (map->entries[i].id == id) return &map->entries[i];
        }
    }
    return nullptr;
}

// Automation names are case-insensitive; ours are plain ASCII.
static bool SameName(const OLECHAR* name, const char* entryName) {
    auto lower = [](unsigned ch) { return ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch; };
    for (; *name && *entryName; ++name, ++entryName) {
        if (lower(*name) != lower(static_cast<unsigned char>(*entryName))) return false;
    }
    return *name == 0 && *entryName == 0;
}

const DispatchEntry* CCmdTarget::FindDispatchEntry(const OLECHAR* name) const {
    for (const DispatchMap* map = GetDispatchMap(); map; map = map->baseMap) {
        for (std::size_t i = 0; i < map->count; ++i) {
            if (SameName(name, map->entries[i].name)) return &map->entries[i];
        }
    }
    return nullptr;
}

const IID* CCmdTarget::FindDispInterface() const {
    for (const DispatchMap* map = GetDispatchMap(); map; map = map->baseMap) {
        if (map->dispInterface) return map->dispInterface;
    }
    return nullptr;
}

static HRESULT ReportException(EXCEPINFO* exception, SCODE code) {
    if (exception) {
        std::memset(exception, 0, sizeof *exception);
        exception->scode = code;
    }
    return DISP_E_EXCEPTION;
}

HRESULT CCmdTarget::Invoke(DISPID id, REFIID iid, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* exception, UINT* argError) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    const DispatchEntry* entry = FindDispatchEntry(id);
    if (!entry || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;

    VARIANT argument;
    VariantInit(&argument);
    HRESULT hr = VariantChangeType(&argument, &params->rgvarg[0], 0, VT_I4);
    if (FAILED(hr)) {
        if (argError) *argError = 0;
        return hr;
    }
    if (result) VariantInit(result);

    try {
        (this->*entry->handler)(argument.lVal);
    } catch (const std::bad_alloc&) {
        return ReportException(exception, E_OUTOFMEMORY);
    } catch (...) {
        return ReportException(exception, E_UNEXPECTED);
    }
    return S_OK;
}

STDMETHODIMP CCmdTarget::XDispatch::QueryInterface(REFIID iid, void** object) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] { return m_owner->InternalQueryInterface(iid, object); });
}

STDMETHODIMP_(ULONG) CCmdTarget::XDispatch::AddRef() {
    return CallBarrier<ULONG>(0, [&] { return m_owner->InternalAddRef(); });
}

STDMETHODIMP_(ULONG) CCmdTarget::XDispatch::Release() {
    return CallBarrier<ULONG>(0, [&] { return m_owner->InternalRelease(); });
}

STDMETHODIMP CCmdTarget::XDispatch::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CCmdTarget::XDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** typeInfo) {
    if (!typeInfo) return E_POINTER;
    *typeInfo = nullptr;
    return DISP_E_BADINDEX;
}

// The first name is the member, the others would name its parameters, which
// the map doesn't have.
STDMETHODIMP CCmdTarget::XDispatch::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&]() -> HRESULT {
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        if (count == 0) return S_OK;
        if (!names || !ids) return E_POINTER;
        const DispatchEntry* entry = names[0] ? m_owner->FindDispatchEntry(names[0]) : nullptr;
        ids[0] = entry ? entry->id : DISPID_UNKNOWN;
        for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return entry && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    });
}

STDMETHODIMP CCmdTarget::XDispatch::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                           VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    return CallBarrier<HRESULT>(E_UNEXPECTED,
                                [&] { return m_owner->Invoke(id, iid, flags, params, result, exception, argError); });
}
