#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "TestImage.h"

namespace {

TEST(Alpha, PlaneLifecycle) {
    TestImage image(3, 2, 24, 0);
    EXPECT_EQ(image.AlphaGet(0, 0), 0);
    image.AlphaCreate();
    ASSERT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(image.AlphaGet(2, 1), 255);
    EXPECT_EQ(image.AlphaGet(-1, 0), 0);
    EXPECT_EQ(image.AlphaGet(3, 0), 0);
    image.AlphaSet(1, 1, 9);
    image.AlphaSet(3, 1, 9);  // outside: ignored
    EXPECT_EQ(image.AlphaGetBits()[1 * 3 + 1], 9);
    image.AlphaCreate();  // keeps the plane's values
    EXPECT_EQ(image.AlphaGet(1, 1), 9);
    image.AlphaInvert();
    EXPECT_EQ(image.AlphaGet(1, 1), 246);
    EXPECT_EQ(image.AlphaGet(0, 0), 0);
    image.AlphaSet(static_cast<BYTE>(60));
    EXPECT_EQ(image.AlphaGet(2, 0), 60);
    image.AlphaClear();
    EXPECT_EQ(image.AlphaGet(2, 0), 0);
    image.AlphaDelete();
    EXPECT_FALSE(image.AlphaIsValid());
}

TEST(Alpha, CopyAndSetFromAnotherImage) {
    TestImage target(4, 2, 24, 0);
    TestImage source(4, 2, 24, 0);
    EXPECT_FALSE(target.AlphaCopy(source));
    source.AlphaCreate();
    source.AlphaSet(3, 1, 12);
    source.AlphaSetMax(100);
    EXPECT_TRUE(target.AlphaCopy(source));
    EXPECT_EQ(target.AlphaGet(3, 1), 12);
    EXPECT_EQ(target.AlphaGetMax(), 100);
    TestImage other(5, 2, 24, 0);
    EXPECT_FALSE(other.AlphaCopy(source));

    TestImage mask(4, 2, 8, 0);
    EXPECT_FALSE(target.AlphaSet(mask));  // palette not the grey ramp
    mask.SetGrayPalette();
    mask.SetPixelIndex(2, 1, 77);
    EXPECT_TRUE(target.AlphaSet(mask));
    EXPECT_EQ(target.AlphaGet(2, 1), 77);
    EXPECT_EQ(target.AlphaGet(0, 0), 0);
}

TEST(Alpha, SetFromAPackedGreyImageReadsIndexes) {
    // A 1-bit image with palette 0, 1 is an identity ramp; its rows are
    // shorter than the width, so each index is read, not each byte.
    TestImage bits(12, 1, 1, 0);
    bits.SetPaletteColor(1, 1, 1, 1, 0);
    ASSERT_TRUE(bits.IsGrayScale());
    bits.SetPixelIndex(10, 0, 1);
    TestImage target(12, 1, 24, 0);
    EXPECT_TRUE(target.AlphaSet(bits));
    EXPECT_EQ(target.AlphaGet(10, 0), 1);
    EXPECT_EQ(target.AlphaGet(11, 0), 0);
}

TEST(Alpha, PaletteAlpha) {
    TestImage image(1, 1, 4, 0);
    EXPECT_FALSE(image.AlphaPaletteIsValid());
    image.SetPaletteColor(9, 0, 0, 0, 1);
    EXPECT_TRUE(image.AlphaPaletteIsValid());
    image.AlphaPaletteClear();
    EXPECT_FALSE(image.AlphaPaletteIsValid());
    EXPECT_FALSE(TestImage(1, 1, 24, 0).AlphaPaletteIsValid());
}

// Fills an 8-bit picture with index = 10 * y + x and alpha = x + 100 * y.
void FillNumbered(ZImage& image) {
    for (LONG y = 0; y < static_cast<LONG>(image.GetHeight()); ++y)
        for (LONG x = 0; x < static_cast<LONG>(image.GetWidth()); ++x) {
            image.SetPixelIndex(x, y, static_cast<BYTE>(10 * y + x));
            image.AlphaSet(x, y, static_cast<BYTE>(x + 100 * y));
        }
}

TEST(Transform, FlipReversesRowsAndAlpha) {
    TestImage image(2, 3, 8, FORMAT_TGA);
    image.AlphaCreate();
    FillNumbered(image);
    image.SetPaletteColor(21, 1, 2, 3, 0);
    image.SetTransIndex(4);
    BYTE* plane = static_cast<BYTE*>(malloc(6));
    memset(plane, 1, 6);
    image.SetSelection(plane);

    ASSERT_TRUE(image.Flip());
    for (LONG y = 0; y < 3; ++y)
        for (LONG x = 0; x < 2; ++x) {
            EXPECT_EQ(image.GetPixelIndex(x, y), 10 * (2 - y) + x);
            EXPECT_EQ(image.AlphaGet(x, y), x + 100 * (2 - y));
        }
    EXPECT_TRUE(image.GetPaletteColor(21) == Rgb(1, 2, 3));
    EXPECT_EQ(image.GetTransIndex(), 4);
    EXPECT_EQ(image.GetType(), FORMAT_TGA);
    EXPECT_FALSE(image.SelectionIsValid());
    EXPECT_FALSE(TestImage().Flip());
}

TEST(Transform, MirrorAtEveryDepth) {
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE(bpp);
        TestImage image(10, 2, bpp, 0);
        image.AlphaCreate();
        const BYTE top = bpp == 1 ? 1 : 9;
        for (LONG x = 0; x < 10; ++x) {
            image.AlphaSet(x, 1, static_cast<BYTE>(x));
            if (bpp == 24) {
                image.SetPixelColor(x, 1, Rgb(static_cast<BYTE>(x), 0, 0), false);
            } else {
                image.SetPixelIndex(x, 1, static_cast<BYTE>(x == 0 ? top : 0));
            }
        }
        ASSERT_TRUE(image.Mirror());
        for (LONG x = 0; x < 10; ++x) {
            EXPECT_EQ(image.AlphaGet(x, 1), 9 - x);
            if (bpp == 24) {
                EXPECT_EQ(image.GetPixelColor(x, 1, false).rgbRed, 9 - x);
            } else {
                EXPECT_EQ(image.GetPixelIndex(x, 1), x == 9 ? top : 0);
            }
        }
        ASSERT_TRUE(image.Mirror());
        if (bpp != 24) {
            EXPECT_EQ(image.GetPixelIndex(0, 1), top);
        }
    }
}

