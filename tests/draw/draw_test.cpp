// Drawing into memory device contexts on the real GDI, checked pixel by
// pixel, and the exchange with global blocks, bitmaps, icons and resources.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ZErrors.h"
#include "ZImage.h"

namespace {

// A memory context drawing into a top-down 32-bit DIB section, so every
// pixel can be read back exactly.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(255, 255, 255)) : m_width(width), m_height(height) {
        BITMAPINFO format{};
        format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        format.bmiHeader.biWidth = width;
        format.bmiHeader.biHeight = -height;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        m_dc = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(m_dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bits = static_cast<DWORD*>(bits);
        m_old = SelectObject(m_dc, m_bitmap);
        Fill(fill);
    }
    ~Canvas() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return m_dc; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    void Fill(COLORREF c) {
        GdiFlush();
        for (int i = 0; i < m_width * m_height; ++i) m_bits[i] = GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
    }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const DWORD v = m_bits[y * m_width + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // The first pixel that differs from expected(x, y), or "" when none does.
    std::string Compare(const std::function<COLORREF(int, int)>& expected) const {
        for (int y = 0; y < m_height; ++y)
            for (int x = 0; x < m_width; ++x)
                if (At(x, y) != expected(x, y)) return Describe(x, y, expected(x, y));
        return "";
    }

private:
    std::string Describe(int x, int y, COLORREF want) const {
        auto text = [](COLORREF c) {
            return "(" + std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," +
                   std::to_string(GetBValue(c)) + ")";
        };
        return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " + text(At(x, y)) + ", expected " +
               text(want);
    }

    int m_width;
    int m_height;
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
    DWORD* m_bits;
};

RGBQUAD Quad(COLORREF c) { return RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0}; }
COLORREF Ref(RGBQUAD c) { return RGB(c.rgbRed, c.rgbGreen, c.rgbBlue); }

// A 24-bit picture whose pixel (x, y), y counted from the top, is colour(x, y).
void Paint24(ZImage& image, DWORD width, DWORD height, const std::function<COLORREF(int, int)>& colour) {
    image.Create(width, height, 24, FORMAT_BMP);
    for (DWORD y = 0; y < height; ++y)
        for (DWORD x = 0; x < width; ++x)
            image.SetPixelColor(x, height - 1 - y, Quad(colour(x, y)), false);
}

// An 8-bit picture with palette entry i = palette[i], pixel (x, y) from the
// top = index(x, y).
void Paint8(ZImage& image, DWORD width, DWORD height, const std::vector<COLORREF>& palette,
            const std::function<BYTE(int, int)>& index) {
    image.Create(width, height, 8, FORMAT_BMP);
    for (size_t i = 0; i < palette.size(); ++i) image.SetPaletteColor(static_cast<BYTE>(i), palette[i]);
    for (DWORD y = 0; y < height; ++y)
        for (DWORD x = 0; x < width; ++x) image.SetPixelIndex(x, height - 1 - y, index(x, y));
}

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kGrey = RGB(50, 60, 70);
const COLORREF kQuadrants[2][2] = {{RGB(255, 0, 0), RGB(0, 255, 0)}, {RGB(0, 0, 255), RGB(10, 20, 30)}};

void PaintQuadrants(ZImage& image, DWORD bpp) {
    if (bpp == 24) {
        Paint24(image, 2, 2, [](int x, int y) { return kQuadrants[y][x]; });
    } else {
        Paint8(image, 2, 2, {kQuadrants[0][0], kQuadrants[0][1], kQuadrants[1][0], kQuadrants[1][1]},
               [](int x, int y) { return static_cast<BYTE>(y * 2 + x); });
    }
}

TEST(Stretch, RepeatsWholePixelsWithoutBlending) {
    for (DWORD bpp : {8u, 24u}) {
        SCOPED_TRACE("bpp " + std::to_string(bpp));
        ZImage image;
        PaintQuadrants(image, bpp);
        Canvas canvas(64, 32);
        EXPECT_EQ(image.Stretch(canvas.dc(), 0, 0, 64, 32, SRCCOPY), 1);
        EXPECT_EQ(canvas.Compare([](int x, int y) { return kQuadrants[y / 16][x / 32]; }), "");

        Canvas byRect(64, 32);
        const RECT whole{0, 0, 64, 32};
        EXPECT_EQ(image.Stretch(byRect.dc(), whole, SRCCOPY), 1);
        EXPECT_EQ(byRect.Compare([](int x, int y) { return kQuadrants[y / 16][x / 32]; }), "");
    }
}

