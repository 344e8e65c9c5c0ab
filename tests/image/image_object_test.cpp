#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "TestImage.h"

namespace {

TEST(ImageObject, FreshImageHasItsDefaults) {
    TestImage image(FORMAT_GIF);
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetType(), FORMAT_GIF);
    EXPECT_EQ(image.GetXDPI(), 96);
    EXPECT_EQ(image.GetYDPI(), 96);
    EXPECT_EQ(image.Head().biXPelsPerMeter, 3780);
    EXPECT_EQ(image.Head().biYPelsPerMeter, 3780);
    EXPECT_EQ(image.GetJpegQuality(), 90);
    EXPECT_EQ(image.GetTransIndex(), -1);
    EXPECT_EQ(image.AlphaGetMax(), 255);
    EXPECT_TRUE(image.IsEnabled());
    EXPECT_STREQ(image.GetVersion(), "ZImage 1.0");
    EXPECT_STREQ(image.GetLastError(), "");
    EXPECT_EQ(image.GetSize(), 0);
    EXPECT_EQ(image.GetBits(0), nullptr);
}

struct CreateCase {
    DWORD width, height, requestedBpp;
    WORD bpp;
    DWORD colours, effWidth;
    LONG size;
};

TEST(ImageObject, CreateNormalisesDepthAndLaysOutTheBlock) {
    const CreateCase cases[] = {
        {1, 1, 0, 1, 2, 4, 52},      {1, 1, 1, 1, 2, 4, 52},          {1, 1, 24, 24, 0, 4, 44},
        {3, 1, 24, 24, 0, 12, 52},   {10, 2, 2, 4, 16, 8, 120},       {10, 2, 3, 4, 16, 8, 120},
        {5, 3, 5, 8, 256, 8, 1088},  {4, 4, 16, 24, 0, 12, 88},       {4, 4, 32, 24, 0, 12, 88},
        {33, 1, 1, 1, 2, 8, 56},
    };
    for (const CreateCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.requestedBpp);
        TestImage image;
        ASSERT_NE(image.Create(c.width, c.height, c.requestedBpp, FORMAT_TGA), nullptr);
        EXPECT_EQ(image.GetBpp(), c.bpp);
        EXPECT_EQ(image.GetNumColors(), c.colours);
        EXPECT_EQ(image.GetEffWidth(), c.effWidth);
        EXPECT_EQ(image.Head().biSizeImage, c.effWidth * c.height);
        EXPECT_EQ(image.GetSize(), c.size);
        EXPECT_EQ(image.GetType(), FORMAT_TGA);
        EXPECT_EQ(image.Head().biSize, 40u);
        EXPECT_EQ(image.Head().biPlanes, 1);
        EXPECT_EQ(image.Head().biCompression, 0u);
        EXPECT_EQ(image.Head().biClrImportant, 0u);
        // The block starts with a copy of the header, then the zeroed palette.
        BITMAPINFOHEADER stored;
        memcpy(&stored, image.GetDIB(), sizeof(stored));
        EXPECT_EQ(memcmp(&stored, &image.Head(), sizeof(stored)), 0);
        const BYTE* palette = static_cast<const BYTE*>(image.GetDIB()) + 40;
        for (DWORD i = 0; i < 4 * c.colours; ++i) ASSERT_EQ(palette[i], 0);
        EXPECT_EQ(image.GetBits(0), palette + 4 * c.colours);
        EXPECT_EQ(image.Info().bits, image.GetBits(0));
    }
}

TEST(ImageObject, RowAddresses) {
    TestImage image(3, 4, 24, 0);
    EXPECT_EQ(image.GetBits(1), image.GetBits(0) + 12);
    EXPECT_EQ(image.GetBits(3), image.GetBits(0) + 36);
    EXPECT_EQ(image.GetBits(4), nullptr);
    EXPECT_EQ(image.GetBits(0xFFFFFFFF), nullptr);
}

