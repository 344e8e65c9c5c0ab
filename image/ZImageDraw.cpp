// Drawing to a Windows device context, and exchange with global memory
// blocks, bitmap handles and icon handles. Every device context, bitmap and
// region made here is released before the call returns, except what is
// handed to the caller.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ZErrors.h"
#include "ZImage.h"
#include "ZPackedDIB.h"

namespace {

// The DIB block starts with the header and palette in the platform's
// BITMAPINFO layout; this only hands it to GDI.
const BITMAPINFO* AsBitmapInfo(const void* dib) { return static_cast<const BITMAPINFO*>(dib); }

LONG ClampToLong(int64_t v) {
    return static_cast<LONG>(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX));
}

// Narrows the context's clipping to a rectangle for the life of the object,
// then puts back exactly the clipping it had (a region, or none).
class ClipScope {
public:
    ClipScope(HDC hdc, const RECT* clip) : m_hdc(hdc) {
        if (!clip) return;
        m_saved = CreateRectRgn(0, 0, 0, 0);
        if (!m_saved) return;
        m_hadRegion = GetClipRgn(hdc, m_saved) == 1;
        m_active = true;
        if (HRGN region = CreateRectRgnIndirect(clip)) {
            ExtSelectClipRgn(hdc, region, RGN_AND);
            DeleteObject(region);
        }
    }
    ~ClipScope() {
        if (m_active) SelectClipRgn(m_hdc, m_hadRegion ? m_saved : nullptr);
        if (m_saved) DeleteObject(m_saved);
    }
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

private:
    HDC m_hdc;
    HRGN m_saved = nullptr;
    bool m_hadRegion = false;
    bool m_active = false;
};

// A 24-bit bottom-up DIB section selected into a memory context.
class TempSection {
public:
    TempSection(HDC compatibleWith, LONG width, LONG height) {
        m_info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        m_info.bmiHeader.biWidth = width;
        m_info.bmiHeader.biHeight = height;
        m_info.bmiHeader.biPlanes = 1;
        m_info.bmiHeader.biBitCount = 24;
        m_info.bmiHeader.biCompression = BI_RGB;
        m_dc = CreateCompatibleDC(compatibleWith);
        if (!m_dc) return;
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(compatibleWith, &m_info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!m_bitmap) return;
        m_old = SelectObject(m_dc, m_bitmap);
        m_bits = static_cast<BYTE*>(bits);
        m_stride = (static_cast<size_t>(width) * 24 + 31) / 32 * 4;
    }
    ~TempSection() {
        if (m_old) SelectObject(m_dc, m_old);
        if (m_bitmap) DeleteObject(m_bitmap);
        if (m_dc) DeleteDC(m_dc);
    }
    TempSection(const TempSection&) = delete;
    TempSection& operator=(const TempSection&) = delete;

    HDC dc() const { return m_dc; }
    BYTE* Row(LONG j) const { return m_bits + j * m_stride; }
    bool HasPixels() const { return m_bits != nullptr; }
    const BITMAPINFO* Info() const { return &m_info; }

private:
    BITMAPINFO m_info{};
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    BYTE* m_bits = nullptr;
    size_t m_stride = 0;
};

DWORD AsDword(RGBQUAD c) {
    return c.rgbBlue | static_cast<DWORD>(c.rgbGreen) << 8 | static_cast<DWORD>(c.rgbRed) << 16 |
           static_cast<DWORD>(c.rgbReserved) << 24;
}

}  // namespace

long ZImage::Stretch(HDC hdc, long x, long y, long width, long height, DWORD rop) {
    if (!dib || !hdc) return 0;
    SetStretchBltMode(hdc, COLORONCOLOR);
    StretchDIBits(hdc, x, y, width, height, 0, 0, head.biWidth, head.biHeight, info.bits, AsBitmapInfo(dib),
                  DIB_RGB_COLORS, rop);
    return 1;
}

long ZImage::Stretch(HDC hdc, const RECT& rect, DWORD rop) {
    return Stretch(hdc, rect.left, rect.top, ClampToLong(int64_t{rect.right} - rect.left),
                   ClampToLong(int64_t{rect.bottom} - rect.top), rop);
}

