#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "ByteBuilder.h"
#include "CodecChecks.h"
#include "ExternalDecoders.h"
#include "Rgba.h"
#include "ZErrors.h"
#include "ZImage.h"
#include "codecs/ZImageTGA.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kTopDown = 0x20;
constexpr uint8_t kRightToLeft = 0x10;

// One TGA file as the tests describe it; Build lays it out.
struct Tga {
    int type = 2;
    int width = 1;
    int height = 1;
    int depth = 24;
    int descriptor = 0;
    Bytes id;
    Bytes colorMap;  // blue, green, red triples; the colour map type is 1 when set
    int colorMapLength = -1;  // -1: the number of triples
    int colorMapFirst = 0;
    int colorMapEntrySize = 24;
    Bytes pixels;
};

Bytes Build(const Tga& t) {
    ByteBuilder b;
    b.U8(t.id.size()).U8(t.colorMap.empty() ? 0 : 1).U8(t.type);
    b.U16(t.colorMapFirst).U16(t.colorMapLength >= 0 ? t.colorMapLength : t.colorMap.size() / 3);
    b.U8(t.colorMap.empty() ? 0 : t.colorMapEntrySize);
    b.U16(0).U16(0).U16(t.width).U16(t.height).U8(t.depth).U8(t.descriptor);
    b.Bytes(t.id).Bytes(t.colorMap).Bytes(t.pixels);
    return b.bytes();
}

bool DecodeBytes(ZImage& image, Bytes bytes, DWORD type = FORMAT_TGA) {
    return image.Decode(bytes.data(), static_cast<DWORD>(bytes.size()), type);
}

// ---------------------------------------------------------------- reading

struct LayoutCase {
    std::string name;
    Tga file;
    WORD bpp;                       // of the decoded image
    bool alpha;                     // the image has an alpha plane
    std::vector<uint32_t> pixels;   // top-down 0xRRGGBBAA
};

