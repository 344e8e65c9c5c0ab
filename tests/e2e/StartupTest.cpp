// Starting the program: the Quick Tip first, the settings window and the tray
// icon, starting hidden with "-min", and a second copy.
#include <ostream>

#include "Tray.h"
#include "ZelvoTest.h"

namespace e2e {
namespace {

class StartupTest : public ZelvoTest {};

// A visible window of the test's own, to be in front before the program
// brings its window forward.
class ForegroundWindow {
public:
    ForegroundWindow() {
        m_window = CreateWindowExA(0, "STATIC", "someone else", WS_POPUP | WS_VISIBLE, 300, 300, 200, 100, nullptr,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(m_window);
    }
    ~ForegroundWindow() { DestroyWindow(m_window); }
    HWND Get() const { return m_window; }

private:
    HWND m_window;
};

LRESULT CheckState(HWND box) {
    return SendMessageA(box, BM_GETCHECK, 0, 0);
}

TEST_F(StartupTest, QuickTipShowsFirstThenTheSettingsWindowAndTrayIcon) {
    SetStartupTips(true);
    WriteString(kRunKey, "Zelvo", "\"C:\\elsewhere\\zelvo.exe\" -min");
    Zelvo& zelvo = Start();

    HWND tip = zelvo.WaitWindow("#32770", "  Quick Tip");
    ASSERT_NE(tip, nullptr) << "no Quick Tip";
    EXPECT_EQ(FindTopLevel(zelvo.Pid(), "#32770", "Zelvo"), nullptr) << "settings window while the tip is up";
    EXPECT_TRUE(NewTrayIcons().empty()) << "tray icon while the tip is up";

    ClickButton(GetDlgItem(tip, IDOK));
    HWND settings = zelvo.Settings();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(settings); }));
    EXPECT_FALSE(IsWindow(tip));
    EXPECT_EQ(WindowText(settings), "Zelvo");
    EXPECT_TRUE(GetWindowLongPtrA(settings, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_NE(WaitTrayIcon(), nullptr);
    EXPECT_EQ(CheckState(zelvo.Control(kIdRunAtStartup)), BST_CHECKED);
    EXPECT_EQ(zelvo.WaitWindow("#32770", "  Quick Tip", 0), nullptr) << "tip shown twice";
}

TEST_F(StartupTest, WithoutTipsTheSettingsWindowShowsAtOnce) {
    Zelvo& zelvo = StartReady();
    HWND settings = zelvo.Settings();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(settings); }));
    EXPECT_EQ(FindTopLevel(zelvo.Pid(), "#32770", "  Quick Tip"), nullptr);
    EXPECT_EQ(CheckState(zelvo.Control(kIdRunAtStartup)), BST_UNCHECKED);
}

TEST_F(StartupTest, MinStaysHiddenWhateverShowsItUntilTheTrayIconIsDoubleClicked) {
    SetStartupTips(true);
    Zelvo& zelvo = StartReady("-min");
    HWND settings = zelvo.Settings();
    HWND icon = WaitTrayIcon();
    ASSERT_NE(settings, nullptr);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(FindTopLevel(zelvo.Pid(), "#32770", "  Quick Tip"), nullptr);
    EXPECT_FALSE(IsWindowVisible(settings));

    ShowWindow(settings, SW_SHOWNORMAL);
    EXPECT_FALSE(IsWindowVisible(settings)) << "shown by ShowWindow";
    SetWindowPos(settings, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    EXPECT_FALSE(IsWindowVisible(settings)) << "shown by SetWindowPos";

    DoubleClickTrayIcon(icon);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(settings); })) << "the double click did not restore it";
    EXPECT_TRUE(zelvo.Running());
}

struct SecondCopyCase {
    const char* name;
    const char* first;
    const char* second;
    bool firstComesToFront;
};

void PrintTo(const SecondCopyCase& c, std::ostream* out) {
    *out << c.name;
}

class SecondCopyTest : public ZelvoTest, public ::testing::WithParamInterface<SecondCopyCase> {};

TEST_P(SecondCopyTest, EndsAtOnceAndOnlyActivatesTheFirstCopy) {
    const SecondCopyCase& c = GetParam();
    Zelvo& first = StartReady(c.first);
    HWND settings = first.Settings();
    ASSERT_NE(settings, nullptr);
    ASSERT_EQ(IsWindowVisible(settings) != FALSE, c.firstComesToFront);

    ForegroundWindow someoneElse;
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == someoneElse.Get(); }));

    Zelvo& second = Start(c.second);
    EXPECT_EQ(second.WaitExit(), 0u);
    ASSERT_TRUE(first.Settle());
    EXPECT_EQ(NewTrayIcons().size(), 1u) << "the second copy left a tray icon";
    if (c.firstComesToFront) {
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == settings; })) << "first copy not brought forward";
        EXPECT_TRUE(IsWindowVisible(settings));
    } else {
        EXPECT_FALSE(IsWindowVisible(settings));
    }
    EXPECT_TRUE(first.Running());
}

INSTANTIATE_TEST_SUITE_P(, SecondCopyTest,
                         ::testing::Values(SecondCopyCase{"FirstVisible", "", "", true},
                                           SecondCopyCase{"SecondWithMin", "", "-min", true},
                                           SecondCopyCase{"FirstStartedWithMin", "-min", "", false}),
                         [](const ::testing::TestParamInfo<SecondCopyCase>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
