// The settings window's life: hiding to the tray and coming back, the tray
// menu's Skin Settings, Show Quick Tip and Exit, and the About box.
#include <functional>
#include <ostream>

#include "Tray.h"
#include "ZelvoTest.h"

namespace e2e {
namespace {

struct HideCase {
    const char* name;
    std::function<void(Zelvo&)> hide;
};

void PrintTo(const HideCase& c, std::ostream* out) {
    *out << c.name;
}

class HideTest : public ZelvoTest, public ::testing::WithParamInterface<HideCase> {};

TEST_P(HideTest, HidesToTheTrayAndSkinSettingsOrTheDoubleClickBringsItBack) {
    Zelvo& zelvo = StartReady();
    HWND settings = zelvo.Settings();
    HWND icon = WaitTrayIcon();
    ASSERT_NE(settings, nullptr);
    ASSERT_NE(icon, nullptr);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(settings); }));

    GetParam().hide(zelvo);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(settings); })) << "not hidden";
    ASSERT_TRUE(zelvo.Settle()) << "the program no longer answers";
    EXPECT_EQ(NewTrayIcons(), std::set<HWND>{icon});

    zelvo.Command(kCmdSkinSettings);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(settings); })) << "Skin Settings did not restore it";
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == settings; })) << "restored but not in front";

    GetParam().hide(zelvo);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(settings); }));
    DoubleClickTrayIcon(icon);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(settings); })) << "the double click did not restore it";
    EXPECT_TRUE(zelvo.Running());
}

INSTANTIATE_TEST_SUITE_P(
    , HideTest,
    ::testing::Values(HideCase{"OkButton", [](Zelvo& z) { ClickButton(GetDlgItem(z.Settings(), IDOK)); }},
                      HideCase{"CaptionClose", [](Zelvo& z) { PostMessageA(z.Settings(), WM_CLOSE, 0, 0); }},
                      HideCase{"SystemMenuClose",
                               [](Zelvo& z) { PostMessageA(z.Settings(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
                      HideCase{"EnterKey", [](Zelvo& z) { PressKey(FocusOf(z.Settings()), VK_RETURN); }}),
    [](const ::testing::TestParamInfo<HideCase>& info) { return info.param.name; });

class WindowTest : public ZelvoTest {};

TEST_F(WindowTest, EscapeDoesNothing) {
    Zelvo& zelvo = StartReady();
    HWND settings = zelvo.Settings();
    ASSERT_NE(settings, nullptr);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(settings); }));

    PressKey(FocusOf(settings), VK_ESCAPE);
    ASSERT_TRUE(zelvo.Settle()) << "the program no longer answers";
    EXPECT_TRUE(IsWindowVisible(settings));
    EXPECT_TRUE(zelvo.Running());
}

TEST_F(WindowTest, ExitFromTheTrayMenuRemovesTheIconAndEndsTheProgram) {
    Zelvo& zelvo = StartReady();
    HWND icon = WaitTrayIcon();
    ASSERT_NE(icon, nullptr);

    RightClickTrayIcon(icon);
    ASSERT_TRUE(ChooseFromPopupMenu(zelvo.Pid(), 'e')) << "no tray menu";
    EXPECT_EQ(zelvo.WaitExit(), 0u);
    EXPECT_TRUE(WaitNoNewTrayIcon()) << "the tray icon stayed";
}

TEST_F(WindowTest, SkinSettingsFromTheTrayMenuShowsAWindowStartedHidden) {
    Zelvo& zelvo = StartReady("-min");
    HWND settings = zelvo.Settings();
    HWND icon = WaitTrayIcon();
    ASSERT_NE(icon, nullptr);
    ASSERT_FALSE(IsWindowVisible(settings));

    RightClickTrayIcon(icon);
    ASSERT_TRUE(ChooseFromPopupMenu(zelvo.Pid(), 's')) << "no tray menu";
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(settings); }));
}

