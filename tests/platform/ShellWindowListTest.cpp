// The event source on its own: the object from the DLL's class factory, in
// this process, against Wine's window list and real windows of Wine's file
// browser in processes of their own.
#include <algorithm>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlobj.h>

#include "ShellTestSupport.h"
#include "framework/ComPtr.h"

namespace {

using Journal = RecordingSink::Journal;

template <class Function>
Function Export(HMODULE module, const char* name) {
    // Through void (*)(), which converts to any function type without a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The DLL as COM would load it, for the life of the test program.
struct Dll {
    HMODULE module = LoadLibraryW(ShellWindowsDllPath().c_str());
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) =
        module ? Export<decltype(getClassObject)>(module, "DllGetClassObject") : nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = module ? Export<decltype(canUnloadNow)>(module, "DllCanUnloadNow") : nullptr;
};

std::vector<DISPID> Ids(const std::vector<RecordingSink::Call>& calls) {
    std::vector<DISPID> ids;
    for (const RecordingSink::Call& call : calls) ids.push_back(call.id);
    return ids;
}

const Dll& TheDll() {
    static const Dll dll;
    return dll;
}

// A list from the class factory, with its connection point, on this thread.
struct ListParts {
    HRESULT Make() {
        if (!TheDll().getClassObject || !TheDll().canUnloadNow) return E_NOINTERFACE;
        HRESULT result = TheDll().getClassObject(CLSID_ShellWindows, IID_IClassFactory, factory.ReceiveVoid());
        if (SUCCEEDED(result)) result = factory->CreateInstance(nullptr, IID_IUnknown, list.ReceiveVoid());
        if (SUCCEEDED(result)) result = list->QueryInterface(IID_IConnectionPointContainer, container.ReceiveVoid());
        if (SUCCEEDED(result)) result = container->FindConnectionPoint(DIID_DShellWindowsEvents, point.Receive());
        return result;
    }
    void Release() {
        point.Release();
        container.Release();
        list.Release();
        factory.Release();
    }

    CComPtr<IClassFactory> factory;
    CComPtr<IUnknown> list;
    CComPtr<IConnectionPointContainer> container;
    CComPtr<IConnectionPoint> point;
};

class ShellWindowList : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        ASSERT_NE(nullptr, TheDll().module) << "zelvo_shellwindows.dll must lie beside the test";
        ASSERT_HRESULT_SUCCEEDED(parts.Make());
    }
    void TearDown() override {
        parts.Release();
        CoUninitialize();
    }

    DWORD Advise(RecordingSink& sink) {
        DWORD cookie = 0;
        EXPECT_EQ(S_OK, parts.point->Advise(&sink, &cookie));
        return cookie;
    }

    IUnknown* List() const { return parts.list.Get(); }
    IConnectionPoint* Point() const { return parts.point.Get(); }

    // Before the list: a test that fails with its sinks still advised ends
    // with the list letting them go.
    Journal journal;
    RecordingSink first{"first", &journal};
    RecordingSink second{"second", &journal};
    ListParts parts;
};