std::vector<LayoutCase> LayoutCases() {
    // Blue, green, red bytes of four colours; the file's first row is the
    // bottom one unless the descriptor says otherwise.
    const Bytes rows24 = {30, 20, 10, 60, 50, 40,      // A B
                          90, 80, 70, 120, 110, 100};  // C D
    const uint32_t A = 0x0A141EFF, B = 0x28323CFF, C = 0x46505AFF, D = 0x646E78FF;
    std::vector<LayoutCase> cases;
    {
        Tga f;
        f.width = 2, f.height = 2, f.pixels = rows24;
        cases.push_back({"BottomUp", f, 24, false, {C, D, A, B}});
        f.descriptor = kRightToLeft;
        cases.push_back({"RightToLeft", f, 24, false, {D, C, B, A}});
        f.descriptor = kTopDown | kRightToLeft;
        cases.push_back({"TopRight", f, 24, false, {B, A, D, C}});
        f.descriptor = kTopDown;
        f.pixels = {90, 80, 70, 120, 110, 100, 30, 20, 10, 60, 50, 40};
        cases.push_back({"TopDownGivesSameImage", f, 24, false, {C, D, A, B}});
    }
    {
        Tga f;
        f.width = 2, f.height = 2, f.depth = 32;
        f.pixels = {1, 2, 3, 0, 4, 5, 6, 64, 7, 8, 9, 128, 10, 11, 12, 255};
        cases.push_back({"Alpha32BottomUp", f, 24, true, {0x090807'80, 0x0C0B0A'FF, 0x030201'00, 0x060504'40}});
        f.descriptor = kTopDown;
        cases.push_back({"Alpha32TopDown", f, 24, true, {0x030201'00, 0x060504'40, 0x090807'80, 0x0C0B0A'FF}});
        f.descriptor = kTopDown | kRightToLeft;
        cases.push_back({"Alpha32TopRight", f, 24, true, {0x060504'40, 0x030201'00, 0x0C0B0A'FF, 0x090807'80}});
    }
    {
        Tga f;
        f.width = 4, f.depth = 16;
        f.pixels = {0x00, 0x7C, 0x1F, 0x00, 0x1F, 0x80, 0xE0, 0x03};  // 0x7C00 0x001F 0x801F 0x03E0
        cases.push_back({"Rgb16", f, 24, false, {0xF80000FF, 0x0000F8FF, 0x0000F8FF, 0x00F800FF}});
        f.depth = 15;
        cases.push_back({"Rgb15", f, 24, false, {0xF80000FF, 0x0000F8FF, 0x0000F8FF, 0x00F800FF}});
    }
    {
        Tga f;
        f.type = 1, f.width = 3, f.depth = 8;
        f.colorMap = {3, 2, 1, 6, 5, 4};
        f.pixels = {1, 0, 2};
        // Entries the colour map does not give are black.
        cases.push_back({"ColourMapped", f, 8, false, {0x040506FF, 0x010203FF, 0x000000FF}});
        f.type = 3;
        cases.push_back({"GreyIgnoresColourMap", f, 8, false, {0x010101FF, 0x000000FF, 0x020202FF}});
        f.type = 2;
        f.id = {'z', 'e', 'l'};
        cases.push_back({"IdFieldSkipped", f, 8, false, {0x040506FF, 0x010203FF, 0x000000FF}});
    }
    {
        // Colour maps are read as triples whatever entry size the header
        // gives, from entry 0 whatever first index it gives.
        Tga f;
        f.type = 1, f.width = 2, f.depth = 8, f.colorMap = {3, 2, 1, 6, 5, 4}, f.pixels = {1, 0};
        f.colorMapFirst = 5, f.colorMapEntrySize = 16;
        cases.push_back({"ColourMapEntrySizeIgnored", f, 8, false, {0x040506FF, 0x010203FF}});
    }
    {
        // A repeat packet of 10 starting 4 pixels before the row end
        // continues with 6 pixels at the start of the next row.
        Tga f;
        f.type = 11, f.width = 8, f.height = 2, f.depth = 8;
        f.pixels = {0x03, 1, 2, 3, 4, 0x89, 9, 0x01, 5, 6};
        std::vector<uint32_t> expected;
        for (int v : {9, 9, 9, 9, 9, 9, 5, 6, 1, 2, 3, 4, 9, 9, 9, 9}) expected.push_back(v * 0x01010100u | 0xFF);
        cases.push_back({"RepeatCrossesRow", f, 8, false, expected});
    }
    {
        Tga f;
        f.type = 11, f.width = 3, f.height = 2, f.depth = 8;
        f.pixels = {0x04, 1, 2, 3, 4, 5, 0x80, 6};
        std::vector<uint32_t> expected;
        for (int v : {4, 5, 6, 1, 2, 3}) expected.push_back(v * 0x01010100u | 0xFF);
        cases.push_back({"RawCrossesRow", f, 8, false, expected});
    }
    {
        // One packet can span many rows of a narrow picture.
        Tga f;
        f.type = 9, f.width = 1, f.height = 128, f.depth = 8, f.colorMap = {0, 0, 0, 9, 8, 7};
        f.pixels = {0xFF, 1};
        cases.push_back({"RepeatSpans128Rows", f, 8, false, std::vector<uint32_t>(128, 0x070809FF)});
    }
    {
        Tga f;
        f.type = 10, f.width = 2, f.height = 2, f.depth = 32, f.descriptor = kTopDown;
        f.pixels = {0x82, 1, 2, 3, 128, 0x00, 4, 5, 6, 7};
        cases.push_back({"RleAlphaTopDown", f, 24, true, {0x03020180, 0x03020180, 0x03020180, 0x06050407}});
    }
    {
        Tga f;
        f.type = 10, f.width = 3, f.height = 1, f.depth = 16;
        f.pixels = {0x81, 0x00, 0x7C, 0x00, 0xE0, 0x03};
        cases.push_back({"Rle16", f, 24, false, {0xF80000FF, 0xF80000FF, 0x00F800FF}});
        f.depth = 24, f.descriptor = kRightToLeft;
        f.pixels = {0x01, 1, 2, 3, 4, 5, 6, 0x80, 7, 8, 9};
        cases.push_back({"Rle24RightToLeft", f, 24, false, {0x090807FF, 0x060504FF, 0x030201FF}});
    }
    return cases;
}

class TgaLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(TgaLayout, DecodesToExpectedPixels) {
    const LayoutCase& c = GetParam();
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(c.file))) << image.GetLastError();
    EXPECT_EQ(image.GetType(), FORMAT_TGA);
    EXPECT_EQ(image.GetBpp(), c.bpp);
    EXPECT_EQ(image.AlphaIsValid(), c.alpha);
    EXPECT_EQ(RgbaValues(image), c.pixels);
}

