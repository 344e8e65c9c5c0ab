#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "ByteBuilder.h"
#include "CodecChecks.h"
#include "ExternalDecoders.h"
#include "Rgba.h"
#include "ZErrors.h"
#include "ZImage.h"
#include "codecs/ZImagePCX.h"

namespace {

using Bytes = std::vector<uint8_t>;

// One PCX file as the tests describe it; Build lays it out. data is the
// run-length stream as stored (bytes below 0xC0 stand for themselves).
struct Pcx {
    int manufacturer = 10;
    int encoding = 1;
    int bits = 8;
    int planes = 1;
    int xMin = 0, yMin = 0;
    int width = 1, height = 1;
    int bytesPerLine = 2;
    int xDpi = 300, yDpi = 150;
    Bytes colorMap;  // up to 16 red, green, blue triples
    Bytes data;
    Bytes trailer;
};

Bytes Build(const Pcx& p) {
    ByteBuilder b;
    b.U8(p.manufacturer).U8(5).U8(p.encoding).U8(p.bits);
    b.U16(p.xMin).U16(p.yMin).U16(p.xMin + p.width - 1).U16(p.yMin + p.height - 1);
    b.U16(p.xDpi).U16(p.yDpi);
    Bytes map = p.colorMap;
    map.resize(48);
    b.Bytes(map).U8(0).U8(p.planes).U16(p.bytesPerLine).U16(1).Fill(58, 0);
    b.Bytes(p.data).Bytes(p.trailer);
    return b.bytes();
}

// The 256-colour trailer: signature, then entry i = (i, 2i, 255 - i).
Bytes Trailer(uint8_t signature = 12) {
    Bytes t = {signature};
    for (int i = 0; i < 256; ++i) t.insert(t.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(255 - i)});
    return t;
}

uint32_t TrailerColour(int i) {
    return uint32_t(i) << 24 | uint32_t(2 * i & 0xFF) << 16 | uint32_t(255 - i) << 8 | 0xFF;
}

// Header colour map: entry i = (16i, 255 - 16i, i).
Bytes HeaderMap() {
    Bytes m;
    for (int i = 0; i < 16; ++i) m.insert(m.end(), {uint8_t(16 * i), uint8_t(255 - 16 * i), uint8_t(i)});
    return m;
}

uint32_t MapColour(int i) { return uint32_t(16 * i) << 24 | uint32_t(255 - 16 * i) << 16 | uint32_t(i) << 8 | 0xFF; }

bool DecodeBytes(ZImage& image, Bytes bytes, DWORD type = FORMAT_PCX) {
    return image.Decode(bytes.data(), static_cast<DWORD>(bytes.size()), type);
}

// ---------------------------------------------------------------- reading

struct LayoutCase {
    std::string name;
    Pcx file;
    WORD bpp;  // of the decoded image
    bool alpha;
    std::vector<uint32_t> pixels;  // top-down 0xRRGGBBAA
};

