#include "ZPackedDIB.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "ZDibRle.h"
#include "ZErrors.h"

namespace {

uint32_t Le16(const BYTE* p) { return p[0] | static_cast<uint32_t>(p[1]) << 8; }
uint32_t Le32(const BYTE* p) { return Le16(p) | Le16(p + 2) << 16; }

constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
// BI_BITFIELDS masks follow a 40-byte header; longer headers hold them at this offset.
constexpr uint32_t kMaskOffset = 40;
constexpr uint32_t kMaskBytes = 12;

struct Layout {
    uint32_t headerSize;
    int64_t width;
    int64_t height;  // always positive; topDown tells the row order
    bool topDown;
    uint32_t bpp;
    uint32_t compression;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint64_t tableEntries;
    uint32_t entrySize;
    uint64_t pixelOffset;
};

uint64_t RowBytes(int64_t width, uint32_t bpp) { return (static_cast<uint64_t>(width) * bpp + 31) / 32 * 4; }

bool IsUncompressed(const Layout& dib) {
    return dib.compression == BI_RGB || (dib.compression == BI_BITFIELDS && (dib.bpp == 16 || dib.bpp == 32));
}

const char* ParseHeader(const BYTE* block, size_t size, Layout& dib) {
    if (size < 4) return zerr::kDibTooShort;
    dib.headerSize = Le32(block);
    if (dib.headerSize != kCoreHeaderSize && dib.headerSize < kInfoHeaderSize) return zerr::kDibHeader;
    if (size < dib.headerSize) return zerr::kDibTooShort;

    if (dib.headerSize == kCoreHeaderSize) {
        dib.width = Le16(block + 4);
        dib.height = Le16(block + 6);
        dib.topDown = false;
        dib.bpp = Le16(block + 10);
        dib.compression = BI_RGB;
        dib.xPelsPerMeter = dib.yPelsPerMeter = 0;
        dib.tableEntries = dib.bpp <= 8 ? uint64_t{1} << dib.bpp : 0;
        dib.entrySize = 3;
    } else {
        dib.width = static_cast<int32_t>(Le32(block + 4));
        const int64_t height = static_cast<int32_t>(Le32(block + 8));
        dib.topDown = height < 0;
        dib.height = dib.topDown ? -height : height;
        dib.bpp = Le16(block + 14);
        dib.compression = Le32(block + 16);
        dib.xPelsPerMeter = static_cast<int32_t>(Le32(block + 24));
        dib.yPelsPerMeter = static_cast<int32_t>(Le32(block + 28));
        const uint32_t clrUsed = Le32(block + 32);
        dib.tableEntries = clrUsed ? clrUsed : dib.bpp <= 8 ? uint64_t{1} << dib.bpp : 0;
        dib.entrySize = 4;
    }
    // Rows of compressed data only ever run bottom-up.
    if (dib.width < 0 || (dib.topDown && !IsUncompressed(dib))) return zerr::kDibHeader;

    const bool masksAfterHeader = dib.headerSize == kInfoHeaderSize && dib.compression == BI_BITFIELDS;
    dib.pixelOffset = dib.headerSize + (masksAfterHeader ? kMaskBytes : 0) + dib.tableEntries * dib.entrySize;

    const bool knownDepth = dib.bpp == 1 || dib.bpp == 4 || dib.bpp == 8 || dib.bpp == 16 || dib.bpp == 24 ||
                            dib.bpp == 32;
    if (knownDepth && IsUncompressed(dib)) {
        const uint64_t needed = dib.pixelOffset + RowBytes(dib.width, dib.bpp) * static_cast<uint64_t>(dib.height);
        if (needed > size) return zerr::kDibTooShort;
    }
    return nullptr;
}

LONG DotsPerInch(int32_t pelsPerMeter) {
    return pelsPerMeter ? static_cast<LONG>(std::floor(pelsPerMeter * 0.0254 + 0.5)) : 96;
}

void ReadPalette(ZImage& image, const BYTE* block, size_t size, const Layout& dib) {
    RGBQUAD* palette = image.GetPalette();
    if (!palette) return;
    const uint64_t count = dib.tableEntries < image.GetNumColors() ? dib.tableEntries : image.GetNumColors();
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t at = dib.headerSize + i * dib.entrySize;
        if (at + dib.entrySize > size) break;
        palette[i].rgbBlue = block[at];
        palette[i].rgbGreen = block[at + 1];
        palette[i].rgbRed = block[at + 2];
        palette[i].rgbReserved = 0;
    }
}

