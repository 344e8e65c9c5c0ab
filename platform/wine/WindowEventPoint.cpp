#include "platform/wine/WindowEventPoint.h"

#include <algorithm>

#include <exdisp.h>
#include <olectl.h>

#include "framework/ErrorBarrier.h"

namespace {

void Invoke(IDispatch* sink, const CShellWindowWatcher::Event& event) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = event.cookie;
    DISPPARAMS params{&argument, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT argumentError = 0;
    sink->Invoke(event.id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, &exception,
                 &argumentError);
    VariantClear(&result);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

}  // namespace

CWindowEventPoint::~CWindowEventPoint() {
    m_watcher.reset();
    for (const Connection& connection : m_connections) connection.sink->Release();
}

STDMETHODIMP CWindowEventPoint::QueryInterface(REFIID iid, void** object) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] {
        if (!object) return E_POINTER;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    });
}

STDMETHODIMP_(ULONG) CWindowEventPoint::AddRef() {
    return m_container.AddRef();
}

STDMETHODIMP_(ULONG) CWindowEventPoint::Release() {
    return m_container.Release();
}

STDMETHODIMP CWindowEventPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = DIID_DShellWindowsEvents;
    return S_OK;
}

STDMETHODIMP CWindowEventPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container) return E_POINTER;
    *container = &m_container;
    m_container.AddRef();
    return S_OK;
}

STDMETHODIMP CWindowEventPoint::Advise(IUnknown* sink, DWORD* cookie) {
    return CallBarrier<HRESULT>(E_OUTOFMEMORY, [&] {
        if (!cookie) return E_POINTER;
        *cookie = 0;
        if (!sink) return E_POINTER;
        if (!m_connections.empty() && GetCurrentThreadId() != m_thread) return RPC_E_WRONG_THREAD;
        // Nothing may throw once a watcher has started for this sink.
        m_connections.reserve(m_connections.size() + 1);
        IDispatch* events = nullptr;
        if (FAILED(sink->QueryInterface(DIID_DShellWindowsEvents, reinterpret_cast<void**>(&events))) || !events) {
            return CONNECT_E_CANNOTCONNECT;
        }
        if (m_connections.empty()) {
            m_watcher = CShellWindowWatcher::Start(*this);
            if (!m_watcher) {
                const DWORD error = GetLastError();
                events->Release();
                return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
            }
            m_thread = GetCurrentThreadId();
        }
        m_connections.push_back({++m_lastCookie, events});
        *cookie = m_lastCookie;
        return S_OK;
    });
}

STDMETHODIMP CWindowEventPoint::Unadvise(DWORD cookie) {
    return CallBarrier<HRESULT>(E_UNEXPECTED, [&] {
        auto connection = std::find_if(m_connections.begin(), m_connections.end(),
                                       [&](const Connection& c) { return c.cookie == cookie; });
        if (connection == m_connections.end()) return CONNECT_E_NOCONNECTION;
        if (GetCurrentThreadId() != m_thread) return RPC_E_WRONG_THREAD;
        IDispatch* sink = connection->sink;
        m_connections.erase(connection);
        if (m_connections.empty()) {
            m_watcher.reset();
            m_queue.clear();
        }
        // Last: the sink's release may run anything, even code that advises again.
        sink->Release();
        return S_OK;
    });
}

STDMETHODIMP CWindowEventPoint::EnumConnections(IEnumConnections** connections) {
    if (connections) *connections = nullptr;
    return E_NOTIMPL;
}

void CWindowEventPoint::ShellWindowEvents(const std::vector<CShellWindowWatcher::Event>& events) {
    m_queue.insert(m_queue.end(), events.begin(), events.end());
    // A sink that pumps messages inside its Invoke brings newer events here;
    // they wait for the loop below, so that every sink gets them in order.
    if (m_delivering) return;

    class Delivering {
    public:
        explicit Delivering(CWindowEventPoint& point) : m_point(point) {
            // A sink may drop the last reference to the list while it runs.
            m_point.AddRef();
            m_point.m_delivering = true;
        }
        ~Delivering() {
            m_point.m_delivering = false;
            m_point.Release();
        }
        Delivering(const Delivering&) = delete;
        Delivering& operator=(const Delivering&) = delete;

    private:
        CWindowEventPoint& m_point;
    } delivering(*this);

    while (!m_queue.empty()) {
        const CShellWindowWatcher::Event event = m_queue.front();
        m_queue.pop_front();
        Deliver(event);
    }
}

void CWindowEventPoint::Deliver(const CShellWindowWatcher::Event& event) {
    std::vector<Connection> connections = m_connections;
    for (const Connection& connection : connections) connection.sink->AddRef();
    for (const Connection& connection : connections) {
        // An earlier sink's Invoke may have unadvised this one.
        if (Connected(connection.cookie)) Invoke(connection.sink, event);
    }
    for (const Connection& connection : connections) connection.sink->Release();
}

bool CWindowEventPoint::Connected(DWORD cookie) const {
    return std::any_of(m_connections.begin(), m_connections.end(),
                       [&](const Connection& c) { return c.cookie == cookie; });
}
