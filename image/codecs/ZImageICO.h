// Windows icon and cursor files: one directory entry read, with its
// transparency mask turned into a transparent index, colour or alpha;
// single-image icons written.
#pragma once

#include "ZImage.h"

class ZIMAGE_API ZImageICO : public ZImage {
public:
    ZImageICO() : ZImage(FORMAT_ICO) {}
    ~ZImageICO() override = default;

    bool Decode(ZFile* stream);
    bool Encode(ZFile* stream);

private:
    void ReadColours(ZFile* stream, WORD bitCount);
    void ApplyMask(const BYTE* mask, size_t rowSize, WORD bitCount);
};
