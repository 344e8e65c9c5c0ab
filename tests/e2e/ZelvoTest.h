// The fixture every case starts from: no Run value, no toolbar values (their
// key exists, as on a system with Internet Explorer), tips at start-up off,
// a fresh program folder named after the test, and the tray icons that were
// there before.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Harness.h"
#include "RemoteListView.h"

namespace e2e {

class ZelvoTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Starts zelvo.exe from the program folder; the current folder is the
    // program folder unless one is given. Ended by the fixture at the latest.
    Zelvo& Start(const std::string& arguments = "", const std::string& currentFolder = "");
    // Starts zelvo.exe and waits until its settings window and tray icon exist
    // and the window has finished its start-up.
    Zelvo& StartReady(const std::string& arguments = "", const std::string& currentFolder = "");

    // "StartUp" of the Quick Tip settings: 0 shows tips at start-up.
    static void SetStartupTips(bool on);

    // Writes images.ini in the program folder: the section and one line per
    // base name, naming its bitmap in the program folder.
    void WriteSkinList(const std::vector<std::string>& baseNames) const;
    std::string SkinPath(const std::string& baseName) const { return m_folder->Prefix() + baseName + ".bmp"; }
    std::string SkinLine(const std::string& baseName) const { return baseName + "=" + SkinPath(baseName); }
    std::vector<std::string> SkinListLines() const { return ReadLines(m_folder->File("images.ini")); }

    // The tray icons added since the test began.
    std::set<HWND> NewTrayIcons() const;
    // Waits for exactly one icon added since the test began and returns it.
    HWND WaitTrayIcon() const;
    bool WaitNoNewTrayIcon() const;

    RemoteListView SkinList(Zelvo& zelvo) const { return RemoteListView(zelvo.Control(kIdSkinList), zelvo.Process()); }

    std::unique_ptr<ProgramFolder> m_folder;
    std::set<HWND> m_trayBefore;
    std::vector<std::unique_ptr<Zelvo>> m_started;
};

}  // namespace e2e