TEST(ImageObject, CreateRefusesAboveTheMemoryCeiling) {
    TestImage image(10, 10, 8, 0);
    // 100000 x 100000 x 24 / 256 = 937,500,000 > 256,000,000
    EXPECT_EQ(image.Create(100000, 100000, 24, FORMAT_BMP), nullptr);
    EXPECT_STREQ(image.GetLastError(), "ZIMAGE_MAX_MEMORY exceeded");
    EXPECT_FALSE(image.IsValid());
    // Products that overflow 64 bits are refused the same way.
    EXPECT_EQ(image.Create(0xFFFFFFFF, 0xFFFFFFFF, 24, FORMAT_BMP), nullptr);
    EXPECT_STREQ(image.GetLastError(), "ZIMAGE_MAX_MEMORY exceeded");
}

TEST(ImageObject, BlockTooLargeToDescribeIsAFailedAllocation) {
    // Under the ceiling (40000 * 40000 * 24 / 256 = 150,000,000) but 4.8 GB
    // of rows, more than the 32-bit size fields can hold.
    TestImage image;
    EXPECT_EQ(image.Create(40000, 40000, 24, FORMAT_BMP), nullptr);
    EXPECT_STREQ(image.GetLastError(), "ZImage::Create can't allocate memory");
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 40000u);
}

TEST(ImageObject, DestroyKeepsTheSize) {
    TestImage image(7, 5, 8, 0);
    image.AlphaCreate();
    EXPECT_TRUE(image.Destroy());
    EXPECT_FALSE(image.IsValid());
    EXPECT_FALSE(image.AlphaIsValid());
    EXPECT_EQ(image.GetWidth(), 7u);
    EXPECT_EQ(image.GetHeight(), 5u);
}

// Counts destructions, to see that an image releases its layers.
class CountedLayer : public ZImage {
public:
    explicit CountedLayer(int* destroyed) : destroyed_(destroyed) {}
    ~CountedLayer() override { ++*destroyed_; }

private:
    int* destroyed_;
};

TEST(ImageObject, DestroyReleasesLayersThroughTheirDestructor) {
    int destroyed = 0;
    TestImage image(2, 2, 8, 0);
    ZImage** list = static_cast<ZImage**>(malloc(3 * sizeof(ZImage*)));
    list[0] = new CountedLayer(&destroyed);
    list[1] = nullptr;
    list[2] = new CountedLayer(&destroyed);
    image.SetLayers(list, 3);
    EXPECT_TRUE(image.Destroy());
    EXPECT_EQ(destroyed, 2);
}

TEST(ImageObject, CopyDuplicatesPixelsPaletteAndPlanes) {
    TestImage src(4, 3, 8, FORMAT_PCX);
    src.SetPaletteColor(5, 10, 20, 30, 0);
    src.SetPixelIndex(2, 1, 5);
    src.AlphaCreate();
    src.AlphaSet(2, 1, 77);
    src.SetTransIndex(5);

    TestImage copy(src);
    ASSERT_TRUE(copy.IsValid());
    EXPECT_NE(copy.GetDIB(), src.GetDIB());
    EXPECT_EQ(memcmp(copy.GetDIB(), src.GetDIB(), static_cast<size_t>(src.GetSize())), 0);
    EXPECT_EQ(copy.GetType(), FORMAT_PCX);
    EXPECT_EQ(copy.GetTransIndex(), 5);
    EXPECT_EQ(copy.AlphaGet(2, 1), 77);
    EXPECT_NE(copy.AlphaGetBits(), src.AlphaGetBits());
    EXPECT_EQ(copy.Info().bits, copy.GetBits(0));

    TestImage noPixels(src, false, true, false);
    EXPECT_TRUE(noPixels.GetPaletteColor(5) == src.GetPaletteColor(5));
    EXPECT_EQ(noPixels.GetWidth(), 4u);
    EXPECT_FALSE(noPixels.AlphaIsValid());

    TestImage assigned;
    assigned = src;
    EXPECT_EQ(assigned.GetPixelIndex(2, 1), 5);
    assigned = assigned;
    EXPECT_EQ(assigned.GetPixelIndex(2, 1), 5);
}

