#include "app/DataCollection.h"

#include <iterator>

#include <ole2.h>
#include <ocidl.h>

#include "app/SkinStore.h"
#include "app/ToolbarValues.h"

const CRuntimeClass CDataCollection::classCDataCollection{"CDataCollection", &CDataCollection::CreateObject,
                                                          &CCmdTarget::classCCmdTarget};

const DispatchEntry CDataCollection::dispatchEntries[] = {
    //           name                id   handler
    DispFunction("WindowRegistered", 200, &CDataCollection::WindowRegistered),
    DispFunction("WindowRevoked",    201, &CDataCollection::WindowRevoked),
};

const DispatchMap CDataCollection::dispatchMap{&CCmdTarget::dispatchMap, &DIID_DShellWindowsEvents, dispatchEntries,
                                               std::size(dispatchEntries)};

CDataCollection::CDataCollection() {
    EnableConnections();
    EnableAutomation();
}

CDataCollection::~CDataCollection() {
    Unadvise();
}

const CRuntimeClass* CDataCollection::GetRuntimeClass() const {
    return &classCDataCollection;
}

CObject* CDataCollection::CreateObject() {
    return new CDataCollection;
}

const DispatchMap* CDataCollection::GetDispatchMap() const {
    return &dispatchMap;
}

bool CDataCollection::Connect() {
    CoInitialize(nullptr);
    if (m_pShellWindows) return false;

    {
        CComPtr<IUnknown> unknown;
        if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER |
                                    CLSCTX_LOCAL_SERVER, IID_IUnknown, unknown.ReceiveVoid())) ||
            FAILED(OleRun(unknown.Get())) ||
            FAILED(unknown->QueryInterface(IID_IShellWindows, m_pShellWindows.ReceiveVoid())) || !m_pShellWindows) {
            return false;
        }
    }

    CComPtr<IConnectionPointContainer> container;
    if (FAILED(m_pShellWindows->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid())) ||
        !container) {
        return false;
    }
    CComPtr<IConnectionPoint> point;
    if (SUCCEEDED(container->FindConnectionPoint(DIID_DShellWindowsEvents, point.Receive())) && point) {
        DWORD cookie = 0;
        if (SUCCEEDED(point->Advise(GetIDispatch(false), &cookie))) {
            m_dwCookie = cookie;
            m_bAdvised = true;
        }
    }
    return true;
}

void CDataCollection::Unadvise() {
    if (!m_bAdvised) return;
    m_bAdvised = false;
    CComPtr<IConnectionPointContainer> container;
    CComPtr<IConnectionPoint> point;
    if (SUCCEEDED(m_pShellWindows->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid())) &&
        container && SUCCEEDED(container->FindConnectionPoint(DIID_DShellWindowsEvents, point.Receive())) && point) {
        point->Unadvise(m_dwCookie);
    }
}

void CDataCollection::WindowRegistered(long) {
    if (++m_nCurrent >= m_skins.GetSize()) m_nCurrent = 0;
    WriteToolbarValues(m_skins.GetSize() > 0 ? m_skins[m_nCurrent].GetString() : "");
}

void CDataCollection::WindowRevoked(long) {}

void CDataCollection::AddSkin(CString path) {
    m_skins.Add(path);
    WriteToolbarValues(path);
}

void CDataCollection::RemoveSkin(int index) {
    if (index < 0 || index >= m_skins.GetSize()) return;
    CString path = m_skins[index];
    DeleteSkinListLines(SkinListPath(ProgramFolderPrefix()), path);
    m_skins.RemoveAt(index);
    DeleteFileA(path);
}