TEST_F(ShellWindowList, AnswersItsInterfacesWithOneIdentity) {
    const struct {
        const char* name;
        const IID* iid;
        bool answered;
    } cases[] = {
        {"IUnknown", &IID_IUnknown, true},
        {"IDispatch", &IID_IDispatch, true},
        {"IShellWindows", &IID_IShellWindows, true},
        {"IConnectionPointContainer", &IID_IConnectionPointContainer, true},
        {"IConnectionPoint", &IID_IConnectionPoint, false},
        {"DShellWindowsEvents", &DIID_DShellWindowsEvents, false},
        {"IRunnableObject", &IID_IRunnableObject, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CComPtr<IUnknown> answer;
        EXPECT_EQ(c.answered ? S_OK : E_NOINTERFACE, List()->QueryInterface(*c.iid, answer.ReceiveVoid()));
        ASSERT_EQ(c.answered, bool(answer));
        if (!answer) continue;
        CComPtr<IUnknown> identity;
        ASSERT_EQ(S_OK, answer->QueryInterface(IID_IUnknown, identity.ReceiveVoid()));
        EXPECT_EQ(List(), identity.Get());
    }
    // What the program does right after creating it.
    EXPECT_EQ(S_OK, OleRun(List()));
}

TEST_F(ShellWindowList, ItsOnlyConnectionPointIsForShellWindowEvents) {
    IID iid = IID_NULL;
    EXPECT_EQ(S_OK, Point()->GetConnectionInterface(&iid));
    EXPECT_TRUE(IsEqualIID(DIID_DShellWindowsEvents, iid));

    CComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(S_OK, Point()->GetConnectionPointContainer(container.Receive()));
    CComPtr<IUnknown> identity;
    ASSERT_EQ(S_OK, container->QueryInterface(IID_IUnknown, identity.ReceiveVoid()));
    EXPECT_EQ(List(), identity.Get());

    CComPtr<IConnectionPoint> again;
    EXPECT_EQ(S_OK, container->FindConnectionPoint(DIID_DShellWindowsEvents, again.Receive()));
    EXPECT_EQ(Point(), again.Get());
    CComPtr<IConnectionPoint> other;
    EXPECT_EQ(CONNECT_E_NOCONNECTION, container->FindConnectionPoint(IID_IPropertyNotifySink, other.Receive()));
    EXPECT_FALSE(other);

    // The point is an object of its own.
    CComPtr<IUnknown> pointIdentity;
    ASSERT_EQ(S_OK, Point()->QueryInterface(IID_IUnknown, pointIdentity.ReceiveVoid()));
    EXPECT_EQ(static_cast<IUnknown*>(Point()), pointIdentity.Get());
    CComPtr<IShellWindows> windows;
    EXPECT_EQ(E_NOINTERFACE, Point()->QueryInterface(IID_IShellWindows, windows.ReceiveVoid()));
}

TEST_F(ShellWindowList, AdviseAndUnadviseRefuseWhatTheyCannotDo) {
    RecordingSink& sink = first;
    DWORD cookie = 99;
    EXPECT_EQ(E_POINTER, Point()->Advise(nullptr, &cookie));
    EXPECT_EQ(0u, cookie);
    EXPECT_EQ(E_POINTER, Point()->Advise(&sink, nullptr));
    cookie = 99;
    // The class factory answers IUnknown only: no event sink.
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, Point()->Advise(parts.factory.Get(), &cookie));
    EXPECT_EQ(0u, cookie);
    EXPECT_EQ(0u, sink.OutsideRefs());

    const DWORD first = Advise(sink);
    const DWORD second = Advise(sink);
    EXPECT_NE(0u, first);
    EXPECT_NE(first, second);
    EXPECT_EQ(2u, sink.OutsideRefs());
    EXPECT_EQ(CONNECT_E_NOCONNECTION, Point()->Unadvise(0));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, Point()->Unadvise(std::max(first, second) + 1));

    // Events reach the sinks on the thread that advised them: another may
    // neither add a sink nor take one away meanwhile.
    HRESULT adviseElsewhere = S_OK, unadviseElsewhere = S_OK;
    std::thread([&] {
        DWORD elsewhere = 0;
        adviseElsewhere = Point()->Advise(&sink, &elsewhere);
        unadviseElsewhere = Point()->Unadvise(first);
    }).join();
    EXPECT_EQ(RPC_E_WRONG_THREAD, adviseElsewhere);
    EXPECT_EQ(RPC_E_WRONG_THREAD, unadviseElsewhere);

    EXPECT_EQ(S_OK, Point()->Unadvise(first));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, Point()->Unadvise(first));
    EXPECT_EQ(S_OK, Point()->Unadvise(second));
    EXPECT_EQ(0u, sink.OutsideRefs());
}

