// The skin list: adding pictures through the file dialog, loading images.ini
// at start-up, and removing the selected skin.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <ostream>

#include "Pictures.h"
#include "ZImage.h"
#include "ZelvoTest.h"

namespace e2e {
namespace {

// The file name field of an explorer-style open dialog, or of an old one.
constexpr int kFileNameCombo = 0x47c;
constexpr int kFileNameEdit = 0x480;

using Lines = std::vector<std::string>;

class SkinsTest : public ZelvoTest {
protected:
    // Presses Add, types the folder into the open dialog's name field and
    // presses Open; once the dialog lists the files there, types their names
    // ("a.bmp" "b.gif" ...) and presses Open again.
    ::testing::AssertionResult AddFiles(Zelvo& zelvo, const std::string& folder, const Lines& names) {
        ClickButton(zelvo.Control(kIdAdd));
        HWND dialog = zelvo.WaitOwnedDialog(nullptr);
        if (!dialog) return ::testing::AssertionFailure() << "no file dialog";
        HWND field = GetDlgItem(dialog, kFileNameCombo);
        if (!field) field = GetDlgItem(dialog, kFileNameEdit);
        if (!field) return ::testing::AssertionFailure() << "no file name field";
        if (!WaitFor([&] { return FindDescendant(dialog, "SysListView32") != nullptr; }))
            return ::testing::AssertionFailure() << "the dialog lists no files";
        auto type = [&](const std::string& text) {
            SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        };
        // The file list is made anew for each folder the dialog goes to.
        auto listsNames = [&] {
            RemoteListView files(FindDescendant(dialog, "SysListView32"), zelvo.Process());
            Lines shown;
            for (int row = 0; row < files.Count(); ++row) shown.push_back(LowerAscii(files.ItemText(row)));
            return std::all_of(names.begin(), names.end(), [&](const std::string& name) {
                return std::find(shown.begin(), shown.end(), LowerAscii(name)) != shown.end();
            });
        };

        type(folder);
        if (!WaitFor(listsNames)) return ::testing::AssertionFailure() << "the dialog does not list " << folder;
        std::string quoted;
        for (const std::string& name : names) quoted += (quoted.empty() ? "\"" : " \"") + name + "\"";
        type(quoted);
        if (!WaitFor([&] { return !IsWindow(dialog); })) return ::testing::AssertionFailure() << "Open left it open";
        if (!zelvo.Settle()) return ::testing::AssertionFailure() << "the program no longer answers";
        return ::testing::AssertionSuccess();
    }

    // Writes a bitmap into the program folder as if it had been added.
    Picture WriteSkinBitmap(const std::string& baseName, BYTE seed) const {
        const Picture picture{24, 16, seed, false};
        WritePicture(m_folder->File(baseName + ".bmp"), picture, FORMAT_BMP);
        return picture;
    }

    // How many files of the program folder have this name, whatever its case.
    size_t FilesNamed(const std::string& name) const {
        const Lines names = ListFolder(m_folder->Path());
        return static_cast<size_t>(std::count_if(names.begin(), names.end(), [&](const std::string& found) {
            return LowerAscii(found) == LowerAscii(name);
        }));
    }

