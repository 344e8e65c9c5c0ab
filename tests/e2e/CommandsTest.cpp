// The commands that reach outside the program: starting with Windows, Clear &
// Exit, Help and Tell a Friend.
#include <ostream>

#include "Pictures.h"
#include "ShellRecorder.h"
#include "ZImage.h"
#include "ZelvoTest.h"

namespace e2e {
namespace {

class CommandsTest : public ZelvoTest {
protected:
    static LRESULT CheckState(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0); }
};

TEST_F(CommandsTest, TickingRegistersTheQuotedProgramWithMinAndUntickingDeletesIt) {
    Zelvo& zelvo = StartReady();
    HWND box = zelvo.Control(kIdRunAtStartup);
    ASSERT_EQ(CheckState(box), BST_UNCHECKED);
    const std::string program = zelvo.ImagePath();
    ASSERT_EQ(LowerAscii(program), LowerAscii(m_folder->Exe()));

    ClickButton(box);
    ASSERT_TRUE(zelvo.Settle());
    EXPECT_EQ(CheckState(box), BST_CHECKED);
    EXPECT_EQ(ReadString(kRunKey, "Zelvo"), "\"" + program + "\" -min");

    ClickButton(box);
    ASSERT_TRUE(zelvo.Settle());
    EXPECT_EQ(CheckState(box), BST_UNCHECKED);
    EXPECT_FALSE(ValueExists(kRunKey, "Zelvo"));
}

struct RunValueCase {
    const char* name;
    bool present;
    DWORD type;
    std::string data;
};

void PrintTo(const RunValueCase& c, std::ostream* out) {
    *out << c.name;
}

class RunValueTest : public CommandsTest, public ::testing::WithParamInterface<RunValueCase> {};

TEST_P(RunValueTest, TheCheckBoxOpensTickedWhenAnyValueZelvoExists) {
    const RunValueCase& c = GetParam();
    if (c.present) {
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kRunKey, "Zelvo", c.type, c.data.data(),
                                  static_cast<DWORD>(c.data.size())),
                  ERROR_SUCCESS);
    }
    Zelvo& zelvo = StartReady();
    EXPECT_EQ(CheckState(zelvo.Control(kIdRunAtStartup)), c.present ? BST_CHECKED : BST_UNCHECKED);
    EXPECT_EQ(ValueExists(kRunKey, "Zelvo"), c.present) << "opening the window changed the value";
}

INSTANTIATE_TEST_SUITE_P(, RunValueTest,
                         ::testing::Values(RunValueCase{"Absent", false, REG_SZ, ""},
                                           RunValueCase{"OtherProgram", true, REG_SZ, std::string("C:\\x.exe", 9)},
                                           RunValueCase{"EmptyString", true, REG_SZ, std::string(1, '\0')},
                                           RunValueCase{"NotAString", true, REG_DWORD, std::string(4, '\1')}),
                         [](const ::testing::TestParamInfo<RunValueCase>& info) { return info.param.name; });

