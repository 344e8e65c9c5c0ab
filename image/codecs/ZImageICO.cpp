#include "ZImageICO.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "ZDibFormat.h"
#include "ZErrors.h"

using zdib::Le16;
using zdib::Le32;
using zdib::PutLe16;
using zdib::PutLe32;

namespace {

constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;
constexpr WORD kIcon = 1;
constexpr WORD kCursor = 2;
constexpr DWORD kMaxSide = 255;

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};
using Buffer = std::unique_ptr<BYTE, FreeDeleter>;

// Zero-filled, so that what a short read leaves behind is defined.
Buffer ZeroedBuffer(size_t size) { return Buffer(static_cast<BYTE*>(calloc(size ? size : 1, 1))); }

size_t MaskRowSize(DWORD width) { return (static_cast<size_t>(width) + 31) / 32 * 4; }

bool MaskBit(const BYTE* mask, size_t rowSize, LONG x, LONG y) {
    return mask[static_cast<size_t>(y) * rowSize + static_cast<size_t>(x) / 8] >> (7 - x % 8) & 1;
}

bool SameColour(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
           a.rgbReserved == b.rgbReserved;
}

}  // namespace

bool ZImageICO::Decode(ZFile* stream) {
    if (!stream) return false;
    const int32_t start = stream->Tell();

    BYTE directory[kDirectorySize] = {};
    stream->Read(directory, sizeof(directory), 1);
    const WORD type = Le16(directory + 2);
    if (Le16(directory) != 0 || (type != kIcon && type != kCursor)) return false;
    const WORD count = Le16(directory + 4);
    info.numFrames = count;

    Buffer entries = ZeroedBuffer(kEntrySize * count);
    if (!entries) return false;
    stream->Read(entries.get(), kEntrySize, count);
    if (info.frame < 0 || info.frame >= count) return false;
    const BYTE* entry = entries.get() + kEntrySize * static_cast<size_t>(info.frame);
    const DWORD width = entry[0];
    const DWORD height = entry[1];

    zdib::SeekTo(stream, static_cast<int64_t>(start) + Le32(entry + 12));
    BYTE header[zdib::kInfoHeaderSize] = {};
    stream->Read(header, sizeof(header), 1);
    const WORD bitCount = Le16(header + 14);

    // Create leaves its own text when it fails.
    if (!Create(width, height, bitCount, FORMAT_ICO)) return false;
    ReadColours(stream, bitCount);

    const size_t rowSize = MaskRowSize(width);
    const size_t maskSize = rowSize * height;
    Buffer mask = ZeroedBuffer(maskSize);
    if (!mask) return true;
    if (maskSize && stream->Read(mask.get(), maskSize, 1) != 1) return true;

    bool allSet = true;
    for (size_t i = 0; i < maskSize && allSet; ++i) allSet = mask.get()[i] == 0xFF;
    if (allSet) {
        // A mask over everything marks an inverted picture, not a transparent one.
        info.transIndex = 0;
        Negative();
        return true;
    }
    ApplyMask(mask.get(), rowSize, bitCount);
    return true;
}

void ZImageICO::ReadColours(ZFile* stream, WORD bitCount) {
    const DWORD entries = head.biClrUsed;
    if (entries) {
        BYTE raw[4 * 256] = {};
        stream->Read(raw, 4, entries);
        RGBQUAD palette[256];
        for (DWORD i = 0; i < entries; ++i)
            palette[i] = RGBQUAD{raw[4 * i], raw[4 * i + 1], raw[4 * i + 2], raw[4 * i + 3]};
        SetPalette(palette, entries);
    }

    if (bitCount <= 24) {
        stream->Read(info.bits, head.biSizeImage, 1);
        return;
    }
    const DWORD width = GetWidth();
    const DWORD height = GetHeight();
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    Buffer pixels = ZeroedBuffer(rowBytes * height);
    if (!pixels) return;
    stream->Read(pixels.get(), rowBytes * height, 1);
    AlphaCreate();
    for (DWORD y = 0; y < height; ++y) {
        const BYTE* in = pixels.get() + y * rowBytes;
        BYTE* out = info.bits + static_cast<size_t>(y) * info.effWidth;
        for (DWORD x = 0; x < width; ++x) {
            memcpy(out + 3 * x, in + 4 * x, 3);
            AlphaSet(static_cast<LONG>(x), static_cast<LONG>(y), in[4 * x + 3]);
        }
    }
}

