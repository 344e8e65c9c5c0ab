#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ByteBuilder.h"
#include "CodecChecks.h"
#include "ExternalDecoders.h"
#include "Rgba.h"
#include "ZErrors.h"
#include "ZImage.h"
#include "codecs/ZImageBMP.h"

namespace {

using Bytes = std::vector<uint8_t>;

// One BMP file as the tests describe it; Build lays it out.
struct Bmp {
    bool fileHeader = true;
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint16_t planes = 1;
    uint16_t bpp = 24;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 3780;
    int32_t yPelsPerMeter = 3780;
    uint32_t clrUsed = 0;
    Bytes masks;                     // right after the header
    std::vector<uint32_t> palette;   // 0xRRGGBB
    Bytes gap;                       // between the palette and the pixels
    Bytes pixels;
    long offBits = -1;               // -1: where the pixels start
};

Bytes Build(const Bmp& b) {
    ByteBuilder body;
    if (b.headerSize == 12) {
        body.U32(12).U16(b.width).U16(b.height).U16(b.planes).U16(b.bpp);
    } else {
        body.U32(b.headerSize).U32(b.width).U32(b.height).U16(b.planes).U16(b.bpp);
        body.U32(b.compression).U32(b.sizeImage).U32(b.xPelsPerMeter).U32(b.yPelsPerMeter);
        body.U32(b.clrUsed).U32(0);
        if (b.headerSize > 40) body.Fill(b.headerSize - 40, 0);
    }
    body.Bytes(b.masks);
    for (uint32_t c : b.palette) {
        body.U8(c).U8(c >> 8).U8(c >> 16);
        if (b.headerSize != 12) body.U8(0);
    }
    body.Bytes(b.gap);
    const size_t pixelsAt = body.size() + (b.fileHeader ? 14 : 0);
    body.Bytes(b.pixels);
    if (!b.fileHeader) return body.bytes();
    ByteBuilder file;
    file.Text("BM").U32(14 + body.size()).U16(0).U16(0);
    file.U32(b.offBits < 0 ? pixelsAt : static_cast<uint32_t>(b.offBits));
    file.Bytes(body.bytes());
    return file.bytes();
}

bool DecodeBytes(ZImage& image, Bytes bytes, DWORD type = FORMAT_BMP) {
    return image.Decode(bytes.data(), static_cast<DWORD>(bytes.size()), type);
}

Bytes PixelRows(const ZImage& image) {
    const BYTE* rows = image.GetBits(0);
    return Bytes(rows, rows + image.GetEffWidth() * image.GetHeight());
}

std::vector<uint32_t> Grey(size_t n) {
    std::vector<uint32_t> palette;
    for (size_t i = 0; i < n; ++i) palette.push_back(static_cast<uint32_t>(i * 0x010101 % 0x1000000));
    return palette;
}

// ---------------------------------------------------------------- layouts

struct LayoutCase {
    std::string name;
    Bmp file;
    WORD bpp;                        // of the decoded image
    std::vector<uint32_t> colours;   // top-down
};

std::vector<LayoutCase> LayoutCases() {
    std::vector<LayoutCase> cases;
    const Bytes rgb24 = {0, 0, 255, 0, 255, 0, 0, 0,           // bottom row: red, green
                         255, 0, 0, 255, 255, 255, 0, 0};      // top row: blue, white
    {
        Bmp f;
        f.width = 2, f.height = 2, f.pixels = rgb24;
        cases.push_back({"Rgb24BottomUp", f, 24, {0x0000FF, 0xFFFFFF, 0xFF0000, 0x00FF00}});
        f.height = -2;
        cases.push_back({"Rgb24TopDown", f, 24, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}});
    }
    {
        Bmp f;
        f.fileHeader = false, f.width = 3, f.bpp = 8, f.clrUsed = 3;
        f.palette = {0x102030, 0x405060, 0x708090};
        f.pixels = {2, 0, 1, 0};
        cases.push_back({"BareDibTakesPixelsAfterPalette", f, 8, {0x708090, 0x102030, 0x405060}});
    }
    {
        Bmp f;
        f.headerSize = 12, f.width = 2, f.bpp = 8, f.palette = Grey(256);
        f.palette[1] = 0xABCDEF;
        f.pixels = {1, 255, 0, 0};
        cases.push_back({"CoreHeaderThreeBytePalette", f, 8, {0xABCDEF, 0xFFFFFF}});
    }
    {
        Bmp f;
        f.headerSize = 64, f.width = 3, f.bpp = 4, f.palette = Grey(16);
        f.pixels = {0x1F, 0x30, 0, 0};
        cases.push_back({"Header64", f, 4, {0x010101, 0x0F0F0F, 0x030303}});
    }
    {
        Bmp f;
        f.headerSize = 108, f.sizeImage = 4, f.pixels = {0x56, 0x34, 0x12, 0};
        cases.push_back({"Header108PlainWithExactSize", f, 24, {0x123456}});
    }
    {
        Bmp f;
        f.width = 2, f.bpp = 16, f.pixels = {0xFF, 0x7F, 0x1F, 0x00};
        cases.push_back({"Rgb16WithoutMasksIs555", f, 24, {0xF8F8F8, 0x0000F8}});
        f.compression = 3;
        f.masks = ByteBuilder().U32(0xF800).U32(0x07E0).U32(0x001F).bytes();
        f.pixels = {0xE0, 0x07, 0x00, 0xF8};
        cases.push_back({"Rgb16Bitfields565", f, 24, {0x00FC00, 0xF80000}});
    }
    {
        Bmp f;
        f.width = 2, f.bpp = 32, f.pixels = {10, 20, 30, 99, 40, 50, 60, 0};
        cases.push_back({"Rgb32DropsFourthByte", f, 24, {0x1E140A, 0x3C3228}});
        f.compression = 3;
        cases.push_back({"Rgb32BitfieldsIgnoresMasks", f, 24, {0x1E140A, 0x3C3228}});
    }
    {
        Bmp f;
        f.width = 2, f.bpp = 2, f.palette = {0x010203, 0x040506, 0x070809, 0x0A0B0C};
        f.pixels = {0xE4, 0, 0, 0};
        cases.push_back({"TwoBitReadsPaletteButNoPixels", f, 4, {0x010203, 0x010203}});
    }
    {
        Bmp f;
        f.width = 2, f.bpp = 8, f.palette = Grey(256), f.gap = {9, 9, 9, 9, 9, 9};
        f.pixels = {0x40, 0x80, 0, 0};
        cases.push_back({"OffBitsSkipsGap", f, 8, {0x404040, 0x808080}});
    }
    {
        Bmp f;
        f.fileHeader = false, f.width = 2, f.bpp = 8, f.clrUsed = 300, f.palette = Grey(300);
        f.pixels = {1, 255, 0, 0};
        cases.push_back({"ColourCountAbovePaletteSkipsTheRest", f, 8, {0x010101, 0xFFFFFF}});
    }
    {
        Bmp f;
        f.width = 2, f.bpp = 1, f.clrUsed = 1, f.palette = {0xFFFFFF}, f.pixels = {0x40, 0, 0, 0};
        cases.push_back({"ShortPaletteLeavesBlack", f, 1, {0xFFFFFF, 0x000000}});
    }
    return cases;
}

class BmpLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(BmpLayout, DecodesToExpectedColours) {
    const LayoutCase& c = GetParam();
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(c.file))) << image.GetLastError();
    EXPECT_EQ(image.GetType(), FORMAT_BMP);
    EXPECT_EQ(image.GetBpp(), c.bpp);
    EXPECT_EQ(image.GetWidth(), static_cast<DWORD>(c.file.width));
    EXPECT_EQ(image.GetHeight(), static_cast<DWORD>(std::abs(c.file.height)));
    EXPECT_EQ(RgbValues(image), c.colours);
}

INSTANTIATE_TEST_SUITE_P(Files, BmpLayout, ::testing::ValuesIn(LayoutCases()),
                         [](const auto& info) { return info.param.name; });

TEST(BmpDecode, TwoBitPaletteFillsFourOfSixteenEntries) {
    Bmp f;
    f.bpp = 2, f.palette = {0x010203, 0x040506, 0x070809, 0x0A0B0C};
    f.pixels = {0, 0, 0, 0};
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(f)));
    EXPECT_EQ(image.GetNumColors(), 16u);
    const RGBQUAD third = image.GetPaletteColor(3), fifth = image.GetPaletteColor(4);
    EXPECT_EQ((std::vector<int>{third.rgbRed, third.rgbGreen, third.rgbBlue}), (std::vector<int>{10, 11, 12}));
    EXPECT_EQ((std::vector<int>{fifth.rgbRed, fifth.rgbGreen, fifth.rgbBlue}), (std::vector<int>{0, 0, 0}));
}