TEST_F(CommandsTest, ClearAndExitAsksAndOnlyYesDeletesTheToolbarValuesAndEnds) {
    const Picture skin{24, 16, 7, false};
    WritePicture(m_folder->File("s1.bmp"), skin, FORMAT_BMP);
    WriteSkinList({"s1"});
    const std::string runValue = "\"C:\\Program Files\\Zelvo\\zelvo.exe\" -min";
    WriteString(kRunKey, "Zelvo", runValue);
    Zelvo& zelvo = StartReady();
    ASSERT_EQ(ReadString(kToolbarKey, "BackBitmap"), SkinPath("s1"));

    for (int answer : {IDNO, IDCANCEL, IDYES}) {
        SCOPED_TRACE(answer);
        ClickButton(zelvo.Control(kIdClearExit));
        HWND box = zelvo.WaitOwnedDialog("Zelvo");
        ASSERT_NE(box, nullptr) << "no question";
        EXPECT_TRUE(HasChildWithText(box, "Are you sure you want to clear the skins and exit?"));
        for (int button : {IDYES, IDNO, IDCANCEL}) EXPECT_NE(GetDlgItem(box, button), nullptr) << button;
        ClickButton(GetDlgItem(box, answer));
        if (answer == IDYES) break;
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));
        ASSERT_TRUE(zelvo.Settle());
        EXPECT_TRUE(zelvo.Running());
        EXPECT_EQ(ReadString(kToolbarKey, "BackBitmap"), SkinPath("s1"));
        EXPECT_EQ(ReadString(kToolbarKey, "BackBitmapShell"), SkinPath("s1"));
    }

    EXPECT_EQ(zelvo.WaitExit(), 0u);
    EXPECT_FALSE(ValueExists(kToolbarKey, "BackBitmap"));
    EXPECT_FALSE(ValueExists(kToolbarKey, "BackBitmapShell"));
    EXPECT_TRUE(WaitNoNewTrayIcon()) << "the tray icon stayed";
    EXPECT_EQ(SkinListLines(), (std::vector<std::string>{"[Images]", SkinLine("s1")}));
    EXPECT_TRUE(BitmapShows(m_folder->File("s1.bmp"), skin));
    EXPECT_EQ(ReadString(kRunKey, "Zelvo"), runValue);
}

struct HelpCase {
    const char* name;
    bool pageInCurrentFolder;
    bool pageInProgramFolder;
    bool fromTray;
};

void PrintTo(const HelpCase& c, std::ostream* out) {
    *out << c.name;
}

class HelpTest : public CommandsTest, public ::testing::WithParamInterface<HelpCase> {};

TEST_P(HelpTest, OpensTheCurrentFoldersPageElseTheProgramFolders) {
    const HelpCase& c = GetParam();
    ShellRecorder recorder;
    const std::string current = m_folder->SubFolder("Current");
    if (c.pageInCurrentFolder) WriteFile(Join(current, "help.html"), "<html>elsewhere</html>");
    if (!c.pageInProgramFolder) {
        ASSERT_TRUE(DeleteFileA(m_folder->File("help.html").c_str()));
    }
    Zelvo& zelvo = StartReady("", current);

    if (c.fromTray) {
        zelvo.Command(kCmdHelp);
    } else {
        ClickButton(zelvo.Control(IDHELP));
    }
    ASSERT_TRUE(recorder.WaitOpened(1)) << "nothing was opened";
    const std::string page = c.pageInCurrentFolder ? Join(current, "help.html") : m_folder->File("help.html");
    EXPECT_EQ(recorder.Opened(), std::vector<std::string>{recorder.Recorder() + " \"" + page + "\""})
        << "a page in the current folder comes before the program folder's";
}

INSTANTIATE_TEST_SUITE_P(, HelpTest,
                         ::testing::Values(HelpCase{"ProgramFolderOnly", false, true, false},
                                           HelpCase{"ProgramFolderOnlyFromTray", false, true, true},
                                           HelpCase{"CurrentFolderOnly", true, false, false},
                                           HelpCase{"BothFolders", true, true, false}),
                         [](const ::testing::TestParamInfo<HelpCase>& info) { return info.param.name; });

TEST_F(CommandsTest, TellAFriendOpensAMailLinkWithTheSubjectAndNoRecipient) {
    ShellRecorder recorder;
    Zelvo& zelvo = StartReady();

    ClickButton(zelvo.Control(kIdTellFriend));
    ASSERT_TRUE(recorder.WaitOpened(1)) << "nothing was opened";
    // The link arrives as it was given, neither encoded nor trimmed; the
    // quotes are the association's.
    const std::string link = "mailto:?subject=Zelvo - Multiple skins for explorer and internet explorer ";
    EXPECT_EQ(recorder.Opened(), std::vector<std::string>{recorder.Recorder() + " \"" + link + "\""});
}

}  // namespace
}  // namespace e2e
