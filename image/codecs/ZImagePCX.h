// ZSoft PCX: run-length encoded scan lines of one to four planes; reads
// 1-, 2-, 4- and 8-bit single-plane files, planar 1-bit files and 24-bit
// files with an optional alpha plane, and writes version 5 files.
#pragma once

#include "ZImage.h"

class ZIMAGE_API ZImagePCX : public ZImage {
public:
    ZImagePCX() : ZImage(FORMAT_PCX) {}
    ~ZImagePCX() override {}

    bool Decode(ZFile* stream);
    bool Encode(ZFile* stream);

private:
    bool Fail(const char* text);
    void StoreIndices(DWORD row, const BYTE* indices);

    static void SpreadPixels(BYTE* pixels, const BYTE* line, DWORD bytesPerLine, BYTE bits);
    static void MergePlanes(BYTE* pixels, const BYTE* line, DWORD bytesPerLine, BYTE planes);
    static void SplitPlane(const BYTE* pixels, DWORD width, BYTE* plane, DWORD planeBytes, BYTE bit);
    // Both return the end of what they wrote at out.
    static BYTE* PutRunPlane(const BYTE* buffer, DWORD size, BYTE* out);
    static BYTE* PutRunPixel(int value, BYTE& previous, int& count, BYTE* out);
};