TEST_F(ShellWindowList, ReferencesBalanceAndTheLastReleaseLetsTheSinkAndTheDllGo) {
    RecordingSink& sink = first;
    {
        CComPtr<IShellWindows> windows;
        ASSERT_EQ(S_OK, List()->QueryInterface(IID_IShellWindows, windows.ReceiveVoid()));
        CComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(S_OK, Point()->GetConnectionPointContainer(container.Receive()));
        const DWORD cookie = Advise(sink);
        EXPECT_EQ(1u, sink.OutsideRefs());
        EXPECT_EQ(S_OK, Point()->Unadvise(cookie));
        EXPECT_EQ(0u, sink.OutsideRefs());
    }
    Advise(sink);  // left advised
    // The fixture holds the list, its container interface and its point.
    EXPECT_EQ(4u, List()->AddRef());
    EXPECT_EQ(3u, List()->Release());
    EXPECT_EQ(S_FALSE, TheDll().canUnloadNow());

    IUnknown* last = List();
    last->AddRef();
    parts.point.Release();
    parts.container.Release();
    parts.list.Release();
    EXPECT_EQ(1u, sink.OutsideRefs());
    EXPECT_EQ(0u, last->Release());
    EXPECT_EQ(0u, sink.OutsideRefs());
    EXPECT_EQ(S_FALSE, TheDll().canUnloadNow()) << "the class factory is still held";
    parts.factory.Release();
    EXPECT_EQ(S_OK, TheDll().canUnloadNow());
}

TEST_F(ShellWindowList, HandsTheWindowListCallsToWines) {
    CComPtr<IShellWindows> ours;
    ASSERT_EQ(S_OK, List()->QueryInterface(IID_IShellWindows, ours.ReceiveVoid()));
    CComPtr<IShellWindows> wines;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                     wines.ReceiveVoid()));
    CComPtr<IConnectionPointContainer> noContainer;
    ASSERT_EQ(E_NOINTERFACE, wines->QueryInterface(IID_IConnectionPointContainer, noContainer.ReceiveVoid()));

    // Wine's list answers only some calls; ours answers exactly as it does.
    LONG ourCount = -1, wineCount = -1;
    EXPECT_EQ(wines->get_Count(&wineCount), ours->get_Count(&ourCount));
    EXPECT_EQ(wineCount, ourCount);

    struct Desktop {
        HRESULT result;
        LONG window;
        bool dispatch;
    };
    auto findDesktop = [](IShellWindows* windows) {
        VARIANT location, root;
        VariantInit(&location);
        VariantInit(&root);
        location.vt = VT_I4;
        location.lVal = CSIDL_DESKTOP;
        Desktop desktop{E_FAIL, 0, false};
        CComPtr<IDispatch> dispatch;
        desktop.result = windows->FindWindowSW(&location, &root, SWC_DESKTOP, &desktop.window, SWFO_NEEDDISPATCH,
                                               dispatch.Receive());
        desktop.dispatch = bool(dispatch);
        return desktop;
    };
    const Desktop ourDesktop = findDesktop(ours.Get()), wineDesktop = findDesktop(wines.Get());
    EXPECT_EQ(S_OK, ourDesktop.result);
    EXPECT_EQ(HandleToLong(GetDesktopWindow()), ourDesktop.window);
    EXPECT_TRUE(ourDesktop.dispatch);
    EXPECT_EQ(wineDesktop.result, ourDesktop.result);
    EXPECT_EQ(wineDesktop.window, ourDesktop.window);

    // IDispatch names come from Wine's type information.
    UINT ourInfos = 9, wineInfos = 9;
    EXPECT_EQ(S_OK, ours->GetTypeInfoCount(&ourInfos));
    EXPECT_EQ(S_OK, wines->GetTypeInfoCount(&wineInfos));
    EXPECT_EQ(wineInfos, ourInfos);
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Count")};
    DISPID ourId = DISPID_UNKNOWN, wineId = DISPID_UNKNOWN;
    EXPECT_EQ(S_OK, ours->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &ourId));
    EXPECT_EQ(S_OK, wines->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &wineId));
    EXPECT_NE(DISPID_UNKNOWN, ourId);
    EXPECT_EQ(wineId, ourId);
}