TEST(ImageObject, TransferMovesEverythingAndEmptiesTheSource) {
    TestImage from(6, 2, 24, FORMAT_TGA);
    from.AlphaCreate();
    from.SetTransIndex(3);
    void* block = from.GetDIB();

    TestImage to(3, 3, 8, 0);
    ASSERT_TRUE(to.Transfer(from));
    EXPECT_EQ(to.GetDIB(), block);
    EXPECT_EQ(to.GetWidth(), 6u);
    EXPECT_EQ(to.GetType(), FORMAT_TGA);
    EXPECT_TRUE(to.AlphaIsValid());
    EXPECT_EQ(to.GetTransIndex(), 3);

    EXPECT_FALSE(from.IsValid());
    EXPECT_FALSE(from.AlphaIsValid());
    EXPECT_EQ(from.GetWidth(), 0u);
    EXPECT_EQ(from.GetHeight(), 0u);
    EXPECT_EQ(from.GetType(), 0u);
    EXPECT_EQ(from.GetTransIndex(), 0);
}

TEST(ImageObject, GhostBorrowsAndReleasesNothing) {
    TestImage owner(5, 5, 8, FORMAT_BMP);
    owner.SetPixelIndex(1, 1, 9);
    {
        TestImage ghost;
        ghost.Ghost(&owner);
        EXPECT_EQ(ghost.GetDIB(), owner.GetDIB());
        EXPECT_EQ(ghost.GetPixelIndex(1, 1), 9);
        EXPECT_FALSE(ghost.Destroy());
        EXPECT_EQ(ghost.Create(2, 2, 8, 0), nullptr);
        TestImage other(2, 2, 8, 0);
        EXPECT_FALSE(ghost.Transfer(other));
        EXPECT_TRUE(other.IsValid());
        // A copy into a ghost must not write into the borrowed block.
        other.SetPaletteColor(0, 1, 2, 3, 0);
        ghost.Copy(other);
        EXPECT_TRUE(owner.GetPaletteColor(0) == Rgb(0, 0, 0));
    }
    EXPECT_TRUE(owner.IsValid());
    EXPECT_EQ(owner.GetPixelIndex(1, 1), 9);
}

TEST(ImageObject, CopyInfoOnlyIntoAnEmptyImage) {
    TestImage src(2, 2, 8, FORMAT_GIF);
    src.SetFrame(4);
    TestImage empty;
    empty.CopyInfo(src);
    EXPECT_EQ(empty.GetFrame(), 4);
    EXPECT_EQ(empty.GetType(), FORMAT_GIF);
    TestImage valid(2, 2, 8, 0);
    valid.CopyInfo(src);
    EXPECT_EQ(valid.GetFrame(), 0);
}

TEST(ImageObject, SettingsTouchOnlyTheirField) {
    TestImage image;
    image.SetFlags(0x12345678, true);
    EXPECT_EQ(image.GetFlags(), 0x5678u);
    image.SetFlags(0x12345678, false);
    EXPECT_EQ(image.GetFlags(), 0x12345678u);

    const struct { LONG dpi, perMetre; } dpis[] = {{96, 3780}, {72, 2835}, {300, 11811}, {0, 0}};
    for (const auto& d : dpis) {
        image.SetXDPI(d.dpi);
        image.SetYDPI(d.dpi);
        EXPECT_EQ(image.Head().biXPelsPerMeter, d.perMetre);
        EXPECT_EQ(image.Head().biYPelsPerMeter, d.perMetre);
    }

    image.SetTransColor(Rgb(1, 2, 3, 99));
    EXPECT_EQ(image.Info().transColor.rgbReserved, 0);
    EXPECT_EQ(image.Info().transColor.rgbRed, 1);

    LONG x = 0, y = 0;
    image.SetOffset(-4, 9);
    image.GetOffset(&x, &y);
    EXPECT_EQ(x, -4);
    EXPECT_EQ(y, 9);
}

