// The Quick Tip dialog over real tips files and the real profile file.
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "TipSession.h"
#include "framework/WinApp.h"
#include "res/resource.h"

namespace {

// The profile is named after this program: "<program>.INI" in the Windows folder.
CWinApp theApp;

const char kSection[] = "Tip";

std::string ResourceText(UINT id) {
    char text[256];
    int length = LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
    return std::string(text, static_cast<size_t>(length));
}

std::string ProgramFolder() {
    char path[MAX_PATH];
    std::string file(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return file.substr(0, file.rfind('\\') + 1);
}

std::optional<std::string> ProfileValue(const char* key) {
    const char absent[] = "\x01";
    char value[256];
    GetPrivateProfileStringA(kSection, key, absent, value, sizeof value, theApp.m_pszProfileName);
    if (std::string(value) == absent) return std::nullopt;
    return std::string(value);
}

void SetProfileValue(const char* key, const char* value) {
    WritePrivateProfileStringA(kSection, key, value, theApp.m_pszProfileName);
}

void RemoveProfile() {
    char folder[MAX_PATH];
    UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    DeleteFileA((std::string(folder, length) + "\\" + theApp.m_pszProfileName.GetString()).c_str());
}

// A Windows text file: every line ends in CR LF.
std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

void WriteFile(const std::string& path, const std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

// Where the next tip is read from once the line holding text has been read.
std::string OffsetAfter(const std::string& content, const std::string& text) {
    size_t at = content.find(text);
    return at == std::string::npos ? "<" + text + " not in file>" : std::to_string(content.find("\r\n", at) + 2);
}

// The file's creation time as the C runtime reports and writes it.
std::string CreationStamp(const char* path) {
    struct _stat status;
    if (_stat(path, &status) != 0) return "<no file>";
    std::string text = std::ctime(&status.st_ctime);
    return text.substr(0, text.find_last_not_of(" \r\n") + 1);
}

// Shows the dialog, reads the tip, then closes it with Close.
std::string ShowAndReadTip() {
    std::string tip;
    ShowQuickTip([&](const TipWindow& window) {
        tip = window.Tip();
        window.Click(IDOK);
    });
    return tip;
}

// Each case starts in an empty current folder of its own, with no profile and
// no tips file beside the program.
class QuickTip : public testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        std::string base(temp, GetTempPathA(MAX_PATH, temp));
        m_folder = base + "zelvo-quicktip-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(m_folder.c_str(), nullptr);
        DeleteFileA(TipsHere().c_str());
        DeleteFileA(TipsBesideProgram().c_str());
        char current[MAX_PATH];
        m_previousFolder.assign(current, GetCurrentDirectoryA(MAX_PATH, current));
        ASSERT_TRUE(SetCurrentDirectoryA(m_folder.c_str()));
        RemoveProfile();
    }

    void TearDown() override {
        SetCurrentDirectoryA(m_previousFolder.c_str());
        DeleteFileA(TipsHere().c_str());
        DeleteFileA(TipsBesideProgram().c_str());
        RemoveDirectoryA(m_folder.c_str());
        RemoveProfile();
    }

    std::string TipsHere() const { return m_folder + "\\tips.txt"; }
    static std::string TipsBesideProgram() { return ProgramFolder() + "tips.txt"; }

    std::string m_folder;
    std::string m_previousFolder;
};

const std::string kExample = Lines({"; Quick Tips", "", "  indented", "Tip A", "Tip B"});

TEST_F(QuickTip, FirstShowingHasTipsOnAndCyclesThroughTheTips) {
    WriteFile(TipsHere(), kExample);
    std::vector<std::string> tips;
    bool checked = false;
    bool nextEnabled = false;
    Showing showing = ShowQuickTip([&](const TipWindow& window) {
        checked = window.IsChecked(IDC_SHOWTIPS);
        nextEnabled = window.IsEnabled(IDC_NEXTTIP);
        tips.push_back(window.Tip());
        for (int click = 0; click < 2; ++click) {
            window.Click(IDC_NEXTTIP);
            tips.push_back(window.Tip());
        }
        window.Click(IDOK);
    });

    EXPECT_TRUE(showing.showAtStart);
    EXPECT_TRUE(checked);
    EXPECT_TRUE(nextEnabled);
    EXPECT_EQ(std::vector<std::string>({"Tip A\n", "Tip B\n", "Tip A\n"}), tips);
    EXPECT_EQ(IDOK, showing.result);
    EXPECT_TRUE(showing.messageBoxes.empty());
    EXPECT_EQ(CreationStamp("tips.txt"), ProfileValue("TimeStamp"));
    EXPECT_EQ(OffsetAfter(kExample, "Tip A"), ProfileValue("FilePos"));
    EXPECT_EQ("0", ProfileValue("StartUp"));
}

// A start-up with tips off constructs the dialog without showing it: that
// too moves on by one tip.
TEST_F(QuickTip, EachShowingContinuesWhereTheLastStopped) {
    const std::string content = Lines({"Tip A", "; between", "Tip B", "Tip C"});
    WriteFile(TipsHere(), content);
    EXPECT_EQ("Tip A\n", ShowAndReadTip());
    SetProfileValue("StartUp", "1");
    Showing unseen = ShowQuickTip(nullptr);
    EXPECT_FALSE(unseen.showAtStart);
    EXPECT_EQ(OffsetAfter(content, "Tip B"), ProfileValue("FilePos"));
    EXPECT_EQ("Tip C\n", ShowAndReadTip());
    EXPECT_EQ("Tip A\n", ShowAndReadTip());
}

// The stamp of the file is stored by a first, unseen showing; then the saved
// values are changed as each case says.
TEST_F(QuickTip, ReadingStartsAtTheSavedPositionOfTheSameFile) {
    const std::string content = Lines({"; tips", "Tip A", "Tip B"});
    const std::string atTipB = OffsetAfter(content, "Tip A");
    const std::string pastTheEnd = std::to_string(content.size() + 100);
    const std::string trouble = ResourceText(IDS_TIPS_TROUBLE);
    const struct {
        const char* what;
        std::string filePos;
        const char* timeStamp;  // null: the file's own
        const char* first;
        const char* next;
        std::vector<std::string> messageBoxes;
    } cases[] = {
        {"saved position", atTipB, nullptr, "Tip B\n", "Tip A\n", {}},
        {"position past the end", pastTheEnd, nullptr, "Tip A\n", "Tip B\n", {}},
        {"new file", atTipB, "Thu Jan  1 00:00:00 1970", "Tip A\n", "Tip B\n", {}},
        {"position that cannot be sought", "-5", nullptr, "", "Tip A\n", {trouble}},
    };
    WriteFile(TipsHere(), content);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ShowQuickTip(nullptr);
        SetProfileValue("FilePos", c.filePos.c_str());
        if (c.timeStamp) SetProfileValue("TimeStamp", c.timeStamp);

        std::string first;
        std::string next;
        Showing showing = ShowQuickTip([&](const TipWindow& window) {
            first = window.Tip();
            window.Click(IDC_NEXTTIP);
            next = window.Tip();
            window.Click(IDOK);
        });
        EXPECT_EQ(c.first, first);
        EXPECT_EQ(c.next, next);
        EXPECT_EQ(c.messageBoxes, showing.messageBoxes);
        EXPECT_EQ(CreationStamp("tips.txt"), ProfileValue("TimeStamp"));
    }
}

