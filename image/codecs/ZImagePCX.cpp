#include "codecs/ZImagePCX.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ZErrors.h"
#include "codecs/ZStreamReader.h"

namespace {

constexpr size_t kHeaderSize = 128;
constexpr BYTE kManufacturer = 10;
constexpr BYTE kVersion = 5;
constexpr BYTE kRunLength = 1;
constexpr BYTE kPaletteSignature = 12;
constexpr unsigned kMaxRun = 63;
// One run pair (count, value) expands to at most this many bytes.
constexpr uint64_t kMaxExpansion = 32;

// The image data is one run-length byte stream whatever its layout: a run
// may cross from one plane into the next and from one line into the next.
class RunDecoder {
public:
    RunDecoder(ZStreamReader& in, uint64_t total) : m_in(in), m_left(total) {}

    // Fills size bytes; returns the error text, or null.
    const char* Fill(BYTE* out, size_t size) {
        size_t i = 0;
        while (i < size) {
            if (m_run) {
                const size_t n = std::min<size_t>(m_run, size - i);
                memset(out + i, m_value, n);
                i += n;
                m_run -= static_cast<unsigned>(n);
                continue;
            }
            const int code = m_in.GetC();
            if (code < 0) return zerr::kPcxCorrupted;
            if ((code & 0xC0) != 0xC0) {
                out[i++] = static_cast<BYTE>(code);
                --m_left;
                continue;
            }
            const unsigned count = code & 0x3F;
            if (count > m_left) return zerr::kPcxRepeatSpans;
            const int value = m_in.GetC();
            if (value < 0) return zerr::kPcxCorrupted;
            m_run = count;
            m_value = static_cast<BYTE>(value);
            m_left -= count;
        }
        return nullptr;
    }

private:
    ZStreamReader& m_in;
    uint64_t m_left;  // bytes of the whole image still to come, runs included
    unsigned m_run = 0;
    BYTE m_value = 0;
};

BYTE* PutRun(BYTE value, int count, BYTE* out) {
    if (count > 1 || value >= 0xC0) *out++ = static_cast<BYTE>(0xC0 | count);
    *out++ = value;
    return out;
}

}  // namespace

bool ZImagePCX::Fail(const char* text) {
    SetError(text);
    return false;
}

bool ZImagePCX::Decode(ZFile* stream) {
    if (!stream) return false;
    ZStreamReader in(stream);

    BYTE raw[kHeaderSize];
    if (in.Read(raw, sizeof(raw)) != sizeof(raw)) return Fail(zerr::kPcxRead);
    if (raw[0] != kManufacturer) return Fail(zerr::kPcxNotPcx);
    if (raw[2] != kRunLength) return Fail(zerr::kPcxEncoding);
    info.xDpi = zbytes::Le16(raw + 12);
    info.yDpi = zbytes::Le16(raw + 14);

    const BYTE bits = raw[3];
    const BYTE planes = raw[65];
    const DWORD bytesPerLine = zbytes::Le16(raw + 66);
    if (planes > 4) return Fail(zerr::kPcxPlanes);
    if (info.escape) return Fail(zerr::kCancelled);

    const int64_t width = static_cast<int64_t>(zbytes::Le16(raw + 8)) - zbytes::Le16(raw + 4) + 1;
    const int64_t height = static_cast<int64_t>(zbytes::Le16(raw + 10)) - zbytes::Le16(raw + 6) + 1;
    if (width <= 0 || height <= 0) return Fail(zerr::kPcxBadWindow);
    // Every pixel must come from inside its own line of each plane.
    if (planes == 0 || static_cast<uint64_t>(width) * std::max<BYTE>(bits, 1) > static_cast<uint64_t>(bytesPerLine) * 8)
        return Fail(zerr::kPcxShortLines);

    const size_t lineSize = static_cast<size_t>(bytesPerLine) * planes;
    const uint64_t total = static_cast<uint64_t>(lineSize) * static_cast<uint64_t>(height);
    // Data that cannot expand to the image would end in "corrupted PCX";
    // refusing it first keeps a few bytes from allocating a huge picture.
    const int64_t remaining = in.Remaining();
    if (remaining >= 0 && total > kMaxExpansion * static_cast<uint64_t>(remaining) + 2 * kMaxRun)
        return Fail(zerr::kPcxCorrupted);

    const bool trueColour = bits == 8 && planes >= 3;
    const bool planar = planes > 1 && !trueColour;
    const DWORD bpp = trueColour ? 24 : (planes == 4 && bits == 1) ? 4 : bits;
    if (!Create(static_cast<DWORD>(width), static_cast<DWORD>(height), bpp, FORMAT_PCX)) return false;
    if (trueColour && planes == 4) AlphaCreate();

    // Layouts that cannot be merged still have their data checked first, so
    // that a damaged file reports the damage.
    const char* layoutError = planar && bits != 1 ? zerr::kPcxBitsPerPixel : nullptr;
    std::vector<BYTE> line(lineSize);
    std::vector<BYTE> indices(static_cast<size_t>(bytesPerLine) * 8);
    RunDecoder runs(in, total);
    for (int64_t y = 0; y < height; ++y) {
        if (info.escape) return Fail(zerr::kCancelled);
        if (const char* error = runs.Fill(line.data(), lineSize)) return Fail(error);
        const DWORD row = static_cast<DWORD>(height - 1 - y);
        if (layoutError) continue;
        if (trueColour) {
            BYTE* out = GetBits(row);
            const BYTE* red = line.data();
            const BYTE* green = red + bytesPerLine;
            const BYTE* blue = green + bytesPerLine;
            for (int64_t x = 0; x < width; ++x, out += 3) {
                out[0] = blue[x];
                out[1] = green[x];
                out[2] = red[x];
            }
            if (planes == 4 && alpha)
                memcpy(alpha + static_cast<size_t>(row) * GetWidth(), blue + bytesPerLine, GetWidth());
        } else if (planar) {
            MergePlanes(indices.data(), line.data(), bytesPerLine, planes);
            StoreIndices(row, indices.data());
        } else {
            SpreadPixels(indices.data(), line.data(), bytesPerLine, bits);
            StoreIndices(row, indices.data());
        }
    }
    if (layoutError) return Fail(layoutError);

    BYTE colours[256 * 3] = {};
    memcpy(colours, raw + 16, 16 * 3);
    if (bits == 8 && planes == 1) {
        if (in.GetC() != kPaletteSignature) return Fail(zerr::kPcxColorMap);
        in.Read(colours, sizeof(colours));
    }
    if (bits == 1 && planes == 1) {
        memset(colours, 0, 3);
        memset(colours + 3, 255, 3);
    }
    for (DWORD i = 0; i < GetNumColors(); ++i)
        SetPaletteColor(static_cast<BYTE>(i), colours[3 * i], colours[3 * i + 1], colours[3 * i + 2], 0);
    return true;
}