INSTANTIATE_TEST_SUITE_P(Files, TgaLayout, ::testing::ValuesIn(LayoutCases()),
                         [](const auto& info) { return info.param.name; });

TEST(TgaDecode, StoredRowsEqualFileRows) {
    Tga f;
    f.width = 3, f.height = 2;
    for (int i = 0; i < 18; ++i) f.pixels.push_back(static_cast<uint8_t>(i * 13 + 1));
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(f)));
    for (DWORD y = 0; y < 2; ++y) {
        const BYTE* row = image.GetBits(y);
        EXPECT_EQ(Bytes(row, row + 9), Bytes(f.pixels.begin() + 9 * y, f.pixels.begin() + 9 * y + 9)) << y;
    }
}

// Files larger than the reader's block decode alike from both stream kinds
// and raw. Every run crosses a row end, and shifting the data makes some
// run's value straddle the end of a block.
TEST(TgaDecode, LargeRunLengthFileMatchesRaw) {
    Tga raw;
    raw.width = 3, raw.height = 16000, raw.depth = 32, raw.descriptor = kTopDown;
    Tga rle = raw;
    rle.type = 10;
    for (uint32_t run = 0; run < 3 * 16000 / 5; ++run) {
        const uint32_t v = run * 2654435761u;
        const Bytes pixel = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        rle.pixels.push_back(0x84);
        rle.pixels.insert(rle.pixels.end(), pixel.begin(), pixel.end());
        for (int i = 0; i < 5; ++i) raw.pixels.insert(raw.pixels.end(), pixel.begin(), pixel.end());
    }
    ZImage expected;
    ASSERT_TRUE(DecodeBytes(expected, Build(raw)));
    for (int shift = 0; shift < 5; ++shift) {
        rle.id = Bytes(shift, 'x');
        const Bytes file = Build(rle);
        ZImage fromMemory;
        ASSERT_TRUE(DecodeBytes(fromMemory, file)) << shift;
        EXPECT_EQ(ToRgba(fromMemory), ToRgba(expected)) << shift;
        FILE* fp = std::tmpfile();
        ASSERT_NE(fp, nullptr);
        fwrite(file.data(), 1, file.size(), fp);
        rewind(fp);
        ZImage fromFile;
        ASSERT_TRUE(fromFile.Decode(fp, FORMAT_TGA)) << shift;
        fclose(fp);
        EXPECT_EQ(ToRgba(fromFile), ToRgba(expected)) << shift;
    }
}

// A decode leaves the stream right after the picture, so that pictures
// stored one after another can be read in turn.
TEST(TgaDecode, StreamLeftAfterPicture) {
    Tga wide;  // rows longer than the reader's block
    wide.width = 12000, wide.height = 2, wide.pixels = Bytes(72000, 9);
    Tga packed;
    packed.type = 10, packed.width = 3, packed.pixels = {0x81, 1, 2, 3, 0x00, 4, 5, 6};
    Bytes stream = Build(wide);
    for (const Bytes& next : {Build(packed), Build(wide), Build(packed)})
        stream.insert(stream.end(), next.begin(), next.end());
    ZMemFile in(stream.data(), static_cast<DWORD>(stream.size()));
    for (int i = 0; i < 4; ++i) {
        ZImage image;
        ASSERT_TRUE(image.Decode(&in, FORMAT_TGA)) << i;
        EXPECT_EQ(image.GetWidth(), i % 2 ? 3u : 12000u);
    }
    EXPECT_EQ(in.Tell(), static_cast<int32_t>(stream.size()));
}

// The densest data there is (full runs) must not be taken for a short file.
TEST(TgaDecode, FullRunsFillALargeImage) {
    Tga f;
    f.type = 11, f.width = 128, f.height = 200, f.depth = 8;
    for (int row = 0; row < f.height; ++row) f.pixels.insert(f.pixels.end(), {0xFF, uint8_t(row)});
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(f))) << image.GetLastError();
    EXPECT_EQ(image.GetPixelIndex(127, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(0, 199), 199);
}

