// The tray icon on Wine's shell without a taskbar, where each icon gets a
// window of its own in the standalone tray; the tests click those windows.
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "TraySupport.h"
#include "framework/WinApp.h"
#include "resource.h"
#include "tests/framework/WindowTesting.h"

namespace {

using Commands = std::vector<std::pair<WPARAM, LPARAM>>;

constexpr UINT kFirstFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// Reached by an add that fails after the icon was shown.
constexpr IconFlags kHiddenPending{TRUE, FALSE, TRUE};

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(main.Create(420, 120));
        AfxGetApp()->m_pMainWnd = &main;
        // The desktop starts its shell with the process's first window.
        ASSERT_TRUE(PumpUntil([] { return FindWindowA("Shell_TrayWnd", nullptr) != nullptr; }));
        before = IconWindows();
    }

    void TearDown() override {
        AfxGetApp()->m_pMainWnd = nullptr;
        main.DestroyWindow();
    }

    // Waits until the icon has answered n callbacks.
    static bool Answered(const ProbeTrayIcon& tray, std::size_t n) {
        return PumpUntil([&] { return tray.notifications.size() >= n; });
    }

    HWND WaitForNewIconWindow() const {
        HWND icon = nullptr;
        PumpUntil([&] { return (icon = NewIconWindow(before)) != nullptr; });
        return icon;
    }

    CommandWindow main;
    std::vector<HWND> before;
};

TEST_F(TrayIconTest, CreateFillsTheRecordAndAddsTheIconUntilDestroyed) {
    std::string longTip;
    for (int i = 0; i < 200; ++i) longTip += static_cast<char>('A' + i % 26);
    const struct {
        const char* name;
        std::string tip;
        const char* info;
        const char* title;
        BOOL hidden;
        bool toMainWindow;
        UINT flags;
        bool iconShown;
    } cases[] = {
        {"tip longer than 127 bytes", longTip, nullptr, nullptr, FALSE, false, kFirstFlags, true},
        {"balloon", "Click here to setup Zelvo.", "Skins rotate", "Zelvo", FALSE, false, kFirstFlags | NIF_INFO, true},
        {"hidden", "Click here to setup Zelvo.", nullptr, nullptr, TRUE, false, NIF_STATE, false},
        {"callbacks to the main window", "Zelvo", nullptr, nullptr, FALSE, true, kFirstFlags, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND own = nullptr;
        {
            ProbeTrayIcon tray;
            EXPECT_EQ(kDeleted, tray.Flags());
            ASSERT_TRUE(tray.Create(c.toMainWindow ? &main : nullptr, kCallbackMessage, c.tip.c_str(), ProgramIcon(),
                                    kIconId, c.hidden, c.info, c.title, NIIF_INFO, 10));
            own = tray.m_hWnd;
            const NOTIFYICONDATAA& record = tray.Record();
            EXPECT_EQ(NOTIFYICONDATAA_V2_SIZE, record.cbSize);
            EXPECT_EQ(c.toMainWindow ? main.m_hWnd : own, record.hWnd);
            EXPECT_EQ(kIconId, record.uID);
            EXPECT_EQ(kCallbackMessage, record.uCallbackMessage);
            EXPECT_EQ(c.flags, record.uFlags);
            EXPECT_EQ(c.flags, tray.AddFlags());
            EXPECT_EQ(c.tip.substr(0, 127), record.szTip);
            EXPECT_EQ(static_cast<DWORD>(c.hidden ? NIS_HIDDEN : 0), record.dwState);
            EXPECT_EQ('\0', record.szInfo[0]) << "the balloon text goes with the first add only";
            EXPECT_STREQ(c.title ? c.title : "", record.szInfoTitle);
            EXPECT_EQ(c.info ? 10000u : 0u, record.uTimeout);
            EXPECT_EQ(kShown, tray.Flags());
            EXPECT_EQ(c.iconShown, NewIconWindow(before) != nullptr);

            // Its own window: a popup that is never shown.
            EXPECT_TRUE(IsWindow(own));
            EXPECT_FALSE(IsWindowVisible(own));
            EXPECT_EQ(static_cast<LONG_PTR>(WS_POPUP), GetWindowLongPtrA(own, GWL_STYLE) & (WS_POPUP | WS_CHILD));
        }
        EXPECT_FALSE(IsWindow(own));
        EXPECT_EQ(before, IconWindows());
    }
}

TEST_F(TrayIconTest, OnlyADoubleClickOnTheIconRunsTheDefaultCommandAfterBringingTheMainWindowToTheFront) {
    ForeignWindow other;
    ASSERT_TRUE(other.Activate());
    ProbeTrayIcon tray;
    ASSERT_TRUE(tray.CreateAsProgram(ProgramIcon()));
    HWND icon = NewIconWindow(before);
    ASSERT_NE(nullptr, icon);
    MenuSeen menu;
    main.onMenu = ReadMenuThenChoose(menu, -1);

    const UINT mouse[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK};
    for (UINT message : mouse) PostMessageA(icon, message, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !main.commands.empty(); }));

    ASSERT_EQ(std::size(mouse), tray.notifications.size());
    for (std::size_t i = 0; i < std::size(mouse); ++i) {
        EXPECT_EQ(kIconId, tray.notifications[i].wParam);
        EXPECT_EQ(static_cast<LPARAM>(mouse[i]), tray.notifications[i].lParam);
        EXPECT_EQ(1, tray.notifications[i].result);
    }
    EXPECT_EQ((Commands{{ID_SKIN_SETTINGS, 0}}), main.commands);
    EXPECT_EQ(main.m_hWnd, GetForegroundWindow());
    EXPECT_FALSE(menu.open);
}