    static std::optional<std::string> BackBitmap() { return ReadString(kToolbarKey, "BackBitmap"); }
    static std::optional<std::string> BackBitmapShell() { return ReadString(kToolbarKey, "BackBitmapShell"); }
};

TEST_F(SkinsTest, AddConvertsEachReadablePictureAndSkipsTheOneThatFails) {
    const std::string pictures = m_folder->SubFolder("Pictures");
    const Picture a{48, 32, 10, false};
    const Picture b{20, 40, 50, true};
    const Picture c{33, 17, 90, false};
    WritePicture(Join(pictures, "a.bmp"), a, FORMAT_BMP);
    WritePicture(Join(pictures, "b.gif"), b, FORMAT_GIF);
    WritePicture(Join(pictures, "c.tga"), c, FORMAT_TGA);
    WriteUndecodable(Join(pictures, "bad.pcx"));
    Zelvo& zelvo = StartReady();

    ASSERT_TRUE(AddFiles(zelvo, pictures, {"a.bmp", "b.gif", "bad.pcx", "c.tga"}));
    EXPECT_EQ(SkinList(zelvo).Count(), 3);
    EXPECT_TRUE(BitmapShows(m_folder->File("a.bmp"), a));
    EXPECT_TRUE(BitmapShows(m_folder->File("b.bmp"), b));
    EXPECT_TRUE(BitmapShows(m_folder->File("c.bmp"), c));
    EXPECT_EQ(FilesNamed("bad.bmp"), 0u);
    EXPECT_EQ(SkinListLines(), (Lines{"[Images]", SkinLine("a"), SkinLine("b"), SkinLine("c")}));
    EXPECT_EQ(BackBitmap(), SkinPath("c"));
    EXPECT_EQ(BackBitmapShell(), SkinPath("c"));
}

TEST_F(SkinsTest, AddingABaseNameAgainReplacesThatSkinWhereItStands) {
    const std::string pictures = m_folder->SubFolder("Pictures");
    const std::string more = m_folder->SubFolder("More");
    const Picture first{48, 32, 10, false};
    const Picture second{40, 20, 60, true};
    const Picture replacement{25, 60, 200, false};
    WritePicture(Join(pictures, "sky.bmp"), first, FORMAT_BMP);
    WritePicture(Join(pictures, "sea.gif"), second, FORMAT_GIF);
    WritePicture(Join(more, "Sky.pcx"), replacement, FORMAT_PCX);
    Zelvo& zelvo = StartReady();
    ASSERT_TRUE(AddFiles(zelvo, pictures, {"sky.bmp", "sea.gif"}));
    ASSERT_EQ(SkinList(zelvo).Count(), 2);

    ASSERT_TRUE(AddFiles(zelvo, more, {"Sky.pcx"}));
    EXPECT_EQ(SkinList(zelvo).Count(), 2) << "a second row for the same skin";
    EXPECT_EQ(FilesNamed("sky.bmp"), 1u);
    EXPECT_TRUE(BitmapShows(m_folder->File("sky.bmp"), replacement));
    EXPECT_TRUE(BitmapShows(m_folder->File("sea.bmp"), second));
    const Lines lines = SkinListLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(LowerAscii(lines[1]), LowerAscii(SkinLine("sky"))) << "the line moved or doubled";
    EXPECT_EQ(lines[2], SkinLine("sea"));
    EXPECT_EQ(LowerAscii(BackBitmap().value_or("<none>")), LowerAscii(SkinPath("sky")));
}

struct StartUpCase {
    const char* name;
    bool listFile;
    Lines entries;
    Lines bitmaps;
    // The skin the toolbar values name afterwards; empty: no values.
    std::string named;
};

void PrintTo(const StartUpCase& c, std::ostream* out) {
    *out << c.name;
}

class StartUpSkinsTest : public SkinsTest, public ::testing::WithParamInterface<StartUpCase> {};

TEST_P(StartUpSkinsTest, EveryEntryGetsARowAndTheValuesNameTheLast) {
    const StartUpCase& c = GetParam();
    BYTE seed = 0;
    for (const std::string& name : c.bitmaps) WriteSkinBitmap(name, seed += 40);
    if (c.listFile) WriteSkinList(c.entries);
    Zelvo& zelvo = StartReady();

    EXPECT_EQ(SkinList(zelvo).Count(), static_cast<int>(c.entries.size()));
    if (c.named.empty()) {
        EXPECT_FALSE(ValueExists(kToolbarKey, "BackBitmap"));
        EXPECT_FALSE(ValueExists(kToolbarKey, "BackBitmapShell"));
    } else {
        EXPECT_EQ(BackBitmap(), SkinPath(c.named));
        EXPECT_EQ(BackBitmapShell(), SkinPath(c.named));
    }
    EXPECT_EQ(FileExists(m_folder->File("images.ini")), c.listFile) << "the list file was made or lost";
    for (const std::string& name : c.bitmaps) EXPECT_TRUE(FileExists(m_folder->File(name + ".bmp"))) << name;
}

INSTANTIATE_TEST_SUITE_P(
    , StartUpSkinsTest,
    ::testing::Values(
        StartUpCase{"ThreeSkinsAndAMissingBitmap", true, {"s1", "gone", "s2", "s3"}, {"s1", "s2", "s3"}, "s3"},
        StartUpCase{"LastBitmapMissing", true, {"s1", "s2", "gone"}, {"s1", "s2"}, "gone"},
        StartUpCase{"NoListFile", false, {}, {}, ""}),
    [](const ::testing::TestParamInfo<StartUpCase>& info) { return info.param.name; });

TEST_F(SkinsTest, RemoveTakesTheSelectedSkinAndKeepsTheOthersInOrder) {
    const Picture s1 = WriteSkinBitmap("s1", 10);
    WriteSkinBitmap("s2", 20);
    const Picture s3 = WriteSkinBitmap("s3", 30);
    WriteSkinList({"s1", "gone", "s2", "s3"});
    Zelvo& zelvo = StartReady();
    RemoteListView list = SkinList(zelvo);
    HWND remove = zelvo.Control(kIdRemove);
    ASSERT_TRUE(list.Valid());
    ASSERT_EQ(list.Count(), 4);
    EXPECT_FALSE(IsWindowEnabled(remove));

    // Row 2 comes after the placeholder of the missing bitmap: it is s2.
    list.ClickRow(2);
    ASSERT_TRUE(WaitFor([&] { return list.Selected() == 2; })) << "the click did not select row 2";
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(remove) != FALSE; }));
    ClickButton(remove);
    ASSERT_TRUE(zelvo.Settle());
    EXPECT_FALSE(FileExists(m_folder->File("s2.bmp")));
    EXPECT_EQ(SkinListLines(), (Lines{"[Images]", SkinLine("s1"), SkinLine("gone"), SkinLine("s3")}));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_FALSE(IsWindowEnabled(remove)) << "Remove stays enabled without a selection";

    list.ClickRow(1);
    ASSERT_TRUE(WaitFor([&] { return list.Selected() == 1; }));
    ClickButton(remove);
    ASSERT_TRUE(zelvo.Settle());
    EXPECT_EQ(SkinListLines(), (Lines{"[Images]", SkinLine("s1"), SkinLine("s3")}));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_TRUE(BitmapShows(m_folder->File("s1.bmp"), s1));
    EXPECT_TRUE(BitmapShows(m_folder->File("s3.bmp"), s3));
    EXPECT_EQ(BackBitmap(), SkinPath("s3")) << "removing changed the toolbar values";
}