TEST_F(QuickTip, LongLinesComeInPiecesOf999Characters) {
    std::string line;
    for (int i = 0; i < 1500; ++i) line += static_cast<char>('a' + i % 26);
    WriteFile(TipsHere(), Lines({line, "Tip C"}));
    std::vector<std::string> tips;
    ShowQuickTip([&](const TipWindow& window) {
        tips.push_back(window.Tip());
        for (int click = 0; click < 2; ++click) {
            window.Click(IDC_NEXTTIP);
            tips.push_back(window.Tip());
        }
        window.Click(IDOK);
    });
    EXPECT_EQ(std::vector<std::string>({line.substr(0, 999), line.substr(999) + "\n", "Tip C\n"}), tips);
}

enum class Close { Button, Enter, Escape, CloseBox };

// Only Close (the button or Enter) stores the check box, as the inverse;
// the position is saved however the dialog ends.
TEST_F(QuickTip, OnlyCloseStoresWhetherTipsShowAtStartUp) {
    const struct {
        const char* what;
        const char* startUp;  // null: none saved
        bool toggle;
        Close close;
        const char* storedStartUp;
        INT_PTR result;
    } cases[] = {
        {"first showing, unticked, Close", nullptr, true, Close::Button, "1", IDOK},
        {"tips off, ticked, Enter", "1", true, Close::Enter, "0", IDOK},
        {"tips on, untouched, Close", "0", false, Close::Button, "0", IDOK},
        {"tips off, untouched, Enter", "1", false, Close::Enter, "1", IDOK},
        {"tips on, unticked, Esc", "0", true, Close::Escape, "0", IDCANCEL},
        {"first showing, unticked, close box", nullptr, true, Close::CloseBox, nullptr, IDCANCEL},
        {"tips off, ticked, close box", "1", true, Close::CloseBox, "1", IDCANCEL},
    };
    WriteFile(TipsHere(), kExample);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveProfile();
        if (c.startUp) SetProfileValue("StartUp", c.startUp);
        bool checked = false;
        Showing showing = ShowQuickTip([&](const TipWindow& window) {
            checked = window.IsChecked(IDC_SHOWTIPS);
            if (c.toggle) window.Click(IDC_SHOWTIPS);
            switch (c.close) {
            case Close::Button: window.Click(IDOK); break;
            case Close::Enter: window.Press(VK_RETURN); break;
            case Close::Escape: window.Press(VK_ESCAPE); break;
            case Close::CloseBox: window.CloseBox(); break;
            }
        });
        const bool tipsOn = !c.startUp || std::string(c.startUp) == "0";
        EXPECT_EQ(tipsOn, showing.showAtStart);
        EXPECT_EQ(tipsOn, checked);
        EXPECT_EQ(c.result, showing.result);
        EXPECT_EQ(c.storedStartUp ? std::optional<std::string>(c.storedStartUp) : std::nullopt,
                  ProfileValue("StartUp"));
        EXPECT_EQ(OffsetAfter(kExample, "Tip A"), ProfileValue("FilePos"));
    }
}

