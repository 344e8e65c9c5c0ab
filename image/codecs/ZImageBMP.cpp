#include "ZImageBMP.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "ZDibFormat.h"
#include "ZDibRle.h"
#include "ZErrors.h"

using zdib::Le16;
using zdib::Le32;

namespace {

constexpr WORD kFileMagic = 0x4D42;  // "BM"
constexpr size_t kCoreHeaderSize = 12;

// A truncated file still loads, with the rows it lacks left blank; but a
// header that claims far more uncompressed data than the stream holds is
// refused before its picture is allocated.
constexpr uint64_t kMaxMissingPixelBytes = 16u << 20;

uint64_t SaturatingMul(uint64_t a, uint64_t b) {
    if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
    return a * b;
}

uint64_t RowBytes(uint64_t width, unsigned bpp) { return (SaturatingMul(width, bpp) + 31) / 32 * 4; }

unsigned NormalisedBpp(unsigned bpp) {
    if (bpp <= 1) return 1;
    if (bpp <= 4) return 4;
    if (bpp <= 8) return 8;
    return 24;
}

// Bytes the reader takes from the stream in one piece for this header; 0
// where it reads none that way (run-length data, depths it does not read).
uint64_t UncompressedBytes(const BITMAPINFOHEADER& h, DWORD width, DWORD height) {
    switch (h.biBitCount) {
        case 32:
            if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return 0;
            return SaturatingMul(SaturatingMul(width, 4), height);
        case 16:
            return SaturatingMul((static_cast<uint64_t>(width) + 1) / 2 * 4, height);
        case 24:
        case 8:
        case 4:
        case 1:
            if (h.biCompression != BI_RGB) return 0;
            return SaturatingMul(RowBytes(width, NormalisedBpp(h.biBitCount)), height);
        default:
            return 0;
    }
}

// Whether Create will be able to allocate the picture at all; beyond that it
// fails without allocating and reports that itself.
bool Allocatable(DWORD width, DWORD height, unsigned bpp) {
    const unsigned depth = NormalisedBpp(bpp);
    const uint64_t palette = depth <= 8 ? 4u << depth : 0;
    const uint64_t block = SaturatingMul(RowBytes(width, depth), height);
    return block <= static_cast<uint64_t>(INT32_MAX) - zdib::kInfoHeaderSize - palette;
}

// Buffered byte input for the run-length decoders, which take the stream a
// byte or a few at a time.
class ByteSource {
public:
    explicit ByteSource(ZFile* stream) : m_stream(stream) {}

    int Get() {
        if (m_pos == m_len && !Refill()) return -1;
        return m_buffer[m_pos++];
    }

private:
    bool Refill() {
        if (m_ended) return false;
        m_len = m_stream->Read(m_buffer, 1, sizeof(m_buffer));
        m_pos = 0;
        m_ended = m_len == 0;
        return !m_ended;
    }

    ZFile* m_stream;
    BYTE m_buffer[8192];
    size_t m_pos = 0;
    size_t m_len = 0;
    bool m_ended = false;
};

int BitCount(WORD mask) {
    int n = 0;
    for (; mask; mask &= mask - 1) ++n;
    return n;
}

int LowestBit(WORD mask) {
    int bit = 0;
    while (bit < 16 && !(mask >> bit & 1)) ++bit;
    return bit;
}

bool Contiguous(WORD mask) {
    const unsigned field = mask >> LowestBit(mask);
    return mask && (field & (field + 1)) == 0;
}

// Blue from bit 0 up, then green, then red, red and blue of one width: the
// layout the library's conversion shifts by field widths.
bool ConventionalLayout(WORD red, WORD green, WORD blue) {
    return Contiguous(red) && Contiguous(green) && Contiguous(blue) && LowestBit(blue) == 0 &&
           LowestBit(green) == BitCount(blue) && LowestBit(red) == BitCount(blue) + BitCount(green) &&
           BitCount(red) == BitCount(blue);
}

// Any other masks: each field is moved by its own position so that its top
// bit lands on bit 7, as the conventional layouts come out. Works in place
// from the last pixel back, the 16-bit rows sitting at the start of the
// 24-bit ones.
void ExpandByMaskPosition(BYTE* bits, DWORD width, DWORD height, DWORD effWidth, const WORD (&masks)[3]) {
    // Rows without pixels have nothing to convert, however many there are.
    if (width == 0) return;
    int shift[3];
    for (int c = 0; c < 3; ++c) {
        int top = 15;
        while (top >= 0 && !(masks[c] >> top & 1)) --top;
        shift[c] = top - 7;
    }
    auto field = [&](unsigned word, int c) {
        const unsigned value = word & masks[c];
        return static_cast<BYTE>(shift[c] >= 0 ? value >> shift[c] : value << -shift[c]);
    };
    const size_t srcRow = (static_cast<size_t>(width) + 1) / 2 * 4;
    for (DWORD y = height; y-- > 0;) {
        const BYTE* in = bits + y * srcRow;
        BYTE* out = bits + static_cast<size_t>(y) * effWidth;
        for (DWORD x = width; x-- > 0;) {
            const unsigned word = Le16(in + 2 * static_cast<size_t>(x));
            out[3 * static_cast<size_t>(x)] = field(word, 2);
            out[3 * static_cast<size_t>(x) + 1] = field(word, 1);
            out[3 * static_cast<size_t>(x) + 2] = field(word, 0);
        }
    }
}

LONG DpiFromPelsPerMeter(LONG ppm) { return static_cast<LONG>(std::floor(ppm * 0.0254 + 0.5)); }

}  // namespace

