// The tray icon and the tray rectangle on a desktop with Wine's real taskbar.
// Runs inside `explorer /desktop=Tray,1024x768`, which shows the taskbar
// while an icon is in it and draws the icons on the taskbar itself.
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TraySupport.h"
#include "framework/WinApp.h"
#include "resource.h"
#include "tests/framework/WindowTesting.h"

namespace {

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, static_cast<int>(std::size(name)));
    return name;
}

std::vector<HWND> Descendants(HWND window) {
    std::vector<HWND> all;
    EnumChildWindows(
        window,
        [](HWND each, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(each);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

// A child window of ours inside the taskbar, of a class the shell's own
// notification area and clock have.
class TaskbarPart {
public:
    TaskbarPart(const char* className, HWND parent, const RECT& rect) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className;
        RegisterClassA(&windowClass);
        m_hWnd = CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                                 rect.bottom - rect.top, parent, nullptr, windowClass.hInstance, nullptr);
    }
    ~TaskbarPart() { DestroyWindow(m_hWnd); }
    TaskbarPart(const TaskbarPart&) = delete;
    TaskbarPart& operator=(const TaskbarPart&) = delete;

    HWND m_hWnd;
};

class TaskbarTest : public ::testing::Test {
protected:
    void SetUp() override {
        char desktop[64] = {};
        GetUserObjectInformationA(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, desktop, sizeof desktop, nullptr);
        ASSERT_STREQ("Tray", desktop) << "run inside explorer /desktop=Tray,1024x768";
        ASSERT_TRUE(main.Create(300, 200));
        AfxGetApp()->m_pMainWnd = &main;
        ASSERT_TRUE(tray.CreateAsProgram(ProgramIcon()));
        ASSERT_TRUE(PumpUntil([&] {
            taskbar = FindWindowA("Shell_TrayWnd", nullptr);
            GetWindowRect(taskbar, &taskbarRect);
            return IsWindowVisible(taskbar) && taskbarRect.bottom > taskbarRect.top;
        }));
    }

    void TearDown() override {
        AfxGetApp()->m_pMainWnd = nullptr;
        main.DestroyWindow();
    }

    CommandWindow main;
    ProbeTrayIcon tray;
    HWND taskbar = nullptr;
    RECT taskbarRect{};
};

TEST_F(TaskbarTest, WinesTaskbarHasNoNotificationAreaWindowSoTheRectangleIsTheWholeTaskbar) {
    std::string classes;
    for (HWND child : Descendants(taskbar)) classes += ClassOf(child) + " ";
    std::cout << "Wine's taskbar " << ::testing::PrintToString(taskbarRect) << " holds: " << classes << "\n";
    ASSERT_EQ(std::string::npos, classes.find("TrayNotifyWnd"));
    ASSERT_EQ(std::string::npos, classes.find("TrayClockWClass"));

    RECT found{};
    CTrayIcon::FindTrayRect(&found);
    EXPECT_EQ(taskbarRect, found);
}

TEST_F(TaskbarTest, TheRectangleIsTheNotificationAreaWithoutTheClock) {
    // Rectangles relative to the taskbar, which has no border; the clock's
    // relative to its parent.
    RECT client;
    GetClientRect(taskbar, &client);
    const LONG height = taskbarRect.bottom - taskbarRect.top;
    const LONG right = taskbarRect.right - taskbarRect.left;
    ASSERT_EQ((RECT{0, 0, right, height}), client);
    const RECT notifyArea{right - 224, 0, right, height};
    const struct {
        const char* name;
        bool withNotifyArea;
        RECT clock;  // empty: no clock
        RECT expected;
    } cases[] = {
        {"notification area without a clock", true, {}, notifyArea},
        {"clock at the right end", true, {180, 0, 224, height}, {right - 224, 0, right - 44, height}},
        {"clock above the icons", true, {0, 0, 224, height - 12}, {right - 224, height - 12, right, height}},
        {"clock 5 pixels above the bottom", true, {0, 0, 224, height - 5}, {right - 224, 0, right - 224, height}},
        {"clock without a notification area", false, {right - 44, 0, right, height}, {0, 0, right - 44, height}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<TaskbarPart>> parts;
        HWND clockParent = taskbar;
        if (c.withNotifyArea) {
            parts.push_back(std::make_unique<TaskbarPart>("TrayNotifyWnd", taskbar, notifyArea));
            clockParent = parts.back()->m_hWnd;
        }
        if (c.clock.right > c.clock.left) {
            parts.push_back(std::make_unique<TaskbarPart>("TrayClockWClass", clockParent, c.clock));
        }
        for (const auto& part : parts) ASSERT_NE(nullptr, part->m_hWnd);

        RECT found{};
        CTrayIcon::FindTrayRect(&found);
        RECT expected = c.expected;
        OffsetRect(&expected, taskbarRect.left, taskbarRect.top);
        EXPECT_EQ(expected, found);
    }
}

TEST_F(TaskbarTest, APersonDoubleClicksAndRightClicksTheIconOnTheTaskbar) {
    // Wine draws the first icon at the taskbar's right end.
    const POINT icon{taskbarRect.right - 10, (taskbarRect.top + taskbarRect.bottom) / 2};
    ClickAt(icon, Button::Left, true);
    ASSERT_TRUE(PumpUntil([&] { return !main.commands.empty(); }));
    EXPECT_EQ(ID_SKIN_SETTINGS, main.commands[0].first);

    main.commands.clear();
    MenuSeen menu;
    main.onMenu = ReadMenuThenChoose(menu, 3);
    ClickAt(icon, Button::Right);
    ASSERT_TRUE(PumpUntil([&] { return !main.commands.empty(); }));
    EXPECT_TRUE(menu.open);
    EXPECT_TRUE(menu.firstItemDefault);
    EXPECT_TRUE(PtInRect(&menu.window, icon)) << "at the cursor, moved to fit on the screen";
    EXPECT_EQ(ID_APP_ABOUT, main.commands[0].first);
}

}  // namespace
