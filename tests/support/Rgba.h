// Pictures as top-down 8-bit RGBA, the form reference decodes are stored in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ZImage.h"

// Alpha is 0 for pixels of the transparent palette index, else the alpha
// plane's value, or 255 where the image has none.
std::vector<uint8_t> ToRgba(ZImage& image);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
