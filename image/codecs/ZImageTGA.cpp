#include "codecs/ZImageTGA.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ZErrors.h"
#include "codecs/ZStreamReader.h"

namespace {

constexpr size_t kHeaderSize = 18;
// Packet state meaning "no packet carried into the next row".
constexpr BYTE kNoPacket = 255;
constexpr BYTE kRightToLeft = 0x10;
constexpr BYTE kTopDown = 0x20;

bool IsAcceptedDepth(BYTE depth) {
    return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

size_t PixelBytes(BYTE depth) { return (depth + 7) / 8; }

// One file pixel of depth 15, 16, 24 or 32 to blue, green, red.
void ConvertPixel(const BYTE* in, BYTE depth, BYTE* out) {
    if (depth <= 16) {
        const WORD p = zbytes::Le16(in);
        out[0] = static_cast<BYTE>((p & 0x1F) << 3);
        out[1] = static_cast<BYTE>(((p >> 5) & 0x1F) << 3);
        out[2] = static_cast<BYTE>(((p >> 10) & 0x1F) << 3);
    } else {
        memcpy(out, in, 3);
    }
}

// True when the data after the colour map is too short for the row loop to
// get past its end-of-stream test before the last row. Every run-length
// packet but the last takes a header byte and a pixel value and holds at
// most 128 pixels; a packet crossing a row end is read once.
bool RowsCannotFit(WORD width, WORD height, BYTE depth, bool rle, int64_t available) {
    if (available <= 0) return true;
    const uint64_t pixelBytes = PixelBytes(depth);
    const uint64_t leadingPixels = static_cast<uint64_t>(width) * (height - 1u);
    if (!rle) return leadingPixels * pixelBytes >= static_cast<uint64_t>(available);
    const uint64_t packets = (static_cast<uint64_t>(available) - 1) / (1 + pixelBytes) + 1;
    return leadingPixels > packets * 128;
}

}  // namespace

bool ZImageTGA::Fail(const char* text) {
    SetError(text);
    return false;
}

bool ZImageTGA::Decode(ZFile* stream) {
    if (!stream) return false;
    ZStreamReader in(stream);

    BYTE raw[kHeaderSize];
    if (in.Read(raw, sizeof(raw)) != sizeof(raw)) return Fail(zerr::kTgaNotTga);
    Header header;
    header.idLength = raw[0];
    header.colorMapType = raw[1];
    header.imageType = raw[2];
    header.colorMapLength = zbytes::Le16(raw + 5);
    header.width = zbytes::Le16(raw + 12);
    header.height = zbytes::Le16(raw + 14);
    header.depth = raw[16];
    header.descriptor = raw[17];

    bool rle;
    switch (header.imageType) {
        case 1: case 2: case 3: rle = false; break;
        case 9: case 10: case 11: rle = true; break;
        default: return Fail(zerr::kTgaUnknownType);
    }
    if (header.width == 0 || header.height == 0 || header.colorMapLength > 256 || !IsAcceptedDepth(header.depth))
        return Fail(zerr::kTgaBadHeader);

    in.Skip(header.idLength);

    // Refused before the picture is allocated; the row loop would fail the
    // same way once the picture existed.
    const size_t colorMapBytes = header.colorMapType ? header.colorMapLength * 3u : 0;
    const int64_t remaining = in.Remaining();
    if (remaining >= 0 && RowsCannotFit(header.width, header.height, header.depth, rle,
                                        remaining - static_cast<int64_t>(colorMapBytes)))
        return Fail(info.escape ? zerr::kCancelled : zerr::kTgaCorrupted);

    if (!Create(header.width, header.height, header.depth, FORMAT_TGA)) return Fail(zerr::kTgaCreateFailed);
    if (header.depth == 32) AlphaCreate();
    if (info.escape) return Fail(zerr::kCancelled);

    if (header.colorMapType) {
        BYTE map[256 * 3] = {};
        in.Read(map, colorMapBytes);
        for (DWORD i = 0; i < header.colorMapLength; ++i)
            SetPaletteColor(static_cast<BYTE>(i), map[3 * i + 2], map[3 * i + 1], map[3 * i], 0);
    }
    if (header.imageType == 3 || header.imageType == 11) SetGrayPalette();

    // Alpha goes straight to the stored row, so top-down files need no
    // flip of the alpha plane afterwards.
    const bool topDown = (header.descriptor & kTopDown) != 0;
    BYTE packet = kNoPacket;
    for (DWORD y = 0; y < header.height; ++y) {
        if (info.escape) return Fail(zerr::kCancelled);
        if (in.Eof()) return Fail(zerr::kTgaCorrupted);
        const DWORD row = topDown ? header.height - 1u - y : y;
        BYTE* dest = GetBits(row);
        if (rle) {
            packet = ReadRleLine(dest, header, in, header.width, row, packet);
        } else {
            ReadRawLine(dest, header, in, header.width, row, 0);
        }
    }
    if (header.descriptor & kRightToLeft) MirrorRows();
    return true;
}

void ZImageTGA::ReadRawLine(BYTE* dest, const Header& header, ZStreamReader& in, DWORD count, DWORD alphaRow,
                            DWORD x) {
    if (header.depth == 8 || header.depth == 24) {
        in.Read(dest, count * PixelBytes(header.depth));
        return;
    }
    const size_t pixelBytes = PixelBytes(header.depth);
    BYTE* alphaOut = alpha && header.depth == 32 ? alpha + static_cast<size_t>(alphaRow) * GetWidth() + x : nullptr;
    BYTE chunk[4096];
    while (count) {
        const DWORD n = std::min<DWORD>(count, static_cast<DWORD>(sizeof(chunk) / pixelBytes));
        const size_t whole = in.Read(chunk, n * pixelBytes) / pixelBytes;
        for (size_t i = 0; i < whole; ++i, dest += 3) {
            ConvertPixel(chunk + i * pixelBytes, header.depth, dest);
            if (alphaOut) *alphaOut++ = chunk[i * pixelBytes + 3];
        }
        // A stream that ends here leaves the rest of the row as it was.
        if (whole < n) return;
        count -= n;
    }
}

BYTE ZImageTGA::ReadRleLine(BYTE* dest, const Header& header, ZStreamReader& in, DWORD width, DWORD alphaRow,
                            BYTE leftover) {
    const size_t pixelBytes = PixelBytes(header.depth);
    const size_t step = GetBpp() == 24 ? 3 : 1;
    DWORD x = 0;
    while (x < width) {
        int packet = leftover;
        if (leftover != kNoPacket) {
            leftover = kNoPacket;
        } else if ((packet = in.GetC()) < 0) {
            break;  // every further read would fail too
        }
        DWORD count = (packet & 0x7F) + 1u;
        if (packet & 0x80) {
            // A run crossing the row end is cut here and the next row reads
            // its value again.
            int64_t valueAt = -1;
            if (x + count > width) {
                valueAt = in.Tell();
                leftover = static_cast<BYTE>(0x80 + (count - (width - x) - 1));
                count = width - x;
            }
            BYTE value[4];
            if (in.Read(value, pixelBytes) == pixelBytes) {
                if (header.depth == 8) {
                    memset(dest, value[0], count);
                } else {
                    BYTE bgr[3];
                    ConvertPixel(value, header.depth, bgr);
                    for (DWORD i = 0; i < count; ++i) memcpy(dest + 3 * i, bgr, 3);
                    if (alpha && header.depth == 32)
                        memset(alpha + static_cast<size_t>(alphaRow) * GetWidth() + x, value[3], count);
                }
            }
            if (valueAt >= 0) in.Seek(valueAt);
        } else {
            if (x + count > width) {
                leftover = static_cast<BYTE>(count - (width - x) - 1);
                count = width - x;
            }
            ReadRawLine(dest, header, in, count, alphaRow, x);
        }
        dest += count * step;
        x += count;
    }
    return leftover;
}

void ZImageTGA::MirrorRows() {
    const DWORD width = GetWidth();
    const size_t step = GetBpp() == 24 ? 3 : 1;
    for (DWORD y = 0; y < GetHeight(); ++y) {
        BYTE* row = GetBits(y);
        for (DWORD left = 0, right = width - 1; left < right; ++left, --right)
            std::swap_ranges(row + left * step, row + (left + 1) * step, row + right * step);
        if (alpha) std::reverse(alpha + static_cast<size_t>(y) * width, alpha + static_cast<size_t>(y + 1) * width);
    }
}

bool ZImageTGA::Encode(ZFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    const WORD bpp = GetBpp();
    if (bpp < 8) return Fail(zerr::kTgaBitDepth);
    const DWORD width = GetWidth();
    const DWORD height = GetHeight();
    if (width == 0 || height == 0 || width > 0xFFFF || height > 0xFFFF) return Fail(zerr::kTgaSize);

    const bool mapped = bpp == 8;
    const bool withAlpha = bpp == 24 && alpha;
    BYTE raw[kHeaderSize] = {};
    raw[1] = IsIndexed() ? 1 : 0;
    raw[2] = mapped ? 1 : 2;
    zbytes::PutLe16(raw + 5, mapped ? 256 : 0);
    raw[7] = mapped ? 24 : 0;
    zbytes::PutLe16(raw + 12, static_cast<WORD>(width));
    zbytes::PutLe16(raw + 14, static_cast<WORD>(height));
    raw[16] = static_cast<BYTE>(withAlpha ? 32 : bpp);
    if (stream->Write(raw, sizeof(raw), 1) != 1) return Fail(zerr::kTgaWrite);

    if (mapped) {
        BYTE map[256 * 3];
        for (DWORD i = 0; i < 256; ++i) {
            const RGBQUAD c = GetPaletteColor(static_cast<BYTE>(i));
            map[3 * i] = c.rgbBlue;
            map[3 * i + 1] = c.rgbGreen;
            map[3 * i + 2] = c.rgbRed;
        }
        if (stream->Write(map, sizeof(map), 1) != 1) return Fail(zerr::kTgaWrite);
    }

    if (withAlpha) {
        std::vector<BYTE> line(static_cast<size_t>(width) * 4);
        for (DWORD y = 0; y < height; ++y) {
            const BYTE* pixels = GetBits(y);
            const BYTE* levels = alpha + static_cast<size_t>(y) * width;
            for (DWORD x = 0; x < width; ++x) {
                memcpy(&line[4 * x], pixels + 3 * x, 3);
                line[4 * x + 3] = static_cast<BYTE>(levels[x] * info.alphaMax / 255);
            }
            if (stream->Write(line.data(), line.size(), 1) != 1) return Fail(zerr::kTgaWrite);
        }
    } else {
        const size_t rowBytes = static_cast<size_t>(width) * (bpp / 8);
        for (DWORD y = 0; y < height; ++y)
            if (stream->Write(GetBits(y), rowBytes, 1) != 1) return Fail(zerr::kTgaWrite);
    }
    return true;
}