long ZImage::Draw(HDC hdc, long x, long y, long cx, long cy, RECT* clip) {
    if (!dib || !hdc || cx == 0 || cy == 0 || !info.enabled) return 0;
    if (cx < 0) cx = head.biWidth;
    if (cy < 0) cy = head.biHeight;
    const bool transparent = info.transIndex != -1;
    const bool hasAlpha = alpha != nullptr;
    const bool blended = transparent || hasAlpha || info.alphaPaletteEnabled;
    const bool natural = cx == head.biWidth && cy == head.biHeight;

    ClipScope clipScope(hdc, clip);
    if (!blended && natural) {
        SetStretchBltMode(hdc, COLORONCOLOR);
        SetDIBitsToDevice(hdc, x, y, cx, cy, 0, 0, 0, cy, info.bits, AsBitmapInfo(dib), DIB_RGB_COLORS);
        return 1;
    }

    // Only the visible part of the destination is worked on.
    RECT box{};
    GetClipBox(hdc, &box);
    const LONG left = std::min<int64_t>(box.right, std::max<int64_t>(box.left, x));
    const LONG right = std::max<int64_t>(box.left, std::min<int64_t>(box.right, int64_t{x} + cx));
    const LONG top = std::min<int64_t>(box.bottom, std::max<int64_t>(box.top, y));
    const LONG bottom = std::max<int64_t>(box.top, std::min<int64_t>(box.bottom, int64_t{y} + cy));
    const LONG destW = right - left;
    const LONG destH = bottom - top;
    if (destW <= 0 || destH <= 0) return 1;

    TempSection temp(hdc, destW, destH);
    if (!temp.HasPixels()) return 1;
    if (blended) BitBlt(temp.dc(), 0, 0, destW, destH, hdc, left, top, SRCCOPY);
    GdiFlush();

    const LONG width = head.biWidth;
    const LONG height = head.biHeight;
    const bool paletted = head.biClrUsed != 0;
    const bool sameSize = natural && blended;
    const float fx = static_cast<float>(width) / cx;
    const float fy = static_cast<float>(height) / cy;
    auto clampTo = [](int64_t v, LONG size) { return static_cast<LONG>(std::min<int64_t>(std::max<int64_t>(v, 0), size - 1)); };

    std::vector<LONG> columns(destW);
    for (LONG i = 0; i < destW; ++i) {
        const int64_t column = sameSize ? int64_t{left} - x + i
                                        : static_cast<int64_t>(std::floor(double(int64_t{left} + i - x) * fx));
        columns[i] = clampTo(column, width);
    }
    const RGBQUAD key = GetTransColor();
    const DWORD keyValue = AsDword(key);

    for (LONG j = 0; j < destH; ++j) {
        int64_t row;
        if (sameSize) {
            row = int64_t{y} + height - bottom + j;
        } else {
            row = height - static_cast<int64_t>(std::ceil(double(int64_t{bottom} - j - y) * fy));
        }
        const LONG imageRow = clampTo(row, height);
        const BYTE* source = info.bits + static_cast<size_t>(imageRow) * info.effWidth;
        BYTE* out = temp.Row(j);
        for (LONG i = 0; i < destW; ++i, out += 3) {
            const LONG column = columns[i];
            RGBQUAD c;
            BYTE index = 0;
            if (paletted) {
                index = GetPixelIndex(column, imageRow);
                c = GetPaletteColor(index);
            } else {
                const BYTE* p = source + static_cast<size_t>(column) * 3;
                c = RGBQUAD{p[0], p[1], p[2], 0};
            }
            if (!blended) {
                out[0] = c.rgbBlue;
                out[1] = c.rgbGreen;
                out[2] = c.rgbRed;
                continue;
            }
            unsigned a = hasAlpha ? alpha[static_cast<size_t>(imageRow) * width + column] : 255;
            a = (a * (info.alphaMax + 1u)) >> 8;
            if (paletted && info.alphaPaletteEnabled) a = (a * (c.rgbReserved + 1u)) >> 8;
            const bool isKey = transparent && (paletted ? index == info.transIndex
                                                        : AsDword(RGBQUAD{c.rgbBlue, c.rgbGreen, c.rgbRed, 0}) == keyValue);
            if (isKey || a == 0) continue;
            if (a == 255) {
                out[0] = c.rgbBlue;
                out[1] = c.rgbGreen;
                out[2] = c.rgbRed;
            } else {
                out[0] = static_cast<BYTE>((c.rgbBlue * a + out[0] * (255 - a)) >> 8);
                out[1] = static_cast<BYTE>((c.rgbGreen * a + out[1] * (255 - a)) >> 8);
                out[2] = static_cast<BYTE>((c.rgbRed * a + out[2] * (255 - a)) >> 8);
            }
        }
    }
    SetDIBitsToDevice(hdc, left, top, destW, destH, 0, 0, 0, destH, temp.Row(0), temp.Info(), DIB_RGB_COLORS);
    return 1;
}

