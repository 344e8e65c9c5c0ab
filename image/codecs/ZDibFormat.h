// Little-endian field access and stream helpers shared by the codecs that
// carry Windows DIBs (BMP files, icon and cursor images).
#pragma once

#include <cstdint>
#include <cstring>

#include "ZFile.h"
#include "zwin.h"

namespace zdib {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;

inline WORD Le16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

inline DWORD Le32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}

inline void PutLe16(BYTE* p, WORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

inline void PutLe32(BYTE* p, DWORD v) {
    PutLe16(p, static_cast<WORD>(v));
    PutLe16(p + 2, static_cast<WORD>(v >> 16));
}

inline BITMAPINFOHEADER ParseInfoHeader(const BYTE* p) {
    BITMAPINFOHEADER h;
    h.biSize = Le32(p);
    h.biWidth = static_cast<LONG>(Le32(p + 4));
    h.biHeight = static_cast<LONG>(Le32(p + 8));
    h.biPlanes = Le16(p + 12);
    h.biBitCount = Le16(p + 14);
    h.biCompression = Le32(p + 16);
    h.biSizeImage = Le32(p + 20);
    h.biXPelsPerMeter = static_cast<LONG>(Le32(p + 24));
    h.biYPelsPerMeter = static_cast<LONG>(Le32(p + 28));
    h.biClrUsed = Le32(p + 32);
    h.biClrImportant = Le32(p + 36);
    return h;
}

inline void StoreInfoHeader(BYTE* p, const BITMAPINFOHEADER& h) {
    PutLe32(p, h.biSize);
    PutLe32(p + 4, static_cast<DWORD>(h.biWidth));
    PutLe32(p + 8, static_cast<DWORD>(h.biHeight));
    PutLe16(p + 12, h.biPlanes);
    PutLe16(p + 14, h.biBitCount);
    PutLe32(p + 16, h.biCompression);
    PutLe32(p + 20, h.biSizeImage);
    PutLe32(p + 24, static_cast<DWORD>(h.biXPelsPerMeter));
    PutLe32(p + 28, static_cast<DWORD>(h.biYPelsPerMeter));
    PutLe32(p + 32, h.biClrUsed);
    PutLe32(p + 36, h.biClrImportant);
}

// Stream positions are 32-bit; a target beyond what a position can hold, or
// beyond the end, lands at the end, where reads deliver nothing either way.
inline void SeekTo(ZFile* stream, int64_t position) {
    const int32_t size = stream->Size();
    if (position < 0) position = 0;
    if (size >= 0 && position > size) position = size;
    if (position > INT32_MAX) position = INT32_MAX;
    stream->Seek(static_cast<long>(position), SEEK_SET);
}

inline void Skip(ZFile* stream, uint64_t count) {
    const int32_t here = stream->Tell();
    if (here < 0) return;
    const uint64_t limit = static_cast<uint64_t>(INT32_MAX) - static_cast<uint64_t>(here);
    SeekTo(stream, here + static_cast<int64_t>(count < limit ? count : limit));
}

}  // namespace zdib
