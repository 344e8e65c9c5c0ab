// Wireless bitmaps, type 0 (one bit per pixel, uncompressed), with width and
// height held in one byte each.
#pragma once

#include "ZImage.h"

class ZIMAGE_API ZImageWBMP : public ZImage {
public:
    ZImageWBMP() : ZImage(FORMAT_WBMP) {}
    ~ZImageWBMP() override = default;

    bool Decode(ZFile* stream);
    bool Encode(ZFile* stream);
};
