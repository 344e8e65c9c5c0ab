// The framework layer: strings, run-time classes and the command target's
// reference counting and dispatch.
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "app/DataCollection.h"
#include "framework/CmdTarget.h"
#include "framework/Strings.h"

namespace {

TEST(CString, ReplaceRemovesEveryOccurrenceInOnePass) {
    const struct {
        const char* text;
        const char* oldText;
        const char* newText;
        const char* result;
        int count;
    } cases[] = {
        {"c:\\zelvo\\zelvo.exe", "zelvo.exe", "", "c:\\zelvo\\", 1},
        {"zelvo.exezelvo.exe", "zelvo.exe", "", "", 2},
        {"zelvo.exzelvo.exee", "zelvo.exe", "", "zelvo.exe", 1},
        {"aaa", "aa", "b", "ba", 1},
        {"abc", "x", "y", "abc", 0},
        {"abc", "", "y", "abc", 0},
        {"a.b", ".", "..", "a..b", 1},
    };
    for (const auto& c : cases) {
        CString text(c.text);
        EXPECT_EQ(c.count, text.Replace(c.oldText, c.newText)) << c.text;
        EXPECT_STREQ(c.result, text) << c.text;
    }
}

TEST(CString, SlicesAreClampedToTheString) {
    CString text("Blue Sky");
    EXPECT_STREQ("Blue", text.Left(4));
    EXPECT_STREQ("Blue Sky", text.Left(99));
    EXPECT_STREQ("", text.Left(-1));
    EXPECT_STREQ("Sky", text.Mid(5));
    EXPECT_STREQ("", text.Mid(99));
    EXPECT_STREQ("Blue Sky", text.Mid(-3));
    EXPECT_EQ(4, text.Find(' '));
    EXPECT_EQ(-1, text.Find('='));
    EXPECT_EQ(7, text.ReverseFind('y'));
}

TEST(CString, FormatConcatenationAndComparison) {
    CString path;
    std::string longName(5000, 'n');
    path.Format("%s%s.bmp", "c:\\tools\\", longName.c_str());
    EXPECT_EQ("c:\\tools\\" + longName + ".bmp", std::string(path));

    CString joined = CString("a") + "b" + CString("c");
    joined += 'd';
    joined += static_cast<const char*>(nullptr);
    EXPECT_TRUE(joined == "abcd");
    EXPECT_TRUE("abcd" == joined);
    EXPECT_TRUE(joined != CString("abcD"));
    EXPECT_TRUE(CString(nullptr).IsEmpty());
    EXPECT_EQ(4, joined.GetLength());
}

TEST(CStringArray, RemoveAtMovesTheLaterEntriesUpAndRefusesBadIndices) {
    CStringArray array;
    for (const char* text : {"a", "b", "c", "d"}) array.Add(text);
    array.RemoveAt(1);
    array.RemoveAt(1, 2);
    ASSERT_EQ(1, array.GetSize());
    EXPECT_STREQ("a", array[0]);
    EXPECT_THROW(array.GetAt(1), std::out_of_range);
    EXPECT_THROW(array.GetAt(-1), std::out_of_range);
    EXPECT_THROW(array.RemoveAt(0, 2), std::out_of_range);
    EXPECT_THROW(array.RemoveAt(-1), std::out_of_range);
    EXPECT_EQ(1, array.Add("e"));
}

TEST(RuntimeClass, TheWatcherIsCreatedByName) {
    const CRuntimeClass* runtimeClass = CRuntimeClass::FromName("CDataCollection");
    ASSERT_NE(nullptr, runtimeClass);
    EXPECT_EQ(&CCmdTarget::classCCmdTarget, runtimeClass->m_pBaseClass);
    CObject* object = runtimeClass->CreateObject();
    ASSERT_NE(nullptr, object);
    EXPECT_EQ(runtimeClass, object->GetRuntimeClass());
    EXPECT_TRUE(object->IsKindOf(&CCmdTarget::classCCmdTarget));
    EXPECT_TRUE(object->IsKindOf(&CObject::classCObject));
    auto* watcher = dynamic_cast<CDataCollection*>(object);
    ASSERT_NE(nullptr, watcher);
    EXPECT_EQ(0, watcher->GetSkins().GetSize());
    EXPECT_EQ(0u, watcher->InternalRelease());

    EXPECT_EQ(nullptr, CRuntimeClass::FromName("CCmdTarget")->CreateObject());
    EXPECT_EQ(nullptr, CRuntimeClass::FromName("cdatacollection"));
    EXPECT_EQ(nullptr, CRuntimeClass::FromName(nullptr));
}

// {3C5D1E0A-6B1F-4C7E-9E55-2A1B7F0D9C01}, an interface of the tests only.
const IID IID_IProbeEvents = {0x3c5d1e0a, 0x6b1f, 0x4c7e, {0x9e, 0x55, 0x2a, 0x1b, 0x7f, 0x0d, 0x9c, 0x01}};

// A command target whose handlers record their argument or throw, with a
// derived class whose map extends it.
class CProbe : public CCmdTarget {
public:
    CProbe(bool automation, bool connections, bool* destroyed) : m_destroyed(destroyed) {
        if (connections) EnableConnections();
        if (automation) EnableAutomation();
    }
    ~CProbe() override {
        if (m_destroyed) *m_destroyed = true;
    }

