#include <cstdlib>
#include <cstring>

#include "ZImage.h"

namespace {

size_t PlaneSize(DWORD width, DWORD height) { return static_cast<size_t>(width) * height; }

// A plane of an image with no pixels still gets a block, so that it exists.
BYTE* NewPlane(size_t size) { return static_cast<BYTE*>(malloc(size ? size : 1)); }

}  // namespace

void ZImage::AlphaCreate() {
    if (alpha) return;
    const size_t size = PlaneSize(GetWidth(), GetHeight());
    alpha = NewPlane(size);
    if (alpha) memset(alpha, 255, size);
}

void ZImage::AlphaDelete() {
    free(alpha);
    alpha = nullptr;
}

void ZImage::AlphaSet(LONG x, LONG y, BYTE level) {
    if (alpha && IsInside(x, y)) alpha[static_cast<size_t>(y) * head.biWidth + x] = level;
}

BYTE ZImage::AlphaGet(LONG x, LONG y) const {
    if (alpha && IsInside(x, y)) return alpha[static_cast<size_t>(y) * head.biWidth + x];
    return 0;
}

void ZImage::AlphaClear() { AlphaSet(static_cast<BYTE>(0)); }

void ZImage::AlphaSet(BYTE level) {
    if (alpha) memset(alpha, level, PlaneSize(GetWidth(), GetHeight()));
}

void ZImage::AlphaInvert() {
    if (!alpha) return;
    const size_t size = PlaneSize(GetWidth(), GetHeight());
    for (size_t i = 0; i < size; ++i) alpha[i] = static_cast<BYTE>(255 - alpha[i]);
}

bool ZImage::AlphaCopy(const ZImage& from) {
    if (!from.alpha || from.GetWidth() != GetWidth() || from.GetHeight() != GetHeight()) return false;
    const size_t size = PlaneSize(GetWidth(), GetHeight());
    if (!alpha) alpha = NewPlane(size);
    if (!alpha) return false;
    memcpy(alpha, from.alpha, size);
    info.alphaMax = from.info.alphaMax;
    return true;
}

bool ZImage::AlphaSet(const ZImage& from) {
    if (!from.IsGrayScale() || from.GetWidth() != GetWidth() || from.GetHeight() != GetHeight()) return false;
    const LONG width = head.biWidth;
    const LONG height = head.biHeight;
    if (!alpha) alpha = NewPlane(PlaneSize(width, height));
    if (!alpha) return false;
    for (LONG y = 0; y < height; ++y) {
        BYTE* out = alpha + static_cast<size_t>(y) * width;
        if (from.head.biBitCount == 8) {
            memcpy(out, from.GetBits(static_cast<DWORD>(y)), static_cast<size_t>(width));
        } else {
            // Packed rows are shorter than the width: read each index.
            for (LONG x = 0; x < width; ++x) out[x] = from.GetPixelIndex(x, y);
        }
    }
    return true;
}

bool ZImage::AlphaPaletteIsValid() const {
    const RGBQUAD* palette = GetPalette();
    if (!palette) return false;
    for (DWORD j = 0; j < head.biClrUsed; ++j) {
        if (palette[j].rgbReserved) return true;
    }
    return false;
}

void ZImage::AlphaPaletteClear() {
    RGBQUAD* palette = GetPalette();
    if (!palette) return;
    for (DWORD j = 0; j < head.biClrUsed; ++j) palette[j].rgbReserved = 0;
}

bool ZImage::AlphaFlip() {
    if (!alpha) return false;
    const size_t width = GetWidth();
    const size_t height = GetHeight();
    BYTE* flipped = NewPlane(width * height);
    if (!flipped) return false;
    for (size_t y = 0; y < height; ++y) memcpy(flipped + y * width, alpha + (height - 1 - y) * width, width);
    free(alpha);
    alpha = flipped;
    return true;
}

bool ZImage::AlphaMirror() {
    if (!alpha) return false;
    const size_t width = GetWidth();
    const size_t height = GetHeight();
    BYTE* mirrored = NewPlane(width * height);
    if (!mirrored) return false;
    for (size_t y = 0; y < height; ++y) {
        const BYTE* in = alpha + y * width;
        BYTE* out = mirrored + y * width;
        for (size_t x = 0; x < width; ++x) out[x] = in[width - 1 - x];
    }
    free(alpha);
    alpha = mirrored;
    return true;
}

bool ZImage::SelectionIsInside(LONG x, LONG y) const {
    if (!IsInside(x, y)) return false;
    return !selection || selection[static_cast<size_t>(y) * head.biWidth + x] != 0;
}

bool ZImage::SelectionCopy(const ZImage& from) {
    if (!from.selection || from.GetWidth() != GetWidth() || from.GetHeight() != GetHeight()) return false;
    const size_t size = PlaneSize(GetWidth(), GetHeight());
    if (!selection) selection = NewPlane(size);
    if (!selection) return false;
    memcpy(selection, from.selection, size);
    info.selectionBox = from.info.selectionBox;
    return true;
}
