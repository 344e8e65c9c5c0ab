// Truevision TGA: reads colour-mapped, true-colour and greyscale files, raw
// or run-length encoded; writes uncompressed 8-, 24- and 32-bit files.
#pragma once

#include "ZImage.h"

class ZStreamReader;

class ZIMAGE_API ZImageTGA : public ZImage {
public:
    ZImageTGA() : ZImage(FORMAT_TGA) {}
    ~ZImageTGA() override {}

    bool Decode(ZFile* stream);
    bool Encode(ZFile* stream);

private:
    struct Header {
        BYTE idLength;
        BYTE colorMapType;
        BYTE imageType;
        WORD colorMapLength;
        WORD width;
        WORD height;
        BYTE depth;
        BYTE descriptor;
    };

    bool Fail(const char* text);
    // Pixel rows take their alpha values at alphaRow, the stored row the
    // pixels belong to.
    void ReadRawLine(BYTE* dest, const Header& header, ZStreamReader& in, DWORD count, DWORD alphaRow, DWORD x);
    BYTE ReadRleLine(BYTE* dest, const Header& header, ZStreamReader& in, DWORD width, DWORD alphaRow,
                     BYTE leftover);
    void MirrorRows();
};
