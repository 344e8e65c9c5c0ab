// Extensions to format types, and the thumbnail's geometry and pixels.
#include <vector>

#include <gtest/gtest.h>

#include "image/ZImage.h"
#include "ui/SkinSettingsDlg.h"

namespace {

TEST(ExtensionToFormat, MapsTheTableAndNothingElse) {
    const struct {
        const char* extension;
        DWORD format;
    } cases[] = {
        {"bmp", FORMAT_BMP}, {"gif", FORMAT_GIF}, {"ico", FORMAT_ICO},      {"tga", FORMAT_TGA},
        {"pcx", FORMAT_PCX}, {"wbmp", FORMAT_WBMP}, {"wmf", FORMAT_WMF},    {"emf", FORMAT_WMF},
        {"", FORMAT_UNKNOWN}, {"jpg", FORMAT_UNKNOWN}, {"GIF", FORMAT_UNKNOWN}, {"bm", FORMAT_UNKNOWN},
        {"bmpx", FORMAT_UNKNOWN}, {"cur", FORMAT_UNKNOWN},
    };
    for (const auto& c : cases) EXPECT_EQ(c.format, ExtensionToFormat(c.extension)) << '"' << c.extension << '"';
}

TEST(ThumbnailPlacement, KeepsTheAspectRatioCentredOnTheShorterSide) {
    const struct {
        DWORD width, height;
        RECT place;
    } cases[] = {
        {200, 100, {0, 16, 64, 48}},
        {100, 300, {21, 0, 42, 64}},
        {50, 50, {0, 0, 64, 64}},
        {1, 1, {0, 0, 64, 64}},
        {640, 1, {0, 32, 64, 32}},
        {1, 640, {32, 0, 32, 64}},
        {3, 2, {0, 11, 64, 53}},
    };
    for (const auto& c : cases) {
        RECT place = ThumbnailPlacement(c.width, c.height);
        EXPECT_EQ(c.place.left, place.left) << c.width << "x" << c.height;
        EXPECT_EQ(c.place.top, place.top) << c.width << "x" << c.height;
        EXPECT_EQ(c.place.right, place.right) << c.width << "x" << c.height;
        EXPECT_EQ(c.place.bottom, place.bottom) << c.width << "x" << c.height;
    }
}

// The dialog's thumbnail drawing, on an image list of its own, without the
// dialog's window (the client-area context is then the screen's).
class ThumbnailMaker : public CSkinSettingsDlg {
public:
    ThumbnailMaker() { m_imageList.Create(kThumbnailSize, kThumbnailSize, ILC_COLOR24, 0, 1); }
    void Add(ZImage& image) { AddThumbnail(image); }
    int Count() const { return m_imageList.GetImageCount(); }

    // Image index as drawn by the list view, as 0xRRGGBB, row 0 at the top.
    // Drawn over magenta so that a pixel lost to a mask would show.
    std::vector<COLORREF> Pixels(int index) {
        const int size = kThumbnailSize;
        BITMAPINFO format{};
        format.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP target = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, target);
        HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
        RECT all{0, 0, size, size};
        FillRect(dc, &all, magenta);
        ImageList_Draw(m_imageList.m_hImageList, index, dc, 0, 0, ILD_NORMAL);
        GdiFlush();
        const auto* pixels = static_cast<const DWORD*>(bits);
        std::vector<COLORREF> result(pixels, pixels + size * size);
        for (COLORREF& pixel : result) pixel &= 0xFFFFFF;
        SelectObject(dc, previous);
        DeleteObject(magenta);
        DeleteDC(dc);
        DeleteObject(target);
        return result;
    }
};

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kGrey = 0xC0C0C0;
constexpr COLORREF kRed = 0xFF0000;

ZImage Solid(DWORD width, DWORD height) {
    ZImage image(width, height, 24, FORMAT_BMP);
    for (DWORD y = 0; y < height; ++y) {
        for (DWORD x = 0; x < width; ++x) image.SetPixelColor(x, y, RGBQUAD{0, 0, 255, 0});
    }
    return image;
}

// What each pixel of a thumbnail should be: the frame on the edges, the
// picture in its place, white elsewhere.
COLORREF Expected(const RECT& place, int x, int y) {
    const int last = CSkinSettingsDlg::kThumbnailSize - 1;
    if (x == 0 || y == 0 || x == last || y == last) return kGrey;
    if (x >= place.left && x < place.right && y >= place.top && y < place.bottom) return kRed;
    return kWhite;
}

TEST(Thumbnail, WhiteSquarePictureAndGreyFrame) {
    const struct {
        DWORD width, height;
    } sizes[] = {{200, 100}, {100, 300}, {40, 40}, {1, 1}, {640, 1}};
    ThumbnailMaker maker;
    for (const auto& size : sizes) {
        ZImage image = Solid(size.width, size.height);
        ASSERT_TRUE(image.IsValid());
        maker.Add(image);
        std::vector<COLORREF> pixels = maker.Pixels(maker.Count() - 1);
        ASSERT_EQ(64u * 64u, pixels.size());
        RECT place = ThumbnailPlacement(size.width, size.height);
        int wrong = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                if (pixels[y * 64 + x] != Expected(place, x, y) && ++wrong <= 3) {
                    ADD_FAILURE() << size.width << "x" << size.height << " at " << x << "," << y << ": " << std::hex
                                  << pixels[y * 64 + x];
                }
            }
        }
        EXPECT_EQ(0, wrong) << size.width << "x" << size.height;
    }
    EXPECT_EQ(5, maker.Count());
}

}  // namespace
