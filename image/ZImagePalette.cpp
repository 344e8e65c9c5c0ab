#include <cstring>

#include "ZImage.h"

namespace {

BYTE Gray(BYTE red, BYTE green, BYTE blue) {
    return static_cast<BYTE>((red * 306 + green * 601 + blue * 117) >> 10);
}

RGBQUAD Quad(BYTE red, BYTE green, BYTE blue) {
    return RGBQUAD{blue, green, red, 0};
}

bool SameColor(const RGBQUAD& a, const RGBQUAD& b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
           a.rgbReserved == b.rgbReserved;
}

const RGBQUAD kStd16[16] = {
    Quad(0, 0, 0),       Quad(128, 0, 0),   Quad(0, 128, 0),   Quad(128, 128, 0),
    Quad(0, 0, 128),     Quad(128, 0, 128), Quad(0, 128, 128), Quad(192, 192, 192),
    Quad(128, 128, 128), Quad(255, 0, 0),   Quad(0, 255, 0),   Quad(255, 255, 0),
    Quad(0, 0, 255),     Quad(255, 0, 255), Quad(0, 255, 255), Quad(255, 255, 255),
};

// The 8-bit standard palette: the first eight 4-bit colours, two pale
// system tints, a 6x6x6 colour cube and a 30-step grey ramp.
struct StdPalette256 {
    RGBQUAD entries[256];
    StdPalette256() {
        int n = 0;
        for (int i = 0; i < 8; ++i) entries[n++] = kStd16[i];
        entries[n++] = Quad(192, 220, 192);
        entries[n++] = Quad(166, 202, 240);
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    entries[n++] = Quad(static_cast<BYTE>(r * 51), static_cast<BYTE>(g * 51),
                                        static_cast<BYTE>(b * 51));
        for (int i = 0; n < 256; ++i) {
            const BYTE v = static_cast<BYTE>(8 + i * 8);
            entries[n++] = Quad(v, v, v);
        }
    }
};

}  // namespace

DWORD ZImage::GetPaletteSize() const { return 4 * head.biClrUsed; }

RGBQUAD* ZImage::GetPalette() const {
    if (!dib || head.biClrUsed == 0) return nullptr;
    return reinterpret_cast<RGBQUAD*>(dib + sizeof(BITMAPINFOHEADER));
}

RGBQUAD ZImage::GetPaletteColor(BYTE index) const {
    const RGBQUAD* palette = GetPalette();
    if (!palette || index >= head.biClrUsed) return RGBQUAD{0, 0, 0, 0};
    return palette[index];
}

bool ZImage::GetPaletteColor(BYTE index, BYTE* red, BYTE* green, BYTE* blue) const {
    const RGBQUAD* palette = GetPalette();
    if (!palette || index >= head.biClrUsed) return false;
    if (red) *red = palette[index].rgbRed;
    if (green) *green = palette[index].rgbGreen;
    if (blue) *blue = palette[index].rgbBlue;
    return true;
}

void ZImage::SetPaletteColor(BYTE index, BYTE red, BYTE green, BYTE blue, BYTE reserved) {
    SetPaletteColor(index, RGBQUAD{blue, green, red, reserved});
}

void ZImage::SetPaletteColor(BYTE index, RGBQUAD color) {
    RGBQUAD* palette = GetPalette();
    if (!palette || index >= head.biClrUsed) return;
    palette[index] = color;
    info.lastNearestValid = false;
}

void ZImage::SetPaletteColor(BYTE index, DWORD packed) {
    SetPaletteColor(index, RGBtoRGBQUAD(packed));
}

void ZImage::SetPalette(DWORD count, const BYTE* red, const BYTE* green, const BYTE* blue) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !red) return;
    if (!green) green = red;
    if (!blue) blue = green;
    const DWORD n = count < head.biClrUsed ? count : head.biClrUsed;
    for (DWORD j = 0; j < n; ++j) {
        palette[j].rgbRed = red[j];
        palette[j].rgbGreen = green[j];
        palette[j].rgbBlue = blue[j];
    }
    info.lastNearestValid = false;
}

void ZImage::SetPalette(const RGBQUAD* source, DWORD count) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !source) return;
    const DWORD n = count < head.biClrUsed ? count : head.biClrUsed;
    memmove(palette, source, 4 * static_cast<size_t>(n));
    info.lastNearestValid = false;
}

void ZImage::SetPalette(const rgb_color* source, DWORD count) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !source) return;
    const DWORD n = count < head.biClrUsed ? count : head.biClrUsed;
    for (DWORD j = 0; j < n; ++j) {
        palette[j].rgbRed = source[j].r;
        palette[j].rgbGreen = source[j].g;
        palette[j].rgbBlue = source[j].b;
    }
    info.lastNearestValid = false;
}