TEST_F(WindowTest, ShowQuickTipFromTheTrayShowsTheTipWhateverTheStartUpSetting) {
    Zelvo& zelvo = StartReady();
    ClickButton(GetDlgItem(zelvo.Settings(), IDOK));
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(zelvo.Settings()); }));

    zelvo.Command(kCmdShowQuickTip);
    HWND tip = zelvo.WaitWindow("#32770", "  Quick Tip");
    ASSERT_NE(tip, nullptr) << "no Quick Tip";
    ClickButton(GetDlgItem(tip, IDOK));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(tip); })) << "Close left it open";
    ASSERT_TRUE(zelvo.Settle());
    EXPECT_TRUE(zelvo.Running());
    EXPECT_FALSE(IsWindowVisible(zelvo.Settings()));
}

struct AboutCase {
    const char* name;
    bool hiddenInTray;
    // Opens the About box; icon is the program's tray icon.
    std::function<void(Zelvo&, HWND icon)> open;
};

void PrintTo(const AboutCase& c, std::ostream* out) {
    *out << c.name;
}

class AboutTest : public ZelvoTest, public ::testing::WithParamInterface<AboutCase> {};

TEST_P(AboutTest, OpensModalOverTheSettingsWindowAndOkClosesIt) {
    const AboutCase& c = GetParam();
    Zelvo& zelvo = StartReady();
    HWND settings = zelvo.Settings();
    HWND icon = WaitTrayIcon();
    ASSERT_NE(settings, nullptr);
    ASSERT_NE(icon, nullptr);
    if (c.hiddenInTray) {
        ClickButton(GetDlgItem(settings, IDOK));
        ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(settings); }));
    }

    c.open(zelvo, icon);
    HWND about = zelvo.WaitWindow("#32770", "About Zelvo");
    ASSERT_NE(about, nullptr) << "no About box";
    EXPECT_TRUE(HasChildWithText(about, "Zelvo Version 1.11"));
    EXPECT_FALSE(IsWindowEnabled(settings)) << "the settings window takes input under the About box";
    EXPECT_EQ(IsWindowVisible(settings) != FALSE, !c.hiddenInTray);

    ClickButton(GetDlgItem(about, IDOK));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); })) << "OK did not close it";
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(settings) != FALSE; }));
    EXPECT_EQ(IsWindowVisible(settings) != FALSE, !c.hiddenInTray);
    EXPECT_TRUE(zelvo.Running());
}

// Alt+Space opens the system menu. Its last item is the program's; the
// mnemonic A is no use, since Wine has an "&About Wine" item of its own there.
void OpenSystemMenuAbout(Zelvo& zelvo, HWND) {
    PostMessageA(zelvo.Settings(), WM_SYSCOMMAND, SC_KEYMENU, ' ');
    ASSERT_TRUE(ChooseLastFromPopupMenu(zelvo.Pid())) << "no system menu";
}

void OpenTrayMenuAbout(Zelvo& zelvo, HWND icon) {
    RightClickTrayIcon(icon);
    ASSERT_TRUE(ChooseFromPopupMenu(zelvo.Pid(), 'a')) << "no tray menu";
}

INSTANTIATE_TEST_SUITE_P(
    , AboutTest,
    ::testing::Values(
        AboutCase{"SystemMenuItem", false, OpenSystemMenuAbout},
        AboutCase{"SystemCommand", false,
                  [](Zelvo& z, HWND) { PostMessageA(z.Settings(), WM_SYSCOMMAND, kSysCmdAbout, 0); }},
        AboutCase{"TrayCommand", false, [](Zelvo& z, HWND) { z.Command(kCmdAbout); }},
        AboutCase{"TrayCommandWhileHidden", true, [](Zelvo& z, HWND) { z.Command(kCmdAbout); }},
        AboutCase{"TrayMenuWhileHidden", true, OpenTrayMenuAbout}),
    [](const ::testing::TestParamInfo<AboutCase>& info) { return info.param.name; });

}  // namespace
}  // namespace e2e