TEST(BmpDecode, PaletteReservedBytesAreCleared) {
    Bmp f;
    f.bpp = 8, f.clrUsed = 2, f.pixels = {1, 0, 0, 0};
    Bytes file = Build(f);
    // Two palette entries with non-zero reserved bytes, in place of none.
    const Bytes palette = {1, 2, 3, 0x80, 4, 5, 6, 0xFF};
    file.insert(file.begin() + 54, palette.begin(), palette.end());
    file[10] = 54 + 8;
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, file));
    EXPECT_EQ(image.GetPaletteColor(0).rgbReserved, 0);
    EXPECT_EQ(image.GetPaletteColor(1).rgbReserved, 0);
    EXPECT_EQ(image.GetPaletteColor(1).rgbRed, 6);
}

TEST(BmpDecode, ResolutionFromPelsPerMetre) {
    struct Case {
        int32_t ppm;
        LONG dpi;
    };
    for (const Case& c : {Case{3780, 96}, Case{2835, 72}, Case{11811, 300}, Case{0, 0}}) {
        Bmp f;
        f.xPelsPerMeter = c.ppm, f.yPelsPerMeter = 2 * c.ppm, f.pixels = {0, 0, 0, 0};
        ZImage image;
        ASSERT_TRUE(DecodeBytes(image, Build(f)));
        EXPECT_EQ(image.GetXDPI(), c.dpi) << c.ppm;
        EXPECT_EQ(image.GetYDPI(), static_cast<LONG>(std::floor(2 * c.ppm * 0.0254 + 0.5))) << c.ppm;
    }
    Bmp core;
    core.headerSize = 12, core.pixels = Bytes(40, 0);
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(core)));
    EXPECT_EQ(image.GetXDPI(), 0);
    EXPECT_EQ(image.GetYDPI(), 0);
}

TEST(BmpDecode, ShortPixelDataLeavesTheRestBlank) {
    Bmp f;
    f.width = 2, f.height = 2;
    f.pixels = {0, 0, 255, 0, 0, 255, 0, 0, 255};  // bottom row and one byte of the top row
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(f))) << image.GetLastError();
    EXPECT_EQ(RgbValues(image), (std::vector<uint32_t>{0x0000FF, 0x000000, 0xFF0000, 0xFF0000}));
}

TEST(BmpDecode, ReadInfoHeaderLeavesStreamAfterTheHeader) {
    struct Case {
        uint32_t size;
        uint16_t bpp;
        DWORD colours;
    };
    for (const Case& c : {Case{12, 4, 16}, Case{40, 8, 256}, Case{64, 1, 2}, Case{40, 24, 0}}) {
        Bmp f;
        f.fileHeader = false, f.headerSize = c.size, f.bpp = c.bpp, f.width = 300, f.height = 200;
        Bytes bytes = Build(f);
        bytes.resize(bytes.size() + 40, 0xEE);
        ZMemFile stream(bytes.data(), static_cast<DWORD>(bytes.size()));
        ZImageBMP codec;
        BITMAPINFOHEADER h;
        ASSERT_TRUE(codec.ReadInfoHeader(&stream, &h)) << c.size;
        EXPECT_EQ(stream.Tell(), static_cast<int32_t>(c.size));
        EXPECT_EQ(h.biSize, c.size);
        EXPECT_EQ(h.biWidth, 300);
        EXPECT_EQ(h.biHeight, 200);
        EXPECT_EQ(h.biBitCount, c.bpp);
        EXPECT_EQ(h.biClrUsed, c.colours);
        EXPECT_EQ(h.biCompression, 0u);
        EXPECT_FALSE(codec.ReadInfoHeader(&stream, nullptr));
        EXPECT_FALSE(codec.ReadInfoHeader(nullptr, &h));
    }
}

TEST(BmpDecode, CoreHeaderSizesAreUnsigned) {
    Bmp f;
    f.headerSize = 12, f.width = 0xFFFF, f.height = 0x8000;  // negative as signed 16-bit
    Bytes bytes = Build(f);
    bytes.resize(bytes.size() + 40);
    ZMemFile stream(bytes.data() + 14, static_cast<DWORD>(bytes.size() - 14));
    ZImageBMP codec;
    BITMAPINFOHEADER h;
    ASSERT_TRUE(codec.ReadInfoHeader(&stream, &h));
    EXPECT_EQ(h.biWidth, 0xFFFF);
    EXPECT_EQ(h.biHeight, 0x8000);
}

// ---------------------------------------------------------------- run-length data