TEST_F(QuickTip, MissingFileIsSaidInTheTipAreaAndLeavesTheProfileAlone) {
    SetProfileValue("FilePos", "7");
    SetProfileValue("TimeStamp", "Mon Jan  1 00:00:00 2001");
    std::string tip;
    bool nextEnabled = true;
    Showing showing = ShowQuickTip([&](const TipWindow& window) {
        tip = window.Tip();
        nextEnabled = window.IsEnabled(IDC_NEXTTIP);
        window.Press(VK_ESCAPE);
    });
    EXPECT_EQ(ResourceText(IDS_TIPS_MISSING), tip);
    EXPECT_FALSE(nextEnabled);
    EXPECT_TRUE(showing.messageBoxes.empty());
    EXPECT_EQ("7", ProfileValue("FilePos"));
    EXPECT_EQ("Mon Jan  1 00:00:00 2001", ProfileValue("TimeStamp"));
}

// Reading must end after one pass that finds no tip: were it to loop, the
// session's time limit ends the test program.
TEST_F(QuickTip, FileWithoutTipsIsSaidAndNextTipDisabled) {
    const struct {
        const char* what;
        std::string content;
    } cases[] = {
        {"empty", ""},
        {"comments, blank and indented lines", Lines({"; only a comment", "", "  indented", "\tafter a tab"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(TipsHere(), c.content);
        std::string tip;
        bool nextEnabled = true;
        Showing showing = ShowQuickTip([&](const TipWindow& window) {
            tip = window.Tip();
            nextEnabled = window.IsEnabled(IDC_NEXTTIP);
            window.Click(IDOK);
        });
        EXPECT_EQ(ResourceText(IDS_TIPS_NONE), tip);
        EXPECT_FALSE(nextEnabled);
        EXPECT_TRUE(showing.messageBoxes.empty());
    }
}

// The last tip gone while the dialog is up: Next Tip says so, gives the
// focus to Close and goes grey.
TEST_F(QuickTip, TipsGoneWhileShownDisableNextTip) {
    WriteFile(TipsHere(), Lines({"Tip A", "; the last line"}));
    std::string tip;
    bool nextEnabled = true;
    bool closeHasFocus = false;
    Showing showing = ShowQuickTip([&](const TipWindow& window) {
        // Shorter than the old file, which the stream has read ahead in full:
        // past its end, reading rewinds into the new one.
        WriteFile(TipsHere(), Lines({"; none"}));
        window.Click(IDC_NEXTTIP);
        tip = window.Tip();
        nextEnabled = window.IsEnabled(IDC_NEXTTIP);
        closeHasFocus = window.HasFocus(IDOK);
        window.Press(VK_RETURN);
    });
    EXPECT_EQ(ResourceText(IDS_TIPS_NONE), tip);
    EXPECT_FALSE(nextEnabled);
    EXPECT_TRUE(closeHasFocus);
    EXPECT_EQ(IDOK, showing.result);
}

TEST_F(QuickTip, TipsFileIsLookedForHereThenBesideTheProgram) {
    const struct {
        const char* here;  // null: none
        const char* besideProgram;
        const char* tip;
    } cases[] = {
        {nullptr, "Beside the program", "Beside the program\n"},
        {"Here", "Beside the program", "Here\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tip);
        DeleteFileA(TipsHere().c_str());
        if (c.here) WriteFile(TipsHere(), Lines({"; here", c.here}));
        WriteFile(TipsBesideProgram(), Lines({"; beside", c.besideProgram}));
        EXPECT_EQ(c.tip, ShowAndReadTip());
    }
}

TEST_F(QuickTip, OnlyTheTipAreaIsWhite) {
    WriteFile(TipsHere(), kExample);
    const int controls[] = {IDC_TIPTEXT, IDC_SHOWTIPS, IDC_NEXTTIP, IDOK};
    std::vector<bool> white;
    ShowQuickTip([&](const TipWindow& window) {
        for (int id : controls) {
            HWND control = GetDlgItem(window.Handle(), id);
            HDC dc = GetDC(control);
            LRESULT brush = SendMessageA(window.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                         reinterpret_cast<LPARAM>(control));
            ReleaseDC(control, dc);
            white.push_back(reinterpret_cast<HGDIOBJ>(brush) == GetStockObject(WHITE_BRUSH));
        }
        window.Click(IDOK);
    });
    EXPECT_EQ(std::vector<bool>({true, false, false, false}), white);
}

}  // namespace
