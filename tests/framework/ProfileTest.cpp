// The application's profile: a private profile file named after the
// executable, in the Windows folder.
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "TestApp.h"

namespace {

std::string ProfilePath() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\framework_test.INI";
}

std::string Contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Removes the file before and after the test.
class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteFileA(path.c_str()); }
    void TearDown() override { DeleteFileA(path.c_str()); }

    const std::string path = ProfilePath();
};

TEST_F(ProfileTest, ValuesGoToTheExecutablesIniFileInTheWindowsFolder) {
    EXPECT_STREQ("framework_test", theApp.m_pszExeName);
    EXPECT_STREQ("framework_test.INI", theApp.m_pszProfileName);

    const std::string longText(1000, 'z');
    EXPECT_TRUE(theApp.WriteProfileInt("Tip", "StartUp", 1));
    EXPECT_TRUE(theApp.WriteProfileString("Tip", "FilePos", "123"));
    EXPECT_TRUE(theApp.WriteProfileInt("Tip", "TimeStamp", -5));
    EXPECT_TRUE(theApp.WriteProfileString("Other", "Name", longText.c_str()));
    EXPECT_EQ("[Tip]\r\nStartUp=1\r\nFilePos=123\r\nTimeStamp=-5\r\n[Other]\r\nName=" + longText + "\r\n",
              Contents(path));

    EXPECT_EQ(1u, theApp.GetProfileInt("Tip", "StartUp", 0));
    EXPECT_EQ(123u, theApp.GetProfileInt("Tip", "FilePos", 0));
    EXPECT_EQ(-5, static_cast<int>(theApp.GetProfileInt("Tip", "TimeStamp", 0)));
    EXPECT_EQ(7u, theApp.GetProfileInt("Tip", "Missing", 7));
    EXPECT_STREQ("123", theApp.GetProfileString("tip", "filepos")) << "names are case-insensitive";
    EXPECT_STREQ(longText.c_str(), theApp.GetProfileString("Other", "Name"));
    EXPECT_STREQ("none", theApp.GetProfileString("Tip", "Missing", "none"));
    EXPECT_STREQ("", theApp.GetProfileString("Tip", "Missing"));

    EXPECT_TRUE(theApp.WriteProfileString("Other", "Name", nullptr));
    EXPECT_STREQ("gone", theApp.GetProfileString("Other", "Name", "gone"));
}

}  // namespace