long ZImage::Draw(HDC hdc, const RECT& rect, RECT* clip) {
    return Draw(hdc, rect.left, rect.top, ClampToLong(int64_t{rect.right} - rect.left),
                ClampToLong(int64_t{rect.bottom} - rect.top), clip);
}

long ZImage::Draw2(HDC hdc, long x, long y, long cx, long cy) {
    if (!dib || !hdc || cx == 0 || cy == 0 || !info.enabled) return 0;
    if (cx < 0) cx = head.biWidth;
    if (cy < 0) cy = head.biHeight;
    const LONG width = head.biWidth;
    const LONG height = head.biHeight;

    if (info.transIndex == -1) {
        SetStretchBltMode(hdc, COLORONCOLOR);
        StretchDIBits(hdc, x, y, cx, cy, 0, 0, width, height, info.bits, AsBitmapInfo(dib), DIB_RGB_COLORS,
                      SRCCOPY);
        return 1;
    }
    const RECT target{x, y, ClampToLong(int64_t{x} + cx), ClampToLong(int64_t{y} + cy)};
    if (!RectVisible(hdc, &target)) return 1;

    HDC imageDC = CreateCompatibleDC(hdc);
    HDC maskDC = CreateCompatibleDC(hdc);
    HBITMAP imageBitmap = CreateCompatibleBitmap(hdc, width, height);
    HBITMAP maskBitmap = CreateBitmap(width, height, 1, 1, nullptr);
    if (imageDC && maskDC && imageBitmap && maskBitmap) {
        HGDIOBJ oldImage = SelectObject(imageDC, imageBitmap);
        HGDIOBJ oldMask = SelectObject(maskDC, maskBitmap);
        SetStretchBltMode(imageDC, COLORONCOLOR);
        StretchDIBits(imageDC, 0, 0, width, height, 0, 0, width, height, info.bits, AsBitmapInfo(dib),
                      DIB_RGB_COLORS, SRCCOPY);

        // Colour to monochrome: pixels of the background colour become white.
        const RGBQUAD key = head.biBitCount >= 24 ? info.transColor : GetPaletteColor(static_cast<BYTE>(info.transIndex));
        SetBkColor(imageDC, RGB(key.rgbRed, key.rgbGreen, key.rgbBlue));
        BitBlt(maskDC, 0, 0, width, height, imageDC, 0, 0, SRCCOPY);

        // Monochrome to colour maps white to the background and black to the
        // text colour: the mask must keep the key and clear the rest.
        const COLORREF oldBk = SetBkColor(hdc, RGB(255, 255, 255));
        const COLORREF oldText = SetTextColor(hdc, RGB(0, 0, 0));
        StretchBlt(hdc, x, y, cx, cy, imageDC, 0, 0, width, height, SRCINVERT);
        StretchBlt(hdc, x, y, cx, cy, maskDC, 0, 0, width, height, SRCAND);
        StretchBlt(hdc, x, y, cx, cy, imageDC, 0, 0, width, height, SRCINVERT);
        SetBkColor(hdc, oldBk);
        SetTextColor(hdc, oldText);

        SelectObject(imageDC, oldImage);
        SelectObject(maskDC, oldMask);
    }
    if (maskBitmap) DeleteObject(maskBitmap);
    if (imageBitmap) DeleteObject(imageBitmap);
    if (maskDC) DeleteDC(maskDC);
    if (imageDC) DeleteDC(imageDC);
    return 1;
}

long ZImage::Draw2(HDC hdc, const RECT& rect) {
    return Draw2(hdc, rect.left, rect.top, ClampToLong(int64_t{rect.right} - rect.left),
                 ClampToLong(int64_t{rect.bottom} - rect.top));
}

