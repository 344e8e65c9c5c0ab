#include <gtest/gtest.h>

#include "TestImage.h"

namespace {

TEST(Palette, EmptyImageReadsZeroAndIgnoresWrites) {
    TestImage image;
    image.SetTransColor(Rgb(4, 5, 6));
    image.SetPaletteColor(0, 1, 2, 3, 4);
    image.SetPixelIndex(0, 0, 1);
    image.SetPixelColor(0, 0, Rgb(1, 1, 1), true);
    image.SetGrayPalette();
    EXPECT_EQ(image.GetPalette(), nullptr);
    EXPECT_EQ(image.GetPaletteSize(), 0u);
    EXPECT_TRUE(image.GetPaletteColor(0) == Rgb(0, 0, 0));
    EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(image.GetNearestIndex(Rgb(1, 1, 1)), 0);
    EXPECT_FALSE(image.IsGrayScale());
    EXPECT_TRUE(image.GetPixelColor(0, 0, true) == Rgb(4, 5, 6));
    EXPECT_TRUE(image.GetTransColor() == Rgb(4, 5, 6));
}

TEST(Palette, EntriesAreBoundedByTheColourCount) {
    TestImage image(2, 2, 4, 0);
    image.SetPaletteColor(15, 1, 2, 3, 4);
    image.SetPaletteColor(16, 9, 9, 9, 9);
    EXPECT_TRUE(image.GetPaletteColor(15) == Rgb(1, 2, 3, 4));
    EXPECT_TRUE(image.GetPaletteColor(16) == Rgb(0, 0, 0));
    image.SetPaletteColor(3, static_cast<DWORD>(0x00332211));
    EXPECT_TRUE(image.GetPaletteColor(3) == Rgb(0x11, 0x22, 0x33, 0));

    BYTE r = 0, g = 0, b = 0;
    EXPECT_TRUE(image.GetPaletteColor(15, &r, &g, &b));
    EXPECT_EQ(r, 1);
    EXPECT_EQ(b, 3);
    EXPECT_FALSE(image.GetPaletteColor(16, &r, &g, &b));

    BYTE reds[300], greens[300];
    for (int i = 0; i < 300; ++i) {
        reds[i] = static_cast<BYTE>(i);
        greens[i] = static_cast<BYTE>(255 - i);
    }
    image.SetPalette(300, reds, greens, nullptr);
    EXPECT_TRUE(image.GetPaletteColor(15) == Rgb(15, 240, 240, 4));

    TestImage rgb(2, 2, 24, 0);
    rgb.SetPalette(300, reds, greens, nullptr);
    EXPECT_EQ(rgb.GetPalette(), nullptr);

    const rgb_color triples[2] = {{10, 20, 30}, {40, 50, 60}};
    TestImage mono(2, 2, 1, 0);
    mono.SetPalette(triples, 5);
    EXPECT_TRUE(mono.GetPaletteColor(1) == Rgb(40, 50, 60));
}

TEST(Palette, GrayPaletteAndItsIdentityTest) {
    const struct { DWORD bpp; BYTE last; BYTE second; bool identity; } cases[] = {
        {1, 255, 255, false}, {4, 255, 17, false}, {8, 255, 1, true}};
    for (const auto& c : cases) {
        TestImage image(1, 1, c.bpp, 0);
        image.SetGrayPalette();
        const DWORD n = image.GetNumColors();
        EXPECT_TRUE(image.GetPaletteColor(static_cast<BYTE>(n - 1)) == Rgb(c.last, c.last, c.last));
        EXPECT_TRUE(image.GetPaletteColor(1) == Rgb(c.second, c.second, c.second));
        EXPECT_EQ(image.IsGrayScale(), c.identity);
    }
}

TEST(Palette, PackedPixelIndexes) {
    TestImage nibbles(4, 1, 4, 0);
    nibbles.SetPixelIndex(0, 0, 0x1F);
    EXPECT_EQ(nibbles.GetBits(0)[0], 0xF0);
    nibbles.SetPixelIndex(1, 0, 2);
    EXPECT_EQ(nibbles.GetBits(0)[0], 0xF2);
    EXPECT_EQ(nibbles.GetPixelIndex(1, 0), 2);
    EXPECT_EQ(nibbles.GetPixelIndex(0, 0), 0xF);

    TestImage bits(16, 1, 1, 0);
    bits.SetPixelIndex(9, 0, 3);
    EXPECT_EQ(bits.GetBits(0)[1], 0x40);
    EXPECT_EQ(bits.GetPixelIndex(9, 0), 1);
    bits.SetPixelIndex(9, 0, 2);
    EXPECT_EQ(bits.GetBits(0)[1], 0x00);
}

TEST(Palette, ReadsOutsideThePicture) {
    TestImage image(2, 2, 8, 0);
    image.SetPixelIndex(0, 0, 7);
    image.SetPaletteColor(7, 70, 71, 72, 0);
    image.SetPaletteColor(5, 50, 51, 52, 0);
    EXPECT_EQ(image.GetPixelIndex(-1, 0), 7);
    EXPECT_TRUE(image.GetPixelColor(5, 5, true) == Rgb(70, 71, 72));
    image.SetTransIndex(5);
    EXPECT_EQ(image.GetPixelIndex(-1, 0), 5);
    EXPECT_TRUE(image.GetPixelColor(2, 0, true) == Rgb(50, 51, 52));
    EXPECT_TRUE(image.GetTransColor() == Rgb(50, 51, 52));

    TestImage rgb(2, 2, 24, 0);
    rgb.SetPixelColor(0, 0, Rgb(1, 2, 3), false);
    rgb.AlphaCreate();
    rgb.AlphaSet(0, 0, 40);
    EXPECT_TRUE(rgb.GetPixelColor(-1, 0, false) == Rgb(1, 2, 3, 40));
    rgb.SetTransIndex(0);
    rgb.SetTransColor(Rgb(9, 8, 7));
    EXPECT_TRUE(rgb.GetPixelColor(-1, 0, true) == Rgb(9, 8, 7));
    EXPECT_TRUE(rgb.GetTransColor() == Rgb(9, 8, 7));

    TestImage none(0, 0, 24, 0);
    none.SetTransColor(Rgb(3, 3, 3));
    EXPECT_TRUE(none.GetPixelColor(0, 0, true) == Rgb(3, 3, 3));
    EXPECT_EQ(TestImage(0, 0, 8, 0).GetPixelIndex(0, 0), 0);
}

TEST(Palette, PixelColours) {
    TestImage rgb(2, 1, 24, 0);
    rgb.SetTransColor(Rgb(0, 0, 0));
    rgb.Info().transColor.rgbReserved = 33;
    rgb.SetPixelColor(1, 0, Rgb(10, 20, 30, 200), true);
    EXPECT_TRUE(rgb.GetPixelColor(1, 0, true) == Rgb(10, 20, 30, 33));
    rgb.AlphaCreate();
    rgb.SetPixelColor(1, 0, Rgb(10, 20, 30, 200), true);
    EXPECT_TRUE(rgb.GetPixelColor(1, 0, true) == Rgb(10, 20, 30, 200));
    EXPECT_TRUE(rgb.GetPixelColor(1, 0, false) == Rgb(10, 20, 30, 33));
    rgb.SetPixelColor(0, 0, static_cast<DWORD>(0x00030201));
    EXPECT_TRUE(rgb.GetPixelColor(0, 0, false) == Rgb(1, 2, 3, 33));
    EXPECT_EQ(rgb.GetPixelGray(1, 0), (10 * 306 + 20 * 601 + 30 * 117) >> 10);

    TestImage paletted(2, 1, 8, 0);
    paletted.SetPaletteColor(1, 200, 0, 0, 0);
    paletted.SetPaletteColor(2, 0, 200, 0, 9);
    paletted.AlphaCreate();
    paletted.SetPixelColor(0, 0, Rgb(190, 10, 10, 5), true);
    EXPECT_EQ(paletted.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(paletted.AlphaGet(0, 0), 255);
    paletted.SetPixelIndex(1, 0, 2);
    EXPECT_TRUE(paletted.GetPixelColor(1, 0, false) == Rgb(0, 200, 0, 9));
}

TEST(Palette, NearestIndexSearchAndMemo) {
    TestImage image(1, 1, 8, 0);
    for (int j = 0; j < 256; ++j) image.SetPaletteColor(static_cast<BYTE>(j), 255, 255, 255, 0);
    image.SetPaletteColor(3, 10, 20, 30, 0);
    image.SetPaletteColor(7, 10, 20, 30, 0);
    image.SetPaletteColor(9, 12, 20, 30, 1);
    EXPECT_EQ(image.GetNearestIndex(Rgb(10, 20, 30)), 3);
    EXPECT_EQ(image.GetNearestIndex(Rgb(13, 20, 30)), 9);
    EXPECT_EQ(image.GetNearestIndex(Rgb(11, 20, 30)), 3);  // tie 3 vs 9: lowest index

    // A second query for the same colour is answered by the memo, even if
    // the palette was changed behind the library's back...
    image.GetPalette()[3] = Rgb(255, 255, 255);
    EXPECT_EQ(image.GetNearestIndex(Rgb(11, 20, 30)), 3);
    // ...and any palette setter makes the next query search again.
    image.SetPaletteColor(100, 255, 255, 255, 0);
    EXPECT_EQ(image.GetNearestIndex(Rgb(11, 20, 30)), 7);
    image.GetPalette()[7] = Rgb(255, 255, 255);
    image.SetGrayPalette();
    EXPECT_EQ(image.GetNearestIndex(Rgb(11, 20, 30)), 20);

    image.SetClrImportant(4);
    EXPECT_EQ(image.GetNearestIndex(Rgb(200, 200, 200)), 3);
}

TEST(Palette, ClrImportantIsClamped) {
    const struct { DWORD bpp, count, expected; } cases[] = {
        {1, 5, 2}, {4, 20, 16}, {8, 200, 200}, {8, 300, 0}, {8, 0, 0}, {4, 3, 3}};
    for (const auto& c : cases) {
        TestImage image(1, 1, c.bpp, 0);
        image.SetClrImportant(c.count);
        EXPECT_EQ(image.GetClrImportant(), c.expected) << c.bpp << " " << c.count;
    }
    TestImage rgb(1, 1, 24, 0);
    rgb.SetClrImportant(5);
    EXPECT_EQ(rgb.GetClrImportant(), 0u);
}

TEST(Palette, StandardPalettes) {
    TestImage four(1, 1, 4, 0);
    four.SetStdPalette();
    EXPECT_TRUE(four.GetPaletteColor(1) == Rgb(128, 0, 0));
    EXPECT_TRUE(four.GetPaletteColor(7) == Rgb(192, 192, 192));
    EXPECT_TRUE(four.GetPaletteColor(15) == Rgb(255, 255, 255));

    TestImage eight(1, 1, 8, 0);
    eight.SetStdPalette();
    EXPECT_TRUE(eight.GetPaletteColor(6) == Rgb(0, 128, 128));
    EXPECT_TRUE(eight.GetPaletteColor(8) == Rgb(192, 220, 192));
    EXPECT_TRUE(eight.GetPaletteColor(9) == Rgb(166, 202, 240));
    // The rest covers the colour space: pure primaries are found exactly.
    for (RGBQUAD c : {Rgb(255, 0, 0), Rgb(0, 0, 255), Rgb(255, 255, 255), Rgb(0, 0, 0)}) {
        EXPECT_TRUE(eight.GetPaletteColor(eight.GetNearestIndex(c)) == c);
    }
}

TEST(Palette, BlendAndSwap) {
    TestImage image(3, 1, 4, 0);
    image.SetPaletteColor(0, 100, 0, 200, 7);
    image.BlendPalette(0x000000FF, 50);  // red
    EXPECT_TRUE(image.GetPaletteColor(0) == Rgb(177, 0, 100, 7));
    image.BlendPalette(0x00FF0000, 150);  // blue, counts as 100
    EXPECT_TRUE(image.GetPaletteColor(0) == Rgb(0, 0, 255, 7));

    image.SetPaletteColor(1, 1, 1, 1, 0);
    image.SetPaletteColor(2, 2, 2, 2, 0);
    image.SetPixelIndex(0, 0, 1);
    image.SetPixelIndex(1, 0, 2);
    image.SetPixelIndex(2, 0, 3);
    image.SwapIndex(1, 2);
    EXPECT_TRUE(image.GetPaletteColor(1) == Rgb(2, 2, 2));
    EXPECT_EQ(image.GetPixelIndex(0, 0), 2);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(2, 0), 3);
}

TEST(Palette, ColourConversions) {
    const RGBQUAD q = ZImage::RGBtoRGBQUAD(0x00336699);
    EXPECT_TRUE(q == Rgb(0x99, 0x66, 0x33, 0));
    EXPECT_EQ(ZImage::RGBQUADtoRGB(Rgb(0x99, 0x66, 0x33, 0xEE)), 0x00336699u);

    const RGBQUAD red = Rgb(255, 0, 0), green = Rgb(0, 255, 0);
    EXPECT_LT(ZImage::CompareColors(&red, &green), 0);
    EXPECT_GT(ZImage::CompareColors(&green, &red), 0);
    EXPECT_EQ(ZImage::CompareColors(&red, &red), 0);

    TestImage rgb(2, 1, 24, 0);  // rows of 8 bytes
    BYTE buffer[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    rgb.RGBtoBGR(buffer, 9);
    const BYTE swapped[9] = {3, 2, 1, 6, 5, 4, 9, 8, 7};
    EXPECT_EQ(memcmp(buffer, swapped, 9), 0);
    TestImage paletted(2, 1, 8, 0);
    paletted.RGBtoBGR(buffer, 9);
    EXPECT_EQ(memcmp(buffer, swapped, 9), 0);
}

}  // namespace