struct RleCase {
    std::string name;
    uint16_t bpp;
    uint32_t compression;
    int32_t width;
    int32_t height;
    Bytes data;
    Bytes rows;  // the whole pixel buffer afterwards, bottom row first
};

std::vector<RleCase> RleCases() {
    Bytes longAbsolute = {255, 1, 255, 2, 0, 255};
    longAbsolute.insert(longAbsolute.end(), 255, 3);
    longAbsolute.insert(longAbsolute.end(), {0, 0, 1});
    return {
        {"Rle8RunsAndEndOfLine", 8, 1, 4, 2, {3, 5, 0, 0, 2, 7, 0, 1}, {5, 5, 5, 0, 7, 7, 0, 0}},
        {"Rle4RunAlternatesNibbles", 4, 2, 5, 1, {5, 0x12, 0, 1}, {0x12, 0x12, 0x10, 0}},
        {"Rle4AbsoluteWholeWordHasNoPad", 4, 2, 8, 1, {0, 3, 0x12, 0x30, 2, 0x45, 0, 1}, {0x12, 0x34, 0x50, 0}},
        {"Rle4AbsoluteOddWordIsPadded", 4, 2, 8, 1, {0, 5, 0x12, 0x34, 0x50, 0, 2, 0x67, 0, 1},
         {0x12, 0x34, 0x56, 0x70}},
        {"Rle4AbsoluteFromOddPixel", 4, 2, 8, 1, {1, 0x10, 0, 3, 0x23, 0x40, 0, 1}, {0x12, 0x34, 0, 0}},
        {"Rle4RunFromOddPixel", 4, 2, 8, 1, {1, 0x10, 3, 0x23, 0, 1}, {0x12, 0x32, 0, 0}},
        {"Rle8AbsoluteOddIsPadded", 8, 1, 4, 1, {0, 3, 1, 2, 3, 0, 1, 9, 0, 1}, {1, 2, 3, 9}},
        {"Rle8Delta", 8, 1, 4, 3, {0, 2, 1, 1, 2, 4, 0, 1}, {0, 0, 0, 0, 0, 4, 4, 0, 0, 0, 0, 0}},
        {"Rle4DeltaMovesByPixels", 4, 2, 4, 2, {0, 2, 3, 1, 2, 0x56, 0, 1}, {0, 0, 0, 0, 0, 0x05, 0x60, 0}},
        {"RunPastRowEndCarriesOn", 8, 1, 4, 2, {6, 0xA, 0, 1}, {10, 10, 10, 10, 10, 10, 0, 0}},
        {"RowsBeyondHeightKeepLastRowStart", 8, 1, 4, 2, {1, 3, 0, 0, 1, 4, 0, 2, 0, 5, 2, 9, 0, 1},
         {3, 0, 0, 0, 4, 9, 9, 0}},
        {"WritesPastTheRowsAreDropped", 8, 1, 4, 1, {0, 0, 4, 7, 0, 4, 1, 2, 3, 4, 0, 2, 255, 255, 255, 7, 0, 1},
         {0, 0, 0, 0}},
        {"Rle4WritesPastTheRowsAreDropped", 4, 2, 8, 1, {0, 2, 250, 0, 255, 0x77, 0, 5, 1, 2, 3, 0, 0, 1},
         {0, 0, 0, 0}},
        {"LongRunsAreClipped", 8, 1, 2, 2, longAbsolute, {1, 1, 1, 1, 1, 1, 1, 1}},
        {"StreamEndingBeforeEndOfBitmap", 8, 1, 4, 1, {2, 6, 0, 3, 1}, {6, 6, 1, 0}},
        {"CompressionAloneChoosesDecoder", 1, 1, 8, 1, {1, 0xA5, 0, 1}, {0xA5, 0, 0, 0}},
    };
}

class BmpRle : public ::testing::TestWithParam<RleCase> {};

TEST_P(BmpRle, WritesExpectedRows) {
    const RleCase& c = GetParam();
    Bmp f;
    f.width = c.width, f.height = c.height, f.bpp = c.bpp, f.compression = c.compression;
    f.palette = Grey(1u << c.bpp), f.pixels = c.data;
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(f))) << image.GetLastError();
    EXPECT_EQ(PixelRows(image), c.rows);
}