TEST(Stretch, EmptyPictureDrawsNothingDisabledOneDraws) {
    Canvas canvas(8, 8);
    ZImage empty;
    EXPECT_EQ(empty.Stretch(canvas.dc(), 0, 0, 8, 8, SRCCOPY), 0);
    EXPECT_EQ(canvas.Compare([](int, int) { return kWhite; }), "");

    ZImage disabled;
    Paint24(disabled, 1, 1, [](int, int) { return kGrey; });
    disabled.Enable(false);
    EXPECT_EQ(disabled.Stretch(nullptr, 0, 0, 8, 8, SRCCOPY), 0);
    EXPECT_EQ(disabled.Stretch(canvas.dc(), 0, 0, 8, 8, SRCCOPY), 1);
    EXPECT_EQ(canvas.Compare([](int, int) { return kGrey; }), "");
}

// The thumbnail of a skin: the picture scaled into a white 64 x 64 square
// at the position and size the settings dialog computes.
TEST(Stretch, ThumbnailGeometry) {
    const struct {
        DWORD width, height;
        RECT drawn;  // left, top, right, bottom
    } cases[] = {
        {200, 100, {0, 16, 64, 48}}, {100, 300, {21, 0, 42, 64}}, {50, 50, {0, 0, 64, 64}},
        {1, 1, {0, 0, 64, 64}},      {640, 1, {0, 32, 64, 32}},
    };
    const COLORREF picture = RGB(200, 30, 90);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        ZImage image;
        Paint24(image, c.width, c.height, [&](int, int) { return picture; });
        Canvas canvas(64, 64);
        const RECT& r = c.drawn;
        EXPECT_EQ(image.Stretch(canvas.dc(), r.left, r.top, r.right - r.left, r.bottom - r.top, SRCCOPY), 1);
        EXPECT_EQ(canvas.Compare([&](int x, int y) {
            return x >= r.left && x < r.right && y >= r.top && y < r.bottom ? picture : kWhite;
        }),
                  "");
    }
}

TEST(Draw, NaturalSizeCopiesThePictureAtItsPlace) {
    ZImage image;
    Paint24(image, 3, 2, [](int x, int y) { return RGB(x * 80, y * 90, 7); });
    for (long size : {-1L, 3L}) {
        Canvas canvas(16, 16, kGrey);
        EXPECT_EQ(image.Draw(canvas.dc(), 5, 4, size, size == 3 ? 2 : -1, nullptr), 1);
        EXPECT_EQ(canvas.Compare([](int x, int y) {
            return x >= 5 && x < 8 && y >= 4 && y < 6 ? RGB((x - 5) * 80, (y - 4) * 90, 7) : kGrey;
        }),
                  "");
    }
}

TEST(Draw, NothingToDrawReturnsZero) {
    ZImage image;
    Paint24(image, 2, 2, [](int, int) { return kWhite; });
    Canvas canvas(4, 4, kGrey);
    EXPECT_EQ(image.Draw(canvas.dc(), 0, 0, 0, 2, nullptr), 0);
    EXPECT_EQ(image.Draw(canvas.dc(), 0, 0, 2, 0, nullptr), 0);
    EXPECT_EQ(image.Draw(nullptr, 0, 0, 2, 2, nullptr), 0);
    image.Enable(false);
    EXPECT_EQ(image.Draw(canvas.dc(), 0, 0, 2, 2, nullptr), 0);
    EXPECT_EQ(image.Draw2(canvas.dc(), 0, 0, 2, 2), 0);
    ZImage empty;
    EXPECT_EQ(empty.Draw(canvas.dc(), 0, 0, 2, 2, nullptr), 0);
    EXPECT_EQ(canvas.Compare([](int, int) { return kGrey; }), "");
}