long ZImage::Tile(HDC hdc, RECT* rect) {
    if (!dib || !hdc || !rect) return 0;
    const int64_t width = int64_t{rect->right} - rect->left;
    const int64_t height = int64_t{rect->bottom} - rect->top;
    const LONG tileW = head.biWidth;
    const LONG tileH = head.biHeight;
    // A picture without pixels has no step to advance by.
    if (tileW <= 0 || tileH <= 0) return 1;
    for (int64_t y = 0; y < height; y += tileH) {
        const LONG cellTop = static_cast<LONG>(rect->top + y);
        const LONG cellH = static_cast<LONG>(std::min<int64_t>(tileH, height - y));
        for (int64_t x = 0; x < width; x += tileW) {
            const LONG cellLeft = static_cast<LONG>(rect->left + x);
            const LONG cellW = static_cast<LONG>(std::min<int64_t>(tileW, width - x));
            RECT cell{cellLeft, cellTop, cellLeft + cellW, cellTop + cellH};
            Draw(hdc, cellLeft, cellTop, -1, -1, &cell);
        }
    }
    return 1;
}

HANDLE ZImage::CopyToHandle() {
    if (!dib) return nullptr;
    const SIZE_T size = static_cast<SIZE_T>(GetSize());
    HGLOBAL block = GlobalAlloc(GHND, size);
    if (!block) return nullptr;
    void* data = GlobalLock(block);
    if (!data) {
        GlobalFree(block);
        return nullptr;
    }
    memcpy(data, dib, size);
    GlobalUnlock(block);
    return block;
}

bool ZImage::CreateFromHANDLE(HANDLE block) {
    if (!Destroy()) return false;
    const SIZE_T size = block ? GlobalSize(block) : 0;
    if (size == 0) return false;
    const BYTE* data = static_cast<const BYTE*>(GlobalLock(block));
    if (!data) return false;
    // Unlocked on every way out, the thrown compression texts included.
    struct Unlock {
        HGLOBAL block;
        ~Unlock() { GlobalUnlock(block); }
    } unlock{block};
    if (const char* error = ZReadPackedDIB(*this, data, size)) {
        SetError(error);
        return false;
    }
    return true;
}

HBITMAP ZImage::MakeBitmap(HDC hdc) {
    if (!dib) return nullptr;
    const BITMAPINFO* format = AsBitmapInfo(dib);
    if (hdc) return CreateDIBitmap(hdc, &format->bmiHeader, CBM_INIT, GetBits(0), format, DIB_RGB_COLORS);

    HDC screenCompatible = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(screenCompatible, format, DIB_RGB_COLORS, &bits, nullptr, 0);
    DIBSECTION made{};
    if (section && bits && GetObjectA(section, sizeof(made), &made) == sizeof(made)) {
        const size_t room = static_cast<size_t>(made.dsBm.bmWidthBytes) * made.dsBm.bmHeight;
        memcpy(bits, GetBits(0), std::min<size_t>(head.biSizeImage, room));
    }
    if (screenCompatible) DeleteDC(screenCompatible);
    return section;
}

bool ZImage::CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette) {
    if (!Destroy() || !bitmap) return false;
    // A handle that is no bitmap leaves the record empty; GetDIBits then fails.
    BITMAP record{};
    GetObjectA(bitmap, sizeof(record), &record);
    if (!Create(record.bmWidth, record.bmHeight, record.bmBitsPixel, info.type)) return false;

    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HPALETTE oldPalette = palette ? SelectPalette(screen, palette, FALSE) : nullptr;
    if (oldPalette) RealizePalette(screen);
    const int rows = GetDIBits(screen, bitmap, 0, head.biHeight, info.bits, reinterpret_cast<BITMAPINFO*>(dib),
                               DIB_RGB_COLORS);
    if (oldPalette) SelectPalette(screen, oldPalette, FALSE);
    ReleaseDC(nullptr, screen);
    if (rows == 0) {
        SetError(zerr::kGetDIBitsFailed);
        return false;
    }
    return true;
}

bool ZImage::CreateFromHICON(HICON icon) {
    if (!Destroy() || !icon) return false;
    ICONINFO parts{};
    if (!GetIconInfo(icon, &parts)) return false;
    // GetIconInfo hands out copies of both bitmaps.
    struct Release {
        ICONINFO& parts;
        ~Release() {
            if (parts.hbmColor) DeleteObject(parts.hbmColor);
            if (parts.hbmMask) DeleteObject(parts.hbmMask);
        }
    } release{parts};
    if (!CreateFromHBITMAP(parts.hbmColor, nullptr)) return false;

    // Black mask pixels are opaque: grey levels 0 and 255, inverted.
    ZImage mask;
    mask.CreateFromHBITMAP(parts.hbmMask, nullptr);
    mask.GrayScale();
    mask.Negative();
    AlphaSet(mask);
    return true;
}