// Masked pixels become transparent: through a spare palette index or a
// single key colour where the picture allows, else through the alpha plane.
void ZImageICO::ApplyMask(const BYTE* mask, size_t rowSize, WORD bitCount) {
    const LONG width = static_cast<LONG>(GetWidth());
    const LONG height = static_cast<LONG>(GetHeight());
    auto forEachMasked = [&](auto&& visit) {
        for (LONG y = 0; y < height; ++y)
            for (LONG x = 0; x < width; ++x)
                if (MaskBit(mask, rowSize, x, y)) visit(x, y);
    };

    const bool hadAlpha = AlphaIsValid();
    AlphaCreate();
    bool anyMasked = false;
    forEachMasked([&](LONG x, LONG y) {
        AlphaSet(x, y, 0);
        anyMasked = true;
    });
    if (!anyMasked && !hadAlpha) AlphaDelete();

    if (bitCount == 24) {
        if (!anyMasked) return;
        bool first = true, uniform = true;
        RGBQUAD key{};
        forEachMasked([&](LONG x, LONG y) {
            const RGBQUAD c = GetPixelColor(x, y, false);
            if (first) key = c;
            uniform = uniform && SameColour(c, key);
            first = false;
        });
        if (!uniform) return;
        SetTransColor(key);
        info.transIndex = 0;
        AlphaDelete();
    } else if (bitCount <= 8) {
        bool used[256] = {};
        for (LONG y = 0; y < height; ++y)
            for (LONG x = 0; x < width; ++x) used[GetPixelIndex(x, y)] = true;
        DWORD spare = 0;
        while (spare < head.biClrUsed && used[spare]) ++spare;
        if (spare == head.biClrUsed) return;
        forEachMasked([&](LONG x, LONG y) { SetPixelIndex(x, y, static_cast<BYTE>(spare)); });
        if (anyMasked) info.transIndex = static_cast<LONG>(spare);
        AlphaDelete();
    }
}

bool ZImageICO::Encode(ZFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    const DWORD width = GetWidth();
    const DWORD height = GetHeight();
    if (width > kMaxSide || height > kMaxSide) {
        SetError(zerr::kIcoTooLarge);
        return false;
    }
    const RGBQUAD* palette = GetPalette();
    if (GetBpp() <= 8 && !palette) return false;

    const size_t maskRow = MaskRowSize(width);
    const size_t maskSize = maskRow * height;
    WORD bitCount = GetBpp();
    DWORD dataSize = head.biSizeImage;
    const bool withAlpha = AlphaIsValid() && !palette;
    if (withAlpha) {
        bitCount = 32;
        dataSize = width * height * 4;
    }
    const DWORD entries = GetNumColors();

    Buffer mask = ZeroedBuffer(maskSize);
    if (!mask) return false;
    const bool paletteAlpha = AlphaPaletteIsValid();
    const RGBQUAD key = GetTransColor();
    for (LONG y = 0; y < static_cast<LONG>(height); ++y) {
        for (LONG x = 0; x < static_cast<LONG>(width); ++x) {
            const bool transparent = (AlphaIsValid() && AlphaGet(x, y) == 0) ||
                                     (paletteAlpha && GetPixelColor(x, y, true).rgbReserved == 0) ||
                                     (info.transIndex != -1 && SameColour(GetPixelColor(x, y, false), key));
            if (transparent) mask.get()[static_cast<size_t>(y) * maskRow + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
        }
    }

    BYTE header[kDirectorySize + kEntrySize + zdib::kInfoHeaderSize] = {};
    PutLe16(header + 2, kIcon);
    PutLe16(header + 4, 1);
    BYTE* entry = header + kDirectorySize;
    entry[0] = static_cast<BYTE>(width);
    entry[1] = static_cast<BYTE>(height);
    entry[2] = static_cast<BYTE>(entries);
    PutLe16(entry + 6, bitCount);
    PutLe32(entry + 8, static_cast<DWORD>(dataSize + entries * 4 + maskSize + zdib::kInfoHeaderSize));
    PutLe32(entry + 12, kDirectorySize + kEntrySize);
    BITMAPINFOHEADER bih{};
    bih.biSize = zdib::kInfoHeaderSize;
    bih.biWidth = static_cast<LONG>(width);
    bih.biHeight = static_cast<LONG>(height * 2);
    bih.biPlanes = 1;
    bih.biBitCount = bitCount;
    bih.biSizeImage = dataSize;
    zdib::StoreInfoHeader(entry + kEntrySize, bih);
    stream->Write(header, sizeof(header), 1);

    if (palette) stream->Write(palette, 4, entries);
    if (withAlpha) {
        Buffer row = ZeroedBuffer(static_cast<size_t>(width) * 4);
        if (!row) return false;
        for (DWORD y = 0; y < height; ++y) {
            const BYTE* in = info.bits + static_cast<size_t>(y) * info.effWidth;
            for (DWORD x = 0; x < width; ++x) {
                memcpy(row.get() + 4 * x, in + 3 * x, 3);
                row.get()[4 * x + 3] = AlphaGet(static_cast<LONG>(x), static_cast<LONG>(y));
            }
            stream->Write(row.get(), 4, width);
        }
    } else {
        stream->Write(info.bits, head.biSizeImage, 1);
    }
    stream->Write(mask.get(), maskSize, 1);
    return true;
}