// Events are checked in the journal: which sink got what, in which order.
TEST_F(ShellWindowList, TellsEverySinkOnceThatAFileBrowserOpenedAndWent) {
    const DWORD firstCookie = Advise(first), secondCookie = Advise(second);

    ShellProcess explorer(ShellProcess::kExplorer, ShellProcess::kExplorerClass);
    ASSERT_TRUE(explorer.Started());
    const HWND window = explorer.WaitForWindow(20000);
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(PumpUntil([&] { return second.CallCount() == 1; }, 1000)) << "no event within a second of showing";
    ASSERT_EQ(1u, first.CallCount());
    const LONG cookie = first.Calls()[0].cookie;
    EXPECT_NE(0, cookie);

    // Hidden and shown again, it stays the same window.
    ShowWindow(window, SW_HIDE);
    Pump(300);
    ShowWindow(window, SW_SHOW);
    Pump(700);

    ASSERT_TRUE(explorer.Close(10000));
    EXPECT_TRUE(PumpUntil([&] { return second.CallCount() == 2; }, 5000));
    Pump(300);
    EXPECT_EQ((Journal{JournalEntry("first", 200, cookie), JournalEntry("second", 200, cookie),
                       JournalEntry("first", 201, cookie), JournalEntry("second", 201, cookie)}),
              journal);
    for (const RecordingSink* sink : {&first, &second}) {
        for (const RecordingSink::Call& call : sink->Calls()) EXPECT_EQ(GetCurrentThreadId(), call.thread);
    }
    EXPECT_EQ(S_OK, Point()->Unadvise(firstCookie));
    EXPECT_EQ(S_OK, Point()->Unadvise(secondCookie));
}

// A sink that pumps messages inside its Invoke, as a modal dialog would,
// while Internet Explorer opens: the newer event waits until every sink has
// the older one.
TEST_F(ShellWindowList, EventsComingWhileASinkPumpsWaitTheirTurn) {
    std::unique_ptr<ShellProcess> inner;
    first.onCall = [&](const RecordingSink::Call&) {
        if (inner) return;
        inner = std::make_unique<ShellProcess>(ShellProcess::kInternetExplorer, ShellProcess::kInternetExplorerClass);
        if (inner->WaitForWindow(20000)) Pump(1000);
    };
    const DWORD firstCookie = Advise(first), secondCookie = Advise(second);

    ShellProcess outer(ShellProcess::kExplorer, ShellProcess::kExplorerClass);
    ASSERT_NE(nullptr, outer.WaitForWindow(20000));
    EXPECT_TRUE(PumpUntil([&] { return second.CallCount() == 2; }, 30000));
    ASSERT_EQ(2u, first.CallCount());
    const LONG outerCookie = first.Calls()[0].cookie, innerCookie = first.Calls()[1].cookie;
    EXPECT_NE(outerCookie, innerCookie);
    EXPECT_EQ((Journal{JournalEntry("first", 200, outerCookie), JournalEntry("second", 200, outerCookie),
                       JournalEntry("first", 200, innerCookie), JournalEntry("second", 200, innerCookie)}),
              journal);
    ASSERT_TRUE(inner->Close(10000));
    ASSERT_TRUE(outer.Close(10000));
    EXPECT_TRUE(PumpUntil([&] { return second.CallCount() == 4; }, 5000));
    EXPECT_EQ((std::vector<DISPID>{200, 200, 201, 201}), Ids(first.Calls()));
    EXPECT_EQ(S_OK, Point()->Unadvise(firstCookie));
    EXPECT_EQ(S_OK, Point()->Unadvise(secondCookie));
}

