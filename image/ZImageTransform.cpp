#include <cstring>
#include <memory>
#include <new>

#include "ZImage.h"

namespace {

BYTE Gray(const RGBQUAD& c) {
    return static_cast<BYTE>((c.rgbRed * 306 + c.rgbGreen * 601 + c.rgbBlue * 117) >> 10);
}

}  // namespace

// Flip and Mirror build the result in a second picture and move it in, so a
// failed allocation leaves this picture as it was.
bool ZImage::Flip() {
    if (!dib) return false;
    std::unique_ptr<ZImage> copy(new (std::nothrow) ZImage(*this, false, false, true));
    if (!copy || !copy->dib) return false;
    const DWORD height = GetHeight();
    for (DWORD y = 0; y < height; ++y) {
        memcpy(copy->GetBits(y), GetBits(height - 1 - y), info.effWidth);
    }
    copy->AlphaFlip();
    return Transfer(*copy);
}

bool ZImage::Mirror() {
    if (!dib) return false;
    std::unique_ptr<ZImage> copy(new (std::nothrow) ZImage(*this, false, false, true));
    if (!copy || !copy->dib) return false;
    const LONG width = head.biWidth;
    const LONG height = head.biHeight;
    for (LONG y = 0; y < height; ++y) {
        const BYTE* in = GetBits(static_cast<DWORD>(y));
        BYTE* out = copy->GetBits(static_cast<DWORD>(y));
        switch (head.biBitCount) {
            case 8:
                for (LONG x = 0; x < width; ++x) out[x] = in[width - 1 - x];
                break;
            case 24:
                for (LONG x = 0; x < width; ++x) memcpy(out + 3 * x, in + 3 * (width - 1 - x), 3);
                break;
            default:
                for (LONG x = 0; x < width; ++x) copy->SetPixelIndex(x, y, GetPixelIndex(width - 1 - x, y));
        }
    }
    copy->AlphaMirror();
    return Transfer(*copy);
}

bool ZImage::Negative() {
    if (!dib) return false;
    const RECT& box = info.selectionBox;
    auto forEachSelected = [&](auto&& apply) {
        for (LONG y = box.bottom; y < box.top; ++y)
            for (LONG x = box.left; x < box.right; ++x)
                if (SelectionIsInside(x, y)) apply(x, y);
    };

    if (head.biBitCount == 24) {
        if (!selection) {
            for (DWORD i = 0; i < head.biSizeImage; ++i) info.bits[i] = static_cast<BYTE>(255 - info.bits[i]);
        } else {
            forEachSelected([this](LONG x, LONG y) {
                RGBQUAD c = GetPixelColor(x, y, true);
                c.rgbBlue = static_cast<BYTE>(255 - c.rgbBlue);
                c.rgbGreen = static_cast<BYTE>(255 - c.rgbGreen);
                c.rgbRed = static_cast<BYTE>(255 - c.rgbRed);
                SetPixelColor(x, y, c, false);
            });
        }
        info.transColor.rgbBlue = static_cast<BYTE>(255 - info.transColor.rgbBlue);
        info.transColor.rgbGreen = static_cast<BYTE>(255 - info.transColor.rgbGreen);
        info.transColor.rgbRed = static_cast<BYTE>(255 - info.transColor.rgbRed);
        return true;
    }

    if (!IsGrayScale()) {
        RGBQUAD* palette = GetPalette();
        for (DWORD j = 0; j < head.biClrUsed; ++j) {
            palette[j].rgbBlue = static_cast<BYTE>(255 - palette[j].rgbBlue);
            palette[j].rgbGreen = static_cast<BYTE>(255 - palette[j].rgbGreen);
            palette[j].rgbRed = static_cast<BYTE>(255 - palette[j].rgbRed);
        }
        info.lastNearestValid = false;
        return true;
    }

    auto invert = [this](LONG x, LONG y) { SetPixelIndex(x, y, static_cast<BYTE>(255 - GetPixelIndex(x, y))); };
    if (selection) {
        forEachSelected(invert);
    } else {
        for (LONG y = 0; y < head.biHeight; ++y)
            for (LONG x = 0; x < head.biWidth; ++x) invert(x, y);
    }
    return true;
}

bool ZImage::GrayScale() {
    if (!dib) return false;
    const LONG width = head.biWidth;
    const LONG height = head.biHeight;

    BYTE grayOf[256] = {};
    LONG transIndex = info.transIndex;
    if (head.biBitCount < 24) {
        for (DWORD j = 0; j < head.biClrUsed; ++j) grayOf[j] = Gray(GetPaletteColor(static_cast<BYTE>(j)));
        if (transIndex != -1) transIndex = grayOf[static_cast<BYTE>(transIndex)];
    }

    if (head.biBitCount == 8) {
        for (DWORD i = 0; i < head.biSizeImage; ++i) info.bits[i] = grayOf[info.bits[i]];
        SetGrayPalette();
        info.transIndex = transIndex;
        return true;
    }

    ZImage gray;
    gray.CopyInfo(*this);
    if (!gray.Create(GetWidth(), GetHeight(), 8, info.type)) return false;
    gray.info.transIndex = transIndex;
    gray.SetGrayPalette();
    gray.SelectionCopy(*this);
    gray.AlphaCopy(*this);
    for (LONG y = 0; y < height; ++y) {
        BYTE* out = gray.GetBits(static_cast<DWORD>(y));
        if (head.biBitCount == 24) {
            const BYTE* in = GetBits(static_cast<DWORD>(y));
            for (LONG x = 0; x < width; ++x) {
                out[x] = static_cast<BYTE>((in[3 * x + 2] * 306 + in[3 * x + 1] * 601 + in[3 * x] * 117) >> 10);
            }
        } else {
            for (LONG x = 0; x < width; ++x) out[x] = grayOf[GetPixelIndex(x, y)];
        }
    }
    return Transfer(gray);
}