TEST_F(TrayIconTest, CallbacksForAnotherIconOrWithoutAMainWindowDoNothing) {
    ProbeTrayIcon tray;
    ASSERT_TRUE(tray.CreateAsProgram(ProgramIcon()));
    MenuSeen menu;
    main.onMenu = ReadMenuThenChoose(menu, -1);
    const struct {
        const char* name;
        WPARAM id;
        LPARAM mouse;
        bool withMainWindow;
    } cases[] = {
        {"another icon's right button release", 999, WM_RBUTTONUP, true},
        {"another icon's double click", 999, WM_LBUTTONDBLCLK, true},
        {"right button release without a main window", kIconId, WM_RBUTTONUP, false},
        {"double click without a main window", kIconId, WM_LBUTTONDBLCLK, false},
    };
    for (const auto& c : cases) {
        AfxGetApp()->m_pMainWnd = c.withMainWindow ? &main : nullptr;
        EXPECT_EQ(0, SendMessageA(tray.m_hWnd, kCallbackMessage, c.id, c.mouse)) << c.name;
    }
    AfxGetApp()->m_pMainWnd = &main;

    // Anything they posted would arrive before this.
    constexpr WPARAM kMarker = 7;
    main.PostMessage(WM_COMMAND, kMarker, 0);
    ASSERT_TRUE(PumpUntil([&] { return !main.commands.empty(); }));
    EXPECT_EQ((Commands{{kMarker, 0}}), main.commands);
    EXPECT_FALSE(menu.open);
}

