// Hiding a real top-level window into the tray and restoring it, and where the
// animation would go on the prefix's plain desktop.
#include <algorithm>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TraySupport.h"
#include "tests/framework/WindowTesting.h"

namespace {

constexpr COLORREF kPaint = RGB(30, 160, 90);

// A window with a taskbar button that paints itself in one colour and, like
// the settings window started with "-min", may strip the show flag from every
// position change.
class AppWindow : public CWnd {
public:
    explicit AppWindow(bool stripShow) : m_stripShow(stripShow) {}

    BOOL Create(const RECT& rect) {
        return CreateEx(WS_EX_APPWINDOW, AfxRegisterWndClass(0, LoadCursor(nullptr, IDC_ARROW)), "Zelvo",
                        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, nullptr, nullptr);
    }

protected:
    void OnWindowPosChanging(WINDOWPOS* position) {
        if (m_stripShow) position->flags &= ~SWP_SHOWWINDOW;
        Default();
    }

    void OnPaint() {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(m_hWnd, &paint);
        HBRUSH brush = CreateSolidBrush(kPaint);
        FillRect(dc, &paint.rcPaint, brush);
        DeleteObject(brush);
        EndPaint(m_hWnd, &paint);
    }

    const MessageMap* GetMessageMap() const override { return &messageMap; }
    static const MessageEntry messageEntries[];
    static const MessageMap messageMap;

private:
    const bool m_stripShow;
};

const MessageEntry AppWindow::messageEntries[] = {
    OnMessage<WM_WINDOWPOSCHANGING, &AppWindow::OnWindowPosChanging>(),
    OnMessage<WM_PAINT, &AppWindow::OnPaint>(),
};
const MessageMap AppWindow::messageMap{&CWnd::messageMap, messageEntries, std::size(messageEntries)};

// Top-level windows: the ones the taskbar can show buttons for.
bool IsTopLevel(HWND window) {
    std::vector<HWND> all;
    EnumWindows(
        [](HWND each, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(each);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return std::find(all.begin(), all.end(), window) != all.end();
}

// What the screen shows at point.
COLORREF ScreenPixel(POINT point) {
    HDC screen = GetDC(nullptr);
    COLORREF pixel = GetPixel(screen, point.x, point.y);
    ReleaseDC(nullptr, screen);
    return pixel;
}

class HideRestoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, other.m_hWnd); }

    // A person was using another program.
    void ActivateOther() { ASSERT_TRUE(other.Activate()); }

    static void ExpectHidden(HWND window, const RECT& rect) {
        HWND parent = GetAncestor(window, GA_PARENT);
        EXPECT_EQ(ProbeTrayIcon::HiddenParent(), parent);
        EXPECT_NE(GetDesktopWindow(), parent);
        EXPECT_EQ(0, GetWindowLongPtrA(window, GWL_STYLE) & WS_VISIBLE);
        EXPECT_FALSE(IsTopLevel(window)) << "no taskbar button";
        // The hidden parent: one invisible top-level popup of this thread.
        EXPECT_FALSE(IsWindowVisible(parent));
        EXPECT_EQ(static_cast<LONG_PTR>(WS_POPUP), GetWindowLongPtrA(parent, GWL_STYLE) & (WS_POPUP | WS_CHILD));
        EXPECT_EQ(GetDesktopWindow(), GetAncestor(parent, GA_PARENT));
        EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(parent, nullptr));
        EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(CentreOf(rect)) != kPaint; })) << "still on the screen";
    }

    static void ExpectShownInFront(HWND window, const RECT& rect) {
        EXPECT_EQ(GetDesktopWindow(), GetAncestor(window, GA_PARENT));
        EXPECT_EQ(nullptr, GetParent(window));
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_TRUE(IsTopLevel(window));
        EXPECT_EQ(window, GetActiveWindow());
        EXPECT_EQ(window, GetForegroundWindow());
        RECT now;
        GetWindowRect(window, &now);
        EXPECT_EQ(rect, now);
        EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(CentreOf(rect)) == kPaint; })) << "not on the screen";
    }

    ForeignWindow other;
    const RECT rect{100, 100, 400, 300};
};