std::vector<LayoutCase> LayoutCases() {
    std::vector<LayoutCase> cases;
    {
        Pcx f;
        f.width = 3, f.height = 2, f.bytesPerLine = 4;
        f.data = {1, 2, 0, 9, 0, 1, 2, 9};
        f.trailer = Trailer();
        const uint32_t c0 = TrailerColour(0), c1 = TrailerColour(1), c2 = TrailerColour(2);
        cases.push_back({"Palette256", f, 8, false, {c1, c2, c0, c0, c1, c2}});
        f.data = {0xC8, 5};
        cases.push_back({"RunCrossesLines", f, 8, false, std::vector<uint32_t>(6, TrailerColour(5))});
    }
    // The same four pixels, indices 1, 2, 4, 15, in the two 16-colour layouts.
    const std::vector<uint32_t> sixteen = {MapColour(1), MapColour(2), MapColour(4), MapColour(15)};
    {
        Pcx f;
        f.bits = 1, f.planes = 4, f.width = 4, f.colorMap = HeaderMap();
        f.data = {0x90, 0, 0x50, 0, 0x30, 0, 0x10, 0};
        cases.push_back({"FourPlanesOfOneBit", f, 4, false, sixteen});
        f.bits = 4, f.planes = 1, f.data = {0x12, 0x4F};
        cases.push_back({"OnePlaneOfFourBits", f, 4, false, sixteen});
        f.bits = 2, f.data = {0x1B, 0};
        cases.push_back({"TwoBitsPerPixel", f, 4, false, {MapColour(0), MapColour(1), MapColour(2), MapColour(3)}});
    }
    {
        // Low bit of indices 3, 2, 1, 0 (two planes) or 7, 6, 5, 4 (three).
        Pcx f;
        f.bits = 1, f.planes = 2, f.width = 4, f.colorMap = HeaderMap();
        f.data = {0xA0, 0, 0xC1, 0xC0, 0};
        const std::vector<uint32_t> lowBits = {MapColour(1), MapColour(0), MapColour(1), MapColour(0)};
        cases.push_back({"TwoPlanesKeepLowBit", f, 1, false, lowBits});
        f.planes = 3;
        f.data.insert(f.data.end(), {0xC1, 0xF0, 0});
        cases.push_back({"ThreePlanesKeepLowBit", f, 1, false, lowBits});
    }
    {
        Pcx f;
        f.bits = 1, f.width = 10, f.height = 1, f.colorMap = HeaderMap();
        f.data = {0xC1, 0xB0, 0x40};
        const uint32_t k = 0x000000FF, w = 0xFFFFFFFF;
        cases.push_back({"MonochromeIsBlackAndWhite", f, 1, false, {w, k, w, w, k, k, k, k, k, w}});
    }
    {
        Pcx f;
        f.planes = 3, f.width = 2, f.height = 1;
        f.data = {10, 40, 20, 50, 30, 60};
        cases.push_back({"TrueColour", f, 24, false, {0x0A141EFF, 0x28323CFF}});
        f.planes = 4;
        f.data.insert(f.data.end(), {0, 0xC1, 200});
        cases.push_back({"TrueColourAlpha", f, 24, true, {0x0A141E00, 0x28323CC8}});
        f.planes = 3, f.height = 2;
        f.data = {0xC7, 1, 0xC5, 2};
        cases.push_back({"RunsCrossPlanes", f, 24, false, {0x010101FF, 0x010101FF, 0x010202FF, 0x020202FF}});
    }
    {
        Pcx f;
        f.xMin = 40, f.yMin = 7, f.width = 2, f.height = 1;
        f.data = {3, 4};
        f.trailer = Trailer();
        cases.push_back({"WindowNotAtOrigin", f, 8, false, {TrailerColour(3), TrailerColour(4)}});
    }
    return cases;
}

class PcxLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PcxLayout, DecodesToExpectedPixels) {
    const LayoutCase& c = GetParam();
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(c.file))) << image.GetLastError();
    EXPECT_EQ(image.GetType(), FORMAT_PCX);
    EXPECT_EQ(image.GetBpp(), c.bpp);
    EXPECT_EQ(image.AlphaIsValid(), c.alpha);
    EXPECT_EQ(RgbaValues(image), c.pixels);
}

INSTANTIATE_TEST_SUITE_P(Files, PcxLayout, ::testing::ValuesIn(LayoutCases()),
                         [](const auto& info) { return info.param.name; });

TEST(PcxDecode, ResolutionTakenAsIs) {
    Pcx f;
    f.data = {0, 0};
    f.trailer = Trailer();
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(f)));
    EXPECT_EQ(image.GetXDPI(), 300);
    EXPECT_EQ(image.GetYDPI(), 150);
    // Pixels per metre keep a fresh image's value.
    BITMAPINFOHEADER header;
    memcpy(&header, image.GetDIB(), sizeof(header));
    EXPECT_EQ(header.biXPelsPerMeter, 3780);
    EXPECT_EQ(header.biYPelsPerMeter, 3780);
}

// A decode leaves the stream right after the picture and its palette.
TEST(PcxDecode, StreamLeftAfterPicture) {
    Pcx palette;
    palette.data = {1, 2};
    palette.trailer = Trailer();
    Pcx mono;
    mono.bits = 1, mono.width = 3, mono.data = {0xC2, 0xFF};
    Bytes stream = Build(palette);
    for (const Bytes& next : {Build(mono), Build(palette)}) stream.insert(stream.end(), next.begin(), next.end());
    ZMemFile in(stream.data(), static_cast<DWORD>(stream.size()));
    for (int i = 0; i < 3; ++i) {
        ZImage image;
        ASSERT_TRUE(image.Decode(&in, FORMAT_PCX)) << i;
        EXPECT_EQ(image.GetBpp(), i == 1 ? 1 : 8);
    }
    EXPECT_EQ(in.Tell(), static_cast<int32_t>(stream.size()));
}