INSTANTIATE_TEST_SUITE_P(Streams, BmpRle, ::testing::ValuesIn(RleCases()),
                         [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------- failures

struct FailureCase {
    std::string name;
    Bytes file;
    LONG escape;
    const char* text;
};

std::vector<FailureCase> FailureCases() {
    auto with = [](auto change) {
        Bmp f;
        f.pixels = Bytes(64, 0);
        change(f);
        return Build(f);
    };
    Bytes tiny = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0};
    Bytes coreTooShort = with([](Bmp& f) {
        f.headerSize = 12, f.bpp = 1, f.palette = {0, 0xFFFFFF}, f.pixels = {0, 0, 0, 0};
    });
    return {
        {"FewerThan14Bytes", tiny, 0, "Not a BMP"},
        {"HeaderSize16", with([](Bmp& f) { f.headerSize = 16; }), 0, "Error reading BMP info"},
        {"HeaderSize108WithBitfields", with([](Bmp& f) { f.headerSize = 108, f.compression = 3, f.sizeImage = 4; }),
         0, "Error reading BMP info"},
        {"HeaderSize108WithoutExactSize", with([](Bmp& f) { f.headerSize = 108; }), 0, "Error reading BMP info"},
        {"HeaderSize108TopDown", with([](Bmp& f) { f.headerSize = 108, f.height = -1, f.sizeImage = 4; }), 0,
         "Error reading BMP info"},
        {"CoreHeaderInFewerThan40Bytes", coreTooShort, 0, "Error reading BMP info"},
        {"Rgb24WithRle", with([](Bmp& f) { f.compression = 1; }), 0, "unknown compression"},
        {"Rgb32WithRle4", with([](Bmp& f) { f.bpp = 32, f.compression = 2; }), 0, "unknown compression"},
        {"Pal8WithBitfields", with([](Bmp& f) { f.bpp = 8, f.compression = 3; }), 0,
         "compression type not supported"},
        {"Pal1WithJpeg", with([](Bmp& f) { f.bpp = 1, f.compression = 4; }), 0, "compression type not supported"},
        {"AboveMemoryCeiling", with([](Bmp& f) { f.width = 100000, f.height = 100000; }), 0,
         "Can't allocate memory"},
        {"NegativeWidth", with([](Bmp& f) { f.width = -5; }), 0, "Can't allocate memory"},
        {"Cancelled", with([](Bmp&) {}), 1, "Cancelled"},
        {"UncompressedDataFarBeyondTheFile", with([](Bmp& f) { f.width = 20000, f.height = 20000, f.bpp = 8; }), 0,
         "BMP pixel data beyond end of file"},
    };
}

class BmpFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(BmpFailure, FailsWithTextAndKeepsPreviousPicture) {
    const FailureCase& c = GetParam();
    ZImage image(5, 3, 8, FORMAT_PCX);
    image.SetEscape(c.escape);
    EXPECT_FALSE(DecodeBytes(image, c.file));
    EXPECT_STREQ(image.GetLastError(), c.text);
    EXPECT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 5u);
    EXPECT_EQ(image.GetType(), FORMAT_PCX);
}

INSTANTIATE_TEST_SUITE_P(Files, BmpFailure, ::testing::ValuesIn(FailureCases()),
                         [](const auto& info) { return info.param.name; });

TEST(BmpDecode, NullStreamFailsWithoutText) {
    ZImageBMP codec;
    EXPECT_FALSE(codec.Decode(nullptr));
    EXPECT_STREQ(codec.GetLastError(), "");
}

TEST(BmpDecode, DimensionsOnly) {
    Bmp f;
    f.width = 7, f.height = -5, f.bpp = 8, f.palette = Grey(256), f.pixels = Bytes(40, 0);
    ZImage image;
    image.SetEscape(-1);
    EXPECT_TRUE(DecodeBytes(image, Build(f)));
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 7u);
    EXPECT_EQ(image.GetHeight(), 5u);
    EXPECT_STREQ(image.GetLastError(), "output dimensions returned");

    // Not a BMP: the reader still refuses, so detection can go on.
    Bytes notBmp(64, 0x47);
    ZImage other;
    other.SetEscape(-1);
    EXPECT_FALSE(DecodeBytes(other, notBmp));
    EXPECT_STREQ(other.GetLastError(), "Error reading BMP info");
}

TEST(BmpDecode, DetectedWithoutType) {
    Bmp f;
    f.pixels = {1, 2, 3, 0};
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(f), FORMAT_UNKNOWN));
    EXPECT_EQ(image.GetType(), FORMAT_BMP);
    EXPECT_EQ(RgbValues(image), std::vector<uint32_t>{0x030201});
}

