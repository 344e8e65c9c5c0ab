// Reader of placeable Windows metafiles and enhanced metafiles: the
// platform plays the drawing into an off-screen bitmap of a size computed
// here, and the bitmap becomes the picture. It writes no metafiles.
#pragma once

#include <cstdint>

#include "ZImage.h"

// The 22 bytes in front of a placeable Windows metafile.
struct ZPlaceableHeader {
    DWORD key;
    WORD handle;
    int16_t left;
    int16_t top;
    int16_t right;
    int16_t bottom;
    WORD unitsPerInch;
    DWORD reserved;
    WORD checksum;

    static constexpr size_t kSize = 22;
    static ZPlaceableHeader FromBytes(const BYTE* bytes);
};

class ZIMAGE_API ZImageWMF : public ZImage {
public:
    ZImageWMF();
    ~ZImageWMF() override;

    // A forced width or height of 0 takes the metafile's own.
    bool Decode(ZFile* stream, long forcedWidth = 0, long forcedHeight = 0);
    bool Encode(ZFile* stream);

    static bool IsPlaceableHeader(const ZPlaceableHeader& header);
    // Shrinks both sides to at most kMaxSide, keeping the proportion.
    static void LimitSize(int64_t& width, int64_t& height);
    static constexpr int64_t kMaxSide = 4000;

#ifdef _WIN32
    HENHMETAFILE ReadPlaceableWmf(ZFile* stream, ZPlaceableHeader& header);
    HENHMETAFILE ReadEmf(ZFile* stream, ENHMETAHEADER& header);
#endif
};
