#include "Rgba.h"

#include <fstream>
#include <iterator>

namespace {

bool SameColour(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed;
}

}  // namespace

std::vector<uint8_t> ToRgba(ZImage& image) {
    const RGBQUAD key = image.GetTransColor();
    const LONG width = static_cast<LONG>(image.GetWidth());
    const LONG height = static_cast<LONG>(image.GetHeight());
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(width) * height * 4);
    for (LONG row = 0; row < height; ++row) {
        const LONG y = height - 1 - row;
        for (LONG x = 0; x < width; ++x) {
            const RGBQUAD c = image.GetPixelColor(x, y, true);
            const bool keyed =
                image.IsTransparent() &&
                (image.IsIndexed() ? image.GetPixelIndex(x, y) == static_cast<BYTE>(image.GetTransIndex())
                                   : SameColour(c, key));
            out.push_back(c.rgbRed);
            out.push_back(c.rgbGreen);
            out.push_back(c.rgbBlue);
            out.push_back(keyed ? 0 : image.AlphaIsValid() ? c.rgbReserved : 255);
        }
    }
    return out;
}

std::vector<uint32_t> RgbValues(ZImage& image) {
    const std::vector<uint8_t> rgba = ToRgba(image);
    std::vector<uint32_t> out;
    for (size_t i = 0; i < rgba.size(); i += 4) out.push_back(rgba[i] << 16 | rgba[i + 1] << 8 | rgba[i + 2]);
    return out;
}

std::vector<uint32_t> RgbaValues(ZImage& image) {
    const std::vector<uint8_t> rgba = ToRgba(image);
    std::vector<uint32_t> out;
    for (size_t i = 0; i < rgba.size(); i += 4)
        out.push_back(uint32_t(rgba[i]) << 24 | rgba[i + 1] << 16 | rgba[i + 2] << 8 | rgba[i + 3]);
    return out;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