TEST(TgaDecode, GreyFilesGetTheFullGreyRamp) {
    for (int type : {3, 11}) {
        Tga f;
        f.type = type, f.depth = 8, f.colorMap = {9, 9, 9}, f.pixels = type == 3 ? Bytes{0} : Bytes{0x00, 0};
        ZImage image;
        ASSERT_TRUE(DecodeBytes(image, Build(f))) << type;
        EXPECT_TRUE(image.IsGrayScale()) << type;
    }
}

// Reads inside a row ignore the end of the stream; the end test comes only
// before each row. Both stream kinds must agree.
struct ShortCase {
    std::string name;
    size_t cut;  // bytes removed from the end
    bool ok;
    std::vector<uint32_t> pixels;
};

TEST(TgaDecode, StreamEndingEarly) {
    Tga f;
    f.width = 2, f.height = 2, f.pixels = {30, 20, 10, 60, 50, 40, 90, 80, 70, 120, 110, 100};
    const Bytes file = Build(f);
    const std::vector<ShortCase> cases = {
        {"InsideLastRow", 3, true, {0x46505AFF, 0x000000FF, 0x0A141EFF, 0x28323CFF}},
        {"AtLastRow", 6, false, {}},
        {"InsideFirstRow", 9, false, {}},
        {"NoPixels", 12, false, {}},
    };
    for (const ShortCase& c : cases) {
        const Bytes cut(file.begin(), file.end() - static_cast<long>(c.cut));
        for (bool onFile : {false, true}) {
            SCOPED_TRACE(c.name + (onFile ? " file stream" : " memory stream"));
            ZImage image;
            bool ok;
            if (onFile) {
                FILE* fp = std::tmpfile();
                ASSERT_NE(fp, nullptr);
                fwrite(cut.data(), 1, cut.size(), fp);
                rewind(fp);
                ok = image.Decode(fp, FORMAT_TGA);
                fclose(fp);
            } else {
                ok = DecodeBytes(image, cut);
            }
            EXPECT_EQ(ok, c.ok);
            if (ok) {
                EXPECT_EQ(RgbaValues(image), c.pixels);
            } else {
                EXPECT_STREQ(image.GetLastError(), "corrupted TGA");
            }
        }
    }
}

struct FailureCase {
    std::string name;
    Bytes file;
    const char* error;
};

std::vector<FailureCase> FailureCases() {
    auto file = [](auto change) {
        Tga f;
        f.width = 2, f.height = 2, f.pixels = Bytes(12, 7);
        change(f);
        return Build(f);
    };
    std::vector<FailureCase> cases = {
        {"Empty", {}, "Not a TGA"},
        {"ShortHeader", Bytes(17, 0), "Not a TGA"},
        {"NoPixelData", file([](Tga& f) { f.pixels.clear(); }), "corrupted TGA"},
        {"ColourMapFillsTheFile", file([](Tga& f) { f.colorMap = Bytes(12, 1); f.pixels.clear(); }),
         "corrupted TGA"},
        {"WidthZero", file([](Tga& f) { f.width = 0; }), "bad TGA header"},
        {"HeightZero", file([](Tga& f) { f.height = 0; }), "bad TGA header"},
        {"DepthZero", file([](Tga& f) { f.depth = 0; }), "bad TGA header"},
        {"ColourMapTooLong", file([](Tga& f) { f.colorMap = Bytes(771, 1); }), "bad TGA header"},
        // Far too few bytes for the rows: refused before anything is allocated.
        {"HugeRaw", file([](Tga& f) { f.width = f.height = 65535; }), "corrupted TGA"},
        {"HugeRle", file([](Tga& f) { f.type = 10, f.width = f.height = 65535; }), "corrupted TGA"},
    };
    for (int type : {0, 4, 8, 12, 255})
        cases.push_back({"Type" + std::to_string(type), file([type](Tga& f) { f.type = type; }),
                         "Unknown TGA image type"});
    for (int depth : {1, 7, 12, 31, 33, 48})
        cases.push_back({"Depth" + std::to_string(depth), file([depth](Tga& f) { f.depth = depth; }),
                         "bad TGA header"});
    return cases;
}

class TgaFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(TgaFailure, FailsWithTextAndKeepsPreviousPicture) {
    const FailureCase& c = GetParam();
    ZImage image(5, 4, 8, FORMAT_BMP);
    EXPECT_FALSE(DecodeBytes(image, c.file));
    EXPECT_STREQ(image.GetLastError(), c.error);
    EXPECT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Files, TgaFailure, ::testing::ValuesIn(FailureCases()),
                         [](const auto& info) { return info.param.name; });