TEST_F(ShellWindowList, ReportsNeitherWindowsThatWereThereNorAnythingAfterUnadvise) {
    ShellProcess before(ShellProcess::kInternetExplorer, ShellProcess::kInternetExplorerClass);
    ASSERT_NE(nullptr, before.WaitForWindow(20000));

    const int messageWindows = MessageWindowsOfThisThread();
    const DWORD firstCookie = Advise(first), secondCookie = Advise(second);
    EXPECT_EQ(messageWindows + 1, MessageWindowsOfThisThread());
    // Unadvised in the middle of deliveries: the second sink by the first
    // before the second is reached, later the first, the last one, by itself.
    first.onCall = [&](const RecordingSink::Call& call) {
        if (call.id == 201) {
            EXPECT_EQ(S_OK, Point()->Unadvise(secondCookie));
        }
        if (first.CallCount() == 3) {
            EXPECT_EQ(S_OK, Point()->Unadvise(firstCookie));
        }
    };
    {
        ShellProcess during(ShellProcess::kExplorer, ShellProcess::kExplorerClass);
        ASSERT_NE(nullptr, during.WaitForWindow(20000));
        ASSERT_TRUE(PumpUntil([&] { return second.CallCount() == 1; }, 1000));
        ASSERT_TRUE(during.Close(10000));
        EXPECT_TRUE(PumpUntil([&] { return first.CallCount() == 2; }, 5000));
    }
    EXPECT_EQ(0u, second.OutsideRefs());
    ASSERT_TRUE(before.Close(10000));
    Pump(1000);
    {
        ShellProcess after(ShellProcess::kExplorer, ShellProcess::kExplorerClass);
        ASSERT_NE(nullptr, after.WaitForWindow(20000));
        EXPECT_TRUE(PumpUntil([&] { return first.CallCount() == 3; }, 1000));
        // The last sink gone, nothing watches any more.
        EXPECT_EQ(0u, first.OutsideRefs());
        EXPECT_EQ(messageWindows, MessageWindowsOfThisThread());
        ASSERT_TRUE(after.Close(10000));
        Pump(1000);
    }
    ASSERT_EQ(3u, first.CallCount());
    const LONG during = first.Calls()[0].cookie, after = first.Calls()[2].cookie;
    EXPECT_NE(during, after);
    EXPECT_EQ((Journal{JournalEntry("first", 200, during), JournalEntry("second", 200, during),
                       JournalEntry("first", 201, during), JournalEntry("first", 200, after)}),
              journal);
}

// Made, advised and pumped on a thread of its own, as a program's user
// interface thread would.
TEST(ShellWindowListThreads, EventsRunOnTheAdvisingThreadOnlyWhenItPumps) {
    RecordingSink sink;
    HANDLE advised = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE pump = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HRESULT made = E_FAIL;
    DWORD workerId = 0;
    std::thread worker([&] {
        CoInitialize(nullptr);
        {
            ListParts parts;
            DWORD cookie = 0;
            made = parts.Make();
            if (SUCCEEDED(made)) made = parts.point->Advise(&sink, &cookie);
            workerId = GetCurrentThreadId();
            SetEvent(advised);
            WaitForSingleObject(pump, 60000);
            PumpUntil([&] { return sink.CallCount() > 0; }, 5000);
            if (SUCCEEDED(made)) parts.point->Unadvise(cookie);
        }
        CoUninitialize();
    });
    struct JoinOnExit {
        std::thread& thread;
        HANDLE advised, pump;
        ~JoinOnExit() {
            SetEvent(pump);
            if (thread.joinable()) thread.join();
            CloseHandle(advised);
            CloseHandle(pump);
        }
    } joinOnExit{worker, advised, pump};

    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(advised, 30000));
    ASSERT_HRESULT_SUCCEEDED(made);
    ShellProcess explorer(ShellProcess::kExplorer, ShellProcess::kExplorerClass);
    ASSERT_NE(nullptr, explorer.WaitForWindow(20000));
    Pump(1500);
    EXPECT_EQ(0u, sink.CallCount()) << "delivered while the advising thread pumped no messages";

    SetEvent(pump);
    worker.join();
    const std::vector<RecordingSink::Call> calls = sink.Calls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(200, calls[0].id);
    EXPECT_EQ(workerId, calls[0].thread);
    EXPECT_EQ(0u, sink.OutsideRefs());
    EXPECT_TRUE(explorer.Close(10000));
}

}  // namespace
