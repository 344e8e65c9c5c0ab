// Windows made by the framework: how messages, commands and notifications
// reach the handlers of a class's message map, default processing, and the
// window procedure as an error barrier.
#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "TestApp.h"
#include "framework/Wnd.h"
#include "tests/framework/WindowTesting.h"

namespace {

constexpr UINT kShared = 40001;    // in the base and the derived map
constexpr UINT kBaseOnly = 40002;  // in the base map only
constexpr UINT kThrows = 40003;
constexpr UINT kControl = 1001;
constexpr UINT kStaticId = 1002;
constexpr UINT kEditId = 1003;
constexpr COLORREF kBackground = RGB(200, 40, 40);

const UINT s_registered = RegisterWindowMessageA("Zelvo.FrameworkTest");

class BaseWindow : public CWnd {
public:
    std::vector<std::string> calls;

protected:
    void OnSharedInBase() { calls.push_back("base shared"); }
    void OnBaseOnly() { calls.push_back("base only"); }

    const MessageMap* GetMessageMap() const override { return &messageMap; }
    static const MessageEntry messageEntries[];
    static const MessageMap messageMap;
};

const MessageEntry BaseWindow::messageEntries[] = {
    OnCommand<&BaseWindow::OnSharedInBase>(kShared),
    OnCommand<&BaseWindow::OnBaseOnly>(kBaseOnly),
};
const MessageMap BaseWindow::messageMap{&CWnd::messageMap, messageEntries, std::size(messageEntries)};

class TestWindow : public BaseWindow {
public:
    TestWindow() : m_brush(CreateSolidBrush(kBackground)) {}
    ~TestWindow() override {
        DestroyWindow();
        DeleteObject(m_brush);
    }

    BOOL Create() {
        return CreateEx(0, AfxRegisterWndClass(0, LoadCursor(nullptr, IDC_ARROW), GetSysColorBrush(COLOR_WINDOW)),
                        "Framework test", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 100, 100, 320, 200, nullptr,
                        nullptr);
    }

    HBRUSH m_brush;
    HICON m_dragIcon = LoadIcon(nullptr, IDI_APPLICATION);
    // The controls each WM_CTLCOLOR... came from, and their kinds.
    std::vector<std::pair<HWND, UINT>> colored;
    // Where WM_WINDOWPOSCHANGING moves the window to.
    POINT m_forcedPosition{-1, -1};

protected:
    void OnSharedInDerived() { calls.push_back("derived shared"); }
    void OnThrowingCommand() { throw std::runtime_error("handler failed"); }
    void OnClick(NMHDR* header, LRESULT* result) {
        calls.push_back("click from " + std::to_string(header->idFrom));
        *result = 42;
    }
    LRESULT OnRegistered(WPARAM wParam, LPARAM lParam) {
        calls.push_back("registered");
        return static_cast<LRESULT>(wParam) + lParam;
    }
    void OnSettingChange(UINT flags, const char* section) {
        calls.push_back("setting " + std::to_string(flags) + " " + section);
    }
    HICON OnQueryDragIcon() {
        calls.push_back("drag icon");
        return m_dragIcon;
    }
    HBRUSH OnControlColor(HDC dc, HWND control, UINT kind) {
        colored.emplace_back(control, kind);
        SetBkColor(dc, kBackground);
        return m_brush;
    }
    // Default processing of SC_CLOSE sends WM_CLOSE, which this window keeps
    // to itself.
    void OnSysCommand(UINT id, LPARAM) {
        calls.push_back("syscommand " + std::to_string(id));
        Default();
    }
    void OnClose() { calls.push_back("close"); }
    void OnWindowPosChanging(WINDOWPOS* position) {
        if (m_forcedPosition.x >= 0 && !(position->flags & SWP_NOMOVE)) {
            position->x = m_forcedPosition.x;
            position->y = m_forcedPosition.y;
        }
        Default();
    }

    const MessageMap* GetMessageMap() const override { return &messageMap; }
    static const MessageEntry messageEntries[];
    static const MessageMap messageMap;
};

const MessageEntry TestWindow::messageEntries[] = {
    OnCommand<&TestWindow::OnSharedInDerived>(kShared),
    OnCommand<&TestWindow::OnThrowingCommand>(kThrows),
    OnNotify<&TestWindow::OnClick>(kControl, NM_CLICK),
    OnRegisteredMessage<&TestWindow::OnRegistered>(&s_registered),
    OnMessage<WM_SETTINGCHANGE, &TestWindow::OnSettingChange>(),
    OnMessage<WM_QUERYDRAGICON, &TestWindow::OnQueryDragIcon>(),
    OnCtlColor<&TestWindow::OnControlColor>(),
    OnMessage<WM_SYSCOMMAND, &TestWindow::OnSysCommand>(),
    OnMessage<WM_CLOSE, &TestWindow::OnClose>(),
    OnMessage<WM_WINDOWPOSCHANGING, &TestWindow::OnWindowPosChanging>(),
};
const MessageMap TestWindow::messageMap{&BaseWindow::messageMap, messageEntries, std::size(messageEntries)};

using Calls = std::vector<std::string>;

class MessageMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(window.Create());
        theApp.commands.clear();
    }

    TestWindow window;
};

