#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CodecChecks.h"
#include "ExternalDecoders.h"
#include "Rgba.h"
#include "ZImage.h"
#include "codecs/ZImageWBMP.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool DecodeBytes(ZImage& image, Bytes bytes) {
    return image.Decode(bytes.data(), static_cast<DWORD>(bytes.size()), FORMAT_WBMP);
}

// Pixel indices, rows from the top.
std::vector<std::string> Picture(ZImage& image) {
    std::vector<std::string> rows;
    for (LONG y = static_cast<LONG>(image.GetHeight()) - 1; y >= 0; --y) {
        std::string row;
        for (LONG x = 0; x < static_cast<LONG>(image.GetWidth()); ++x) row += image.GetPixelIndex(x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

Bytes EncodeWbmp(ZImage& image) {
    BYTE* buffer = nullptr;
    long size = 0;
    EXPECT_TRUE(image.Encode(buffer, size, FORMAT_WBMP)) << image.GetLastError();
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

TEST(WbmpDecode, RowsFromTheTopOneBitPerPixel) {
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, {0, 0, 8, 2, 0xFF, 0x00}));
    EXPECT_EQ(image.GetType(), FORMAT_WBMP);
    EXPECT_EQ(image.GetBpp(), 1);
    EXPECT_EQ(Picture(image), (std::vector<std::string>{"########", "........"}));
    const RGBQUAD black = image.GetPaletteColor(0), white = image.GetPaletteColor(1);
    EXPECT_EQ(black.rgbRed + black.rgbGreen + black.rgbBlue, 0);
    EXPECT_EQ(white.rgbRed + white.rgbGreen + white.rgbBlue, 3 * 255);
}

TEST(WbmpDecode, RowsArePaddedToWholeBytesAndFixedHeaderIgnored) {
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, {0, 0x5A, 9, 3, 0xFF, 0x80, 0x00, 0x7F, 0xAA, 0xC0}));
    EXPECT_EQ(Picture(image), (std::vector<std::string>{"#########", ".........", "#.#.#.#.#"}));
}

TEST(WbmpDecode, ShortRowsStayBlack) {
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, {0, 0, 4, 3, 0xF0}));
    EXPECT_EQ(Picture(image), (std::vector<std::string>{"####", "....", "...."}));
}

TEST(WbmpDecode, Failures) {
    struct Case {
        Bytes file;
        const char* text;
    };
    const std::vector<Case> cases = {
        {{}, "Not a WBMP"},
        {{0, 0, 1}, "Not a WBMP"},
        {{1, 0, 8, 2, 0xFF, 0}, "Unsupported WBMP type"},
        {{0, 0, 0, 2, 0xFF, 0}, "Corrupted WBMP"},
        {{0, 0, 8, 0, 0xFF, 0}, "Corrupted WBMP"},
    };
    for (const Case& c : cases) {
        ZImage image(3, 3, 8, FORMAT_BMP);
        EXPECT_FALSE(DecodeBytes(image, c.file)) << c.text;
        EXPECT_STREQ(image.GetLastError(), c.text);
        EXPECT_EQ(image.GetWidth(), 3u);
        EXPECT_TRUE(image.IsValid());
    }
    ZImageWBMP codec;
    EXPECT_FALSE(codec.Decode(nullptr));
    EXPECT_STREQ(codec.GetLastError(), "");
}

TEST(WbmpDecode, TruncatedAndMutatedFiles) {
    Damage damage;
    damage.values = {0x00, 0x01, 0x7F, 0xFF};
    damage.positions = {0, 1, 2, 3};
    ExpectSurvivesDamage({0, 0, 9, 3, 0xFF, 0x80, 0x00, 0x7F, 0xAA, 0xC0}, FORMAT_WBMP, damage,
                         [](const DamagedFile& d, bool ok, ZImage& image) {
                             if (d.cut) {
                                 EXPECT_EQ(ok, d.at >= 4);
                             } else if (ok) {
                                 EXPECT_EQ(image.GetWidth(), d.bytes[2]);
                                 EXPECT_EQ(image.GetHeight(), d.bytes[3]);
                             }
                         });
}

TEST(WbmpWrite, WritesIndicesRowsFromTheTop) {
    ZImage image(9, 2, 1, FORMAT_BMP);
    image.Clear(0);
    // White on black in the palette's terms is not looked at: index 1 is a set bit.
    image.SetPaletteColor(0, 255, 255, 255, 0);
    image.SetPaletteColor(1, 0, 0, 0, 0);
    for (LONG x = 0; x < 9; x += 2) image.SetPixelIndex(x, 1, 1);
    image.SetPixelIndex(8, 0, 1);
    EXPECT_EQ(EncodeWbmp(image), (Bytes{0, 0, 9, 2, 0xAA, 0x80, 0x00, 0x80}));
}

TEST(WbmpWrite, RoundTrip) {
    ZImage image(255, 255, 1, FORMAT_BMP);
    for (LONG y = 0; y < 255; ++y)
        for (LONG x = 0; x < 255; ++x) image.SetPixelIndex(x, y, static_cast<BYTE>((x * y + x / 3) % 3 == 0));
    ZImage back;
    ASSERT_TRUE(DecodeBytes(back, EncodeWbmp(image)));
    EXPECT_EQ(Picture(back), Picture(image));
}

TEST(WbmpWrite, Refusals) {
    struct Case {
        DWORD width, height, bpp;
    };
    for (const Case& c : {Case{256, 1, 1}, Case{1, 256, 1}, Case{8, 8, 8}, Case{8, 8, 4}, Case{8, 8, 24}}) {
        ZImage image(c.width, c.height, c.bpp, FORMAT_BMP);
        BYTE* buffer = nullptr;
        long size = 0;
        EXPECT_FALSE(image.Encode(buffer, size, FORMAT_WBMP)) << c.width << "x" << c.height << "x" << c.bpp;
        EXPECT_STREQ(image.GetLastError(), "Can't save this image as WBMP");
    }
}

#ifndef _WIN32
// Pillow has no WBMP reader; ImageMagick has.
TEST(WbmpWrite, ImageMagickReadsWrittenFiles) {
    if (!external::ImageMagickAvailable()) GTEST_SKIP() << "ImageMagick (/usr/bin/convert) not available";
    external::TempDir dir("zelvo-wbmp-interop");
    ZImage image(13, 5, 1, FORMAT_BMP);
    image.SetGrayPalette();
    for (LONG y = 0; y < 5; ++y)
        for (LONG x = 0; x < 13; ++x) image.SetPixelIndex(x, y, static_cast<BYTE>((x + 2 * y) % 3 == 0));
    const std::string path = dir.File("w.wbmp");
    ASSERT_TRUE(image.Save(path.c_str(), FORMAT_WBMP)) << image.GetLastError();
    EXPECT_EQ(external::ImageMagickRgba(path, "WBMP"), ToRgba(image));
}
#endif

// Files whose reference this reader does not give, with the reason.
const CorpusExceptions& WbmpExceptions() {
    static const CorpusExceptions exceptions = {
        {"wbmp/wuffs/bricks-nodither.wbmp",
         {nullptr, "160 pixels wide: the file holds the width in two bytes, the reader takes one byte each for "
                   "width and height"}},
    };
    return exceptions;
}

TEST(WbmpCorpus, DecodesToReferences) {
    CorpusRules rules;
    rules.everyFileDecodes = true;
    ExpectCorpusMatches({"wbmp/"}, FORMAT_WBMP, WbmpExceptions(), rules);
}

}  // namespace
