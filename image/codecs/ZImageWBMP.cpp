#include "ZImageWBMP.h"

#include "ZErrors.h"

namespace {

constexpr DWORD kMaxSide = 255;

size_t RowBytes(DWORD width) { return (static_cast<size_t>(width) + 7) / 8; }

}  // namespace

bool ZImageWBMP::Decode(ZFile* stream) {
    if (!stream) return false;
    BYTE header[4];
    if (stream->Read(header, sizeof(header), 1) != 1) {
        SetError(zerr::kWbmpNotWbmp);
        return false;
    }
    if (header[0] != 0) {
        SetError(zerr::kWbmpType);
        return false;
    }
    const DWORD width = header[2];
    const DWORD height = header[3];
    if (width == 0 || height == 0) {
        SetError(zerr::kWbmpCorrupted);
        return false;
    }
    if (!Create(width, height, 1, FORMAT_WBMP)) {
        SetError(zerr::kWbmpCreate);
        return false;
    }
    SetGrayPalette();
    // File rows run from the top, stored rows from the bottom.
    for (DWORD row = 0; row < height; ++row) stream->Read(GetBits(height - 1 - row), RowBytes(width), 1);
    return true;
}

bool ZImageWBMP::Encode(ZFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    const DWORD width = GetWidth();
    const DWORD height = GetHeight();
    if (width > kMaxSide || height > kMaxSide || GetBpp() != 1) {
        SetError(zerr::kWbmpCannotSave);
        return false;
    }
    const BYTE header[4] = {0, 0, static_cast<BYTE>(width), static_cast<BYTE>(height)};
    stream->Write(header, sizeof(header), 1);
    for (DWORD row = 0; row < height; ++row) stream->Write(GetBits(height - 1 - row), RowBytes(width), 1);
    return true;
}