// The block's rows, bottom row first, packed at the start of the pixel
// buffer: for 1, 4, 8 and 24 bits that is the picture itself, 16-bit rows
// are widened in place afterwards. Rows missing from the block stay as
// Create left them.
void CopyRows(ZImage& image, const BYTE* pixels, uint64_t available, const Layout& dib) {
    BYTE* const bits = image.GetBits(0);
    const uint64_t rowBytes = RowBytes(dib.width, dib.bpp);
    const uint64_t rows = rowBytes ? available / rowBytes : 0;
    for (int64_t row = 0; row < dib.height && static_cast<uint64_t>(row) < rows; ++row) {
        const int64_t y = dib.topDown ? dib.height - 1 - row : row;
        memcpy(bits + y * rowBytes, pixels + row * rowBytes, rowBytes);
    }
}

void ExpandRunLengths(ZImage& image, const BYTE* pixels, uint64_t available, DWORD compression) {
    zrle::MemorySource in{pixels, pixels + available};
    if (compression == BI_RLE8) {
        zrle::ExpandRle8(in, image.GetBits(0), image.GetEffWidth(), image.GetHeight());
    } else {
        zrle::ExpandRle4(in, image.GetBits(0), image.GetEffWidth(), image.GetHeight());
    }
}

// Overlapping fields describe no colour layout; they are read as 5-5-5.
void SixteenBitMasks(const BYTE* block, size_t size, const Layout& dib, WORD& red, WORD& green, WORD& blue) {
    red = 0x7C00;
    green = 0x03E0;
    blue = 0x001F;
    if (dib.compression != BI_BITFIELDS || size < kMaskOffset + kMaskBytes) return;
    const WORD r = static_cast<WORD>(Le32(block + kMaskOffset));
    const WORD g = static_cast<WORD>(Le32(block + kMaskOffset + 4));
    const WORD b = static_cast<WORD>(Le32(block + kMaskOffset + 8));
    if ((r & g) || (r & b) || (g & b)) return;
    red = r;
    green = g;
    blue = b;
}

void ThirtyTwoBitRows(ZImage& image, const BYTE* pixels, uint64_t available, const Layout& dib) {
    const uint64_t rowBytes = static_cast<uint64_t>(dib.width) * 4;
    const uint64_t rows = rowBytes ? available / rowBytes : 0;
    for (int64_t row = 0; row < dib.height && static_cast<uint64_t>(row) < rows; ++row) {
        const int64_t y = dib.topDown ? dib.height - 1 - row : row;
        const BYTE* in = pixels + row * rowBytes;
        BYTE* out = image.GetBits(0) + static_cast<size_t>(y) * image.GetEffWidth();
        for (int64_t x = 0; x < dib.width; ++x, in += 4, out += 3) memcpy(out, in, 3);
    }
}

}  // namespace

const char* ZReadPackedDIB(ZImage& image, const BYTE* block, size_t size) {
    Layout dib{};
    if (const char* error = ParseHeader(block, size, dib)) return error;
    if (!image.Create(static_cast<DWORD>(dib.width), static_cast<DWORD>(dib.height), dib.bpp, image.GetType()))
        return image.GetLastError();
    image.SetXDPI(DotsPerInch(dib.xPelsPerMeter));
    image.SetYDPI(DotsPerInch(dib.yPelsPerMeter));
    ReadPalette(image, block, size, dib);

    const BYTE* pixels = block + (dib.pixelOffset < size ? dib.pixelOffset : size);
    const uint64_t available = dib.pixelOffset < size ? size - dib.pixelOffset : 0;
    switch (dib.bpp) {
        case 1:
        case 4:
        case 8:
            if (dib.compression == BI_RGB)
                CopyRows(image, pixels, available, dib);
            else if (dib.compression == BI_RLE8 || dib.compression == BI_RLE4)
                ExpandRunLengths(image, pixels, available, dib.compression);
            else
                throw zerr::kCompressionUnsupported;
            break;
        case 24:
            if (dib.compression == BI_RGB) CopyRows(image, pixels, available, dib);
            break;
        case 16: {
            WORD red, green, blue;
            SixteenBitMasks(block, size, dib, red, green, blue);
            // The 16-bit rows go to the start of the pixel buffer, which is
            // large enough for them, and are widened to 24 bits in place.
            CopyRows(image, pixels, available, dib);
            image.Bitfield2RGB(image.GetBits(0), red, green, blue, 16);
            break;
        }
        case 32:
            if (dib.compression != BI_RGB && dib.compression != BI_BITFIELDS) throw zerr::kUnknownCompression;
            ThirtyTwoBitRows(image, pixels, available, dib);
            break;
        default:
            break;
    }
    return nullptr;
}