void ZImage::SetGrayPalette() {
    RGBQUAD* palette = GetPalette();
    if (!palette) return;
    const DWORD n = head.biClrUsed;
    const DWORD step = n > 1 ? 255 / (n - 1) : 0;
    for (DWORD j = 0; j < n; ++j) {
        const BYTE v = static_cast<BYTE>(j * step);
        palette[j].rgbBlue = palette[j].rgbGreen = palette[j].rgbRed = v;
    }
    info.lastNearestValid = false;
}

bool ZImage::IsGrayScale() const {
    const RGBQUAD* palette = GetPalette();
    if (!palette) return false;
    for (DWORD j = 0; j < head.biClrUsed; ++j) {
        if (palette[j].rgbBlue != j || palette[j].rgbGreen != j || palette[j].rgbRed != j) return false;
    }
    return true;
}

void ZImage::SetClrImportant(DWORD count) {
    if (count == 0 || count > 256) {
        head.biClrImportant = 0;
        return;
    }
    switch (head.biBitCount) {
        case 1: head.biClrImportant = count < 2 ? count : 2; break;
        case 4: head.biClrImportant = count < 16 ? count : 16; break;
        case 8: head.biClrImportant = count; break;
        default: break;
    }
}

RGBQUAD ZImage::GetTransColor() const {
    if (head.biBitCount < 24 && info.transIndex != -1) {
        return GetPaletteColor(static_cast<BYTE>(info.transIndex));
    }
    return info.transColor;
}

void ZImage::SetStdPalette() {
    if (!dib) return;
    if (head.biBitCount == 4) {
        SetPalette(kStd16, 16);
    } else if (head.biBitCount == 8) {
        static const StdPalette256 standard;
        SetPalette(standard.entries, 256);
    }
}

void ZImage::BlendPalette(DWORD packed, DWORD percent) {
    RGBQUAD* palette = GetPalette();
    if (!palette) return;
    if (percent > 100) percent = 100;
    const RGBQUAD c = RGBtoRGBQUAD(packed);
    auto mix = [percent](unsigned component, unsigned with) {
        return static_cast<BYTE>((component * (100 - percent) + with * percent) / 100);
    };
    for (DWORD j = 0; j < head.biClrUsed; ++j) {
        palette[j].rgbBlue = mix(palette[j].rgbBlue, c.rgbBlue);
        palette[j].rgbGreen = mix(palette[j].rgbGreen, c.rgbGreen);
        palette[j].rgbRed = mix(palette[j].rgbRed, c.rgbRed);
    }
    info.lastNearestValid = false;
}

void ZImage::SwapIndex(BYTE index1, BYTE index2) {
    RGBQUAD* palette = GetPalette();
    if (!palette) return;
    if (index1 < head.biClrUsed && index2 < head.biClrUsed) {
        const RGBQUAD t = palette[index1];
        palette[index1] = palette[index2];
        palette[index2] = t;
    }
    info.lastNearestValid = false;
    for (LONG y = 0; y < head.biHeight; ++y) {
        for (LONG x = 0; x < head.biWidth; ++x) {
            const BYTE index = GetPixelIndex(x, y);
            if (index == index1) {
                SetPixelIndex(x, y, index2);
            } else if (index == index2) {
                SetPixelIndex(x, y, index1);
            }
        }
    }
}

BYTE* ZImage::PixelAddress(LONG x, LONG y) const {
    return info.bits + static_cast<size_t>(y) * info.effWidth + (static_cast<size_t>(x) * head.biBitCount >> 3);
}

BYTE ZImage::GetPixelIndex(LONG x, LONG y) const {
    if (!dib || head.biClrUsed == 0) return 0;
    if (!IsInside(x, y)) {
        if (info.transIndex != -1) return static_cast<BYTE>(info.transIndex);
        return head.biSizeImage ? info.bits[0] : 0;
    }
    const BYTE byte = *PixelAddress(x, y);
    switch (head.biBitCount) {
        case 8: return byte;
        case 4: return (x & 1) ? (byte & 0x0F) : (byte >> 4);
        default: return (byte >> (7 - (x & 7))) & 1;
    }
}

