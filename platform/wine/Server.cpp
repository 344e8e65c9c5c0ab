// The in-process server: its class object and the four exports COM and
// regsvr32 call.
#include "platform/wine/Server.h"

#include <iterator>
#include <string>
#include <vector>

#include <exdisp.h>
#include <olectl.h>

#include "framework/ErrorBarrier.h"
#include "platform/wine/ShellWindowList.h"

namespace {

HINSTANCE g_module = nullptr;
volatile LONG g_locks = 0;

// Wine's own registration of the class, as a fresh prefix has it.
constexpr wchar_t kWineServer[] = L"C:\\windows\\system32\\ieframe.dll";
constexpr wchar_t kThreadingModel[] = L"Apartment";

class CShellWindowsFactory : public IClassFactory {
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // One static factory: its references only keep the DLL loaded.
    STDMETHOD_(ULONG, AddRef)() override {
        LockModule();
        return 2;
    }
    STDMETHOD_(ULONG, Release)() override {
        UnlockModule();
        return 1;
    }
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** object) override {
        return CallBarrier<HRESULT>(E_OUTOFMEMORY, [&] {
            if (!object) return E_POINTER;
            *object = nullptr;
            if (outer) return CLASS_E_NOAGGREGATION;
            return CShellWindowList::Create(iid, object);
        });
    }
    STDMETHOD(LockServer)(BOOL lock) override {
        if (lock) LockModule();
        else UnlockModule();
        return S_OK;
    }
};

CShellWindowsFactory g_factory;

// HKCR\CLSID\{ShellWindows}\InprocServer32
std::wstring ServerKey() {
    wchar_t clsid[40];
    StringFromGUID2(CLSID_ShellWindows, clsid, static_cast<int>(std::size(clsid)));
    return std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
}

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

HRESULT WriteServer(const std::wstring& path) {
    HKEY key;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, ServerKey().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                  nullptr);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    status = SetString(key, nullptr, path);
    if (status == ERROR_SUCCESS) status = SetString(key, L"ThreadingModel", kThreadingModel);
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
}

std::wstring ModulePath() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return std::wstring(path.data(), length);
        path.resize(path.size() * 2);
    }
}

}  // namespace

HINSTANCE ThisModule() {
    return g_module;
}

void LockModule() {
    InterlockedIncrement(&g_locks);
}

void UnlockModule() {
    InterlockedDecrement(&g_locks);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_ShellWindows)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() {
    return g_locks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    return CallBarrier<HRESULT>(SELFREG_E_CLASS, [] {
        const std::wstring path = ModulePath();
        if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
        return WriteServer(path);
    });
}

STDAPI DllUnregisterServer() {
    return CallBarrier<HRESULT>(SELFREG_E_CLASS, [] { return WriteServer(kWineServer); });
}
