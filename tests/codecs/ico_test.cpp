#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "ByteBuilder.h"
#include "CodecChecks.h"
#include "ExternalDecoders.h"
#include "Rgba.h"
#include "ZImage.h"
#include "codecs/ZImageICO.h"

namespace {

using Bytes = std::vector<uint8_t>;
// Pixel functions take x from the left and y from the bottom row.
using PixelFn = std::function<uint32_t(int x, int y)>;

// One directory entry with its image data.
struct Icon {
    int width = 2;
    int height = 2;
    uint16_t bitCount = 8;
    std::vector<uint32_t> palette;  // 0xRRGGBB
    Bytes colour;
    Bytes mask;
};

size_t Stride(int width, int bpp) { return (static_cast<size_t>(width) * bpp + 31) / 32 * 4; }

// Colour bitmap rows, bottom first, each padded to 4 bytes; 32-bit values
// are 0xAARRGGBB, lower depths palette indices.
Bytes Pixels(int width, int height, int bpp, const PixelFn& pixel) {
    Bytes out(Stride(width, bpp) * height, 0);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = out.data() + y * Stride(width, bpp);
        for (int x = 0; x < width; ++x) {
            const uint32_t v = pixel(x, y);
            switch (bpp) {
                case 32: row[4 * x + 3] = static_cast<uint8_t>(v >> 24); [[fallthrough]];
                case 24:
                    row[(bpp / 8) * x] = static_cast<uint8_t>(v);
                    row[(bpp / 8) * x + 1] = static_cast<uint8_t>(v >> 8);
                    row[(bpp / 8) * x + 2] = static_cast<uint8_t>(v >> 16);
                    break;
                case 8: row[x] = static_cast<uint8_t>(v); break;
                case 4: row[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4)); break;
                case 1: row[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8)); break;
            }
        }
    }
    return out;
}

Bytes Mask(int width, int height, const std::function<bool(int, int)>& masked) {
    return Pixels(width, height, 1, [&](int x, int y) { return masked(x, y) ? 1u : 0u; });
}

Bytes BuildIcons(const std::vector<Icon>& icons, uint16_t type = 1, uint16_t reserved = 0) {
    ByteBuilder file;
    file.U16(reserved).U16(type).U16(icons.size());
    size_t offset = 6 + 16 * icons.size();
    std::vector<Bytes> images;
    for (const Icon& icon : icons) {
        ByteBuilder image;
        image.U32(40).U32(icon.width).U32(2 * icon.height).U16(1).U16(icon.bitCount);
        image.U32(0).U32(icon.colour.size()).U32(0).U32(0).U32(icon.palette.size()).U32(0);
        for (uint32_t c : icon.palette) image.U8(c).U8(c >> 8).U8(c >> 16).U8(0);
        image.Bytes(icon.colour).Bytes(icon.mask);
        file.U8(icon.width).U8(icon.height).U8(0).U8(0).U16(1).U16(icon.bitCount);
        file.U32(image.size()).U32(offset);
        offset += image.size();
        images.push_back(image.bytes());
    }
    for (const Bytes& image : images) file.Bytes(image);
    return file.bytes();
}

bool DecodeBytes(ZImage& image, Bytes bytes, DWORD type = FORMAT_ICO) {
    return image.Decode(bytes.data(), static_cast<DWORD>(bytes.size()), type);
}

std::vector<uint32_t> Ramp(size_t n) {
    std::vector<uint32_t> palette;
    for (size_t i = 0; i < n; ++i) palette.push_back(static_cast<uint32_t>(0x10000 * i + 0x100 * (255 - i) + i / 2));
    return palette;
}

// An 8-bit icon whose pixels use indices 0 to used - 1, with a mask.
Icon Indexed8(int width, int height, int used, const std::function<bool(int, int)>& masked) {
    Icon icon;
    icon.width = width, icon.height = height, icon.palette = Ramp(256);
    icon.colour = Pixels(width, height, 8, [=](int x, int y) { return static_cast<uint32_t>((y * width + x) % used); });
    icon.mask = Mask(width, height, masked);
    return icon;
}

std::vector<uint8_t> AlphaPlane(ZImage& image) {
    std::vector<uint8_t> out;
    for (LONG y = 0; y < static_cast<LONG>(image.GetHeight()); ++y)
        for (LONG x = 0; x < static_cast<LONG>(image.GetWidth()); ++x) out.push_back(image.AlphaGet(x, y));
    return out;
}