TEST_F(SkinsTest, RemoveButtonFollowsTheSelectionHoweverItChanges) {
    WriteSkinBitmap("s1", 10);
    WriteSkinBitmap("s2", 20);
    WriteSkinList({"s1", "s2"});
    Zelvo& zelvo = StartReady();
    RemoteListView list = SkinList(zelvo);
    HWND remove = zelvo.Control(kIdRemove);
    ASSERT_TRUE(list.Valid());
    ASSERT_EQ(list.Count(), 2);
    ASSERT_FALSE(IsWindowEnabled(remove));
    auto removeEnabled = [&](bool enabled) {
        return WaitFor([&] { return (IsWindowEnabled(remove) != FALSE) == enabled; });
    };

    PressKey(zelvo.Control(kIdSkinList), VK_HOME);
    ASSERT_TRUE(WaitFor([&] { return list.Selected() == 0; })) << "Home did not select the first row";
    EXPECT_TRUE(removeEnabled(true)) << "keyboard selection";

    RECT client;
    GetClientRect(zelvo.Control(kIdSkinList), &client);
    list.ClickAt(POINT{client.right - 4, client.bottom - 4});
    ASSERT_TRUE(WaitFor([&] { return list.Selected() == -1; })) << "a click on no row kept the selection";
    EXPECT_TRUE(removeEnabled(false)) << "click on no row";

    list.Select(1);
    EXPECT_TRUE(removeEnabled(true)) << "selection set by message";
    list.Select(-1);
    EXPECT_TRUE(removeEnabled(false)) << "selection cleared by message";
}

}  // namespace
}  // namespace e2e
