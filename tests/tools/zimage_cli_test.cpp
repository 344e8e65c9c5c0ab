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

TEST(ZImageCli, WritesEveryFormatItsExtensionNames) {
    ZImage grey(5, 3, 8, 0);
    grey.SetGrayPalette();
    ZImage mono(9, 2, 1, 0);
    mono.SetGrayPalette();
    const std::string greyBmp = Temp("grey.bmp"), monoBmp = Temp("mono.bmp");
    ASSERT_TRUE(grey.Save(greyBmp.c_str(), FORMAT_BMP));
    ASSERT_TRUE(mono.Save(monoBmp.c_str(), FORMAT_BMP));

    const struct {
        const std::string* in;
        const char* extension;
        int code;
        const char* expected;  // info's first two lines, or the error text
    } cases[] = {
        {&greyBmp, "gif", 0, "format: gif\nwidth: 5\n"},
        {&greyBmp, "ico", 0, "format: ico\nwidth: 5\n"},
        {&greyBmp, "tga", 0, "format: tga\nwidth: 5\n"},
        {&greyBmp, "pcx", 0, "format: pcx\nwidth: 5\n"},
        {&greyBmp, "wbmp", 1, "Can't save this image as WBMP"},
        {&monoBmp, "wbmp", 0, "format: wbmp\nwidth: 9\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extension);
        const std::string out = Temp(std::string("out.") + c.extension);
        const Result converted = RunCli({"convert", *c.in, out});
        ASSERT_EQ(converted.code, c.code) << converted.err;
        if (c.code != 0) {
            EXPECT_NE(converted.err.find(c.expected), std::string::npos) << converted.err;
            continue;
        }
        const Result described = RunCli({"info", out});
        ASSERT_EQ(described.code, 0) << described.err;
        EXPECT_EQ(described.out.rfind(c.expected, 0), 0u) << described.out;
        remove(out.c_str());
    }
    remove(greyBmp.c_str());
    remove(monoBmp.c_str());
}

TEST(ZImageCli, FrameOptionPicksAFrame) {
    ZImage frames[3] = {ZImage(4, 4, 8, 0), ZImage(4, 4, 8, 0), ZImage(4, 4, 8, 0)};
    ZImage* list[3];
    for (int i = 0; i < 3; ++i) {
        frames[i].SetGrayPalette();
        frames[i].Clear(static_cast<BYTE>(100 * i));
        list[i] = &frames[i];
    }
    const std::string gif = Temp("frames.gif");
    FILE* fp = fopen(gif.c_str(), "wb");
    ASSERT_TRUE(frames[0].Encode(fp, list, 3, FORMAT_GIF)) << frames[0].GetLastError();
    fclose(fp);

    const std::string out = Temp("frame2.bmp");
    ASSERT_EQ(RunCli({"convert", gif, out, "--frame", "2"}).code, 0);
    ZImage picked(out.c_str(), FORMAT_BMP);
    EXPECT_EQ(picked.GetPixelColor(1, 1, false).rgbRed, 200);

    const Result described = RunCli({"info", gif, "--frame", "1"});
    EXPECT_NE(described.out.find("frames: 3\n"), std::string::npos) << described.out;
    remove(gif.c_str());
    remove(out.c_str());
}

}  // namespace
