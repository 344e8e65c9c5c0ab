// The watcher against a connection point of our own (Wine's window list has
// none) and against Wine's window list itself.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "FakeShellWindows.h"
#include "ToolbarRegistry.h"
#include "app/DataCollection.h"
#include "framework/ComPtr.h"
#include "framework/ErrorBarrier.h"

namespace {

using Calls = std::vector<std::string>;

const Calls kConnectCalls = {
    "CreateInstance IUnknown",
    "QueryInterface IRunnableObject",
    "Run",
    "QueryInterface IShellWindows",
    "QueryInterface IConnectionPointContainer",
    "FindConnectionPoint DShellWindowsEvents",
    "Advise",
};
const Calls kUnadviseCalls = {
    "QueryInterface IConnectionPointContainer",
    "FindConnectionPoint DShellWindowsEvents",
    "Unadvise",
};

std::string Skin(const char* name) {
    return std::string("c:\\zelvo-test-skins\\") + name + ".bmp";
}

struct ConnectCase {
    const char* name;
    ShellFault fault;
    bool connected;
    size_t callsMade;  // how many of kConnectCalls are made
    bool holdsWindowList;
    bool advised;
};

const ConnectCase kConnectCases[] = {
    {"Connects", ShellFault::None, true, 7, true, true},
    {"CreateInstanceFails", ShellFault::CreateInstance, false, 1, false, false},
    {"RunFails", ShellFault::Run, false, 3, false, false},
    {"NoShellWindows", ShellFault::NoShellWindows, false, 4, false, false},
    {"NoContainer", ShellFault::NoContainer, false, 5, true, false},
    {"NoConnectionPoint", ShellFault::NoConnectionPoint, true, 6, true, false},
    {"AdviseFails", ShellFault::Advise, true, 7, true, false},
};

class WatcherConnect : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(WatcherConnect, MakesTheCallsInOrderAndLeaksNoReference) {
    const ConnectCase& c = GetParam();
    FakeShellWindows shell(c.fault);
    ShellWindowsRegistration registration(shell);
    ASSERT_TRUE(registration.Registered());
    {
        CDataCollection watcher;
        EXPECT_EQ(c.connected, watcher.Connect());
        EXPECT_EQ(Calls(kConnectCalls.begin(), kConnectCalls.begin() + c.callsMade), shell.TakeCalls());
        EXPECT_EQ(c.holdsWindowList ? 1u : 0u, shell.OutsideRefs());
        EXPECT_EQ(c.advised, shell.Sink() != nullptr);
        if (c.holdsWindowList) {
            EXPECT_FALSE(watcher.Connect());
            EXPECT_EQ(Calls{}, shell.TakeCalls());
        }
    }
    EXPECT_EQ(c.advised ? kUnadviseCalls : Calls{}, shell.TakeCalls());
    EXPECT_EQ(0u, shell.OutsideRefs());
    EXPECT_EQ(nullptr, shell.Sink());
}

INSTANTIATE_TEST_SUITE_P(Cases, WatcherConnect, ::testing::ValuesIn(kConnectCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A connected watcher holding S1, S2, S3 as after start-up: both values are
// S3 and the next registration writes S2.
class WatcherEvents : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(registration.Registered());
        ASSERT_TRUE(watcher.Connect());
        ASSERT_NE(nullptr, shell.Sink());
        ResetToolbarKey(true);
        for (const char* name : {"S1", "S2", "S3"}) watcher.AddSkin(Skin(name).c_str());
        ASSERT_TRUE(ToolbarValuesAre(Skin("S3")));
    }
    void TearDown() override { ResetToolbarKey(false); }

    FakeShellWindows shell;
    ShellWindowsRegistration registration{shell};
    CDataCollection watcher;
};

VARIANT Long(VARTYPE type, LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    if (type == VT_I2) v.iVal = static_cast<SHORT>(value);
    else v.lVal = value;
    return v;
}

VARIANT Text(const wchar_t* text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
}

TEST_F(WatcherEvents, ArgumentsAreConvertedToLongOrRefused) {
    LONG byRef = 9;
    VARIANT reference;
    VariantInit(&reference);
    reference.vt = VT_I4 | VT_BYREF;
    reference.plVal = &byRef;
    struct Case {
        const char* what;
        DISPID id;
        VARIANT argument;
        HRESULT expected;
        const char* valuesAfter;
    } cases[] = {
        {"registered VT_I4", 200, Long(VT_I4, 7), S_OK, "S2"},
        {"registered VT_I2", 200, Long(VT_I2, 7), S_OK, "S3"},
        {"registered BSTR number", 200, Text(L"42"), S_OK, "S1"},
        {"registered VT_I4 by reference", 200, reference, S_OK, "S2"},
        {"registered BSTR not a number", 200, Text(L"sky"), DISP_E_TYPEMISMATCH, "S2"},
        {"revoked VT_I4", 201, Long(VT_I4, 7), S_OK, "S2"},
        {"revoked BSTR number", 201, Text(L"3"), S_OK, "S2"},
        {"unknown id", 202, Long(VT_I4, 7), DISP_E_MEMBERNOTFOUND, "S2"},
        {"id zero", 0, Long(VT_I4, 7), DISP_E_MEMBERNOTFOUND, "S2"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, shell.Fire(c.id, c.argument));
        EXPECT_TRUE(ToolbarValuesAre(Skin(c.valuesAfter)));
        VariantClear(&c.argument);
    }
}

TEST_F(WatcherEvents, MalformedCallsAreRefusedWithoutARotation) {
    IDispatch* sink = shell.Sink();
    VARIANT args[2] = {Long(VT_I4, 1), Long(VT_I4, 2)};
    DISPID named = 0;
    struct Case {
        const char* what;
        DISPID id;
        const IID* iid;
        WORD flags;
        DISPPARAMS params;
        HRESULT expected;
    } cases[] = {
        {"no argument", 200, &IID_NULL, DISPATCH_METHOD, {nullptr, nullptr, 0, 0}, DISP_E_BADPARAMCOUNT},
        {"two arguments", 200, &IID_NULL, DISPATCH_METHOD, {args, nullptr, 2, 0}, DISP_E_BADPARAMCOUNT},
        {"named argument", 200, &IID_NULL, DISPATCH_METHOD, {args, &named, 1, 1}, DISP_E_NONAMEDARGS},
        {"interface id given", 200, &IID_IDispatch, DISPATCH_METHOD, {args, nullptr, 1, 0}, DISP_E_UNKNOWNINTERFACE},
        {"property put", 200, &IID_NULL, DISPATCH_PROPERTYPUT, {args, nullptr, 1, 0}, DISP_E_MEMBERNOTFOUND},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, sink->Invoke(c.id, *c.iid, 0, c.flags, &c.params, nullptr, nullptr, nullptr));
        EXPECT_TRUE(ToolbarValuesAre(Skin("S3")));
    }
    EXPECT_EQ(E_INVALIDARG, sink->Invoke(200, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(WatcherEvents, AnswersTheInterfacesOfAnEventSinkOnly) {
    IDispatch* sink = shell.Sink();
    struct Case {
        const IID* iid;
        bool answered;
    } cases[] = {
        {&IID_IUnknown, true},
        {&IID_IDispatch, true},
        {&DIID_DShellWindowsEvents, true},
        {&IID_IShellWindows, false},
        {&IID_IConnectionPointContainer, false},
    };
    for (const Case& c : cases) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(c.answered ? S_OK : E_NOINTERFACE, sink->QueryInterface(*c.iid, &object));
        EXPECT_EQ(c.answered ? static_cast<void*>(sink) : nullptr, object);
        if (object) sink->Release();
    }
}

TEST_F(WatcherEvents, NamesMapToTheirIdsWithoutRegardToCase) {
    IDispatch* sink = shell.Sink();
    struct Case {
        const wchar_t* name;
        HRESULT expected;
        DISPID id;
    } cases[] = {
        {L"WindowRegistered", S_OK, 200},
        {L"windowrevoked", S_OK, 201},
        {L"WindowRegister", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
    };
    for (const Case& c : cases) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
        DISPID id = 12345;
        EXPECT_EQ(c.expected, sink->GetIDsOfNames(IID_NULL, names, 1, 0, &id)) << c.name;
        EXPECT_EQ(c.id, id) << c.name;
    }
}

// Runs the messages of this thread until event is set; false on a time-out.
bool PumpUntil(HANDLE event) {
    for (;;) {
        DWORD wait = MsgWaitForMultipleObjects(1, &event, FALSE, 10000, QS_ALLINPUT);
        if (wait != WAIT_OBJECT_0 + 1) return wait == WAIT_OBJECT_0;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// Runs body from a message of the thread's message loop, as a button's
// command runs inside the dialog's modal loop.
template <class Body>
void RunAsCommand(Body& body) {
    WNDCLASSA windowClass{};
    windowClass.lpszClassName = "ZelvoTestCommandWindow";
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        return CallBarrier<LRESULT>(0, [&]() -> LRESULT {
            if (message != WM_APP) return DefWindowProcA(window, message, wParam, lParam);
            (*reinterpret_cast<Body*>(lParam))();
            PostQuitMessage(0);
            return 0;
        });
    };
    ASSERT_NE(0, RegisterClassA(&windowClass));
    HWND window = CreateWindowA(windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                nullptr);
    ASSERT_NE(nullptr, window);
    PostMessageA(window, WM_APP, 0, reinterpret_cast<LPARAM>(&body));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(window);
    UnregisterClassA(windowClass.lpszClassName, nullptr);
}

// The shell's calls come from another apartment, so they reach the watcher
// only when its thread pumps messages, as inside the dialog of a command. A
// command that changes the list before its dialog must not have an event run
// in the middle of the change.
TEST_F(WatcherEvents, EventsFromAnotherApartmentRunInsideTheNestedLoopOnly) {
    IStream* stream = nullptr;
    ASSERT_HRESULT_SUCCEEDED(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, shell.Sink(), &stream));
    HANDLE commandStarted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE firstCallMade = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE shellDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> eventsReturned{0};
    std::vector<HRESULT> results;
    std::vector<std::string> valuesSeen;
    std::thread shellThread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IDispatch* proxy = nullptr;
        if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, reinterpret_cast<void**>(&proxy)))) {
            WaitForSingleObject(commandStarted, 10000);
            for (LONG cookie = 100; cookie < 103; ++cookie) {
                VARIANT argument = Long(VT_I4, cookie);
                DISPPARAMS params{&argument, nullptr, 1, 0};
                SetEvent(firstCallMade);
                results.push_back(proxy->Invoke(200, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                                                nullptr));
                valuesSeen.push_back(ReadBackBitmap());
                ++eventsReturned;
            }
            proxy->Release();
        }
        CoUninitialize();
        SetEvent(shellDone);
    });

    auto command = [&] {
        SetEvent(commandStarted);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(firstCallMade, 10000));
        Sleep(200);
        watcher.RemoveSkin(0);
        Sleep(100);
        watcher.AddSkin(Skin("S4").c_str());
        EXPECT_EQ(0, eventsReturned.load());
        EXPECT_TRUE(ToolbarValuesAre(Skin("S4")));
        EXPECT_TRUE(PumpUntil(shellDone));
    };
    RunAsCommand(command);
    EXPECT_TRUE(PumpUntil(shellDone));
    shellThread.join();
    for (HANDLE event : {commandStarted, firstCallMade, shellDone}) CloseHandle(event);

    // S2, S3, S4 with the index at 0: one step per event, over the whole list.
    EXPECT_EQ((std::vector<HRESULT>{S_OK, S_OK, S_OK}), results);
    EXPECT_EQ((std::vector<std::string>{Skin("S3"), Skin("S4"), Skin("S2")}), valuesSeen);
}

TEST(WatcherOnWine, WindowListWithoutConnectionPointFailsToConnectAndAddingStillWrites) {
    CoInitialize(nullptr);
    CComPtr<IUnknown> windowList;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IUnknown,
                                              windowList.ReceiveVoid()));
    CComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(E_NOINTERFACE, windowList->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid()));

    ResetToolbarKey(true);
    {
        CDataCollection watcher;
        EXPECT_FALSE(watcher.Connect());
        EXPECT_FALSE(watcher.Connect());
        watcher.AddSkin(Skin("Wine").c_str());
        EXPECT_TRUE(ToolbarValuesAre(Skin("Wine")));
    }
    ResetToolbarKey(false);
}

}  // namespace