// Every truncation of valid files, and single-byte changes, must neither
// crash nor read or write out of bounds (run under the sanitizers). Short
// files fail at the headers and load from there on.
// Found by fuzzing: pictures 0 pixels wide and hundreds of millions of
// rows high, which once spent their time on row after empty row.
TEST(BmpRobustness, ZeroWidthPicturesWithHugeHeights) {
    const struct {
        const char* file;
        DWORD height;
        WORD bpp;
    } cases[] = {
        {"zero-width-top-down.bmp", 1255866368, 1},
        {"zero-width-16-bit.bmp", 704659583, 24},
        {"zero-width-16-bit-masks.bmp", 1056964608, 24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ZImage image;
        const std::string path = std::string(ZELVO_SOURCE_DIR "/tests/codecs/fixtures/bmp/") + c.file;
        ASSERT_TRUE(image.Load(path.c_str(), FORMAT_BMP)) << image.GetLastError();
        EXPECT_EQ(image.GetWidth(), 0u);
        EXPECT_EQ(image.GetHeight(), c.height);
        EXPECT_EQ(image.GetBpp(), c.bpp);
    }
}

TEST(BmpRobustness, TruncatedAndMutatedFiles) {
    std::map<std::string, Bytes> files;
    for (const LayoutCase& c : LayoutCases())
        if (c.file.fileHeader && c.file.headerSize == 40) files[c.name] = Build(c.file);
    for (const RleCase& c : RleCases()) {
        Bmp f;
        f.width = c.width, f.height = c.height, f.bpp = c.bpp, f.compression = c.compression;
        f.palette = Grey(1u << c.bpp), f.pixels = c.data;
        files[c.name] = Build(f);
    }
    for (const auto& [name, file] : files) {
        SCOPED_TRACE(name);
        ExpectSurvivesDamage(file, FORMAT_BMP, Damage{}, [](const DamagedFile& d, bool ok, ZImage& image) {
            EXPECT_EQ(ok, d.at >= 54);
            if (!ok) {
                EXPECT_STREQ(image.GetLastError(), d.at < 14 ? "Not a BMP" : "Error reading BMP info");
            }
        });
    }
    // One file per kind of pixel data. Palette bytes only change colours:
    // the headers and the pixel data steer the reader.
    for (const char* name : {"Rgb24TopDown", "Rgb16Bitfields565", "Rgb32DropsFourthByte", "OffBitsSkipsGap",
                             "ShortPaletteLeavesBlack", "Rle8RunsAndEndOfLine", "Rle4AbsoluteOddWordIsPadded",
                             "RowsBeyondHeightKeepLastRowStart"}) {
        SCOPED_TRACE(name);
        const Bytes& file = files.at(name);
        Damage changes;
        changes.values = {0x00, 0x01, 0x7F, 0x80, 0xFF};
        changes.cuts = false;
        const size_t pixelsAt = file[10] | file[11] << 8;
        for (size_t at = 0; at < file.size(); at = at + 1 == 54 ? pixelsAt : at + 1) changes.positions.push_back(at);
        ExpectSurvivesDamage(file, FORMAT_BMP, changes, FailsWithAText());
    }
}

// ---------------------------------------------------------------- writer

struct WriteCase {
    WORD bpp;
    DWORD width;
    DWORD height;
    DWORD fileSize;
    DWORD offBits;
};

class BmpWrite : public ::testing::TestWithParam<WriteCase> {};

void Paint(ZImage& image) {
    for (LONG y = 0; y < static_cast<LONG>(image.GetHeight()); ++y)
        for (LONG x = 0; x < static_cast<LONG>(image.GetWidth()); ++x) {
            if (image.IsIndexed())
                image.SetPixelIndex(x, y, static_cast<BYTE>(x * 7 + y * 3 + 1));
            else
                image.SetPixelColor(x, y, RGBQUAD{BYTE(x * 40), BYTE(y * 50), BYTE(x * y + 9), 0});
        }
    for (DWORD i = 0; i < image.GetNumColors(); ++i)
        image.SetPaletteColor(static_cast<BYTE>(i), BYTE(i * 3), BYTE(255 - i), BYTE(i * 5), 0);
}

TEST_P(BmpWrite, LaysOutFileAndReadsBack) {
    const WriteCase& c = GetParam();
    ZImage image(c.width, c.height, c.bpp, FORMAT_BMP);
    Paint(image);
    image.SetXDPI(300);
    image.SetYDPI(72);
    image.AlphaCreate();
    image.AlphaSet(0, 0, 0);

    BYTE* buffer = nullptr;
    long size = 0;
    ASSERT_TRUE(image.Encode(buffer, size, FORMAT_BMP)) << image.GetLastError();
    const Bytes file(buffer, buffer + size);
    free(buffer);

    ASSERT_EQ(file.size(), c.fileSize);
    const ByteBuilder header = ByteBuilder().Text("BM").U32(c.fileSize).U32(0).U32(c.offBits);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 14), header.bytes());
    const DWORD colours = c.bpp <= 8 ? 1u << c.bpp : 0;
    const DWORD rowBytes = (c.width * c.bpp + 31) / 32 * 4;
    const ByteBuilder info = ByteBuilder()
                                 .U32(40).U32(c.width).U32(c.height).U16(1).U16(c.bpp)
                                 .U32(0).U32(rowBytes * c.height).U32(11811).U32(2835).U32(colours).U32(0);
    EXPECT_EQ(Bytes(file.begin() + 14, file.begin() + 54), info.bytes());

    ZImage back;
    ASSERT_TRUE(DecodeBytes(back, file)) << back.GetLastError();
    EXPECT_EQ(back.GetBpp(), c.bpp);
    EXPECT_EQ(back.GetXDPI(), 300);
    EXPECT_EQ(back.GetYDPI(), 72);
    EXPECT_FALSE(back.AlphaIsValid());
    image.AlphaDelete();
    EXPECT_EQ(ToRgba(back), ToRgba(image));
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpWrite,
                         ::testing::Values(WriteCase{24, 2, 2, 70, 54}, WriteCase{1, 1, 1, 66, 62},
                                           WriteCase{1, 33, 2, 78, 62}, WriteCase{4, 3, 5, 138, 118},
                                           WriteCase{8, 5, 3, 1102, 1078}, WriteCase{24, 3, 4, 102, 54}),
                         [](const auto& info) {
                             return std::to_string(info.param.bpp) + "bit" + std::to_string(info.param.width) +
                                    "x" + std::to_string(info.param.height);
                         });