TEST(Transform, NegativeOfTrueColour) {
    TestImage white(2, 2, 24, 0);
    white.Clear(255);
    white.SetTransColor(Rgb(255, 0, 0));
    ASSERT_TRUE(white.Negative());
    EXPECT_TRUE(white.GetPixelColor(1, 1, false) == Rgb(0, 0, 0));
    EXPECT_TRUE(white.GetTransColor() == Rgb(0, 255, 255));

    // With a selection only the selected pixels inside its box change.
    TestImage selected(3, 1, 24, 0);
    BYTE* plane = static_cast<BYTE*>(calloc(3, 1));
    plane[0] = plane[2] = 1;
    selected.SetSelection(plane);
    selected.Info().selectionBox = RECT{1, 1, 3, 0};
    ASSERT_TRUE(selected.Negative());
    EXPECT_EQ(selected.GetPixelColor(0, 0, false).rgbRed, 0);
    EXPECT_EQ(selected.GetPixelColor(1, 0, false).rgbRed, 0);
    EXPECT_EQ(selected.GetPixelColor(2, 0, false).rgbRed, 255);
}

TEST(Transform, NegativeOfIndexedPictures) {
    TestImage colour(2, 1, 8, 0);
    colour.SetPaletteColor(3, 10, 20, 30, 5);
    colour.SetPixelIndex(0, 0, 3);
    colour.SetTransIndex(3);
    ASSERT_TRUE(colour.Negative());
    EXPECT_TRUE(colour.GetPaletteColor(3) == Rgb(245, 235, 225, 5));
    EXPECT_EQ(colour.GetPixelIndex(0, 0), 3);
    EXPECT_EQ(colour.GetTransIndex(), 3);

    TestImage ramp(2, 1, 8, 0);
    ramp.SetGrayPalette();
    ramp.SetPixelIndex(0, 0, 3);
    ASSERT_TRUE(ramp.Negative());
    EXPECT_EQ(ramp.GetPixelIndex(0, 0), 252);
    EXPECT_EQ(ramp.GetPixelIndex(1, 0), 255);
    EXPECT_TRUE(ramp.IsGrayScale());

    // Black and white is not the identity ramp: the colours swap, bits stay.
    TestImage mono(8, 1, 1, 0);
    mono.SetPaletteColor(1, 255, 255, 255, 0);
    mono.SetPixelIndex(2, 0, 1);
    ASSERT_TRUE(mono.Negative());
    EXPECT_TRUE(mono.GetPaletteColor(0) == Rgb(255, 255, 255));
    EXPECT_TRUE(mono.GetPaletteColor(1) == Rgb(0, 0, 0));
    EXPECT_EQ(mono.GetPixelIndex(2, 0), 1);
}