// The densest data there is (full runs) must not be taken for a short file.
TEST(PcxDecode, FullRunsFillALargeImage) {
    Pcx f;
    f.bits = 1, f.width = 4000, f.height = 504, f.bytesPerLine = 500;
    for (int i = 0; i < 500 * 504 / 63; ++i) f.data.insert(f.data.end(), {0xFF, 0x55});
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(f))) << image.GetLastError();
    EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(3999, 503), 1);
}

struct FailureCase {
    std::string name;
    Bytes file;
    const char* error;
};

std::vector<FailureCase> FailureCases() {
    auto file = [](auto change) {
        Pcx f;
        f.width = 2, f.height = 2, f.data = {1, 2, 3, 4}, f.trailer = Trailer();
        change(f);
        return Build(f);
    };
    const Bytes valid = file([](Pcx&) {});
    return {
        {"Empty", {}, "Can't read PCX image"},
        {"ShortHeader", Bytes(valid.begin(), valid.begin() + 127), "Can't read PCX image"},
        {"Manufacturer", file([](Pcx& f) { f.manufacturer = 11; }), "Error: Not a PCX file"},
        {"Encoding", file([](Pcx& f) { f.encoding = 0; }), "PCX file has unknown encoding scheme"},
        {"FivePlanes", file([](Pcx& f) { f.planes = 5; }), "Can't handle image with more than 4 planes"},
        {"DataEnds", Bytes(valid.begin(), valid.begin() + 131), "corrupted PCX"},
        {"RunWithoutValue", file([](Pcx& f) { f.data = {1, 2, 3, 0xC1}, f.trailer.clear(); }), "corrupted PCX"},
        {"RunPastImage", file([](Pcx& f) { f.data = {1, 2, 0xC3, 3}; }), "repeat count spans end of image"},
        {"Signature", file([](Pcx& f) { f.trailer = Trailer(11); }), "bad color map signature"},
        {"NoTrailer", file([](Pcx& f) { f.trailer.clear(); }), "bad color map signature"},
        {"TwoPlanesOfEightBits", file([](Pcx& f) { f.planes = 2, f.data = Bytes(8, 1); }),
         "Can't handle more than 1 bit per pixel"},
        {"ThreePlanesOfFourBits", file([](Pcx& f) { f.planes = 3, f.bits = 4, f.data = Bytes(12, 1); }),
         "Can't handle more than 1 bit per pixel"},
        {"FourPlanesOfTwoBits", file([](Pcx& f) { f.planes = 4, f.bits = 2, f.data = Bytes(16, 1); }),
         "Can't handle more than 1 bit per pixel"},
        // Damaged data is reported before the unsupported layout.
        {"TwoPlanesDataEnds", file([](Pcx& f) { f.planes = 2, f.data = Bytes(7, 1), f.trailer.clear(); }),
         "corrupted PCX"},
        {"XMaxBelowXMin", file([](Pcx& f) { f.xMin = 10, f.width = -1; }), "bad PCX image window"},
        {"YMaxBelowYMin", file([](Pcx& f) { f.yMin = 10, f.height = -3; }), "bad PCX image window"},
        {"WiderThanLine", file([](Pcx& f) { f.width = 3; }), "PCX lines too short for the image width"},
        {"WiderThanBitLine", file([](Pcx& f) { f.bits = 1, f.width = 17; }),
         "PCX lines too short for the image width"},
        {"NoPlanes", file([](Pcx& f) { f.planes = 0; }), "PCX lines too short for the image width"},
        // Far too few bytes for the picture: refused before anything is allocated.
        {"Huge", file([](Pcx& f) { f.width = f.height = f.bytesPerLine = 65535; }), "corrupted PCX"},
    };
}

class PcxFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(PcxFailure, FailsWithTextAndKeepsPreviousPicture) {
    const FailureCase& c = GetParam();
    ZImage image(5, 4, 8, FORMAT_BMP);
    EXPECT_FALSE(DecodeBytes(image, c.file));
    EXPECT_STREQ(image.GetLastError(), c.error);
    EXPECT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Files, PcxFailure, ::testing::ValuesIn(FailureCases()),
                         [](const auto& info) { return info.param.name; });

TEST(PcxDecode, NullStreamFailsWithoutText) {
    ZImagePCX codec;
    EXPECT_FALSE(codec.Decode(nullptr));
    EXPECT_STREQ(codec.GetLastError(), "");
}

TEST(PcxDecode, EscapeCancels) {
    Pcx f;
    f.data = {1, 2};
    f.trailer = Trailer();
    for (LONG escape : {-1, 1}) {
        ZImage image;
        image.SetEscape(escape);
        EXPECT_FALSE(DecodeBytes(image, Build(f)));
        EXPECT_STREQ(image.GetLastError(), "Cancelled");
    }
}

TEST(PcxDecode, DetectedWithoutType) {
    Pcx f;
    f.data = {7, 0};
    f.trailer = Trailer();
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, Build(f), FORMAT_UNKNOWN));
    EXPECT_EQ(image.GetType(), FORMAT_PCX);
    EXPECT_EQ(RgbaValues(image), std::vector<uint32_t>{TrailerColour(7)});
}

// Every truncation of valid files, and single-byte changes, must neither
// crash nor read or write out of bounds (run under the sanitizers).
TEST(PcxRobustness, TruncatedAndMutatedFiles) {
    std::set<std::string> texts;
    for (const FailureCase& c : FailureCases()) texts.insert(c.error);
    texts.insert("ZIMAGE_MAX_MEMORY exceeded");
    Damage damage;
    damage.values = {0x00, 0x01, 0x7F, 0x80, 0xC1, 0xFF};
    for (const LayoutCase& c : LayoutCases()) {
        SCOPED_TRACE(c.name);
        ExpectSurvivesDamage(Build(c.file), FORMAT_PCX, damage, FailsWithOneOf(texts));
    }
}

// ---------------------------------------------------------------- writing

void Paint(ZImage& image) {
    for (LONG y = 0; y < static_cast<LONG>(image.GetHeight()); ++y)
        for (LONG x = 0; x < static_cast<LONG>(image.GetWidth()); ++x) {
            if (image.IsIndexed())
                image.SetPixelIndex(x, y, static_cast<BYTE>(x * 7 + y * 3 + 1));
            else
                image.SetPixelColor(x, y, RGBQUAD{BYTE(x * 40), BYTE(y * 50 + 200), BYTE(x * y + 9), 0});
        }
    for (DWORD i = 0; i < image.GetNumColors(); ++i)
        image.SetPaletteColor(static_cast<BYTE>(i), BYTE(i * 3), BYTE(255 - i), BYTE(i * 5), 0);
}

Bytes EncodeToBytes(ZImage& image) {
    BYTE* buffer = nullptr;
    long size = 0;
    if (!image.Encode(buffer, size, FORMAT_PCX)) return {};
    Bytes file(buffer, buffer + size);
    free(buffer);
    return file;
}

struct WriteCase {
    std::string name;
    WORD bpp;
    bool alpha;
    DWORD width;
    int bits, planes, bytesPerLine, paletteInfo;
};

class PcxWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(PcxWrite, LaysOutFileAndReadsBack) {
    const WriteCase& c = GetParam();
    ZImage image(c.width, 3, c.bpp, FORMAT_BMP);
    Paint(image);
    if (c.bpp == 1) {
        // A two-colour file is black and white whatever the picture's palette.
        image.SetPaletteColor(0, 0, 0, 0, 0);
        image.SetPaletteColor(1, 255, 255, 255, 0);
    }
    image.SetXDPI(300);
    image.SetYDPI(72);
    if (c.alpha) {
        image.AlphaCreate();
        image.AlphaSet(1, 2, 100);
    }
    const Bytes file = EncodeToBytes(image);
    ASSERT_GT(file.size(), 128u) << image.GetLastError();
    const ByteBuilder start = ByteBuilder().U8(10).U8(5).U8(1).U8(c.bits).U16(0).U16(0).U16(c.width - 1).U16(2)
                                  .U16(300).U16(72);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 16), start.bytes());
    EXPECT_EQ(file[64], 0);
    EXPECT_EQ(file[65], c.planes);
    EXPECT_EQ(file[66] | file[67] << 8, c.bytesPerLine);
    EXPECT_EQ(file[68] | file[69] << 8, c.paletteInfo);
    EXPECT_EQ(Bytes(file.begin() + 70, file.begin() + 128), Bytes(58, 0));
    if (c.bpp == 4) {
        const RGBQUAD entry = image.GetPaletteColor(5);
        EXPECT_EQ(Bytes(file.begin() + 31, file.begin() + 34), (Bytes{entry.rgbRed, entry.rgbGreen, entry.rgbBlue}));
    }

    ZImage back;
    ASSERT_TRUE(DecodeBytes(back, file)) << back.GetLastError();
    EXPECT_EQ(back.GetBpp(), c.bpp);
    EXPECT_EQ(back.AlphaIsValid(), c.alpha);
    EXPECT_EQ(back.GetXDPI(), 300);
    EXPECT_EQ(back.GetYDPI(), 72);
    EXPECT_EQ(ToRgba(back), ToRgba(image));
    if (c.bpp <= 8) {
        for (DWORD i = 0; i < image.GetNumColors(); ++i)
            EXPECT_EQ(ZImage::RGBQUADtoRGB(back.GetPaletteColor(BYTE(i))),
                      ZImage::RGBQUADtoRGB(image.GetPaletteColor(BYTE(i))))
                << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, PcxWrite,
                         ::testing::Values(WriteCase{"Mono", 1, false, 20, 1, 1, 4, 0},
                                           WriteCase{"Sixteen", 4, false, 9, 1, 4, 2, 0},
                                           WriteCase{"Palette", 8, false, 6, 8, 1, 6, 0},
                                           WriteCase{"PaletteOddWidth", 8, false, 5, 8, 1, 6, 0},
                                           WriteCase{"TrueColour", 24, false, 4, 8, 3, 4, 1},
                                           WriteCase{"TrueColourOddWidth", 24, false, 7, 8, 3, 8, 1},
                                           WriteCase{"TrueColourAlpha", 24, true, 3, 8, 4, 4, 1}),
                         [](const auto& info) { return info.param.name; });

// Larger than the reader's block, with runs crossing lines and planes.
TEST(PcxWrite, LargeRoundTrip) {
    for (WORD bpp : {8, 24}) {
        ZImage image(301, 97, bpp, FORMAT_BMP);
        for (LONG y = 0; y < 97; ++y)
            for (LONG x = 0; x < 301; ++x) {
                // Stretches of distinct values between runs.
                const int v = (x / 50) % 2 ? (x * 131 + y * 71) * 2654435761u >> 9 : x / 70 + y / 5;
                if (bpp == 8)
                    image.SetPixelIndex(x, y, static_cast<BYTE>(v * 37));
                else
                    image.SetPixelColor(x, y, RGBQUAD{BYTE(v * 11), BYTE(x % 3 ? v : x), BYTE(200 + v), 0});
            }
        const Bytes file = EncodeToBytes(image);
        ASSERT_GT(file.size(), 16384u) << bpp;
        ZImage back;
        ASSERT_TRUE(DecodeBytes(back, file)) << back.GetLastError();
        EXPECT_EQ(ToRgba(back), ToRgba(image)) << bpp;
    }
}

TEST(PcxWrite, MonochromePaletteIsBlackThenWhite) {
    // White, black: the file's bits are inverted so that 0 stays dark.
    ZImage image(36, 1, 1, FORMAT_BMP);
    image.SetPaletteColor(0, 255, 255, 255, 0);
    image.SetPaletteColor(1, 0, 0, 0, 0);
    for (LONG x = 0; x < 36; ++x) image.SetPixelIndex(x, 0, x < 3 ? 1 : 0);
    const Bytes file = EncodeToBytes(image);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(Bytes(file.begin() + 16, file.begin() + 22), (Bytes{0, 0, 0, 255, 255, 255}));
    // Indices 1 1 1 0 ... inverted: 000 then 33 ones, padded to 6 bytes:
    // 1F FF FF FF F0 00.
    EXPECT_EQ(Bytes(file.begin() + 128, file.end()), (Bytes{0x1F, 0xC3, 0xFF, 0xC1, 0xF0, 0x00}));
    ZImage back;
    ASSERT_TRUE(DecodeBytes(back, file));
    EXPECT_EQ(ToRgba(back), ToRgba(image));
}

