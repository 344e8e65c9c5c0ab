#include "ZImage.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "ZErrors.h"

namespace {

DWORD NormalisedBpp(DWORD bpp) {
    if (bpp <= 1) return 1;
    if (bpp <= 4) return 4;
    if (bpp <= 8) return 8;
    return 24;
}

DWORD PaletteEntries(DWORD bpp) {
    switch (bpp) {
        case 1: return 2;
        case 4: return 16;
        case 8: return 256;
        default: return 0;
    }
}

bool AboveMemoryCeiling(DWORD width, DWORD height, DWORD bpp) {
    const uint64_t pixels = static_cast<uint64_t>(width) * height;
    if (pixels > std::numeric_limits<uint64_t>::max() / bpp) return true;
    return pixels * bpp / 256 > ZIMAGE_MAX_MEMORY;
}

// Pixels per metre for a resolution in dots per inch, rounded.
LONG PelsPerMeter(LONG dpi) {
    return static_cast<LONG>(dpi * 39.37007874015748 + 0.5);
}

BYTE* DuplicatePlane(const BYTE* plane, size_t size) {
    BYTE* copy = static_cast<BYTE*>(malloc(size ? size : 1));
    if (copy && size) memcpy(copy, plane, size);
    return copy;
}

}  // namespace

void ZImage::Startup(DWORD type) {
    dib = nullptr;
    selection = nullptr;
    alpha = nullptr;
    layers = nullptr;
    memset(&head, 0, sizeof(head));
    memset(&info, 0, sizeof(info));
    info.type = type;
    info.jpegQuality = 90;
    info.alphaMax = 255;
    info.transIndex = -1;
    info.enabled = true;
    SetXDPI(96);
    SetYDPI(96);
}

ZImage::ZImage(DWORD type) { Startup(type); }

ZImage::ZImage(DWORD width, DWORD height, DWORD bpp, DWORD type) {
    Startup(type);
    Create(width, height, bpp, type);
}

ZImage::ZImage(const ZImage& src, bool copyPixels, bool copySelection, bool copyAlpha) {
    Startup(src.info.type);
    Copy(src, copyPixels, copySelection, copyAlpha);
}

ZImage::~ZImage() { Destroy(); }

ZImage& ZImage::operator=(const ZImage& src) {
    if (this != &src) Copy(src, true, true, true);
    return *this;
}

void ZImage::SetError(const char* text) {
    // Texts may come from another image's buffer of the same size.
    if (text == info.lastError) return;
    strncpy(info.lastError, text, sizeof(info.lastError) - 1);
    info.lastError[sizeof(info.lastError) - 1] = '\0';
}

void* ZImage::Create(DWORD width, DWORD height, DWORD bpp, DWORD type) {
    if (!Destroy()) return nullptr;

    bpp = NormalisedBpp(bpp);
    if (AboveMemoryCeiling(width, height, bpp)) {
        SetError(zerr::kMaxMemory);
        return nullptr;
    }

    const uint64_t effWidth = (static_cast<uint64_t>(width) * bpp + 31) / 32 * 4;
    const uint64_t sizeImage = effWidth * height;
    const DWORD colours = PaletteEntries(bpp);
    const uint64_t blockSize = sizeof(BITMAPINFOHEADER) + 4 * colours + sizeImage;

    head.biClrUsed = colours;
    info.type = type;
    info.effWidth = static_cast<DWORD>(effWidth);
    head.biSize = sizeof(BITMAPINFOHEADER);
    head.biWidth = static_cast<LONG>(width);
    head.biHeight = static_cast<LONG>(height);
    head.biPlanes = 1;
    head.biBitCount = static_cast<WORD>(bpp);
    head.biCompression = BI_RGB;
    head.biSizeImage = static_cast<DWORD>(sizeImage);
    head.biClrImportant = 0;

    // The block must be describable by its own 32-bit size fields.
    const bool representable = blockSize <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
    // Zeroed so that row padding and unwritten pixels are deterministic.
    dib = representable ? static_cast<BYTE*>(calloc(1, static_cast<size_t>(blockSize))) : nullptr;
    if (!dib) {
        SetError(zerr::kCreateNoMemory);
        return nullptr;
    }

    info.lastNearestValid = false;
    memcpy(dib, &head, sizeof(head));
    info.bits = GetBits(0);
    return dib;
}

bool ZImage::Destroy() {
    if (info.ghostOf) return false;
    if (layers) {
        for (LONG i = 0; i < info.numLayers; ++i) delete layers[i];
        free(layers);
        layers = nullptr;
    }
    free(selection);
    free(alpha);
    free(dib);
    selection = alpha = dib = nullptr;
    return true;
}

// Takes src's state but never its buffer pointers or ghost link: those
// describe src's own buffers, not this object's.
void ZImage::AdoptInfo(const tagZImageState& src) {
    ZImage* const ghostOf = info.ghostOf;
    BYTE* const bits = info.bits;
    info = src;
    info.ghostOf = ghostOf;
    info.bits = dib ? bits : nullptr;
}

void ZImage::Copy(const ZImage& src, bool copyPixels, bool copySelection, bool copyAlpha) {
    if (&src == this) return;
    AdoptInfo(src.info);
    // Layers are never copied, so the copy's count must not claim any.
    info.numLayers = 0;
    if (!Create(src.GetWidth(), src.GetHeight(), src.GetBpp(), src.info.type)) return;
    if (copyPixels && src.dib) {
        const LONG size = GetSize() < src.GetSize() ? GetSize() : src.GetSize();
        memcpy(dib, src.dib, static_cast<size_t>(size));
    } else {
        SetPalette(src.GetPalette(), 256);
    }
    const size_t planeSize = static_cast<size_t>(GetWidth()) * GetHeight();
    if (copySelection && src.selection) {
        free(selection);
        selection = DuplicatePlane(src.selection, planeSize);
    }
    if (copyAlpha && src.alpha) {
        free(alpha);
        alpha = DuplicatePlane(src.alpha, planeSize);
    }
}

