// CCmdTarget: reference counting, an automation (IDispatch) interface driven
// by a dispatch map, and the message map that windows and the application
// route their messages and commands through.
#pragma once

#include <cstddef>

#include <windows.h>
#include <oaidl.h>

#include "framework/MessageMap.h"
#include "framework/Object.h"

class CCmdTarget;

// One row of a dispatch map: a method with one 32-bit integer parameter
// (VT_I4; other argument types are converted) and no result.
struct DispatchEntry {
    const char* name;
    DISPID id;
    void (CCmdTarget::*handler)(long);
};

template <class Target>
constexpr DispatchEntry DispFunction(const char* name, DISPID id, void (Target::*handler)(long)) {
    return {name, id, static_cast<void (CCmdTarget::*)(long)>(handler)};
}

// A class's dispatch map: its own rows, the map of its base class, and the
// dispinterface the rows implement (null if none).
struct DispatchMap {
    const DispatchMap* baseMap;
    const IID* dispInterface;
    const DispatchEntry* entries;
    std::size_t count;
};

class CCmdTarget : public CObject {
public:
    CCmdTarget();
    ~CCmdTarget() override = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCCmdTarget;

    // The count starts at 1, held by whoever constructed the object; the last
    // release calls OnFinalRelease. An object embedded in another keeps that
    // first reference for its whole life.
    ULONG InternalAddRef();
    ULONG InternalRelease();
    // Answers IUnknown and IDispatch once automation is enabled, and the
    // dispatch map's dispinterface once connections are enabled as well.
    HRESULT InternalQueryInterface(REFIID iid, void** object);

    void EnableAutomation();
    // Lets the object be advised to a connection point as a sink of its
    // dispatch map's dispinterface.
    void EnableConnections();

    // The object's IDispatch, or null before EnableAutomation.
    IDispatch* GetIDispatch(bool addRef);

    // Runs the first row of the message map (this class's rows first, then
    // its bases') that handles message; false when none does.
    bool OnCmdMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    // Deletes the object: only objects made with new may be released to zero.
    virtual void OnFinalRelease();

    virtual const DispatchMap* GetDispatchMap() const;
    static const DispatchMap dispatchMap;

    virtual const MessageMap* GetMessageMap() const;
    static const MessageMap messageMap;

private:
    class XDispatch : public IDispatch {
    public:
        explicit XDispatch(CCmdTarget* owner) : m_owner(owner) {}
        STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
        STDMETHOD_(ULONG, AddRef)() override;
        STDMETHOD_(ULONG, Release)() override;
        STDMETHOD(GetTypeInfoCount)(UINT* count) override;
        STDMETHOD(GetTypeInfo)(UINT index, LCID locale, ITypeInfo** typeInfo) override;
        STDMETHOD(GetIDsOfNames)(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
        STDMETHOD(Invoke)(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* exception, UINT* argError) override;

    private:
        CCmdTarget* const m_owner;
    };

    const DispatchEntry* FindDispatchEntry(DISPID id) const;
    const DispatchEntry* FindDispatchEntry(const OLECHAR* name) const;
    const IID* FindDispInterface() const;
    HRESULT Invoke(DISPID id, REFIID iid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                   UINT* argError);

    XDispatch m_xDispatch;
    ULONG m_dwRef = 1;
    bool m_bAutomation = false;
    bool m_bConnections = false;
};