// Scaling picks source pixels by nearest neighbour, rows counted from the
// bottom with the single-precision factors the library uses.
TEST(Draw, ScaledPicksNearestPixels) {
    const struct {
        DWORD width, height;
        long cx, cy;
        std::function<int(int)> sourceColumn;  // of a destination column from the left edge
        std::function<int(int)> sourceRow;     // of a destination row from the top edge, source rows from the top
    } cases[] = {
        {2, 2, 8, 8, [](int i) { return i / 4; }, [](int j) { return j / 4; }},
        {3, 3, 6, 6, [](int i) { return i / 2; }, [](int j) { return j / 2; }},
        // 2/6 held as a float is a little above a third: the bottom image
        // row takes four of the six lines.
        {2, 2, 8, 6, [](int i) { return i / 4; }, [](int j) { return j < 2 ? 0 : 1; }},
        {4, 4, 2, 2, [](int i) { return i * 2; }, [](int j) { return j * 2 + 1; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " to " + std::to_string(c.cx) + "x" +
                     std::to_string(c.cy));
        ZImage image;
        auto colour = [](int x, int y) { return RGB(x * 60 + 10, y * 60 + 20, 99); };
        Paint24(image, c.width, c.height, colour);
        Canvas canvas(12, 12, kGrey);
        EXPECT_EQ(image.Draw(canvas.dc(), 1, 2, c.cx, c.cy, nullptr), 1);
        EXPECT_EQ(canvas.Compare([&](int x, int y) {
            if (x < 1 || x >= 1 + c.cx || y < 2 || y >= 2 + c.cy) return kGrey;
            return colour(c.sourceColumn(x - 1), c.sourceRow(y - 2));
        }),
                  "");
    }
}

TEST(Draw, BlendsWithAlphaAndCeiling) {
    const struct {
        COLORREF source, destination;
        BYTE alpha, ceiling;
        COLORREF expected;
    } cases[] = {
        {RGB(0, 0, 0), kWhite, 0, 255, kWhite},
        {RGB(0, 0, 0), kWhite, 128, 255, RGB(126, 126, 126)},
        {RGB(0, 0, 0), kWhite, 255, 255, RGB(0, 0, 0)},
        {kWhite, RGB(0, 0, 0), 128, 255, RGB(127, 127, 127)},
        {RGB(200, 100, 0), RGB(0, 100, 200), 64, 255, RGB(50, 99, 149)},
        {RGB(0, 0, 0), kWhite, 255, 128, RGB(126, 126, 126)},
        {RGB(0, 0, 0), kWhite, 255, 0, kWhite},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("alpha " + std::to_string(c.alpha) + ", ceiling " + std::to_string(c.ceiling));
        for (long size : {-1L, 2L}) {
            ZImage image;
            Paint24(image, 1, 1, [&](int, int) { return c.source; });
            image.AlphaCreate();
            image.AlphaSet(0, 0, c.alpha);
            image.AlphaSetMax(c.ceiling);
            Canvas canvas(4, 4, c.destination);
            EXPECT_EQ(image.Draw(canvas.dc(), 1, 1, size, size, nullptr), 1);
            const int extent = size < 0 ? 1 : 2;
            EXPECT_EQ(canvas.Compare([&](int x, int y) {
                return x >= 1 && x < 1 + extent && y >= 1 && y < 1 + extent ? c.expected : c.destination;
            }),
                      "")
                << "size " << size;
        }
    }
}

TEST(Draw, PaletteAlphaScalesTheLevel) {
    ZImage image;
    Paint8(image, 1, 1, {RGB(0, 0, 0)}, [](int, int) { return BYTE{0}; });
    image.SetPaletteColor(0, 0, 0, 0, 128);
    image.AlphaPaletteEnable(true);
    Canvas canvas(1, 1, kWhite);
    EXPECT_EQ(image.Draw(canvas.dc(), 0, 0, -1, -1, nullptr), 1);
    EXPECT_EQ(canvas.At(0, 0), RGB(126, 126, 126));
}

TEST(Draw, ColourKeyLeavesTheDestination) {
    const std::vector<COLORREF> palette = {RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(9, 9, 9)};
    auto index = [](int x, int y) { return static_cast<BYTE>((x + y) % 4); };
    for (long scale : {1L, 2L}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        ZImage indexed;
        Paint8(indexed, 4, 4, palette, index);
        indexed.SetTransIndex(3);
        ZImage direct;
        Paint24(direct, 4, 4, [&](int x, int y) { return palette[index(x, y)]; });
        direct.SetTransIndex(0);
        direct.SetTransColor(Quad(palette[3]));
        for (ZImage* image : {&indexed, &direct}) {
            Canvas canvas(10, 10, kGrey);
            EXPECT_EQ(image->Draw(canvas.dc(), 1, 1, 4 * scale, 4 * scale, nullptr), 1);
            EXPECT_EQ(canvas.Compare([&](int x, int y) {
                if (x < 1 || x >= 1 + 4 * scale || y < 1 || y >= 1 + 4 * scale) return kGrey;
                const BYTE i = index((x - 1) / scale, (y - 1) / scale);
                return i == 3 ? kGrey : palette[i];
            }),
                      "")
                << (image == &indexed ? "palette picture" : "24-bit picture");
        }
    }
}

RECT ClipRegionBox(HDC dc, bool* hasRegion) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    *hasRegion = GetClipRgn(dc, region) == 1;
    RECT box{};
    GetRgnBox(region, &box);
    DeleteObject(region);
    return box;
}