bool ZImageBMP::Fail(const char* text) {
    SetError(text);
    return false;
}

bool ZImageBMP::ReadInfoHeader(ZFile* stream, BITMAPINFOHEADER* header) {
    if (!stream || !header) return false;
    BYTE raw[zdib::kInfoHeaderSize];
    if (stream->Read(raw, sizeof(raw), 1) != 1) return false;
    BITMAPINFOHEADER h = zdib::ParseInfoHeader(raw);

    if (h.biSize == kCoreHeaderSize) {
        const WORD width = Le16(raw + 4);
        const WORD height = Le16(raw + 6);
        const WORD planes = Le16(raw + 8);
        const WORD bitCount = Le16(raw + 10);
        h = BITMAPINFOHEADER{};
        h.biSize = kCoreHeaderSize;
        h.biWidth = width;
        h.biHeight = height;
        h.biPlanes = planes;
        h.biBitCount = bitCount;
        stream->Seek(-static_cast<long>(zdib::kInfoHeaderSize - kCoreHeaderSize), SEEK_CUR);
    } else if (h.biSize == 64) {
        stream->Seek(64 - static_cast<long>(zdib::kInfoHeaderSize), SEEK_CUR);
    } else if (h.biSize > zdib::kInfoHeaderSize) {
        // Longer headers are taken only where nothing past the first 40 bytes
        // can matter: plain uncompressed data of the exact stated size.
        const int64_t stride = (static_cast<int64_t>(h.biBitCount) * h.biWidth + 31) / 32;
        const int64_t rows = static_cast<int64_t>(h.biHeight) * 4;
        const bool fits = stride == 0 || rows == 0 || std::llabs(rows) <= INT64_MAX / std::llabs(stride);
        const bool sizeMatches = fits && stride * rows == static_cast<int64_t>(h.biSizeImage);
        if (!sizeMatches || h.biPlanes != 1 || h.biCompression != BI_RGB || h.biClrUsed != 0) return false;
        zdib::Skip(stream, h.biSize - zdib::kInfoHeaderSize);
    } else if (h.biSize != zdib::kInfoHeaderSize) {
        return false;
    }

    if (h.biClrUsed == 0 && h.biBitCount <= 8) h.biClrUsed = 1u << h.biBitCount;
    *header = h;
    return true;
}

