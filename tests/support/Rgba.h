// Pictures as top-down 8-bit RGBA, the form reference decodes are stored in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ZImage.h"

// Alpha is 0 for transparent pixels (the transparent palette index, or in
// a true-colour picture with a transparent index the transparent colour),
// else the alpha plane's value, or 255 where the image has none.
std::vector<uint8_t> ToRgba(ZImage& image);

// The same, top-down, one value per pixel: 0xRRGGBB, or 0xRRGGBBAA.
std::vector<uint32_t> RgbValues(ZImage& image);
std::vector<uint32_t> RgbaValues(ZImage& image);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