TEST(PcxWrite, RunsOfPixelsAndPadding) {
    // 65 equal bytes, a byte that needs a count, a plain byte, then the pad
    // byte of an odd width.
    ZImage image(67, 1, 8, FORMAT_BMP);
    for (LONG x = 0; x < 65; ++x) image.SetPixelIndex(x, 0, 5);
    image.SetPixelIndex(65, 0, 0xC5);
    image.SetPixelIndex(66, 0, 0x10);
    const Bytes file = EncodeToBytes(image);
    ASSERT_EQ(file.size(), 128u + 8 + 769);
    EXPECT_EQ(Bytes(file.begin() + 128, file.begin() + 136), (Bytes{0xFF, 5, 0xC2, 5, 0xC1, 0xC5, 0x10, 0}));
    EXPECT_EQ(file[136], 12);
}

// Fails every write once limit bytes have gone through.
class LimitedFile : public ZMemFile {
public:
    explicit LimitedFile(size_t limit) : m_limit(limit) { Open(); }
    size_t Write(const void* buffer, size_t size, size_t count) override {
        if (m_written + size * count > m_limit) return 0;
        m_written += size * count;
        return ZMemFile::Write(buffer, size, count);
    }

private:
    size_t m_limit;
    size_t m_written = 0;
};

TEST(PcxWrite, Refusals) {
    struct Case {
        DWORD width, height;
        WORD bpp;
        size_t writable;
        const char* error;
    };
    for (const Case& c : {Case{65535, 1, 8, 1 << 20, "PCX cannot hold this image size"},
                          Case{65537, 1, 1, 1 << 20, "PCX cannot hold this image size"},
                          Case{1, 65537, 1, 1 << 20, "PCX cannot hold this image size"},
                          Case{2, 2, 24, 0, "cannot write PCX header"},
                          Case{2, 2, 24, 128, "cannot write PCX data"}}) {
        ZImage image(c.width, c.height, c.bpp, FORMAT_BMP);
        ASSERT_TRUE(image.IsValid());
        LimitedFile out(c.writable);
        EXPECT_FALSE(image.Encode(&out, FORMAT_PCX));
        EXPECT_STREQ(image.GetLastError(), c.error);
    }
    ZImage widest(65536, 1, 1, FORMAT_BMP);
    EXPECT_FALSE(EncodeToBytes(widest).empty()) << widest.GetLastError();
}

#ifndef _WIN32
// Pillow reads no 4-plane 8-bit files, so the alpha layout is not among these.
TEST(PcxWrite, PillowReadsWrittenFiles) {
    if (!external::PillowAvailable()) GTEST_SKIP() << "/usr/bin/python3 with PIL not available";
    external::TempDir dir("zelvo-pcx-interop");
    for (WORD bpp : {1, 4, 8, 24}) {
        ZImage image(13, 7, bpp, FORMAT_BMP);
        Paint(image);
        if (bpp == 1) {
            image.SetPaletteColor(0, 255, 255, 255, 0);
            image.SetPaletteColor(1, 0, 0, 0, 0);
        }
        const std::string path = dir.File("w" + std::to_string(bpp) + ".pcx");
        ASSERT_TRUE(image.Save(path.c_str(), FORMAT_PCX)) << image.GetLastError();
        EXPECT_EQ(external::PillowRgba(path), ToRgba(image)) << bpp;
    }
}
#endif

// ---------------------------------------------------------------- corpus

// Files whose reference the reader must not match, because the format rules
// it follows give a different result. Each names why.
const CorpusExceptions& PcxExceptions() {
    static const CorpusExceptions exceptions = {
    };
    return exceptions;
}

TEST(PcxCorpus, DecodesToReferences) { ExpectCorpusMatches({"pcx/"}, FORMAT_PCX, PcxExceptions()); }

}  // namespace