    long m_lastArgument = 0;

protected:
    void Record(long argument) { m_lastArgument = argument; }
    void Throw(long kind) {
        if (kind == 1) throw std::bad_alloc();
        throw std::runtime_error("probe");
    }
    const DispatchMap* GetDispatchMap() const override { return &probeMap; }

    static const DispatchEntry probeEntries[];
    static const DispatchMap probeMap;

private:
    bool* m_destroyed;
};

const DispatchEntry CProbe::probeEntries[] = {
    //           name      id  handler
    DispFunction("Record", 1, &CProbe::Record),
    DispFunction("Throw",  2, &CProbe::Throw),
};
const DispatchMap CProbe::probeMap{&CCmdTarget::dispatchMap, &IID_IProbeEvents, probeEntries,
                                   std::size(probeEntries)};

class CDerivedProbe : public CProbe {
public:
    using CProbe::CProbe;
    long m_doubled = 0;

protected:
    void Double(long argument) { m_doubled = 2 * argument; }
    const DispatchMap* GetDispatchMap() const override { return &derivedMap; }

    static const DispatchEntry derivedEntries[];
    static const DispatchMap derivedMap;
};

const DispatchEntry CDerivedProbe::derivedEntries[] = {
    DispFunction("Double", 3, &CDerivedProbe::Double),
};
const DispatchMap CDerivedProbe::derivedMap{&CProbe::probeMap, nullptr, derivedEntries, std::size(derivedEntries)};

HRESULT Call(IDispatch* dispatch, DISPID id, long argument, EXCEPINFO* exception = nullptr) {
    VARIANT arg;
    arg.vt = VT_I4;
    arg.lVal = argument;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, exception, nullptr);
}

TEST(CmdTarget, LastReleaseDestroysAnObjectMadeWithNew) {
    bool destroyed = false;
    auto* probe = new CProbe(true, false, &destroyed);
    IDispatch* dispatch = probe->GetIDispatch(true);
    EXPECT_EQ(1u, probe->InternalRelease());
    EXPECT_EQ(2u, dispatch->AddRef());
    EXPECT_EQ(1u, dispatch->Release());
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(0u, dispatch->Release());
    EXPECT_TRUE(destroyed);
}

TEST(CmdTarget, InterfacesFollowAutomationAndConnections) {
    const struct {
        bool automation;
        bool connections;
        bool unknown;
        bool events;
    } cases[] = {
        {false, false, false, false},
        {false, true, false, false},
        {true, false, true, false},
        {true, true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "automation " << c.automation << " connections " << c.connections);
        CProbe probe(c.automation, c.connections, nullptr);
        EXPECT_EQ(c.unknown, probe.GetIDispatch(false) != nullptr);
        for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_IProbeEvents}) {
            bool expected = iid == &IID_IProbeEvents ? c.events : c.unknown;
            void* object = nullptr;
            EXPECT_EQ(expected ? S_OK : E_NOINTERFACE, probe.InternalQueryInterface(*iid, &object));
            EXPECT_EQ(expected, object != nullptr);
            if (object) {
                EXPECT_EQ(1u, probe.InternalRelease());
            }
        }
    }
}

TEST(CmdTarget, HandlerExceptionsStopAtInvoke) {
    CProbe probe(true, false, nullptr);
    IDispatch* dispatch = probe.GetIDispatch(false);
    const struct {
        long kind;
        SCODE code;
    } cases[] = {{1, E_OUTOFMEMORY}, {2, E_UNEXPECTED}};
    for (const auto& c : cases) {
        EXCEPINFO exception{};
        EXPECT_EQ(DISP_E_EXCEPTION, Call(dispatch, 2, c.kind, &exception));
        EXPECT_EQ(c.code, exception.scode);
        EXPECT_EQ(DISP_E_EXCEPTION, Call(dispatch, 2, c.kind));
    }
    EXPECT_EQ(S_OK, Call(dispatch, 1, 41));
    EXPECT_EQ(41, probe.m_lastArgument);
}

TEST(CmdTarget, DerivedMapFallsBackToTheBaseMap) {
    CDerivedProbe probe(true, true, nullptr);
    IDispatch* dispatch = probe.GetIDispatch(false);
    EXPECT_EQ(S_OK, Call(dispatch, 3, 21));
    EXPECT_EQ(S_OK, Call(dispatch, 1, 5));
    EXPECT_EQ(42, probe.m_doubled);
    EXPECT_EQ(5, probe.m_lastArgument);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(dispatch, 4, 0));
    void* object = nullptr;
    EXPECT_EQ(S_OK, probe.InternalQueryInterface(IID_IProbeEvents, &object));
    if (object) probe.InternalRelease();
}

}  // namespace