#ifndef _WIN32
TEST(BmpWrite, PillowReadsWrittenFiles) {
    if (!external::PillowAvailable()) GTEST_SKIP() << "/usr/bin/python3 with PIL not available";
    external::TempDir dir("zelvo-bmp-interop");
    for (WORD bpp : {1, 4, 8, 24}) {
        ZImage image(13, 7, bpp, FORMAT_BMP);
        Paint(image);
        const std::string path = dir.File("w" + std::to_string(bpp) + ".bmp");
        ASSERT_TRUE(image.Save(path.c_str(), FORMAT_BMP)) << image.GetLastError();
        EXPECT_EQ(external::PillowRgba(path), ToRgba(image)) << bpp;
    }
}
#endif

// ---------------------------------------------------------------- corpus

// Files whose reference this reader does not give, because the format rules
// it follows give another result: refused with a text, or decoded otherwise.
const CorpusExceptions& BmpExceptions() {
    static constexpr char kInfo[] = "Error reading BMP info";
    static constexpr char kLongHeader[] =
        "header longer than 40 (not 64) bytes is taken only uncompressed, without a colour count and with "
        "the exact image size, so bit fields, RLE, palettes and negative heights are refused";
    static constexpr char kTopBits[] =
        "16-bit fields are shifted so their top bit lands on bit 7 with zeros below: 31 of 5 bits gives 248";
    static constexpr char kMasks32[] = "32-bit pixels take bytes 0, 1, 2 as blue, green, red; the masks are ignored";
    static constexpr char kRleCut[] =
        "the stream ends early: rows it never reaches keep index 0, the reference paints them";
    static const CorpusExceptions exceptions = {
        {"bmp/bmpsuite/q/pal8rlecut.bmp", {nullptr, kRleCut}},
        {"bmp/bmpsuite/q/pal4rlecut.bmp", {nullptr, kRleCut}},
        {"bmp/pillow/mmap_error.bmp",
         {nullptr, "bfOffBits is 54, inside the palette: the pixel data is taken from there"}},
        {"bmp/bmpsuite/g/rgb16-565.bmp", {nullptr, kTopBits}},
        {"bmp/bmpsuite/g/rgb16-565pal.bmp", {nullptr, kTopBits}},
        {"bmp/bmpsuite/g/rgb16.bmp", {nullptr, kTopBits}},
        {"bmp/bmpsuite/g/rgb16bfdef.bmp", {nullptr, kTopBits}},
        {"bmp/bmpsuite/q/rgb16faketrns.bmp", {nullptr, kTopBits}},
        {"bmp/image-rs/Info_X1_R5_G5_B5.bmp", {nullptr, kTopBits}},
        {"bmp/image-rs/Info_X1_R5_G5_B5_Top_Down.bmp", {nullptr, kTopBits}},
        {"bmp/bmpsuite/q/rgb16-3103.bmp",
         {nullptr, "the 10-bit green field keeps its top 8 bits; the reference rounds"}},
        {"bmp/bmpsuite/g/rgb32bf.bmp", {nullptr, kMasks32}},
        {"bmp/bmpsuite/q/rgb32-111110.bmp", {nullptr, kMasks32}},
        {"bmp/bmpsuite/q/rgb32-7187.bmp", {nullptr, kMasks32}},
        {"bmp/bmpsuite/q/pal8os2v2-16.bmp", {kInfo, "16-byte header: only 12, 40, 64 and longer are read"}},
        {"bmp/serenity/oss-fuzz-testcase-62541.bmp", {kInfo, "an icon file: no BMP header at all"}},
        {"bmp/bmpsuite/g/pal8v4.bmp", {kInfo, kLongHeader}},
        {"bmp/bmpsuite/g/pal8v5.bmp", {kInfo, kLongHeader}},
        {"bmp/bmpsuite/q/rgb32-xbgr.bmp", {kInfo, kLongHeader}},
        {"bmp/bmpsuite/q/rgb32h52.bmp", {kInfo, kLongHeader}},
        {"bmp/bmpsuite/q/rgba16-1924.bmp", {kInfo, kLongHeader}},
        {"bmp/bmpsuite/q/rgba16-4444.bmp", {kInfo, kLongHeader}},
        {"bmp/bmpsuite/q/rgba16-5551.bmp", {kInfo, kLongHeader}},
        {"bmp/bmpsuite/q/rgba32-1.bmp", {kInfo, kLongHeader}},
        {"bmp/bmpsuite/q/rgba32-1010102.bmp", {kInfo, kLongHeader}},
        {"bmp/bmpsuite/q/rgba32-2.bmp", {kInfo, kLongHeader}},
        {"bmp/bmpsuite/q/rgba32-61754.bmp", {kInfo, kLongHeader}},
        {"bmp/bmpsuite/q/rgba32-81284.bmp", {kInfo, kLongHeader}},
        {"bmp/bmpsuite/q/rgba32h56.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V3_A1_R5_G5_B5.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V3_A1_R5_G5_B5_Top_Down.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V3_A4_R4_G4_B4.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V3_A4_R4_G4_B4_Top_Down.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V3_R5_G6_B5.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V3_R5_G6_B5_Top_Down.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V3_X4_R4_G4_B4.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V3_X4_R4_G4_B4_Top_Down.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V3_X8_R8_G8_B8.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V3_X8_R8_G8_B8_Top_Down.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V4_A8_R8_G8_B8.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V4_R5_G6_B5.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V5_A1_R5_G5_B5.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/V5_A8_R8_G8_B8_Rgb.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/imagemagick_invalid_run_length_issue_2321.bmp", {kInfo, kLongHeader}},
        {"bmp/image-rs/lenient/V5_A8_R8_G8_B8_Rgb_BadMask.bmp", {kInfo, kLongHeader}},
        {"bmp/pillow/hopper_rle8_grayscale.bmp", {kInfo, kLongHeader}},
        {"bmp/pillow/rgb32bf-abgr.bmp", {kInfo, kLongHeader}},
        {"bmp/pillow/rgb32bf-rgba.bmp", {kInfo, kLongHeader}},
        {"bmp/wuffs/bricks-dither.bmp", {kInfo, kLongHeader}},
        {"bmp/wuffs/bricks-gray.bmp", {kInfo, kLongHeader}},
        {"bmp/wuffs/bricks-nodither.bmp", {kInfo, kLongHeader}},
        {"bmp/wuffs/pjw-thumbnail.bmp", {kInfo, kLongHeader}},
    };
    return exceptions;
}

// Every file is survived; every one with a reference matches it unless
// listed above, and every listed one still behaves as listed.
TEST(BmpCorpus, DecodesToReferences) { ExpectCorpusMatches({"bmp/"}, FORMAT_BMP, BmpExceptions()); }

}  // namespace