// ---------------------------------------------------------------- directory

TEST(IcoDecode, FrameChoosesEntryAndCountIsReported) {
    std::vector<Icon> icons;
    for (int size : {1, 2, 3}) {
        Icon icon;
        icon.width = icon.height = size, icon.palette = Ramp(256);
        icon.colour = Pixels(size, size, 8, [=](int, int) { return static_cast<uint32_t>(size); });
        icon.mask = Mask(size, size, [](int, int) { return false; });
        icons.push_back(icon);
    }
    const Bytes file = BuildIcons(icons);

    ZImage second;
    second.SetFrame(1);
    ASSERT_TRUE(DecodeBytes(second, file));
    EXPECT_EQ(second.GetWidth(), 2u);
    EXPECT_EQ(second.GetPixelIndex(1, 1), 2);
    EXPECT_EQ(second.GetNumFrames(), 3);
    EXPECT_EQ(second.GetType(), FORMAT_ICO);

    for (LONG frame : {3, 5, -1}) {
        ZImage image(4, 4, 24, FORMAT_BMP);
        image.SetFrame(frame);
        EXPECT_FALSE(DecodeBytes(image, file)) << frame;
        EXPECT_EQ(image.GetNumFrames(), 3) << frame;
        EXPECT_EQ(image.GetWidth(), 4u) << frame;
    }
}

TEST(IcoDecode, DirectoryTypeAndReservedField) {
    const Icon icon = Indexed8(2, 2, 4, [](int x, int) { return x == 0; });
    ZImage asIcon, asCursor;
    ASSERT_TRUE(DecodeBytes(asIcon, BuildIcons({icon}, 1)));
    ASSERT_TRUE(DecodeBytes(asCursor, BuildIcons({icon}, 2)));
    EXPECT_EQ(ToRgba(asCursor), ToRgba(asIcon));
    EXPECT_EQ(asCursor.GetTransIndex(), asIcon.GetTransIndex());

    struct Case {
        uint16_t type, reserved;
    };
    for (const Case& c : {Case{0, 0}, Case{3, 0}, Case{1, 1}, Case{2, 0x100}}) {
        ZImageICO codec;
        Bytes file = BuildIcons({icon}, c.type, c.reserved);
        ZMemFile stream(file.data(), static_cast<DWORD>(file.size()));
        EXPECT_FALSE(codec.Decode(&stream)) << c.type << " " << c.reserved;
        EXPECT_STREQ(codec.GetLastError(), "");
    }
    ZImageICO codec;
    EXPECT_FALSE(codec.Decode(nullptr));
}

TEST(IcoDecode, ZeroSizeByteGivesZeroSize) {
    Icon icon = Indexed8(1, 1, 1, [](int, int) { return false; });
    Bytes file = BuildIcons({icon});
    file[6] = 0;  // the entry's width byte
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, file));
    EXPECT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 0u);
    EXPECT_EQ(image.GetHeight(), 1u);
}

// ---------------------------------------------------------------- masks

TEST(IcoDecode, IndexedMaskTakesLowestUnusedIndex) {
    const auto masked = [](int x, int y) { return (x + y) % 3 == 0; };
    const Icon icon = Indexed8(20, 12, 200, masked);
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, BuildIcons({icon})));
    EXPECT_EQ(image.GetTransIndex(), 200);
    EXPECT_FALSE(image.AlphaIsValid());
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(image.GetPixelIndex(x, y), masked(x, y) ? 200 : (y * 20 + x) % 200) << x << "," << y;
    EXPECT_EQ(image.GetPaletteColor(7).rgbRed, 7);
}

TEST(IcoDecode, IndexedMaskWithEveryIndexUsedKeepsAlpha) {
    const auto masked = [](int x, int) { return x < 3; };
    const Icon icon = Indexed8(16, 16, 256, masked);
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, BuildIcons({icon})));
    EXPECT_EQ(image.GetTransIndex(), -1);
    ASSERT_TRUE(image.AlphaIsValid());
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_EQ(image.AlphaGet(x, y), masked(x, y) ? 0 : 255);
    EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
}

