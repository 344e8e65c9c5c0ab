#include "Pictures.h"

#include <stdexcept>

#include "Harness.h"
#include "ZImage.h"

namespace e2e {

namespace {

constexpr DWORD kPaletteSize = 16;

RGBQUAD Colour(BYTE red, BYTE green, BYTE blue) {
    RGBQUAD colour{};
    colour.rgbRed = red;
    colour.rgbGreen = green;
    colour.rgbBlue = blue;
    return colour;
}

RGBQUAD PaletteEntry(const Picture& picture, DWORD index) {
    return Colour(static_cast<BYTE>(index * 16 + picture.seed), static_cast<BYTE>(255 - index * 13),
                  static_cast<BYTE>(index * 37 + picture.seed * 3));
}

BYTE IndexAt(const Picture& picture, DWORD x, DWORD y) {
    return static_cast<BYTE>((x / 3 + y * 5 + picture.seed) % kPaletteSize);
}

RGBQUAD ExpectedAt(const Picture& picture, DWORD x, DWORD y) {
    if (picture.indexed) return PaletteEntry(picture, IndexAt(picture, x, y));
    return Colour(static_cast<BYTE>(x * 5 + picture.seed), static_cast<BYTE>(y * 7 + picture.seed),
                  static_cast<BYTE>((x + y) * 3));
}

}  // namespace

void WritePicture(const std::string& path, const Picture& picture, DWORD format) {
    ZImage image(picture.width, picture.height, picture.indexed ? 8 : 24, format);
    if (!image.IsValid()) throw std::runtime_error("cannot make a picture for " + path);
    if (picture.indexed) {
        for (DWORD i = 0; i < kPaletteSize; ++i) image.SetPaletteColor(static_cast<BYTE>(i), PaletteEntry(picture, i));
    }
    for (DWORD y = 0; y < picture.height; ++y) {
        for (DWORD x = 0; x < picture.width; ++x) {
            if (picture.indexed) {
                image.SetPixelIndex(static_cast<LONG>(x), static_cast<LONG>(y), IndexAt(picture, x, y));
            } else {
                image.SetPixelColor(static_cast<LONG>(x), static_cast<LONG>(y), ExpectedAt(picture, x, y));
            }
        }
    }
    if (!image.Save(path.c_str(), format)) throw std::runtime_error("cannot save " + path);
}

void WriteUndecodable(const std::string& path) {
    WriteFile(path, "This text is no picture in any format the program reads.\r\n");
    ZImage probe;
    if (probe.Load(path.c_str(), FORMAT_UNKNOWN)) throw std::runtime_error(path + " decodes after all");
}

::testing::AssertionResult BitmapShows(const std::string& path, const Picture& picture) {
    ZImage image;
    if (!image.Load(path.c_str(), FORMAT_BMP) || !image.IsValid())
        return ::testing::AssertionFailure() << path << " does not decode as a BMP";
    if (image.GetWidth() != picture.width || image.GetHeight() != picture.height)
        return ::testing::AssertionFailure() << path << " is " << image.GetWidth() << " x " << image.GetHeight()
                                             << ", not " << picture.width << " x " << picture.height;
    for (DWORD y = 0; y < picture.height; ++y) {
        for (DWORD x = 0; x < picture.width; ++x) {
            const RGBQUAD got = image.GetPixelColor(static_cast<LONG>(x), static_cast<LONG>(y), false);
            const RGBQUAD want = ExpectedAt(picture, x, y);
            if (got.rgbRed != want.rgbRed || got.rgbGreen != want.rgbGreen || got.rgbBlue != want.rgbBlue)
                return ::testing::AssertionFailure()
                       << path << " pixel " << x << "," << y << " is " << int(got.rgbRed) << "/" << int(got.rgbGreen)
                       << "/" << int(got.rgbBlue) << ", not " << int(want.rgbRed) << "/" << int(want.rgbGreen) << "/"
                       << int(want.rgbBlue);
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace e2e