TEST_F(TrayIconTest, RightButtonReleaseOpensTheMenuAtTheCursorAndTheChosenCommandReachesTheMainWindow) {
    ProbeTrayIcon tray;
    ASSERT_TRUE(tray.CreateAsProgram(ProgramIcon()));
    ASSERT_TRUE(tray.SetDefaultItem(0, TRUE));
    HWND icon = NewIconWindow(before);
    ASSERT_NE(nullptr, icon);
    const struct {
        int position;
        UINT command;
    } choices[] = {{0, ID_SKIN_SETTINGS}, {3, ID_APP_ABOUT}, {5, ID_TRAY_EXIT}};
    for (const auto& choice : choices) {
        SCOPED_TRACE(choice.position);
        main.commands.clear();
        tray.notifications.clear();
        MenuSeen menu;
        main.onMenu = ReadMenuThenChoose(menu, choice.position);
        const POINT cursor{300, 200};
        SetCursorPos(cursor.x, cursor.y);
        PostMessageA(icon, WM_RBUTTONDOWN, 0, 0);
        PostMessageA(icon, WM_RBUTTONUP, 0, 0);
        ASSERT_TRUE(Answered(tray, 2));
        ASSERT_TRUE(PumpUntil([&] { return !main.commands.empty(); }));

        EXPECT_TRUE(menu.open);
        EXPECT_EQ(cursor.x, menu.window.left);
        EXPECT_EQ(cursor.y, menu.window.top);
        EXPECT_EQ(6, menu.items);
        EXPECT_EQ(0u, menu.defaultPosition);
        EXPECT_TRUE(menu.firstItemDefault) << "\"&Skin Settings\" is bold";
        EXPECT_EQ(main.m_hWnd, menu.foreground);
        EXPECT_EQ(1, tray.notifications[1].result);
        EXPECT_EQ((Commands{{choice.command, 0}}), main.commands);
    }
}

TEST_F(TrayIconTest, TheDefaultItemIsBoldInTheMenuAndRunsOnADoubleClick) {
    ProbeTrayIcon tray;
    ASSERT_TRUE(tray.CreateAsProgram(ProgramIcon()));
    HWND icon = NewIconWindow(before);
    ASSERT_NE(nullptr, icon);
    const struct {
        UINT item;
        BOOL byPosition;
        UINT boldPosition;
        UINT command;
    } cases[] = {
        {0, TRUE, 0, ID_SKIN_SETTINGS},
        {2, TRUE, 2, ID_SHOW_QUICKTIP},
        {ID_APP_ABOUT, FALSE, 3, ID_APP_ABOUT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        main.commands.clear();
        tray.notifications.clear();
        EXPECT_TRUE(tray.SetDefaultItem(c.item, c.byPosition));

        MenuSeen menu;
        main.onMenu = ReadMenuThenChoose(menu, -1);
        PostMessageA(icon, WM_RBUTTONUP, 0, 0);
        ASSERT_TRUE(Answered(tray, 1));
        EXPECT_TRUE(menu.open);
        EXPECT_EQ(c.boldPosition, menu.defaultPosition);
        EXPECT_EQ(c.command, menu.defaultCommand);

        PostMessageA(icon, WM_LBUTTONDBLCLK, 0, 0);
        ASSERT_TRUE(PumpUntil([&] { return !main.commands.empty(); }));
        EXPECT_EQ((Commands{{c.command, 0}}), main.commands) << "Escape chooses nothing";
    }
}

TEST_F(TrayIconTest, WithoutItsMenuResourceOnlyADoubleClickOnACommandIdDoesAnything) {
    constexpr UINT kNoMenu = 999;
    ProbeTrayIcon tray;
    ASSERT_TRUE(tray.CreateAsProgram(ProgramIcon(), "Zelvo", kNoMenu));
    HWND icon = NewIconWindow(before);
    ASSERT_NE(nullptr, icon);
    MenuSeen menu;
    main.onMenu = ReadMenuThenChoose(menu, -1);

    EXPECT_TRUE(tray.SetDefaultItem(0, TRUE)) << "the pair it has needs no menu";
    EXPECT_FALSE(tray.SetDefaultItem(1, TRUE));
    PostMessageA(icon, WM_RBUTTONUP, 0, 0);
    PostMessageA(icon, WM_LBUTTONDBLCLK, 0, 0);
    ASSERT_TRUE(Answered(tray, 2));
    EXPECT_EQ(0, tray.notifications[0].result);
    EXPECT_EQ(0, tray.notifications[1].result);

    // The pair is kept although the menu is missing; a command id needs no menu.
    EXPECT_FALSE(tray.SetDefaultItem(ID_SHOW_QUICKTIP, FALSE));
    PostMessageA(icon, WM_LBUTTONDBLCLK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !main.commands.empty(); }));
    EXPECT_EQ((Commands{{ID_SHOW_QUICKTIP, 0}}), main.commands);
    EXPECT_EQ(1, tray.notifications[2].result);
    EXPECT_FALSE(menu.open);
}