TEST(IcoDecode, LowDepthIconsUseTheirPalette) {
    struct Case {
        uint16_t bpp;
        int used;
        LONG transIndex;  // -1: every index used, alpha carries the mask
    };
    for (const Case& c : {Case{1, 2, -1}, Case{1, 1, 1}, Case{4, 16, -1}, Case{4, 9, 9}}) {
        Icon icon;
        icon.width = 9, icon.height = 3, icon.bitCount = c.bpp, icon.palette = Ramp(1u << c.bpp);
        icon.colour = Pixels(9, 3, c.bpp, [&](int x, int y) { return static_cast<uint32_t>((x + 9 * y) % c.used); });
        icon.mask = Mask(9, 3, [](int x, int y) { return x == 8 && y == 2; });
        ZImage image;
        ASSERT_TRUE(DecodeBytes(image, BuildIcons({icon})));
        EXPECT_EQ(image.GetBpp(), c.bpp);
        EXPECT_EQ(image.GetTransIndex(), c.transIndex) << c.bpp << " " << c.used;
        EXPECT_EQ(image.AlphaIsValid(), c.transIndex == -1);
        EXPECT_EQ(image.GetPixelIndex(4, 1), (4 + 9) % c.used);
        EXPECT_EQ(ToRgba(image)[8 * 4 + 3], 0) << "top-right pixel is masked";
        EXPECT_EQ(ToRgba(image)[7 * 4 + 3], 255);
    }
}

TEST(IcoDecode, TrueColourMaskOfOneColourBecomesKeyColour) {
    Icon icon;
    icon.width = 5, icon.height = 4, icon.bitCount = 24;
    const auto masked = [](int x, int y) { return x == y; };
    icon.colour = Pixels(5, 4, 24, [&](int x, int y) { return masked(x, y) ? 0u : 0x203040u + x; });
    icon.mask = Mask(5, 4, masked);
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, BuildIcons({icon})));
    EXPECT_EQ(image.GetTransIndex(), 0);
    EXPECT_FALSE(image.AlphaIsValid());
    const RGBQUAD key = image.GetTransColor();
    EXPECT_EQ(key.rgbRed + key.rgbGreen + key.rgbBlue + key.rgbReserved, 0);

    icon.colour = Pixels(5, 4, 24, [&](int x, int y) { return masked(x, y) ? (x ? 0x0000FFu : 0u) : 0x203040u; });
    ZImage twoColours;
    ASSERT_TRUE(DecodeBytes(twoColours, BuildIcons({icon})));
    EXPECT_EQ(twoColours.GetTransIndex(), -1);
    ASSERT_TRUE(twoColours.AlphaIsValid());
    EXPECT_EQ(twoColours.AlphaGet(2, 2), 0);
    EXPECT_EQ(twoColours.AlphaGet(2, 1), 255);
}

TEST(IcoDecode, Rgba32KeepsItsAlphaWithMaskForcedToZero) {
    Icon icon;
    icon.width = 5, icon.height = 3, icon.bitCount = 32;
    icon.colour = Pixels(5, 3, 32, [](int x, int y) { return (0x10u * (x + 1) << 24) | (0x010203u * (y + 1)); });
    icon.mask = Mask(5, 3, [](int x, int y) { return x == 4 && y == 0; });
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, BuildIcons({icon})));
    EXPECT_EQ(image.GetBpp(), 24);
    ASSERT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(image.GetTransIndex(), -1);
    EXPECT_EQ(AlphaPlane(image), (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x40, 0, 0x10, 0x20, 0x30, 0x40, 0x50,
                                                       0x10, 0x20, 0x30, 0x40, 0x50}));
    const RGBQUAD c = image.GetPixelColor(3, 2, false);
    EXPECT_EQ((std::vector<int>{c.rgbRed, c.rgbGreen, c.rgbBlue}), (std::vector<int>{3, 6, 9}));
}

