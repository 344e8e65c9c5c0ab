// The skin store's names and files: the folder prefix, the bitmap and list
// file names, and the list file through Wine's profile functions.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "app/DataCollection.h"
#include "app/SkinStore.h"
#include "framework/Strings.h"

namespace {

std::vector<std::string> Strings(const CStringArray& array) {
    std::vector<std::string> strings;
    for (int i = 0; i < array.GetSize(); ++i) strings.emplace_back(array[i]);
    return strings;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct NamingCase {
    const char* module;
    const char* image;
    const char* bitmap;
    const char* list;
};

const NamingCase kNamingCases[] = {
    {"C:\\Tools\\Zelvo\\zelvo.exe", "D:\\Pictures\\Blue Sky.GIF", "c:\\tools\\zelvo\\Blue Sky.bmp",
     "c:\\tools\\zelvo\\images.ini"},
    {"C:\\Tools\\Zelvo\\ZELVO.EXE", "sky.bmp", "c:\\tools\\zelvo\\sky.bmp", "c:\\tools\\zelvo\\images.ini"},
    {"C:\\Tools\\other.exe", "D:\\Pictures\\Blue Sky.GIF", "c:\\tools\\other.exeBlue Sky.bmp",
     "c:\\tools\\other.exeimages.ini"},
    {"C:\\zelvo.exe\\Zelvo.exe", "a.b.c", "c:\\\\a.b.bmp", "c:\\\\images.ini"},
    // Only A to Z are lower-cased, as _strlwr does in the C locale.
    {"C:\\\xC4RGER\\Zelvo.exe", "\xC4.png", "c:\\\xC4rger\\\xC4.bmp", "c:\\\xC4rger\\images.ini"},
};

TEST(SkinStoreNames, FollowTheExecutableAndTheImageName) {
    for (const NamingCase& c : kNamingCases) {
        SCOPED_TRACE(c.module);
        CString prefix = FolderPrefixOf(c.module);
        EXPECT_STREQ(c.bitmap, SkinBitmapPath(prefix, FileTitleOf(c.image)));
        EXPECT_STREQ(c.list, SkinListPath(prefix));
    }
}

TEST(SkinStoreNames, BaseNameSplitsLikeTheRuntimeLibrary) {
    const struct {
        const char* path;
        const char* baseName;
    } cases[] = {
        {"D:\\Pictures\\Blue Sky.GIF", "Blue Sky"}, {"c:/pictures/sky.bmp", "sky"},
        {"c:\\a.b\\file", "file"},                  {"c:\\dir\\archive.tar.gz", "archive.tar"},
        {"C:name.bmp", "name"},                     {"plain", "plain"},
        {"c:\\dir\\.hidden", ""},                   {"c:\\dir\\", ""},
        {"c:\\dir\\trailing.", "trailing"},         {"", ""},
    };
    for (const auto& c : cases) {
        char name[_MAX_FNAME];
        char extension[_MAX_EXT];
        _splitpath(c.path, nullptr, nullptr, name, extension);
        EXPECT_STREQ(name, c.baseName) << c.path;
        EXPECT_STREQ(c.baseName, FileTitleOf(c.path)) << c.path;
        EXPECT_STREQ(extension[0] == '.' ? extension + 1 : extension, FileExtensionOf(c.path)) << c.path;
    }
}

TEST(SkinStoreNames, ProgramFolderComesFromTheRunningExecutable) {
    char module[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    ASSERT_GT(length, 0u);
    std::string lower(module, length);
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    // The test program isn't called zelvo.exe, so nothing is removed.
    EXPECT_EQ(lower, std::string(ProgramFolderPrefix()));
}

// The list file in a folder of its own under the prefix's temp folder.
class SkinList : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "Zelvo Store Test\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        prefix = FolderPrefixOf((folder + "Zelvo.exe").c_str());
        listPath = std::string(SkinListPath(prefix));
        DeleteFileA(listPath.c_str());
    }
    void TearDown() override { DeleteFileA(listPath.c_str()); }

    std::vector<std::string> Read(bool expectOpened = true) {
        CStringArray values;
        EXPECT_EQ(expectOpened, ReadSkinList(listPath.c_str(), values));
        return Strings(values);
    }

    std::string folder;
    CString prefix;
    std::string listPath;
};

TEST_F(SkinList, MissingFileIsAnEmptyStoreAndReadingDoesNotCreateIt) {
    EXPECT_EQ(std::vector<std::string>{}, Read(false));
    EXPECT_FALSE(Exists(listPath));
}

TEST_F(SkinList, LinesKeepTheOrderOfFirstAdditionAndCaseInsensitiveKeysShareALine) {
    auto add = [&](const char* image) {
        CString base = FileTitleOf(image);
        WriteSkinListLine(listPath.c_str(), base, SkinBitmapPath(prefix, base));
    };
    add("D:\\Pictures\\Blue Sky.GIF");
    add("D:\\Pictures\\sky.gif");
    add("E:\\Other\\Red.ico");
    add("E:\\Other\\Sky.bmp");

    std::string p(prefix);
    EXPECT_EQ("[Images]\r\nBlue Sky=" + p + "Blue Sky.bmp\r\nsky=" + p + "Sky.bmp\r\nRed=" + p + "Red.bmp\r\n",
              ReadFile(listPath));
    EXPECT_EQ((std::vector<std::string>{p + "Blue Sky.bmp", p + "Sky.bmp", p + "Red.bmp"}), Read());
}

TEST_F(SkinList, ValueIsAllTheTextAfterTheFirstEqualsSign) {
    std::string longPath = "c:\\" + std::string(1000, 'x') + ".bmp";
    const struct {
        const char* what;
        std::string content;
        std::vector<std::string> values;
    } cases[] = {
        {"a second equals sign and a leading space",
         "[Images]\r\na=c:\\x=y.bmp\r\nb= c:\\lead.bmp\r\n",
         {"c:\\x=y.bmp", " c:\\lead.bmp"}},
        {"lines without equals sign, blank lines and other sections",
         "junk\r\n\r\n[Images]\r\nno equals\r\n=c:\\nokey.bmp\r\n[Other]\r\nc=c:\\other.bmp\r\n",
         {"c:\\nokey.bmp", "c:\\other.bmp"}},
        {"LF line ends, trailing spaces and no final line end",
         "[Images]\na=c:\\a.bmp  \nb=c:\\b.bmp",
         {"c:\\a.bmp  ", "c:\\b.bmp"}},
        {"a line longer than any read buffer", "[Images]\r\nlong=" + longPath + "\r\nz=c:\\z.bmp\r\n",
         {longPath, "c:\\z.bmp"}},
        {"an empty file", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(listPath, c.content);
        EXPECT_EQ(c.values, Read());
    }
}

TEST_F(SkinList, DeletingFindsTheLinesOfTheSectionThatNameTheBitmap) {
    std::string p(prefix);
    WriteFile(listPath, "[Images]\r\nsky=" + p + "Sky.bmp\r\nHand=c:\\hand.bmp\r\nRed=" + p +
                            "Red.bmp\r\nAgain=" + p + "SKY.bmp\r\n[Other]\r\nsky=" + p + "Sky.bmp\r\n");
    DeleteSkinListLines(listPath.c_str(), (p + "sky.bmp").c_str());
    std::string remaining =
        "[Images]\r\nHand=c:\\hand.bmp\r\nRed=" + p + "Red.bmp\r\n[Other]\r\nsky=" + p + "Sky.bmp\r\n";
    EXPECT_EQ(remaining, ReadFile(listPath));

    DeleteSkinListLines(listPath.c_str(), "c:\\hand");
    DeleteSkinListLines(listPath.c_str(), (p + "Blue.bmp").c_str());
    EXPECT_EQ(remaining, ReadFile(listPath));
}

TEST_F(SkinList, DeletingFromAMissingFileCreatesNothing) {
    DeleteSkinListLines(listPath.c_str(), (std::string(prefix) + "Sky.bmp").c_str());
    EXPECT_FALSE(Exists(listPath));
}

// RemoveSkin names the list file after the running executable, here the
// test program, whose name is not zelvo.exe: its files sit beside it as
// "<path of the exe>images.ini" and "<path of the exe><base name>.bmp", and
// the base name of such a bitmap path is not the key of its line.
class SkinRemoval : public ::testing::Test {
protected:
    void SetUp() override {
        prefix = std::string(ProgramFolderPrefix());
        listPath = std::string(SkinListPath(prefix.c_str()));
        DeleteFileA(listPath.c_str());
        for (const char* base : {"Alpha", "Beta", "Gamma"}) {
            std::string bitmap(SkinBitmapPath(prefix.c_str(), base));
            WriteFile(bitmap, "BM");
            WriteSkinListLine(listPath.c_str(), base, bitmap.c_str());
            watcher.AddSkin(bitmap.c_str());
            bitmaps.push_back(bitmap);
        }
        ASSERT_EQ(bitmaps, Strings(watcher.GetSkins()));
    }
    void TearDown() override {
        DeleteFileA(listPath.c_str());
        for (const std::string& bitmap : bitmaps) DeleteFileA(bitmap.c_str());
    }

    std::string prefix;
    std::string listPath;
    std::vector<std::string> bitmaps;
    CDataCollection watcher;
};

TEST_F(SkinRemoval, DropsTheEntryItsLineAndItsBitmap) {
    watcher.RemoveSkin(1);
    EXPECT_EQ((std::vector<std::string>{bitmaps[0], bitmaps[2]}), Strings(watcher.GetSkins()));
    EXPECT_EQ("[Images]\r\nAlpha=" + bitmaps[0] + "\r\nGamma=" + bitmaps[2] + "\r\n", ReadFile(listPath));
    EXPECT_TRUE(Exists(bitmaps[0]));
    EXPECT_FALSE(Exists(bitmaps[1]));
    EXPECT_TRUE(Exists(bitmaps[2]));
}

TEST_F(SkinRemoval, IndexOutsideTheListChangesNothing) {
    std::string before = ReadFile(listPath);
    for (int index : {3, 4, -1}) watcher.RemoveSkin(index);
    EXPECT_EQ(bitmaps, Strings(watcher.GetSkins()));
    EXPECT_EQ(before, ReadFile(listPath));
    for (const std::string& bitmap : bitmaps) EXPECT_TRUE(Exists(bitmap));
}

}  // namespace