TEST(ImageObject, ColourTypeAndInsideTest) {
    TestImage paletted(4, 2, 8, 0);
    TestImage rgb(4, 2, 24, 0);
    EXPECT_EQ(paletted.GetColorType(), 1);
    EXPECT_EQ(rgb.GetColorType(), 2);
    rgb.AlphaCreate();
    EXPECT_EQ(rgb.GetColorType(), 4);

    EXPECT_TRUE(rgb.IsInside(0, 0));
    EXPECT_TRUE(rgb.IsInside(3, 1));
    EXPECT_FALSE(rgb.IsInside(4, 0));
    EXPECT_FALSE(rgb.IsInside(0, 2));
    EXPECT_FALSE(rgb.IsInside(-1, 0));
}

TEST(ImageObject, ClearFillsRowsButNotPalette) {
    TestImage image(3, 2, 8, 0);
    image.SetPaletteColor(0, 9, 9, 9, 0);
    image.Clear(0xAB);
    for (DWORD i = 0; i < image.Head().biSizeImage; ++i) ASSERT_EQ(image.GetBits(0)[i], 0xAB);
    EXPECT_TRUE(image.GetPaletteColor(0) == Rgb(9, 9, 9));
}

struct BitfieldCase {
    WORD red, green, blue;
    WORD pixel;
    BYTE r, g, b;
};

TEST(ImageObject, Bitfield2RGBExpands16BitFields) {
    const BitfieldCase cases[] = {
        {0x7C00, 0x03E0, 0x001F, 0x7FFF, 0xF8, 0xF8, 0xF8},
        {0x7C00, 0x03E0, 0x001F, 0x7C00, 0xF8, 0x00, 0x00},
        {0x7C00, 0x03E0, 0x001F, 0x0021, 0x00, 0x08, 0x08},
        {0xF800, 0x07E0, 0x001F, 0xFFFF, 0xF8, 0xFC, 0xF8},
        {0xF800, 0x07E0, 0x001F, 0x07E0, 0x00, 0xFC, 0x00},
        {0xF800, 0x07E0, 0x001F, 0x0801, 0x08, 0x00, 0x08},
        // Overlapping full-word masks: fields shifted out entirely.
        {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x00, 0x00, 0xFF},
    };
    for (const BitfieldCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.green << " " << c.pixel);
        TestImage image(3, 2, 24, 0);
        // 16-bit rows padded to 4 bytes: 8 bytes per row for 3 pixels.
        BYTE src[16] = {};
        for (int row = 0; row < 2; ++row)
            for (int x = 0; x < 3; ++x) {
                src[row * 8 + 2 * x] = static_cast<BYTE>(c.pixel);
                src[row * 8 + 2 * x + 1] = static_cast<BYTE>(c.pixel >> 8);
            }
        image.Bitfield2RGB(src, c.red, c.green, c.blue, 16);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) EXPECT_TRUE(image.GetPixelColor(x, y, false) == Rgb(c.r, c.g, c.b));
    }
}

TEST(ImageObject, Bitfield2RGBWorksInPlaceAndFrom32Bits) {
    // The 16-bit source sits at the start of the image's own rows.
    TestImage image(5, 3, 24, 0);
    BYTE* rows = image.GetBits(0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const WORD w = static_cast<WORD>((x << 10) | (y << 5) | (x + y));
            rows[y * 12 + 2 * x] = static_cast<BYTE>(w);
            rows[y * 12 + 2 * x + 1] = static_cast<BYTE>(w >> 8);
        }
    image.Bitfield2RGB(rows, 0x7C00, 0x03E0, 0x001F, 16);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_TRUE(image.GetPixelColor(x, y, false) ==
                        Rgb(static_cast<BYTE>(x << 3), static_cast<BYTE>(y << 3), static_cast<BYTE>((x + y) << 3)));

    BYTE src32[2 * 2 * 4] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    TestImage wide(2, 2, 24, 0);
    wide.Bitfield2RGB(src32, 0, 0, 0, 32);
    EXPECT_TRUE(wide.GetPixelColor(1, 0, false) == Rgb(7, 6, 5));
    EXPECT_TRUE(wide.GetPixelColor(0, 1, false) == Rgb(11, 10, 9));
}

}  // namespace