TEST(IcoDecode, FullMaskNegatesAndEmptyMaskLeavesOpaque) {
    Icon icon = Indexed8(3, 2, 6, [](int, int) { return true; });
    icon.mask.assign(icon.mask.size(), 0xFF);
    ZImage negated;
    ASSERT_TRUE(DecodeBytes(negated, BuildIcons({icon})));
    EXPECT_EQ(negated.GetTransIndex(), 0);
    EXPECT_FALSE(negated.AlphaIsValid());
    EXPECT_EQ(negated.GetPaletteColor(2).rgbRed, 255 - 2);
    EXPECT_EQ(negated.GetPixelIndex(2, 0), 2);

    Icon rgb;
    rgb.width = 2, rgb.height = 1, rgb.bitCount = 24;
    rgb.colour = Pixels(2, 1, 24, [](int x, int) { return x ? 0xFFFFFFu : 0x102030u; });
    rgb.mask = Bytes(4, 0xFF);
    ZImage negatedRgb;
    ASSERT_TRUE(DecodeBytes(negatedRgb, BuildIcons({rgb})));
    EXPECT_EQ(negatedRgb.GetPixelColor(0, 0, false).rgbRed, 0xEF);
    EXPECT_EQ(negatedRgb.GetPixelColor(1, 0, false).rgbBlue, 0);

    icon.mask.assign(icon.mask.size(), 0);
    ZImage opaque;
    ASSERT_TRUE(DecodeBytes(opaque, BuildIcons({icon})));
    EXPECT_EQ(opaque.GetTransIndex(), -1);
    EXPECT_FALSE(opaque.AlphaIsValid());
    EXPECT_EQ(opaque.GetPaletteColor(2).rgbRed, 2);
}

TEST(IcoDecode, UnreadableMaskLeavesNoTransparency) {
    const Icon icon = Indexed8(8, 8, 10, [](int x, int) { return x == 0; });
    Bytes file = BuildIcons({icon});
    file.resize(file.size() - 1);
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, file));
    EXPECT_EQ(image.GetTransIndex(), -1);
    EXPECT_FALSE(image.AlphaIsValid());
    EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
}