TEST(Draw, ClipRectangleLimitsDrawingAndIsUndone) {
    for (bool blended : {false, true}) {
        for (bool withRegion : {false, true}) {
            SCOPED_TRACE(std::string(blended ? "blended" : "natural") + (withRegion ? ", clipped context" : ""));
            ZImage image;
            Paint24(image, 10, 10, [](int, int) { return RGB(1, 2, 3); });
            if (blended) image.AlphaCreate();
            Canvas canvas(20, 20, kGrey);
            if (withRegion) {
                HRGN region = CreateRectRgn(2, 2, 18, 18);
                SelectClipRgn(canvas.dc(), region);
                DeleteObject(region);
            }
            RECT before{};
            GetClipBox(canvas.dc(), &before);
            RECT clip{5, 5, 8, 9};
            EXPECT_EQ(image.Draw(canvas.dc(), 0, 0, -1, -1, &clip), 1);
            EXPECT_EQ(canvas.Compare([](int x, int y) {
                return x >= 5 && x < 8 && y >= 5 && y < 9 ? RGB(1, 2, 3) : kGrey;
            }),
                      "");
            RECT after{};
            GetClipBox(canvas.dc(), &after);
            EXPECT_TRUE(EqualRect(&before, &after));
            bool hasRegion = false;
            const RECT box = ClipRegionBox(canvas.dc(), &hasRegion);
            EXPECT_EQ(hasRegion, withRegion);
            if (withRegion) {
                const RECT expected{2, 2, 18, 18};
                EXPECT_TRUE(EqualRect(&box, &expected));
            }
        }
    }
}

TEST(Draw, OutsideTheClipBoxChangesNothing) {
    ZImage image;
    Paint24(image, 4, 4, [](int, int) { return RGB(1, 2, 3); });
    Canvas canvas(8, 8, kGrey);
    EXPECT_EQ(image.Draw(canvas.dc(), 20, 20, 8, 8, nullptr), 1);
    image.AlphaCreate();
    EXPECT_EQ(image.Draw(canvas.dc(), -10, 2, -1, -1, nullptr), 1);
    EXPECT_EQ(canvas.Compare([](int, int) { return kGrey; }), "");
}

TEST(Tile, RepeatsThePictureAndCutsTheEdges) {
    ZImage image;
    auto colour = [](int x, int y) { return RGB(x * 20, y * 20, 100); };
    Paint24(image, 10, 10, colour);
    Canvas canvas(40, 30, kGrey);
    RECT area{2, 3, 27, 18};
    EXPECT_EQ(image.Tile(canvas.dc(), &area), 1);
    EXPECT_EQ(canvas.Compare([&](int x, int y) {
        if (x < 2 || x >= 27 || y < 3 || y >= 18) return kGrey;
        return colour((x - 2) % 10, (y - 3) % 10);
    }),
              "");
}

