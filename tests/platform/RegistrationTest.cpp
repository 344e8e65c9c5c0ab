// regsvr32 puts the event source in place of Wine's window list for the whole
// prefix and gives Wine's back; meanwhile the program's watcher, unchanged,
// hears Wine's file browser open.
#include <string>

#include <gtest/gtest.h>

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>

#include "ShellTestSupport.h"
#include "app/DataCollection.h"
#include "app/ToolbarValues.h"
#include "framework/ComPtr.h"

namespace {

struct Server {
    std::wstring path;
    std::wstring threadingModel;
};

std::wstring ReadString(HKEY root, const wchar_t* key, const wchar_t* name) {
    wchar_t text[MAX_PATH] = L"";
    DWORD size = sizeof text;
    if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) return L"<missing>";
    return text;
}

Server ReadServer() {
    const wchar_t key[] = L"CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\\InprocServer32";
    return {ReadString(HKEY_CLASSES_ROOT, key, nullptr), ReadString(HKEY_CLASSES_ROOT, key, L"ThreadingModel")};
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// regsvr32's exit status, or ~0 when it can't be run or doesn't end.
DWORD Regsvr32(const std::wstring& options) {
    std::wstring line = L"regsvr32.exe /s " + options + L" \"" + ShellWindowsDllPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return ~0u;
    }
    DWORD status = ~0u;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}

// The DLL registered for the life of the object. The prefix is shared with
// other tests: Wine's registration comes back even when a check fails.
class Registration {
public:
    Registration() : m_status(Regsvr32(L"")) {}
    ~Registration() {
        if (!m_unregistered) Unregister();
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

    DWORD Status() const { return m_status; }
    DWORD Unregister() {
        m_unregistered = true;
        return Regsvr32(L"/u");
    }

private:
    DWORD m_status;
    bool m_unregistered = false;
};

// What the program gets: the object CoCreateInstance hands out as it asks,
// then that object's connection point for the events.
HRESULT FindEventPoint() {
    CComPtr<IUnknown> list;
    HRESULT result = CoCreateInstance(CLSID_ShellWindows, nullptr,
                                      CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                      list.ReceiveVoid());
    CComPtr<IConnectionPointContainer> container;
    if (SUCCEEDED(result)) result = list->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid());
    CComPtr<IConnectionPoint> point;
    if (SUCCEEDED(result)) result = container->FindConnectionPoint(DIID_DShellWindowsEvents, point.Receive());
    return result;
}

class ComApartment : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }
};

using ShellWindowsRegistration = ComApartment;

TEST_F(ShellWindowsRegistration, Regsvr32PutsTheDllInPlaceOfWinesAndGivesWinesBack) {
    const Server wines = ReadServer();
    // As every fresh prefix has it.
    ASSERT_TRUE(SamePath(L"C:\\windows\\system32\\ieframe.dll", wines.path)) << wines.path;
    ASSERT_EQ(L"Apartment", wines.threadingModel);
    ASSERT_EQ(E_NOINTERFACE, FindEventPoint()) << "Wine's own list has no connection point";
    {
        Registration registration;
        ASSERT_EQ(0u, registration.Status());
        const Server ours = ReadServer();
        EXPECT_TRUE(SamePath(ShellWindowsDllPath(), ours.path)) << ours.path;
        EXPECT_EQ(L"Apartment", ours.threadingModel);
        EXPECT_EQ(S_OK, FindEventPoint());

        ASSERT_EQ(0u, registration.Unregister());
    }
    const Server restored = ReadServer();
    EXPECT_EQ(wines.path, restored.path);
    EXPECT_EQ(wines.threadingModel, restored.threadingModel);
    EXPECT_EQ(E_NOINTERFACE, FindEventPoint());
}

// The toolbar values the program writes, under a key made for the test.
class ToolbarKey {
public:
    ToolbarKey() {
        HKEY key;
        m_made = RegCreateKeyExA(HKEY_CURRENT_USER, kToolbarKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                 nullptr) == ERROR_SUCCESS;
        if (m_made) RegCloseKey(key);
    }
    ~ToolbarKey() { RegDeleteTreeA(HKEY_CURRENT_USER, kToolbarKey); }
    ToolbarKey(const ToolbarKey&) = delete;
    ToolbarKey& operator=(const ToolbarKey&) = delete;

    bool Made() const { return m_made; }
    static std::string Value(const char* name) {
        char text[MAX_PATH] = "";
        DWORD size = sizeof text;
        if (RegGetValueA(HKEY_CURRENT_USER, kToolbarKey, name, RRF_RT_REG_SZ, nullptr, text, &size) !=
            ERROR_SUCCESS) {
            return "<missing>";
        }
        return text;
    }

private:
    bool m_made;
};

std::string Skin(const char* name) {
    return std::string("c:\\zelvo-test-skins\\") + name + ".bmp";
}

using ProgramWatcherOnWine = ComApartment;

TEST_F(ProgramWatcherOnWine, RotatesTheSkinWhenWinesFileBrowserOpens) {
    ToolbarKey toolbar;
    ASSERT_TRUE(toolbar.Made());
    Registration registration;
    ASSERT_EQ(0u, registration.Status());
    {
        CDataCollection watcher;
        for (const char* name : {"S1", "S2", "S3"}) watcher.AddSkin(Skin(name).c_str());
        ASSERT_EQ(Skin("S3"), ToolbarKey::Value(kBackBitmapValue));
        ASSERT_TRUE(watcher.Connect());

        ShellProcess explorer(ShellProcess::kExplorer, ShellProcess::kExplorerClass);
        ASSERT_NE(nullptr, explorer.WaitForWindow(20000));
        // The rotation steps from the last skin added to the next one.
        EXPECT_TRUE(PumpUntil([] { return ToolbarKey::Value(kBackBitmapValue) == Skin("S2"); }, 1000))
            << ToolbarKey::Value(kBackBitmapValue);
        EXPECT_EQ(Skin("S2"), ToolbarKey::Value(kBackBitmapShellValue));

        ASSERT_TRUE(explorer.Close(10000));
        Pump(1000);
        EXPECT_EQ(Skin("S2"), ToolbarKey::Value(kBackBitmapValue)) << "a window going must not rotate";
    }
    EXPECT_EQ(0u, registration.Unregister());
}

}  // namespace
