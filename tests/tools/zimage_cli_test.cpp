#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "ZImage.h"
#include "ZImageCli.h"

namespace {

struct Result {
    int code;
    std::string out, err;
};

Result RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), "zimage");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int code = RunZImageCli(static_cast<int>(argv.size()), argv.data(), out, err);
    return {code, out.str(), err.str()};
}

std::string Temp(const std::string& name) { return testing::TempDir() + "zimage_cli_" + name; }

TEST(ZImageCli, CommandLineMistakesAreUsageErrors) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{}, "usage: zimage"},
        {{"frob"}, "unknown command 'frob'"},
        {{"info"}, "info takes one FILE"},
        {{"info", "a", "b"}, "info takes one FILE"},
        {{"convert", "a"}, "convert takes IN and OUT"},
        {{"convert", "a", "b.jpg"}, "cannot tell the output format of 'b.jpg'"},
        {{"convert", "a", "b.emf"}, "cannot tell the output format of 'b.emf'"},
        {{"convert", "a", "dir.bmp/b"}, "cannot tell the output format"},
        {{"info", "a", "--frame"}, "--frame needs a value"},
        {{"info", "a", "--frame", "-1"}, "--frame takes a whole number"},
        {{"info", "a", "--frame", "2x"}, "--frame takes a whole number"},
        {{"info", "a", "--type", "8"}, "unknown format '8'"},
        {{"info", "a", "--type", "jpeg"}, "unknown format 'jpeg'"},
        {{"info", "a", "--verbose"}, "unknown option '--verbose'"},
    };
    for (const auto& c : cases) {
        const Result r = RunCli(c.args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(ZImageCli, HelpGoesToStandardOutput) {
    for (const char* flag : {"--help", "-h", "help"}) {
        const Result r = RunCli({flag});
        EXPECT_EQ(r.code, 0);
        EXPECT_NE(r.out.find("zimage convert IN OUT"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
}

TEST(ZImageCli, FailuresCarryTheLibrarysText) {
    const std::string missing = Temp("missing.bmp");
    Result r = RunCli({"info", missing});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zimage: " + missing + ": cannot open the file\n");

    const std::string junk = Temp("junk.bin");
    FILE* fp = fopen(junk.c_str(), "wb");
    fputs("this is no picture at all, in any format", fp);
    fclose(fp);
    r = RunCli({"convert", junk, Temp("out.bmp")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zimage: " + junk + ": Decode: Unknown or wrong format\n");
    remove(junk.c_str());
}

TEST(ZImageCli, ConvertsAndDescribes) {
    ZImage picture(5, 3, 8, 0);
    picture.SetGrayPalette();
    picture.SetPixelIndex(4, 2, 200);
    const std::string in = Temp("in.bmp");
    ASSERT_TRUE(picture.Save(in.c_str(), FORMAT_BMP)) << picture.GetLastError();

    const std::string out = Temp("out.BMP");
    Result r = RunCli({"convert", in, out, "--type", "bmp"});
    ASSERT_EQ(r.code, 0) << r.err;
    ZImage back(out.c_str(), FORMAT_BMP);
    ASSERT_TRUE(back.IsValid());
    EXPECT_EQ(back.GetPixelIndex(4, 2), 200);

    r = RunCli({"info", out});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "format: bmp\nwidth: 5\nheight: 3\nbits per pixel: 8\ncolors: 256\nframes: 0\n"
              "transparent index: -1\nalpha: no\n");

    r = RunCli({"convert", in, Temp("no/such/dir/out.bmp")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("cannot write the file"), std::string::npos);
    remove(in.c_str());
    remove(out.c_str());
}

}  // namespace