TEST(Tile, DrawsNothingForADisabledPictureOrAnEmptyArea) {
    ZImage image;
    Paint24(image, 3, 3, [](int, int) { return kWhite; });
    Canvas canvas(10, 10, kGrey);
    RECT empty{5, 5, 5, 9};
    RECT inverted{8, 8, 2, 2};
    EXPECT_EQ(image.Tile(canvas.dc(), &empty), 1);
    EXPECT_EQ(image.Tile(canvas.dc(), &inverted), 1);
    EXPECT_EQ(image.Tile(canvas.dc(), nullptr), 0);
    image.Enable(false);
    RECT all{0, 0, 10, 10};
    EXPECT_EQ(image.Tile(canvas.dc(), &all), 1);
    EXPECT_EQ(canvas.Compare([](int, int) { return kGrey; }), "");
}

TEST(Draw2, WithoutKeyStretchesLikeStretch) {
    ZImage image;
    PaintQuadrants(image, 24);
    Canvas canvas(64, 32);
    EXPECT_EQ(image.Draw2(canvas.dc(), 0, 0, 64, 32), 1);
    EXPECT_EQ(canvas.Compare([](int x, int y) { return kQuadrants[y / 16][x / 32]; }), "");
}

TEST(Draw2, MaskKeepsTheDestinationUnderTheKey) {
    const std::vector<COLORREF> palette = {RGB(200, 0, 0), RGB(0, 200, 0), RGB(9, 9, 9)};
    auto index = [](int x, int y) { return static_cast<BYTE>((x * 3 + y) % 3); };
    for (long scale : {1L, 3L}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        ZImage indexed;
        Paint8(indexed, 5, 4, palette, index);
        indexed.SetTransIndex(2);
        ZImage direct;
        Paint24(direct, 5, 4, [&](int x, int y) { return palette[index(x, y)]; });
        direct.SetTransIndex(0);
        direct.SetTransColor(Quad(palette[2]));
        for (ZImage* image : {&indexed, &direct}) {
            Canvas canvas(20, 16, kGrey);
            SetBkColor(canvas.dc(), RGB(1, 1, 1));
            SetTextColor(canvas.dc(), RGB(2, 2, 2));
            const RECT target{2, 1, 2 + 5 * scale, 1 + 4 * scale};
            EXPECT_EQ(image->Draw2(canvas.dc(), target), 1);
            EXPECT_EQ(canvas.Compare([&](int x, int y) {
                if (x < target.left || x >= target.right || y < target.top || y >= target.bottom) return kGrey;
                const BYTE i = index((x - target.left) / scale, (y - target.top) / scale);
                return i == 2 ? kGrey : palette[i];
            }),
                      "")
                << (image == &indexed ? "palette picture" : "24-bit picture");
            EXPECT_EQ(GetBkColor(canvas.dc()), RGB(1, 1, 1));
            EXPECT_EQ(GetTextColor(canvas.dc()), RGB(2, 2, 2));
        }
    }
}

// Bitmaps in the screen's format hold colours exactly only at 24 bits and
// more; a 16-bit display keeps the top 5 or 6 bits of each channel.
int ScreenTolerance() {
    HDC screen = GetDC(nullptr);
    const int depth = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
    return depth >= 24 ? 0 : 8;
}

::testing::AssertionResult Near(RGBQUAD a, RGBQUAD b, int tolerance) {
    if (std::abs(a.rgbRed - b.rgbRed) <= tolerance && std::abs(a.rgbGreen - b.rgbGreen) <= tolerance &&
        std::abs(a.rgbBlue - b.rgbBlue) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << int(a.rgbRed) << "," << int(a.rgbGreen) << "," << int(a.rgbBlue)
                                         << ") against (" << int(b.rgbRed) << "," << int(b.rgbGreen) << ","
                                         << int(b.rgbBlue) << ")";
}

// The pixels of two pictures agree, within a tolerance per channel.
void ExpectSamePicture(ZImage& a, ZImage& b, int tolerance = 0) {
    ASSERT_TRUE(a.IsValid());
    ASSERT_TRUE(b.IsValid());
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    for (LONG y = 0; y < static_cast<LONG>(a.GetHeight()); ++y)
        for (LONG x = 0; x < static_cast<LONG>(a.GetWidth()); ++x)
            ASSERT_TRUE(Near(a.GetPixelColor(x, y, false), b.GetPixelColor(x, y, false), tolerance))
                << "pixel " << x << ", " << y;
}

void PaintPattern(ZImage& image, DWORD bpp) {
    image.Create(7, 5, bpp, FORMAT_BMP);
    for (DWORD i = 0; i < image.GetNumColors(); ++i)
        image.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(i * 5), static_cast<BYTE>(255 - i),
                              static_cast<BYTE>(i * 3));
    for (LONG y = 0; y < 5; ++y)
        for (LONG x = 0; x < 7; ++x) {
            if (bpp == 24)
                image.SetPixelColor(x, y, RGB(x * 30, y * 40, x * y * 5));
            else
                image.SetPixelIndex(x, y, static_cast<BYTE>((x * 5 + y * 3) % image.GetNumColors()));
        }
}