TEST_F(TrayIconTest, DeleteIconCallsTheShellOnlyForAShownIcon) {
    ProbeTrayIcon tray;
    EXPECT_TRUE(tray.DeleteIcon()) << "nothing to delete before Create";
    EXPECT_EQ(kDeleted, tray.Flags());

    ASSERT_TRUE(tray.CreateAsProgram(ProgramIcon()));
    ASSERT_NE(nullptr, NewIconWindow(before));
    EXPECT_TRUE(tray.DeleteIcon());
    EXPECT_EQ(before, IconWindows());
    EXPECT_EQ(kDeleted, tray.Flags());

    // An icon with the same window and id, which a second shell call would remove.
    ASSERT_TRUE(ShellAdd(tray.Record(), kFirstFlags));
    HWND same = NewIconWindow(before);
    ASSERT_NE(nullptr, same);
    EXPECT_TRUE(tray.DeleteIcon());
    EXPECT_EQ(same, NewIconWindow(before));
    EXPECT_TRUE(ShellDelete(tray.Record()));
}

TEST_F(TrayIconTest, TaskbarCreatedAddsAShownIconAgainButNotADeletedOne) {
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    ProbeTrayIcon tray;
    ASSERT_TRUE(tray.CreateAsProgram(ProgramIcon()));
    ASSERT_NE(nullptr, NewIconWindow(before));

    // A restarted shell has lost its icons when it says so.
    ASSERT_TRUE(ShellDelete(tray.Record()));
    Broadcast(taskbarCreated, 0, 0);
    HWND again = WaitForNewIconWindow();
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(kShown, tray.Flags());
    EXPECT_EQ(kFirstFlags, tray.Record().uFlags);
    // Same window, id and callback message: its clicks still arrive.
    PostMessageA(again, WM_LBUTTONDBLCLK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !main.commands.empty(); }));
    EXPECT_EQ((Commands{{ID_SKIN_SETTINGS, 0}}), main.commands);

    ASSERT_TRUE(tray.DeleteIcon());
    Broadcast(taskbarCreated, 0, 0);
    EXPECT_EQ(before, IconWindows());
    EXPECT_TRUE(std::get<0>(tray.Flags()) && std::get<1>(tray.Flags())) << "still hidden and deleted";
}

TEST_F(TrayIconTest, AWorkAreaChangeAddsTheIconAgainWithItsFirstFlags) {
    RECT workArea;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0));
    // The same area again; every top-level window hears of the change.
    auto changeWorkArea = [&] {
        SystemParametersInfoA(SPI_SETWORKAREA, 0, &workArea, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    };
    {
        SCOPED_TRACE("icon lost by the shell");
        ProbeTrayIcon tray;
        ASSERT_TRUE(tray.CreateAsProgram(ProgramIcon()));
        ASSERT_TRUE(ShellDelete(tray.Record()));
        tray.SendMessage(WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, 0);
        EXPECT_EQ(before, IconWindows()) << "another setting adds nothing";
        changeWorkArea();
        EXPECT_NE(nullptr, WaitForNewIconWindow());
        EXPECT_EQ(kShown, tray.Flags());
        EXPECT_EQ(kFirstFlags, tray.Record().uFlags);
    }
    {
        SCOPED_TRACE("icon still shown");
        ProbeTrayIcon tray;
        ASSERT_TRUE(tray.CreateAsProgram(ProgramIcon()));
        HWND shown = NewIconWindow(before);
        changeWorkArea();
        // The shell refuses a second add of the same icon.
        EXPECT_TRUE(PumpUntil([&] { return tray.Flags() == kHiddenPending; }));
        EXPECT_EQ(shown, NewIconWindow(before));
        ASSERT_TRUE(ShellDelete(tray.Record()));
        Broadcast(RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        EXPECT_EQ(before, IconWindows()) << "an icon that counts as hidden is not added again";
        EXPECT_EQ(kHiddenPending, tray.Flags());
    }
}

}  // namespace
