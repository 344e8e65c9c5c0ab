// CWindowEventPoint: the DShellWindowsEvents connection point. Its sinks get
// "WindowRegistered" and "WindowRevoked" on the thread that advised them,
// from that thread's message queue, as the shell's own list delivers them.
#pragma once

#include <deque>
#include <memory>
#include <vector>

#include <windows.h>
#include <ocidl.h>

#include "platform/wine/ShellWindowWatcher.h"

class CWindowEventPoint : public IConnectionPoint, private CShellWindowWatcher::Listener {
public:
    // The point lives inside its container and counts its references there.
    explicit CWindowEventPoint(IConnectionPointContainer& container) : m_container(container) {}
    ~CWindowEventPoint();
    CWindowEventPoint(const CWindowEventPoint&) = delete;
    CWindowEventPoint& operator=(const CWindowEventPoint&) = delete;

    STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    STDMETHOD(GetConnectionInterface)(IID* iid) override;
    STDMETHOD(GetConnectionPointContainer)(IConnectionPointContainer** container) override;
    // All sinks belong to one thread, the one that watches: while any is
    // advised, calls from another thread get RPC_E_WRONG_THREAD. Watching
    // starts with the first sink and stops with the last.
    STDMETHOD(Advise)(IUnknown* sink, DWORD* cookie) override;
    STDMETHOD(Unadvise)(DWORD cookie) override;
    STDMETHOD(EnumConnections)(IEnumConnections** connections) override;

private:
    struct Connection {
        DWORD cookie;
        IDispatch* sink;
    };

    void ShellWindowEvents(const std::vector<CShellWindowWatcher::Event>& events) override;
    void Deliver(const CShellWindowWatcher::Event& event);
    bool Connected(DWORD cookie) const;

    IConnectionPointContainer& m_container;
    std::vector<Connection> m_connections;
    DWORD m_lastCookie = 0;
    DWORD m_thread = 0;
    std::unique_ptr<CShellWindowWatcher> m_watcher;
    std::deque<CShellWindowWatcher::Event> m_queue;
    bool m_delivering = false;
};