TEST(Handles, GlobalBlockRoundTrip) {
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE("bpp " + std::to_string(bpp));
        ZImage source;
        source.SetXDPI(72);
        source.SetYDPI(300);
        PaintPattern(source, bpp);
        HANDLE block = source.CopyToHandle();
        ASSERT_NE(block, nullptr);
        EXPECT_GE(GlobalSize(block), static_cast<SIZE_T>(source.GetSize()));
        ZImage copy;
        EXPECT_TRUE(copy.CreateFromHANDLE(block));
        EXPECT_EQ(copy.GetBpp(), bpp);
        EXPECT_EQ(copy.GetXDPI(), 72);
        EXPECT_EQ(copy.GetYDPI(), 300);
        ExpectSamePicture(source, copy);
        EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);
        GlobalFree(block);
    }
    ZImage empty;
    EXPECT_EQ(empty.CopyToHandle(), nullptr);
    EXPECT_FALSE(empty.CreateFromHANDLE(nullptr));
}

HGLOBAL BlockWith(const std::vector<BYTE>& bytes) {
    HGLOBAL block = GlobalAlloc(GHND, bytes.size());
    memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

std::vector<BYTE> Header(LONG width, LONG height, WORD bpp, DWORD compression) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(h);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bpp;
    h.biCompression = compression;
    std::vector<BYTE> bytes(sizeof(h));
    memcpy(bytes.data(), &h, sizeof(h));
    return bytes;
}

TEST(Handles, BlockErrorsAreReportedAndTheBlockUnlocked) {
    // A header claiming far more pixels than the block holds.
    std::vector<BYTE> bytes = Header(100, 100, 24, BI_RGB);
    bytes.resize(bytes.size() + 16);
    HGLOBAL shortBlock = BlockWith(bytes);
    ZImage image;
    EXPECT_FALSE(image.CreateFromHANDLE(shortBlock));
    EXPECT_STREQ(image.GetLastError(), zerr::kDibTooShort);
    EXPECT_EQ(GlobalFlags(shortBlock) & GMEM_LOCKCOUNT, 0u);
    GlobalFree(shortBlock);

    const struct {
        WORD bpp;
        DWORD compression;
        const char* text;
    } cases[] = {{8, BI_BITFIELDS, zerr::kCompressionUnsupported}, {32, BI_RLE4, zerr::kUnknownCompression}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<BYTE> data = Header(2, 2, c.bpp, c.compression);
        data.resize(data.size() + 1024 + 64);
        HGLOBAL block = BlockWith(data);
        ZImage thrown;
        std::string caught;
        try {
            thrown.CreateFromHANDLE(block);
        } catch (const char* text) {
            caught = text;
        }
        EXPECT_EQ(caught, c.text);
        EXPECT_TRUE(thrown.IsValid());
        EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);
        GlobalFree(block);
    }
}

