// CDataCollection: the sink for the shell window list's events, and owner of
// the skin rotation list and its index.
#pragma once

#include <exdisp.h>

#include "framework/CmdTarget.h"
#include "framework/ComPtr.h"
#include "framework/Strings.h"

class CDataCollection : public CCmdTarget {
public:
    CDataCollection();
    // Ends the connection before releasing the window list, so that no event
    // reaches a destroyed watcher.
    ~CDataCollection() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCDataCollection;
    static CObject* CreateObject();

    // Connects to the shell's window list once; false when the list object or
    // its connection point container can't be had, or when already connected.
    bool Connect();

    // Appends path to the rotation list and writes it to the toolbar values;
    // the rotation index stays where it is.
    void AddSkin(CString path);
    // Drops entry index from the rotation list, its line from the skin list
    // file and its bitmap from disk; an index outside the list does nothing.
    // The rotation index stays where it is.
    void RemoveSkin(int index);

    const CStringArray& GetSkins() const { return m_skins; }

protected:
    // Dispatch handlers; the cookies are not used.
    void WindowRegistered(long cookie);
    void WindowRevoked(long cookie);

    const DispatchMap* GetDispatchMap() const override;
    static const DispatchEntry dispatchEntries[];
    static const DispatchMap dispatchMap;

private:
    void Unadvise();

    CComPtr<IShellWindows> m_pShellWindows;
    CStringArray m_skins;
    int m_nCurrent = 0;
    DWORD m_dwCookie = 0;
    bool m_bAdvised = false;
};