TEST(IcoDecode, OtherBitCountsAreNotConverted) {
    Icon icon;
    icon.width = 2, icon.height = 1, icon.bitCount = 16;
    icon.colour = {1, 2, 3, 4, 5, 6, 7, 8};
    icon.mask = Bytes(4, 0);
    ZImage image;
    ASSERT_TRUE(DecodeBytes(image, BuildIcons({icon})));
    EXPECT_EQ(image.GetBpp(), 24);
    const BYTE* row = image.GetBits(0);
    EXPECT_EQ(Bytes(row, row + 8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

// Every truncation and single-byte change of valid files: no crash, no
// access outside a buffer (run under the sanitizers).
TEST(IcoRobustness, TruncatedAndMutatedFiles) {
    Icon rgba;
    rgba.width = 3, rgba.height = 2, rgba.bitCount = 32;
    rgba.colour = Pixels(3, 2, 32, [](int x, int y) { return 0x80000000u + x + 16 * y; });
    rgba.mask = Mask(3, 2, [](int x, int) { return x == 1; });
    Icon small = Indexed8(3, 2, 3, [](int x, int) { return x == 2; });
    small.palette.resize(4);
    Damage damage;
    damage.values = {0x00, 0x01, 0x7F, 0x80, 0xFF};
    for (const Bytes& file : {BuildIcons({rgba}), BuildIcons({small, rgba}, 2)}) {
        ExpectSurvivesDamage(file, FORMAT_ICO, damage, [](const DamagedFile& d, bool ok, ZImage&) {
            // Short directories go unnoticed: from its count byte on, the file is read.
            if (d.cut) {
                EXPECT_EQ(ok, d.at >= 5);
            }
        });
    }
}

// ---------------------------------------------------------------- writer

Bytes EncodeIcon(ZImage& image) {
    BYTE* buffer = nullptr;
    long size = 0;
    EXPECT_TRUE(image.Encode(buffer, size, FORMAT_ICO)) << image.GetLastError();
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

uint32_t Le32At(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }
uint16_t Le16At(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

TEST(IcoWrite, TrueColourWithAlphaBecomes32Bit) {
    ZImage image(5, 3, 24, FORMAT_BMP);
    for (LONG y = 0; y < 3; ++y)
        for (LONG x = 0; x < 5; ++x) image.SetPixelColor(x, y, RGBQUAD{BYTE(x), BYTE(y), BYTE(x + y), 0});
    image.AlphaCreate();
    image.AlphaSet(1, 0, 0);
    image.AlphaSet(4, 2, 0);
    image.AlphaSet(2, 2, 77);
    const Bytes file = EncodeIcon(image);

    const size_t mask = 4 * 3;
    ASSERT_EQ(file.size(), 22 + 40 + 5 * 3 * 4 + mask);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 6), (Bytes{0, 0, 1, 0, 1, 0}));
    EXPECT_EQ(file[6], 5);
    EXPECT_EQ(file[7], 3);
    EXPECT_EQ(file[8], 0);                                 // colour count
    EXPECT_EQ(Le16At(file, 10), 0);                        // planes
    EXPECT_EQ(Le16At(file, 12), 32);                       // bit count
    EXPECT_EQ(Le32At(file, 14), 5u * 3 * 4 + mask + 40);   // bytes in resource
    EXPECT_EQ(Le32At(file, 18), 22u);
    EXPECT_EQ(Le32At(file, 22), 40u);
    EXPECT_EQ(Le32At(file, 30), 6u);                       // twice the height
    EXPECT_EQ(Le16At(file, 36), 32);
    EXPECT_EQ(Le32At(file, 42), 60u);                      // image size
    const size_t maskAt = file.size() - mask;
    EXPECT_EQ(Bytes(file.begin() + maskAt, file.end()), (Bytes{0x40, 0, 0, 0, 0, 0, 0, 0, 0x08, 0, 0, 0}));

    ZImage back;
    ASSERT_TRUE(DecodeBytes(back, file));
    EXPECT_EQ(AlphaPlane(back), AlphaPlane(image));
    EXPECT_EQ(back.GetPixelColor(3, 1, false).rgbRed, 4);
}

TEST(IcoWrite, TransparentIndexBecomesMask) {
    ZImage image(6, 2, 4, FORMAT_BMP);
    for (BYTE i = 0; i < 16; ++i) image.SetPaletteColor(i, BYTE(i * 10), BYTE(i), BYTE(0), BYTE(0));
    image.SetPaletteColor(5, image.GetPaletteColor(3));  // same colour as the transparent entry
    for (LONG x = 0; x < 6; ++x) {
        image.SetPixelIndex(x, 0, static_cast<BYTE>(x));
        image.SetPixelIndex(x, 1, 3);
    }
    image.SetTransIndex(3);
    const Bytes file = EncodeIcon(image);

    ASSERT_EQ(file.size(), 22 + 40 + 64 + 8 + 8);
    EXPECT_EQ(file[8], 16);
    EXPECT_EQ(Le16At(file, 12), 4);
    EXPECT_EQ(Le16At(file, 36), 4);
    EXPECT_EQ(Le32At(file, 14), 8u + 64 + 8 + 40);
    EXPECT_EQ(Bytes(file.end() - 8, file.end()), (Bytes{0x14, 0, 0, 0, 0xFC, 0, 0, 0}));

    ZImage back;
    ASSERT_TRUE(DecodeBytes(back, file));
    EXPECT_EQ(back.GetTransIndex(), 6);  // the lowest index no pixel uses
    EXPECT_EQ(back.GetPixelIndex(3, 0), 6);
    EXPECT_EQ(back.GetPixelIndex(2, 0), 2);
}

TEST(IcoWrite, RoundTripWithoutTransparency) {
    for (WORD bpp : {1, 4, 8, 24}) {
        ZImage image(7, 5, bpp, FORMAT_BMP);
        for (DWORD i = 0; i < image.GetNumColors(); ++i) image.SetPaletteColor(BYTE(i), BYTE(i), BYTE(3 * i), BYTE(7 * i));
        for (LONG y = 0; y < 5; ++y)
            for (LONG x = 0; x < 7; ++x)
                image.SetPixelColor(x, y, RGBQUAD{BYTE(7 * x), BYTE(21 * y), BYTE(x * y), 0});
        ZImage back;
        ASSERT_TRUE(DecodeBytes(back, EncodeIcon(image))) << bpp;
        EXPECT_EQ(back.GetBpp(), bpp);
        EXPECT_EQ(back.GetTransIndex(), -1);
        EXPECT_FALSE(back.AlphaIsValid());
        EXPECT_EQ(ToRgba(back), ToRgba(image)) << bpp;
    }
}

TEST(IcoWrite, Refusals) {
    struct Case {
        DWORD width, height;
        bool ok;
    };
    for (const Case& c : {Case{256, 256, false}, Case{256, 1, false}, Case{1, 256, false}, Case{255, 255, true}}) {
        ZImage image(c.width, c.height, 1, FORMAT_BMP);
        BYTE* buffer = nullptr;
        long size = 0;
        EXPECT_EQ(image.Encode(buffer, size, FORMAT_ICO), c.ok) << c.width << "x" << c.height;
        free(buffer);
        if (!c.ok) {
            EXPECT_STREQ(image.GetLastError(), "Can't save this image as icon");
        }
    }
}

#ifndef _WIN32
// Pillow's view of our icons: transparent where we are, the same colours
// everywhere else.
TEST(IcoWrite, PillowReadsWrittenFiles) {
    if (!external::PillowAvailable()) GTEST_SKIP() << "/usr/bin/python3 with PIL not available";
    external::TempDir dir("zelvo-ico-interop");
    struct Case {
        WORD bpp;
        bool alpha;
    };
    for (const Case& c : {Case{1, false}, Case{4, false}, Case{8, false}, Case{24, false}, Case{24, true}}) {
        ZImage image(11, 6, c.bpp, FORMAT_BMP);
        for (DWORD i = 0; i < image.GetNumColors(); ++i)
            image.SetPaletteColor(BYTE(i), BYTE(255 - i), BYTE(5 * i), BYTE(i));
        for (LONG y = 0; y < 6; ++y)
            for (LONG x = 0; x < 11; ++x) image.SetPixelColor(x, y, RGBQUAD{BYTE(20 * x), BYTE(40 * y), BYTE(x ^ y), 0});
        if (c.alpha) {
            image.AlphaCreate();
            for (LONG x = 0; x < 11; ++x) image.AlphaSet(x, 2, static_cast<BYTE>(x * 25));
        } else if (c.bpp <= 8) {
            image.SetTransIndex(image.GetPixelIndex(3, 3));
        }
        const std::string path = dir.File("w" + std::to_string(c.bpp) + (c.alpha ? "a" : "") + ".ico");
        ASSERT_TRUE(image.Save(path.c_str(), FORMAT_ICO)) << image.GetLastError();
        const Bytes ours = ToRgba(image), theirs = external::PillowRgba(path);
        ASSERT_EQ(theirs.size(), ours.size()) << path;
        for (size_t i = 0; i < ours.size(); i += 4) {
            ASSERT_EQ(theirs[i + 3], ours[i + 3]) << path << " pixel " << i / 4;
            if (ours[i + 3]) {
                ASSERT_EQ(Bytes(theirs.begin() + i, theirs.begin() + i + 3), Bytes(ours.begin() + i, ours.begin() + i + 3))
                    << path << " pixel " << i / 4;
            }
        }
    }
}
#endif

// ---------------------------------------------------------------- corpus

// Files whose reference this reader does not give, because the format
// rules it follows give another result. Each names why.
const CorpusExceptions& IcoExceptions() {
    static constexpr char kPng[] = "PNG image data: only DIB data is read, so the picture is not the reference";
    static constexpr char kZeroSize[] = "the entry's width byte is 0, which gives a picture 0 pixels wide";
    static const CorpusExceptions exceptions = {
        {"ico/image-rs/png-32bpp-alpha.ico", {nullptr, kPng}},
        {"ico/image-rs/png_l8.ico", {nullptr, kPng}},
        {"ico/image-rs/png_rgb8.ico", {nullptr, kPng}},
        {"ico/pillow/hopper_draw.ico", {nullptr, kPng}},
        {"ico/serenity/multiple-sizes-with-same-bpp.ico", {nullptr, kPng}},
        {"ico/image-rs/lenient-bpp.ico", {nullptr, kZeroSize}},
        {"ico/pillow/hopper_256x256.ico", {nullptr, kZeroSize}},
        {"ico/pillow/pillow.ico", {nullptr, kZeroSize}},
        {"ico/pillow/hopper_unexpected.ico", {nullptr, "the size comes from the directory entry, which says 16 x 32"}},
        {"ico/image-rs/bmp-32bpp-conflicting-and-mask.ico",
         {nullptr, "a mask of all 0xFF bytes marks an inverted picture: the colours are negated"}},
        {"cur/pillow/mask_L.cur",
         {nullptr, "masked pixels take the spare index 1, whose colour differs from the reference's under alpha 0"}},
    };
    return exceptions;
}

TEST(IcoCorpus, DecodesToReferences) {
    CorpusRules rules;
    rules.leastFiles = 21;
    ExpectCorpusMatches({"ico/", "cur/"}, FORMAT_ICO, IcoExceptions(), rules);
}

}  // namespace
