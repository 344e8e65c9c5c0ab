#include "Rgba.h"

#include <fstream>
#include <iterator>

std::vector<uint8_t> ToRgba(ZImage& image) {
    const LONG width = static_cast<LONG>(image.GetWidth());
    const LONG height = static_cast<LONG>(image.GetHeight());
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(width) * height * 4);
    for (LONG row = 0; row < height; ++row) {
        const LONG y = height - 1 - row;
        for (LONG x = 0; x < width; ++x) {
            const RGBQUAD c = image.GetPixelColor(x, y, true);
            const bool keyed = image.IsIndexed() && image.IsTransparent() &&
                               image.GetPixelIndex(x, y) == static_cast<BYTE>(image.GetTransIndex());
            out.push_back(c.rgbRed);
            out.push_back(c.rgbGreen);
            out.push_back(c.rgbBlue);
            out.push_back(keyed ? 0 : image.AlphaIsValid() ? c.rgbReserved : 255);
        }
    }
    return out;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