bool ZImageBMP::Decode(ZFile* stream) {
    if (!stream) return false;
    const int32_t start = stream->Tell();

    BYTE fileHeader[zdib::kFileHeaderSize];
    if (stream->Read(fileHeader, sizeof(fileHeader), 1) != 1) return Fail(zerr::kBmpNotBmp);
    DWORD offBits = Le32(fileHeader + 10);
    if (Le16(fileHeader) != kFileMagic) {
        stream->Seek(start, SEEK_SET);
        offBits = 0;
    }

    BITMAPINFOHEADER bih;
    if (!ReadInfoHeader(stream, &bih)) return Fail(zerr::kBmpInfo);

    const bool topDown = bih.biHeight < 0;
    const DWORD width = static_cast<DWORD>(bih.biWidth);
    const DWORD height = topDown ? 0u - static_cast<DWORD>(bih.biHeight) : static_cast<DWORD>(bih.biHeight);

    if (info.escape == -1) {
        head.biWidth = bih.biWidth;
        head.biHeight = static_cast<LONG>(height);
        SetError(zerr::kBmpDimensions);
        return true;
    }

    const bool indexed = bih.biBitCount <= 8;
    const size_t entrySize = bih.biSize == kCoreHeaderSize ? 3 : 4;
    if (Allocatable(width, height, bih.biBitCount)) {
        int64_t dataAt = static_cast<int64_t>(start) + offBits;
        if (offBits == 0) {
            dataAt = stream->Tell() + (indexed ? static_cast<int64_t>(bih.biClrUsed) * entrySize : 0);
            if (bih.biBitCount == 16 && bih.biCompression == BI_BITFIELDS) dataAt += 12;
        }
        const int32_t size = stream->Size();
        const int64_t available = size > dataAt ? size - dataAt : 0;
        const uint64_t needed = UncompressedBytes(bih, width, height);
        if (size >= 0 && needed > static_cast<uint64_t>(available) + kMaxMissingPixelBytes)
            return Fail(zerr::kBmpTruncated);
    }

    if (!Create(width, height, bih.biBitCount, FORMAT_BMP)) return Fail(zerr::kBmpNoMemory);

    head.biXPelsPerMeter = bih.biXPelsPerMeter;
    head.biYPelsPerMeter = bih.biYPelsPerMeter;
    info.xDpi = DpiFromPelsPerMeter(bih.biXPelsPerMeter);
    info.yDpi = DpiFromPelsPerMeter(bih.biYPelsPerMeter);

    if (info.escape) return Fail(zerr::kCancelled);
    if (indexed) ReadPalette(stream, bih);
    if (info.escape) return Fail(zerr::kCancelled);

    auto seekToData = [&] {
        if (offBits) zdib::SeekTo(stream, static_cast<int64_t>(start) + offBits);
    };
    switch (bih.biBitCount) {
        case 32:
            seekToData();
            if (bih.biCompression != BI_RGB && bih.biCompression != BI_BITFIELDS)
                return Fail(zerr::kUnknownCompression);
            if (!Read32(stream)) return Fail(zerr::kBmpBufferNoMemory);
            break;
        case 24:
            seekToData();
            if (bih.biCompression != BI_RGB) return Fail(zerr::kUnknownCompression);
            stream->Read(info.bits, head.biSizeImage, 1);
            break;
        case 16: {
            WORD masks[3] = {0x7C00, 0x03E0, 0x001F};
            if (bih.biCompression == BI_BITFIELDS) {
                BYTE raw[12] = {};
                stream->Read(raw, sizeof(raw), 1);
                // Mask bits above 15 cannot select anything in a 16-bit pixel.
                for (int c = 0; c < 3; ++c) masks[c] = static_cast<WORD>(Le32(raw + 4 * c));
            }
            seekToData();
            stream->Read(info.bits, static_cast<size_t>((width + 1ull) / 2 * 4 * height), 1);
            if (ConventionalLayout(masks[0], masks[1], masks[2]))
                Bitfield2RGB(info.bits, masks[0], masks[1], masks[2], 16);
            else
                ExpandByMaskPosition(info.bits, width, height, info.effWidth, masks);
            break;
        }
        case 1:
        case 4:
        case 8:
            seekToData();
            switch (bih.biCompression) {
                case BI_RGB: stream->Read(info.bits, head.biSizeImage, 1); break;
                case BI_RLE8: DecodeRle8(stream); break;
                case BI_RLE4: DecodeRle4(stream); break;
                default: return Fail(zerr::kCompressionUnsupported);
            }
            break;
        default:
            // No pixel data: the rows stay as Create zeroed them, which
            // turning them over would not change.
            return true;
    }

    if (topDown) FlipRows();
    return true;
}