// One index per pixel into the stored row, keeping the bits the depth holds.
void ZImagePCX::StoreIndices(DWORD row, const BYTE* indices) {
    BYTE* out = GetBits(row);
    const DWORD width = GetWidth();
    switch (GetBpp()) {
        case 8:
            memcpy(out, indices, width);
            break;
        case 4:
            for (DWORD x = 0; x < width; x += 2)
                out[x / 2] = static_cast<BYTE>((indices[x] & 0x0F) << 4 | (x + 1 < width ? indices[x + 1] & 0x0F : 0));
            break;
        case 1:
            for (DWORD x = 0; x < width; ++x)
                if (indices[x] & 1) out[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            break;
        default:
            break;  // a true-colour picture has no indices
    }
}

void ZImagePCX::SpreadPixels(BYTE* pixels, const BYTE* line, DWORD bytesPerLine, BYTE bits) {
    if (bits == 8) {
        memcpy(pixels, line, bytesPerLine);
        return;
    }
    if (bits != 1 && bits != 2 && bits != 4) return;
    const unsigned mask = (1u << bits) - 1;
    for (DWORD i = 0; i < bytesPerLine; ++i) {
        for (int shift = 8 - bits; shift >= 0; shift -= bits) *pixels++ = static_cast<BYTE>((line[i] >> shift) & mask);
    }
}

void ZImagePCX::MergePlanes(BYTE* pixels, const BYTE* line, DWORD bytesPerLine, BYTE planes) {
    memset(pixels, 0, static_cast<size_t>(bytesPerLine) * 8);
    for (BYTE p = 0; p < planes; ++p) {
        const BYTE* plane = line + static_cast<size_t>(p) * bytesPerLine;
        for (DWORD i = 0; i < bytesPerLine; ++i) {
            for (int k = 0; k < 8; ++k)
                if (plane[i] & (0x80 >> k)) pixels[i * 8 + k] |= static_cast<BYTE>(1 << p);
        }
    }
}

void ZImagePCX::SplitPlane(const BYTE* pixels, DWORD width, BYTE* plane, DWORD planeBytes, BYTE bit) {
    memset(plane, 0, planeBytes);
    for (DWORD x = 0; x < width; ++x)
        if ((pixels[x] >> bit) & 1) plane[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
}

BYTE* ZImagePCX::PutRunPlane(const BYTE* buffer, DWORD size, BYTE* out) {
    for (DWORD i = 0; i < size;) {
        const BYTE value = buffer[i];
        DWORD run = 1;
        while (i + run < size && buffer[i + run] == value && run < kMaxRun) ++run;
        out = PutRun(value, static_cast<int>(run), out);
        i += run;
    }
    return out;
}

// value is a byte, or -1 to end a line, or -2 to end it with a pad byte.
BYTE* ZImagePCX::PutRunPixel(int value, BYTE& previous, int& count, BYTE* out) {
    if (count > 0 && value != previous) {
        out = PutRun(previous, count, out);
        count = 0;
    }
    if (count == static_cast<int>(kMaxRun)) {
        out = PutRun(previous, count, out);
        count = 0;
    }
    if (value == -2) *out++ = 0;
    previous = static_cast<BYTE>(value);
    ++count;
    return out;
}

bool ZImagePCX::Encode(ZFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    const DWORD width = GetWidth();
    const DWORD height = GetHeight();
    const WORD bpp = GetBpp();
    const bool packed = bpp < 8;
    const BYTE planes = packed ? (bpp == 1 ? 1 : 4) : IsIndexed() ? 1 : alpha ? 4 : 3;
    uint64_t bytesPerLine = packed ? (static_cast<uint64_t>(width) + 7) / 8 : width;
    bytesPerLine += bytesPerLine & 1;
    if (width == 0 || height == 0 || width > 0x10000 || height > 0x10000 || bytesPerLine > 0xFFFF)
        return Fail(zerr::kPcxSize);
    const DWORD lineBytes = static_cast<DWORD>(bytesPerLine);

    BYTE header[kHeaderSize] = {};
    header[0] = kManufacturer;
    header[1] = kVersion;
    header[2] = kRunLength;
    header[3] = packed ? 1 : 8;
    zbytes::PutLe16(header + 8, static_cast<WORD>(width - 1));
    zbytes::PutLe16(header + 10, static_cast<WORD>(height - 1));
    zbytes::PutLe16(header + 12, static_cast<WORD>(info.xDpi));
    zbytes::PutLe16(header + 14, static_cast<WORD>(info.yDpi));
    if (bpp == 1) {
        memset(header + 19, 255, 3);
    } else if (bpp == 4) {
        for (BYTE i = 0; i < 16; ++i) {
            const RGBQUAD c = GetPaletteColor(i);
            header[16 + 3 * i] = c.rgbRed;
            header[17 + 3 * i] = c.rgbGreen;
            header[18 + 3 * i] = c.rgbBlue;
        }
    }
    header[65] = planes;
    zbytes::PutLe16(header + 66, static_cast<WORD>(lineBytes));
    zbytes::PutLe16(header + 68, IsIndexed() ? 0 : 1);
    if (stream->Write(header, sizeof(header), 1) == 0) return Fail(zerr::kPcxWriteHeader);

    // The whole body is collected first and written in one piece.
    ZMemFile body;
    body.Open();
    bool stored = true;
    std::vector<BYTE> coded(2 * static_cast<size_t>(lineBytes) + 2);
    auto store = [&](const BYTE* end) {
        const size_t size = static_cast<size_t>(end - coded.data());
        if (size) stored = body.Write(coded.data(), size, 1) == 1 && stored;
    };

    if (!packed) {
        const int lineEnd = width & 1 ? -2 : -1;
        std::vector<BYTE> channel(width);
        for (DWORD y = height; y-- > 0;) {
            const BYTE* pixels = GetBits(y);
            for (BYTE p = 0; p < planes; ++p) {
                if (IsIndexed()) {
                    memcpy(channel.data(), pixels, width);
                } else if (p < 3) {
                    for (DWORD x = 0; x < width; ++x) channel[x] = pixels[3 * x + 2 - p];
                } else {
                    memcpy(channel.data(), alpha + static_cast<size_t>(y) * width, width);
                }
                BYTE previous = 0;
                int count = 0;
                BYTE* out = coded.data();
                for (DWORD x = 0; x < width; ++x) out = PutRunPixel(channel[x], previous, count, out);
                store(PutRunPixel(lineEnd, previous, count, out));
            }
        }
        if (IsIndexed()) {
            BYTE trailer[1 + 256 * 3];
            trailer[0] = kPaletteSignature;
            for (DWORD i = 0; i < 256; ++i) {
                const RGBQUAD c = GetPaletteColor(static_cast<BYTE>(i));
                trailer[1 + 3 * i] = c.rgbRed;
                trailer[2 + 3 * i] = c.rgbGreen;
                trailer[3 + 3 * i] = c.rgbBlue;
            }
            stored = body.Write(trailer, sizeof(trailer), 1) == 1 && stored;
        }
    } else {
        // 0 must mean dark in a two-colour file: readers take it as black.
        const RGBQUAD first = GetPaletteColor(0);
        const RGBQUAD second = GetPaletteColor(1);
        const bool invert = bpp == 1 && CompareColors(&first, &second) > 0;
        std::vector<BYTE> indices(width);
        std::vector<BYTE> plane(lineBytes);
        for (DWORD y = height; y-- > 0;) {
            const BYTE* pixels = GetBits(y);
            for (DWORD x = 0; x < width; ++x) {
                const BYTE index = bpp == 1 ? (pixels[x / 8] >> (7 - x % 8)) & 1
                                            : (x & 1 ? pixels[x / 2] & 0x0F : pixels[x / 2] >> 4);
                indices[x] = invert ? static_cast<BYTE>(1 - index) : index;
            }
            for (BYTE p = 0; p < planes; ++p) {
                SplitPlane(indices.data(), width, plane.data(), lineBytes, p);
                store(PutRunPlane(plane.data(), lineBytes, coded.data()));
            }
        }
    }

    if (!stored || stream->Write(body.GetBuffer(false), static_cast<size_t>(body.Size()), 1) != 1)
        return Fail(zerr::kPcxWriteData);
    return true;
}