TEST_F(HideRestoreTest, HiddenInTheTrayAndBackInFront) {
    const struct {
        const char* name;
        BOOL force;
        bool stripShow;
    } cases[] = {
        {"shown window", FALSE, false},
        {"shown window, animation forced", TRUE, false},
        {"started hidden: show flags stripped", FALSE, true},
        {"started hidden, animation forced", TRUE, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppWindow window(c.stripShow);
        ASSERT_TRUE(window.Create(rect));
        EXPECT_EQ(!c.stripShow, IsWindowVisible(window.m_hWnd) != FALSE);
        ActivateOther();

        CTrayIcon::HideToTray(&window, c.force);
        ExpectHidden(window.m_hWnd, rect);

        CTrayIcon::RestoreFromTray(&window, c.force);
        ExpectShownInFront(window.m_hWnd, rect);
    }
}

TEST_F(HideRestoreTest, RestoringAShownWindowOnlyBringsItToTheFront) {
    AppWindow window(false);
    ASSERT_TRUE(window.Create(rect));
    ActivateOther();
    CTrayIcon::RestoreFromTray(&window, FALSE);
    ExpectShownInFront(window.m_hWnd, rect);
}

TEST_F(HideRestoreTest, EveryHiddenWindowSharesOneHiddenParent) {
    AppWindow first(false);
    AppWindow second(false);
    ASSERT_TRUE(first.Create(rect));
    ASSERT_TRUE(second.Create({450, 100, 650, 250}));
    CTrayIcon::HideToTray(&first, FALSE);
    HWND parent = GetAncestor(first.m_hWnd, GA_PARENT);
    CTrayIcon::HideToTray(&first, FALSE);
    CTrayIcon::HideToTray(&second, FALSE);
    EXPECT_EQ(parent, GetAncestor(first.m_hWnd, GA_PARENT));
    EXPECT_EQ(parent, GetAncestor(second.m_hWnd, GA_PARENT));

    CommandWindow third;
    ASSERT_TRUE(third.Create(450, 300));
    EXPECT_TRUE(CTrayIcon::DetachFromTaskbar(&third));
    EXPECT_EQ(parent, GetAncestor(third.m_hWnd, GA_PARENT));
    EXPECT_NE(0, GetWindowLongPtrA(third.m_hWnd, GWL_STYLE) & WS_VISIBLE) << "detaching leaves the visible bit alone";
}

TEST(FindTrayRect, OnThePlainDesktopItIsTheTaskbarsOwnRectangle) {
    CommandWindow window;
    ASSERT_TRUE(window.Create(10, 10));
    HWND taskbar = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (taskbar = FindWindowA("Shell_TrayWnd", nullptr)) != nullptr; }));
    // This desktop's taskbar is a hidden window without children.
    ASSERT_EQ(nullptr, FindWindowExA(taskbar, nullptr, nullptr, nullptr));
    RECT expected;
    GetWindowRect(taskbar, &expected);
    RECT found{1, 2, 3, 4};
    CTrayIcon::FindTrayRect(&found);
    EXPECT_EQ(expected, found);
}

TEST(FindTrayRect, WithoutAShellItIsTheWorkAreasBottomRightCorner) {
    // A desktop of its own that no window has used yet has no shell.
    const std::string name = "ZelvoNoShell" + std::to_string(GetCurrentProcessId());
    HDESK desktop = CreateDesktopA(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(nullptr, desktop);
    bool noTaskbar = false;
    bool noTaskbarPosition = false;
    RECT workArea{};
    RECT found{};
    std::thread([&] {
        if (!SetThreadDesktop(desktop)) return;
        noTaskbar = FindWindowA("Shell_TrayWnd", nullptr) == nullptr;
        APPBARDATA bar{};
        bar.cbSize = sizeof bar;
        noTaskbarPosition = SHAppBarMessage(ABM_GETTASKBARPOS, &bar) == 0;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
        CTrayIcon::FindTrayRect(&found);
    }).join();
    CloseDesktop(desktop);

    ASSERT_TRUE(noTaskbar);
    ASSERT_TRUE(noTaskbarPosition);
    EXPECT_EQ((RECT{workArea.right - 150, workArea.bottom - 30, workArea.right, workArea.bottom}), found);
}

TEST(IsWindowAnimationOn, FollowsTheSystemSetting) {
    ANIMATIONINFO saved{sizeof saved, 0};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETANIMATION, sizeof saved, &saved, 0));
    for (int setting : {1, 0}) {
        ANIMATIONINFO wanted{sizeof wanted, setting};
        SystemParametersInfoA(SPI_SETANIMATION, sizeof wanted, &wanted, 0);
        ANIMATIONINFO now{sizeof now, 0};
        ASSERT_TRUE(SystemParametersInfoA(SPI_GETANIMATION, sizeof now, &now, 0));
        EXPECT_EQ(now.iMinAnimate != 0, CTrayIcon::IsWindowAnimationOn() != FALSE) << "set to " << setting;
    }
    SystemParametersInfoA(SPI_SETANIMATION, sizeof saved, &saved, 0);
}

}  // namespace
