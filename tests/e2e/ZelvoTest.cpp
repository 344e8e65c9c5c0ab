#include "ZelvoTest.h"

#include "Tray.h"

namespace e2e {

void ZelvoTest::SetUp() {
    ASSERT_EQ(FindWindowA(nullptr, "Zelvo"), nullptr) << "a window titled Zelvo is already open";
    CreateKey(HKEY_CURRENT_USER, kToolbarKey);
    CreateKey(HKEY_CURRENT_USER, kRunKey);
    DeleteValue(kToolbarKey, "BackBitmap");
    DeleteValue(kToolbarKey, "BackBitmapShell");
    DeleteValue(kRunKey, "Zelvo");
    SetStartupTips(false);

    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char& c : name) {
        if (c == '/') c = '.';
    }
    m_folder = std::make_unique<ProgramFolder>(name);
    m_trayBefore = TrayIcons();
}

Zelvo& ZelvoTest::Start(const std::string& arguments, const std::string& currentFolder) {
    m_started.push_back(std::make_unique<Zelvo>(*m_folder, arguments, currentFolder));
    return *m_started.back();
}

Zelvo& ZelvoTest::StartReady(const std::string& arguments, const std::string& currentFolder) {
    Zelvo& zelvo = Start(arguments, currentFolder);
    EXPECT_NE(zelvo.Settings(), nullptr) << "no settings window";
    EXPECT_NE(WaitTrayIcon(), nullptr) << "no tray icon";
    EXPECT_TRUE(zelvo.Settings() && zelvo.Settle()) << "the settings window does not answer";
    return zelvo;
}

void ZelvoTest::SetStartupTips(bool on) {
    WritePrivateProfileStringA("Tip", "StartUp", on ? "0" : "1", "zelvo.INI");
}

void ZelvoTest::WriteSkinList(const std::vector<std::string>& baseNames) const {
    std::string text = "[Images]\r\n";
    for (const std::string& name : baseNames) text += SkinLine(name) + "\r\n";
    WriteFile(m_folder->File("images.ini"), text);
}

std::set<HWND> ZelvoTest::NewTrayIcons() const {
    return TrayIconsAddedSince(m_trayBefore);
}

HWND ZelvoTest::WaitTrayIcon() const {
    if (!WaitFor([&] { return NewTrayIcons().size() == 1; })) return nullptr;
    return *NewTrayIcons().begin();
}

bool ZelvoTest::WaitNoNewTrayIcon() const {
    return WaitFor([&] { return NewTrayIcons().empty(); });
}

}  // namespace e2e
