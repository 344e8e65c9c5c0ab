// Windows bitmap files: read with or without the file header, written
// uncompressed behind one.
#pragma once

#include "ZImage.h"

class ZIMAGE_API ZImageBMP : public ZImage {
public:
    ZImageBMP() : ZImage(FORMAT_BMP) {}
    ~ZImageBMP() override = default;

    bool Decode(ZFile* stream);
    bool Encode(ZFile* stream);
    // Reads the information header at the stream's position, core headers
    // converted and the colour count filled in; leaves the stream after it.
    bool ReadInfoHeader(ZFile* stream, BITMAPINFOHEADER* header);

private:
    bool Fail(const char* text);
    void ReadPalette(ZFile* stream, const BITMAPINFOHEADER& header);
    bool Read32(ZFile* stream);
    void DecodeRle8(ZFile* stream);
    void DecodeRle4(ZFile* stream);
    void FlipRows();
};