TEST(TgaDecode, NullStreamFailsWithoutText) {
    ZImageTGA codec;
    EXPECT_FALSE(codec.Decode(nullptr));
    EXPECT_STREQ(codec.GetLastError(), "");
}

TEST(TgaDecode, EscapeCancels) {
    Tga whole;
    whole.pixels = {1, 2, 3};
    // Also when the stream is too short for its rows.
    Tga cut = whole;
    cut.height = 3;
    for (LONG escape : {-1, 1}) {
        for (const Tga& f : {whole, cut}) {
            ZImage image;
            image.SetEscape(escape);
            EXPECT_FALSE(DecodeBytes(image, Build(f)));
            EXPECT_STREQ(image.GetLastError(), "Cancelled") << escape << " " << f.height;
        }
    }
}

TEST(TgaDecode, DetectedWithoutType) {
    Tga f;
    f.pixels = {1, 2, 3};
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(f), FORMAT_UNKNOWN));
    EXPECT_EQ(image.GetType(), FORMAT_TGA);
    EXPECT_EQ(RgbaValues(image), std::vector<uint32_t>{0x030201FF});
}

// Every truncation of valid files, and single-byte changes, must neither
// crash nor read or write out of bounds (run under the sanitizers).
TEST(TgaRobustness, TruncatedAndMutatedFiles) {
    const std::set<std::string> texts = {"Not a TGA", "Unknown TGA image type", "bad TGA header", "corrupted TGA",
                                         "TGA Create failed"};
    Damage damage;
    damage.values = {0x00, 0x01, 0x7F, 0x80, 0x81, 0xFF};
    for (const LayoutCase& c : LayoutCases()) {
        SCOPED_TRACE(c.name);
        ExpectSurvivesDamage(Build(c.file), FORMAT_TGA, damage, FailsWithOneOf(texts));
    }
}

// ---------------------------------------------------------------- writing

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

Bytes EncodeToBytes(ZImage& image) {
    BYTE* buffer = nullptr;
    long size = 0;
    if (!image.Encode(buffer, size, FORMAT_TGA)) return {};
    Bytes file(buffer, buffer + size);
    free(buffer);
    return file;
}

struct WriteCase {
    WORD bpp;
    bool alpha;
    Bytes header;  // the expected 18 bytes
    size_t size;
};

class TgaWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(TgaWrite, LaysOutFileAndReadsBack) {
    const WriteCase& c = GetParam();
    ZImage image(5, 3, c.bpp, FORMAT_BMP);
    Paint(image);
    if (c.alpha) {
        image.AlphaCreate();
        image.AlphaSet(1, 2, 100);
        image.AlphaSet(4, 0, 0);
    }
    const Bytes file = EncodeToBytes(image);
    ASSERT_EQ(file.size(), c.size) << image.GetLastError();
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 18), c.header);
    if (c.bpp == 8) {
        EXPECT_EQ(Bytes(file.begin() + 18 + 3 * 7, file.begin() + 18 + 3 * 8), (Bytes{35, 248, 21}));
        EXPECT_EQ(file[18 + 768], image.GetPixelIndex(0, 0));
    }

    ZImage back;
    ASSERT_TRUE(DecodeBytes(back, file)) << back.GetLastError();
    EXPECT_EQ(back.GetBpp(), c.bpp);
    EXPECT_EQ(back.AlphaIsValid(), c.alpha);
    EXPECT_EQ(ToRgba(back), ToRgba(image));
}

INSTANTIATE_TEST_SUITE_P(
    Depths, TgaWrite,
    ::testing::Values(WriteCase{8, false, {0, 1, 1, 0, 0, 0, 1, 24, 0, 0, 0, 0, 5, 0, 3, 0, 8, 0}, 18 + 768 + 15},
                      WriteCase{24, false, {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 3, 0, 24, 0}, 18 + 45},
                      WriteCase{24, true, {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 3, 0, 32, 0}, 18 + 60}),
    [](const auto& info) { return std::to_string(info.param.bpp) + (info.param.alpha ? "BitAlpha" : "Bit"); });