void ZImage::SetPixelIndex(LONG x, LONG y, BYTE index) {
    if (!dib || head.biClrUsed == 0 || !IsInside(x, y)) return;
    BYTE* p = PixelAddress(x, y);
    switch (head.biBitCount) {
        case 8: *p = index; break;
        case 4:
            *p = (x & 1) ? static_cast<BYTE>((*p & 0xF0) | (index & 0x0F))
                         : static_cast<BYTE>((*p & 0x0F) | (index << 4));
            break;
        default: {
            const BYTE mask = static_cast<BYTE>(0x80 >> (x & 7));
            *p = (index & 1) ? (*p | mask) : (*p & ~mask);
        }
    }
}

RGBQUAD ZImage::GetPixelColor(LONG x, LONG y, bool withAlpha) const {
    RGBQUAD result = info.transColor;
    if (dib && IsInside(x, y)) {
        if (head.biClrUsed) {
            result = GetPaletteColor(GetPixelIndex(x, y));
        } else {
            const BYTE* p = PixelAddress(x, y);
            result.rgbBlue = p[0];
            result.rgbGreen = p[1];
            result.rgbRed = p[2];
        }
        if (alpha && withAlpha) result.rgbReserved = AlphaGet(x, y);
        return result;
    }
    if (info.transIndex != -1) {
        return head.biBitCount < 24 ? GetPaletteColor(static_cast<BYTE>(info.transIndex)) : info.transColor;
    }
    // An image of zero size has no bottom-left pixel to fall back on.
    if (dib && IsInside(0, 0)) return GetPixelColor(0, 0, true);
    return info.transColor;
}

void ZImage::SetPixelColor(LONG x, LONG y, RGBQUAD color, bool withAlpha) {
    if (!dib || !IsInside(x, y)) return;
    if (head.biClrUsed) {
        SetPixelIndex(x, y, GetNearestIndex(color));
        return;
    }
    BYTE* p = PixelAddress(x, y);
    p[0] = color.rgbBlue;
    p[1] = color.rgbGreen;
    p[2] = color.rgbRed;
    if (withAlpha) AlphaSet(x, y, color.rgbReserved);
}

void ZImage::SetPixelColor(LONG x, LONG y, DWORD packed) {
    SetPixelColor(x, y, RGBtoRGBQUAD(packed), false);
}

BYTE ZImage::GetPixelGray(LONG x, LONG y) const {
    const RGBQUAD c = GetPixelColor(x, y, true);
    return Gray(c.rgbRed, c.rgbGreen, c.rgbBlue);
}

BYTE ZImage::GetNearestIndex(RGBQUAD color) {
    const RGBQUAD* palette = GetPalette();
    if (!palette) return 0;
    if (info.lastNearestValid && SameColor(info.lastNearestColor, color)) return info.lastNearestIndex;
    info.lastNearestColor = color;
    info.lastNearestValid = true;

    const DWORD m = head.biClrImportant ? head.biClrImportant : head.biClrUsed;
    long best = 200000;
    BYTE bestIndex = 0;
    for (DWORD j = 0; j < m && j < head.biClrUsed; ++j) {
        const long db = palette[j].rgbBlue - color.rgbBlue;
        const long dg = palette[j].rgbGreen - color.rgbGreen;
        const long dr = palette[j].rgbRed - color.rgbRed;
        const long d = db * db + dg * dg + dr * dr;
        if (d == 0) {
            bestIndex = static_cast<BYTE>(j);
            break;
        }
        if (d < best) {
            best = d;
            bestIndex = static_cast<BYTE>(j);
        }
    }
    info.lastNearestIndex = bestIndex;
    return bestIndex;
}

RGBQUAD ZImage::RGBtoRGBQUAD(DWORD packed) {
    return RGBQUAD{static_cast<BYTE>(packed >> 16), static_cast<BYTE>(packed >> 8), static_cast<BYTE>(packed), 0};
}

DWORD ZImage::RGBQUADtoRGB(RGBQUAD color) {
    return color.rgbRed | (color.rgbGreen << 8) | (static_cast<DWORD>(color.rgbBlue) << 16);
}

int ZImage::CompareColors(const void* a, const void* b) {
    const RGBQUAD* ca = static_cast<const RGBQUAD*>(a);
    const RGBQUAD* cb = static_cast<const RGBQUAD*>(b);
    return Gray(ca->rgbRed, ca->rgbGreen, ca->rgbBlue) - Gray(cb->rgbRed, cb->rgbGreen, cb->rgbBlue);
}

void ZImage::RGBtoBGR(BYTE* buffer, int length) const {
    if (!buffer || head.biClrUsed) return;
    const long limit = length < static_cast<long>(info.effWidth) ? length : static_cast<long>(info.effWidth);
    for (long i = 0; i < limit && i + 2 < length; i += 3) {
        const BYTE t = buffer[i];
        buffer[i] = buffer[i + 2];
        buffer[i + 2] = t;
    }
}