void ZImage::CopyInfo(const ZImage& src) {
    if (!dib) AdoptInfo(src.info);
}

bool ZImage::Transfer(ZImage& from) {
    if (&from == this) return true;
    if (!Destroy()) return false;
    head = from.head;
    info = from.info;
    dib = from.dib;
    selection = from.selection;
    alpha = from.alpha;
    layers = from.layers;
    memset(&from.head, 0, sizeof(from.head));
    memset(&from.info, 0, sizeof(from.info));
    from.dib = from.selection = from.alpha = nullptr;
    from.layers = nullptr;
    return true;
}

void ZImage::Ghost(const ZImage* from) {
    if (!from) return;
    head = from->head;
    info = from->info;
    dib = from->dib;
    selection = from->selection;
    alpha = from->alpha;
    layers = from->layers;
    info.ghostOf = const_cast<ZImage*>(from);
}

BYTE* ZImage::GetBits(DWORD row) const {
    if (!dib) return nullptr;
    DWORD headerSize;
    memcpy(&headerSize, dib, sizeof(headerSize));
    BYTE* rows = dib + headerSize + 4 * head.biClrUsed;
    if (row == 0) return rows;
    if (row >= static_cast<DWORD>(head.biHeight)) return nullptr;
    return rows + static_cast<size_t>(row) * info.effWidth;
}

LONG ZImage::GetSize() const {
    return static_cast<LONG>(head.biSize + head.biSizeImage + 4 * head.biClrUsed);
}

bool ZImage::IsInside(LONG x, LONG y) const {
    return x >= 0 && y >= 0 && x < head.biWidth && y < head.biHeight;
}

void ZImage::Clear(BYTE value) {
    if (dib) memset(info.bits, value, head.biSizeImage);
}

void ZImage::Bitfield2RGB(const BYTE* src, WORD redMask, WORD greenMask, WORD blueMask, BYTE bpp) {
    if (!dib || !src || head.biBitCount != 24) return;
    const LONG width = head.biWidth;
    const LONG height = head.biHeight;
    // Rows without pixels have nothing to convert, however many there are.
    if (width <= 0) return;
    if (bpp == 32) {
        for (LONG y = height - 1; y >= 0; --y) {
            const BYTE* in = src + static_cast<size_t>(y) * width * 4;
            BYTE* out = info.bits + static_cast<size_t>(y) * info.effWidth;
            for (LONG x = width - 1; x >= 0; --x) {
                out[3 * x] = in[4 * x];
                out[3 * x + 1] = in[4 * x + 1];
                out[3 * x + 2] = in[4 * x + 2];
            }
        }
        return;
    }
    if (bpp != 16) return;

    auto bitCount = [](WORD mask) {
        int n = 0;
        for (; mask; mask &= mask - 1) ++n;
        return n;
    };
    const int r = bitCount(redMask), g = bitCount(greenMask), b = bitCount(blueMask);
    // Fields wider than the word leave nothing: a 16-bit value shifted
    // right by 16 or more is 0 (and a shift by 32 or more is undefined).
    auto shift = [](unsigned value, int right) {
        if (right >= 16) return BYTE{0};
        return static_cast<BYTE>(right >= 0 ? value >> right : value << -right);
    };
    const size_t srcRow = static_cast<size_t>((width + 1) / 2) * 4;
    for (LONG y = height - 1; y >= 0; --y) {
        const BYTE* in = src + static_cast<size_t>(y) * srcRow;
        BYTE* out = info.bits + static_cast<size_t>(y) * info.effWidth;
        // Last to first, so the source may be these very rows holding 16-bit pixels.
        for (LONG x = width - 1; x >= 0; --x) {
            const unsigned w = in[2 * x] | (in[2 * x + 1] << 8);
            const BYTE red = shift(w & redMask, r + g + b - 8);
            const BYTE green = shift(w & greenMask, g + b - 8);
            const BYTE blue = shift(w & blueMask, b - 8);
            out[3 * x] = blue;
            out[3 * x + 1] = green;
            out[3 * x + 2] = red;
        }
    }
}

void ZImage::SetTransColor(RGBQUAD color) {
    color.rgbReserved = 0;
    info.transColor = color;
}

void ZImage::GetOffset(LONG* x, LONG* y) const {
    if (x) *x = info.xOffset;
    if (y) *y = info.yOffset;
}

void ZImage::SetOffset(LONG x, LONG y) {
    info.xOffset = x;
    info.yOffset = y;
}

void ZImage::SetXDPI(LONG dpi) {
    info.xDpi = dpi;
    head.biXPelsPerMeter = PelsPerMeter(dpi);
}

void ZImage::SetYDPI(LONG dpi) {
    info.yDpi = dpi;
    head.biYPelsPerMeter = PelsPerMeter(dpi);
}

void ZImage::SetFlags(DWORD flags, bool lockReserved) {
    info.flags = lockReserved ? (flags & 0xFFFF) : flags;
}

BYTE ZImage::GetColorType() const {
    if (alpha) return 4;
    return head.biBitCount <= 8 ? 1 : 2;
}

const char* ZImage::GetVersion() { return "ZImage 1.0"; }