// Top-down rows turned over in place: the same result as Flip without a
// second picture's worth of memory, so it cannot fail.
void ZImageBMP::FlipRows() {
    const size_t stride = info.effWidth;
    const size_t height = GetHeight();
    if (stride == 0) return;
    BYTE chunk[4096];
    for (size_t y = 0; y < height / 2; ++y) {
        BYTE* a = info.bits + y * stride;
        BYTE* b = info.bits + (height - 1 - y) * stride;
        for (size_t done = 0; done < stride; done += sizeof(chunk)) {
            const size_t n = std::min(sizeof(chunk), stride - done);
            memcpy(chunk, a + done, n);
            memcpy(a + done, b + done, n);
            memcpy(b + done, chunk, n);
        }
    }
}

void ZImageBMP::ReadPalette(ZFile* stream, const BITMAPINFOHEADER& header) {
    RGBQUAD* palette = GetPalette();
    const DWORD entries = head.biClrUsed;
    const DWORD declared = header.biClrUsed;
    const DWORD count = declared < entries ? declared : entries;

    if (header.biSize == kCoreHeaderSize) {
        BYTE triples[3 * 256] = {};
        stream->Read(triples, 3 * static_cast<size_t>(count), 1);
        for (DWORD i = 0; i < entries; ++i) {
            palette[i].rgbBlue = triples[3 * i];
            palette[i].rgbGreen = triples[3 * i + 1];
            palette[i].rgbRed = triples[3 * i + 2];
            palette[i].rgbReserved = 0;
        }
    } else {
        BYTE quads[4 * 256] = {};
        stream->Read(quads, 4 * static_cast<size_t>(count), 1);
        for (DWORD i = 0; i < count; ++i) {
            palette[i].rgbBlue = quads[4 * i];
            palette[i].rgbGreen = quads[4 * i + 1];
            palette[i].rgbRed = quads[4 * i + 2];
        }
        for (DWORD i = 0; i < entries; ++i) palette[i].rgbReserved = 0;
    }
    info.lastNearestValid = false;
    // Entries the palette cannot hold are passed over, so that data placed
    // right after the declared palette is still found.
    const unsigned entrySize = header.biSize == kCoreHeaderSize ? 3 : 4;
    if (declared > entries) zdib::Skip(stream, static_cast<uint64_t>(declared - entries) * entrySize);
}

// 32-bit pixels keep blue, green and red; the fourth byte and any masks are
// dropped. Read in blocks, so pixels the stream does not deliver stay as
// Create left them.
bool ZImageBMP::Read32(ZFile* stream) {
    constexpr size_t kBlock = 1 << 16;
    BYTE* block = static_cast<BYTE*>(malloc(kBlock));
    if (!block) return false;
    const uint64_t width = GetWidth();
    uint64_t remaining = width * GetHeight();
    uint64_t x = 0;
    BYTE* row = info.bits;
    while (remaining) {
        const size_t want = static_cast<size_t>(remaining < kBlock / 4 ? remaining : kBlock / 4);
        const size_t got = stream->Read(block, 4, want);
        for (size_t i = 0; i < got; ++i) {
            BYTE* out = row + 3 * x;
            out[0] = block[4 * i];
            out[1] = block[4 * i + 1];
            out[2] = block[4 * i + 2];
            if (++x == width) {
                x = 0;
                row += info.effWidth;
            }
        }
        if (got < want) break;
        remaining -= got;
    }
    free(block);
    return true;
}

void ZImageBMP::DecodeRle8(ZFile* stream) {
    ByteSource in(stream);
    zrle::ExpandRle8(in, info.bits, info.effWidth, GetHeight());
}

void ZImageBMP::DecodeRle4(ZFile* stream) {
    ByteSource in(stream);
    zrle::ExpandRle4(in, info.bits, info.effWidth, GetHeight());
}

bool ZImageBMP::Encode(ZFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    BYTE fileHeader[zdib::kFileHeaderSize] = {};
    zdib::PutLe16(fileHeader, kFileMagic);
    zdib::PutLe32(fileHeader + 2, static_cast<DWORD>(GetSize()) + zdib::kFileHeaderSize);
    zdib::PutLe32(fileHeader + 10, GetPaletteSize() + head.biSize + zdib::kFileHeaderSize);
    zdib::StoreInfoHeader(dib, head);
    stream->Write(fileHeader, sizeof(fileHeader), 1);
    stream->Write(dib, static_cast<size_t>(GetSize()), 1);
    return true;
}