TEST(TgaWrite, EightBitImageDropsItsAlpha) {
    ZImage image(2, 1, 8, FORMAT_BMP);
    image.AlphaCreate();
    const Bytes file = EncodeToBytes(image);
    ZImage back;
    ASSERT_TRUE(DecodeBytes(back, file));
    EXPECT_FALSE(back.AlphaIsValid());
}

TEST(TgaWrite, AlphaScaledByCeiling) {
    ZImage image(2, 1, 24, FORMAT_BMP);
    image.AlphaCreate();
    image.AlphaSet(0, 0, 200);
    image.AlphaSetMax(128);
    const Bytes file = EncodeToBytes(image);
    ASSERT_EQ(file.size(), 18u + 8);
    EXPECT_EQ(file[18 + 3], 200 * 128 / 255);
    EXPECT_EQ(file[18 + 7], 128);
}

TEST(TgaWrite, Refusals) {
    struct Case {
        DWORD width, height;
        WORD bpp;
        const char* error;
    };
    for (const Case& c : {Case{3, 3, 1, "Bit depth must be 8 or 24"}, Case{3, 3, 4, "Bit depth must be 8 or 24"},
                          Case{65536, 1, 24, "TGA cannot hold this image size"},
                          Case{1, 65536, 8, "TGA cannot hold this image size"}}) {
        ZImage image(c.width, c.height, c.bpp, FORMAT_BMP);
        ASSERT_TRUE(image.IsValid());
        EXPECT_TRUE(EncodeToBytes(image).empty());
        EXPECT_STREQ(image.GetLastError(), c.error);
    }
}

TEST(TgaWrite, FailedWriteIsReported) {
    ZImage image(2, 2, 24, FORMAT_BMP);
    ZMemFile closed;  // never opened: every write fails
    EXPECT_FALSE(image.Encode(&closed, FORMAT_TGA));
    EXPECT_STREQ(image.GetLastError(), "cannot write TGA file");
}

#ifndef _WIN32
TEST(TgaWrite, PillowReadsWrittenFiles) {
    if (!external::PillowAvailable()) GTEST_SKIP() << "/usr/bin/python3 with PIL not available";
    external::TempDir dir("zelvo-tga-interop");
    for (int bpp : {8, 24, 32}) {
        ZImage image(13, 7, bpp == 8 ? 8 : 24, FORMAT_BMP);
        Paint(image);
        if (bpp == 32) {
            image.AlphaCreate();
            for (LONG x = 0; x < 13; ++x) image.AlphaSet(x, x % 7, static_cast<BYTE>(x * 19));
        }
        const std::string path = dir.File("w" + std::to_string(bpp) + ".tga");
        ASSERT_TRUE(image.Save(path.c_str(), FORMAT_TGA)) << image.GetLastError();
        EXPECT_EQ(external::PillowRgba(path), ToRgba(image)) << bpp;
    }
}
#endif

// ---------------------------------------------------------------- corpus

// Files whose reference the reader must not match, because the format rules
// it follows give a different result. Each names why.
const CorpusExceptions& TgaExceptions() {
    static constexpr char kGreyAlpha[] =
        "depth 16 is read as a 5-5-5 colour pixel whatever the type, so grey + alpha pixels become colours "
        "without alpha (the grey palette does nothing on a 24-bit image)";
    static const CorpusExceptions exceptions = {
        {"tga/pillow/common/200x32_la_bl_raw.tga", {nullptr, kGreyAlpha}},
        {"tga/pillow/common/200x32_la_bl_rle.tga", {nullptr, kGreyAlpha}},
        {"tga/pillow/common/200x32_la_tl_raw.tga", {nullptr, kGreyAlpha}},
        {"tga/pillow/common/200x32_la_tl_rle.tga", {nullptr, kGreyAlpha}},
        {"tga/pillow/la.tga", {nullptr, kGreyAlpha}},
        {"tga/pillow/p_16.tga",
         {nullptr, "colour map entries are always read as 3-byte triples; this map has 16-bit entries, so the "
                   "colours and the start of the pixel data are off"}},
        {"tga/pillow/rgba16.tga",
         {nullptr, "16-bit channels are widened by a shift of 3 (21 -> 168, the references scale to 172) and bit 15 "
                   "is not alpha"}},
    };
    return exceptions;
}

TEST(TgaCorpus, DecodesToReferences) { ExpectCorpusMatches({"tga/"}, FORMAT_TGA, TgaExceptions()); }

}  // namespace