TEST(Transform, GrayScaleAtEveryDepth) {
    const RGBQUAD red = Rgb(255, 0, 0);
    const BYTE redGray = (255 * 306) >> 10;
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE(bpp);
        TestImage image(3, 2, bpp, 0);
        image.AlphaCreate();
        image.AlphaSet(1, 1, 50);
        if (bpp == 24) {
            image.SetPixelColor(1, 1, red, false);
        } else {
            image.SetPaletteColor(1, red);
            image.SetPixelIndex(1, 1, 1);
            image.SetTransIndex(1);
        }
        ASSERT_TRUE(image.GrayScale());
        EXPECT_EQ(image.GetBpp(), 8);
        EXPECT_TRUE(image.IsGrayScale());
        EXPECT_EQ(image.GetPixelIndex(1, 1), redGray);
        EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
        EXPECT_EQ(image.AlphaGet(1, 1), 50);
        EXPECT_EQ(image.GetTransIndex(), bpp == 24 ? -1 : redGray);
    }
}

TEST(Transform, IconMaskBecomesAlpha) {
    // A black-and-white mask, grey-scaled and inverted, gives alpha that is
    // opaque where the mask was black.
    TestImage mask(4, 1, 1, 0);
    mask.SetPaletteColor(1, 255, 255, 255, 0);
    mask.SetPixelIndex(1, 0, 1);
    ASSERT_TRUE(mask.GrayScale());
    EXPECT_EQ(mask.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(mask.GetPixelIndex(1, 0), 255);
    ASSERT_TRUE(mask.Negative());
    EXPECT_EQ(mask.GetPixelIndex(0, 0), 255);
    EXPECT_EQ(mask.GetPixelIndex(1, 0), 0);

    TestImage picture(4, 1, 24, 0);
    ASSERT_TRUE(picture.AlphaSet(mask));
    EXPECT_EQ(picture.AlphaGet(0, 0), 255);
    EXPECT_EQ(picture.AlphaGet(1, 0), 0);
}

TEST(Transform, SelectionCopy) {
    TestImage from(2, 2, 8, 0);
    TestImage to(2, 2, 8, 0);
    EXPECT_FALSE(to.SelectionCopy(from));
    BYTE* plane = static_cast<BYTE*>(calloc(4, 1));
    plane[3] = 1;
    from.SetSelection(plane);
    from.Info().selectionBox = RECT{1, 2, 2, 1};
    EXPECT_TRUE(to.SelectionCopy(from));
    EXPECT_TRUE(to.SelectionIsInside(1, 1));
    EXPECT_FALSE(to.SelectionIsInside(0, 1));
    RECT box;
    to.SelectionGetBox(box);
    EXPECT_EQ(box.left, 1);
    EXPECT_EQ(box.top, 2);
    TestImage other(3, 2, 8, 0);
    EXPECT_FALSE(other.SelectionCopy(from));
}

}  // namespace