TEST_F(MessageMapTest, EachMessageReachesTheFirstRowThatHandlesIt) {
    NMHDR click{nullptr, kControl, static_cast<UINT>(NM_CLICK)};
    NMHDR doubleClick{nullptr, kControl, static_cast<UINT>(NM_DBLCLK)};
    NMHDR otherControl{nullptr, kControl + 1, static_cast<UINT>(NM_CLICK)};
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        Calls calls;
        LRESULT result;
        std::vector<UINT> appCommands;
    } cases[] = {
        {"derived row before base row", WM_COMMAND, kShared, 0, {"derived shared"}, 0, {}},
        {"base row", WM_COMMAND, kBaseOnly, 0, {"base only"}, 0, {}},
        {"accelerator", WM_COMMAND, MAKEWPARAM(kShared, 1), 0, {"derived shared"}, 0, {}},
        {"control notification is no command", WM_COMMAND, MAKEWPARAM(kShared, EN_CHANGE), 0, {}, 0, {}},
        {"command for the application", WM_COMMAND, kAppCommand, 0, {}, 0, {kAppCommand}},
        {"command nobody handles", WM_COMMAND, 40999, 0, {}, 0, {}},
        {"notification", WM_NOTIFY, kControl, reinterpret_cast<LPARAM>(&click), {"click from 1001"}, 42, {}},
        {"other notification code", WM_NOTIFY, kControl, reinterpret_cast<LPARAM>(&doubleClick), {}, 0, {}},
        {"other control", WM_NOTIFY, kControl + 1, reinterpret_cast<LPARAM>(&otherControl), {}, 0, {}},
        {"registered message", s_registered, 2, 3, {"registered"}, 5, {}},
        {"window message", WM_SETTINGCHANGE, SPI_SETWORKAREA, reinterpret_cast<LPARAM>("Windows"),
         {"setting 47 Windows"}, 0, {}},
        {"window message's result", WM_QUERYDRAGICON, 0, 0, {"drag icon"}, reinterpret_cast<LRESULT>(window.m_dragIcon),
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        window.calls.clear();
        theApp.commands.clear();
        EXPECT_EQ(c.result, window.SendMessage(c.message, c.wParam, c.lParam));
        EXPECT_EQ(c.calls, window.calls);
        EXPECT_EQ(c.appCommands, theApp.commands);
    }
}

TEST_F(MessageMapTest, ControlsTakeTheirColoursFromTheCtlColorRow) {
    HWND label = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 10, 10, 120, 40, window.m_hWnd,
                                 reinterpret_cast<HMENU>(kStaticId), GetModuleHandleA(nullptr), nullptr);
    HWND edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 10, 60, 120, 24, window.m_hWnd,
                                reinterpret_cast<HMENU>(kEditId), GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, label);
    ASSERT_NE(nullptr, edit);
    window.colored.clear();
    RedrawWindow(window.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);

    auto saw = [&](HWND control, UINT kind) {
        return std::find(window.colored.begin(), window.colored.end(), std::make_pair(control, kind)) !=
               window.colored.end();
    };
    EXPECT_TRUE(saw(label, CTLCOLOR_STATIC));
    EXPECT_TRUE(saw(edit, CTLCOLOR_EDIT));
    HDC dc = GetDC(label);
    EXPECT_EQ(kBackground, GetPixel(dc, 60, 20)) << "the label is painted with the row's brush";
    ReleaseDC(label, dc);
}

TEST_F(MessageMapTest, DefaultProcessingGetsTheMessageBeingHandled) {
    // SC_CLOSE, handed on by Default, comes back as WM_CLOSE.
    window.calls.clear();
    window.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ((Calls{"syscommand 61536", "close"}), window.calls);
    EXPECT_TRUE(IsWindow(window.m_hWnd));

    // The handler's changes to the record reach default processing.
    window.m_forcedPosition = {50, 60};
    SetWindowPos(window.m_hWnd, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT rect;
    window.GetWindowRect(&rect);
    EXPECT_EQ(50, rect.left);
    EXPECT_EQ(60, rect.top);

    // A message without a row: the system's processing.
    SetWindowTextA(window.m_hWnd, "Renamed");
    char text[32] = {};
    GetWindowTextA(window.m_hWnd, text, sizeof text);
    EXPECT_STREQ("Renamed", text);
}

TEST_F(MessageMapTest, AThrowingHandlerLeavesTheWindowWorking) {
    window.calls.clear();
    EXPECT_EQ(0, window.SendMessage(WM_COMMAND, kThrows, 0));
    window.PostMessage(WM_COMMAND, kThrows, 0);
    window.PostMessage(WM_COMMAND, kShared, 0);
    EXPECT_TRUE(PumpUntil([&] { return !window.calls.empty(); }));
    EXPECT_EQ((Calls{"derived shared"}), window.calls);

    // Default still answers the message in hand after the throw.
    window.calls.clear();
    window.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ((Calls{"syscommand 61536", "close"}), window.calls);
}

}  // namespace