TEST(Handles, BitmapRoundTrip) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    for (DWORD bpp : {1u, 8u, 24u}) {
        for (bool withDC : {false, true}) {
            SCOPED_TRACE("bpp " + std::to_string(bpp) + (withDC ? ", device bitmap" : ", DIB section"));
            ZImage source;
            PaintPattern(source, bpp);
            HBITMAP bitmap = source.MakeBitmap(withDC ? screen : nullptr);
            ASSERT_NE(bitmap, nullptr);
            ZImage copy;
            EXPECT_TRUE(copy.CreateFromHBITMAP(bitmap, nullptr));
            ExpectSamePicture(source, copy, withDC ? ScreenTolerance() : 0);
            if (!withDC) {
                EXPECT_EQ(copy.GetBpp(), bpp);
                EXPECT_EQ(0, memcmp(copy.GetBits(0), source.GetBits(0), source.GetEffWidth() * source.GetHeight()));
            }
            DeleteObject(bitmap);
        }
    }
    ReleaseDC(nullptr, screen);
    ZImage empty;
    EXPECT_EQ(empty.MakeBitmap(nullptr), nullptr);
    EXPECT_FALSE(empty.CreateFromHBITMAP(nullptr, nullptr));

    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    ZImage notABitmap;
    EXPECT_FALSE(notABitmap.CreateFromHBITMAP(reinterpret_cast<HBITMAP>(brush), nullptr));
    EXPECT_STREQ(notABitmap.GetLastError(), zerr::kGetDIBitsFailed);
    DeleteObject(brush);
}

TEST(Handles, BitmapThroughAPalette) {
    ZImage source;
    PaintPattern(source, 8);
    HBITMAP bitmap = source.MakeBitmap(nullptr);
    ASSERT_NE(bitmap, nullptr);
    struct {
        WORD version = 0x300;
        WORD count = 2;
        PALETTEENTRY entries[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
    } logical;
    HPALETTE palette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&logical));
    ZImage copy;
    EXPECT_TRUE(copy.CreateFromHBITMAP(bitmap, palette));
    ExpectSamePicture(source, copy);
    DeleteObject(palette);
    DeleteObject(bitmap);
}

TEST(Handles, IconMaskBecomesAlpha) {
    ZImage colours;
    Paint24(colours, 4, 4, [](int x, int y) { return RGB(x * 60, y * 60, 128); });
    HBITMAP colour = colours.MakeBitmap(nullptr);
    // Monochrome rows are word aligned, top row first: the top row is all
    // black (opaque), the others black on the left half only.
    const BYTE maskBits[] = {0x00, 0, 0x30, 0, 0x30, 0, 0x30, 0};
    HBITMAP mask = CreateBitmap(4, 4, 1, 1, maskBits);
    ICONINFO parts{TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&parts);
    ASSERT_NE(icon, nullptr);

    ZImage image;
    EXPECT_TRUE(image.CreateFromHICON(icon));
    ASSERT_TRUE(image.AlphaIsValid());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const LONG row = 3 - y;
            EXPECT_TRUE(Near(image.GetPixelColor(x, row, false), Quad(RGB(x * 60, y * 60, 128)), ScreenTolerance()))
                << x << ", " << y;
            EXPECT_EQ(image.AlphaGet(x, row), y == 0 || x < 2 ? 255 : 0) << x << ", " << y;
        }
    DestroyIcon(icon);
    DeleteObject(mask);
    DeleteObject(colour);

    // An icon of a mask alone has no colour bitmap.
    const BYTE monoBits[16] = {};
    HBITMAP doubleMask = CreateBitmap(4, 8, 1, 1, monoBits);
    ICONINFO mono{TRUE, 0, 0, doubleMask, nullptr};
    HICON monoIcon = CreateIconIndirect(&mono);
    ASSERT_NE(monoIcon, nullptr);
    ZImage fromMono;
    EXPECT_FALSE(fromMono.CreateFromHICON(monoIcon));
    EXPECT_FALSE(fromMono.CreateFromHICON(nullptr));
    DestroyIcon(monoIcon);
    DeleteObject(doubleMask);
}

TEST(Resources, PictureLoadsFromAResource) {
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(1), reinterpret_cast<LPCSTR>(RT_RCDATA));
    ASSERT_NE(resource, nullptr);
    for (DWORD type : {FORMAT_WMF, FORMAT_UNKNOWN}) {
        SCOPED_TRACE(type);
        ZImage image;
        ASSERT_TRUE(image.LoadResource(resource, type, nullptr)) << image.GetLastError();
        EXPECT_EQ(image.GetType(), FORMAT_WMF);
        EXPECT_EQ(image.GetWidth(), 1u);
        EXPECT_EQ(Ref(image.GetPixelColor(0, 0, false)), GetSysColor(COLOR_WINDOW));
    }
}

}  // namespace
