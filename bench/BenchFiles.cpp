#include "BenchFiles.h"

#include <gif_lib.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

void Put16(Bytes& out, unsigned v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// A fixed sequence, so every run benchmarks the same files.
struct Noise {
    uint32_t state = 12345;
    int Next(int range) {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % static_cast<uint32_t>(range)) - range / 2;
    }
};

uint8_t Clamp(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

int GifWrite(GifFileType* gif, const GifByteType* data, int length) {
    Bytes* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

}  // namespace

void MakePhoto24(ZImage& image) {
    image.Create(kBenchWidth, kBenchHeight, 24, FORMAT_BMP);
    Noise noise;
    for (int y = 0; y < kBenchHeight; ++y) {
        BYTE* row = image.GetBits(static_cast<DWORD>(y));
        for (int x = 0; x < kBenchWidth; ++x) {
            row[3 * x] = Clamp((x + y) * 255 / (kBenchWidth + kBenchHeight) + noise.Next(24));
            row[3 * x + 1] = Clamp(y * 255 / kBenchHeight + noise.Next(24));
            row[3 * x + 2] = Clamp(x * 255 / kBenchWidth + noise.Next(24));
        }
    }
}

void MakePhoto8(ZImage& image) {
    ZImage photo;
    MakePhoto24(photo);
    image.Create(kBenchWidth, kBenchHeight, 8, FORMAT_BMP);
    for (int i = 0; i < 256; ++i) {
        image.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>((i >> 5) * 255 / 7),
                              static_cast<BYTE>(((i >> 2) & 7) * 255 / 7), static_cast<BYTE>((i & 3) * 255 / 3), 0);
    }
    for (int y = 0; y < kBenchHeight; ++y) {
        const BYTE* in = photo.GetBits(static_cast<DWORD>(y));
        BYTE* out = image.GetBits(static_cast<DWORD>(y));
        for (int x = 0; x < kBenchWidth; ++x) {
            out[x] = static_cast<BYTE>((in[3 * x + 2] >> 5) << 5 | (in[3 * x + 1] >> 5) << 2 | in[3 * x] >> 6);
        }
    }
}

void MakeFlat8(ZImage& image) {
    image.Create(kBenchWidth, kBenchHeight, 8, FORMAT_BMP);
    image.SetStdPalette();
    for (int y = 0; y < kBenchHeight; ++y) {
        BYTE* row = image.GetBits(static_cast<DWORD>(y));
        for (int x = 0; x < kBenchWidth; ++x) row[x] = static_cast<BYTE>(((x / 160) + (y / 90) * 3) % 16);
    }
}

Bytes BmpRle8File(ZImage& flat8) {
    Bytes pixels;
    for (DWORD y = 0; y < flat8.GetHeight(); ++y) {
        const BYTE* row = flat8.GetBits(y);
        for (DWORD x = 0; x < flat8.GetWidth();) {
            DWORD run = 1;
            while (x + run < flat8.GetWidth() && run < 255 && row[x + run] == row[x]) ++run;
            pixels.push_back(static_cast<uint8_t>(run));
            pixels.push_back(row[x]);
            x += run;
        }
        pixels.push_back(0);
        pixels.push_back(0);
    }
    pixels.back() = 1;  // the last end of line becomes the end of the bitmap

    Bytes out = {'B', 'M'};
    const uint32_t offset = 14 + 40 + 1024;
    Put32(out, offset + static_cast<uint32_t>(pixels.size()));
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, flat8.GetWidth());
    Put32(out, flat8.GetHeight());
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, 1);  // BI_RLE8
    Put32(out, static_cast<uint32_t>(pixels.size()));
    Put32(out, 3780);
    Put32(out, 3780);
    Put32(out, 256);
    Put32(out, 0);
    const BYTE* palette = reinterpret_cast<const BYTE*>(flat8.GetPalette());
    out.insert(out.end(), palette, palette + 1024);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

Bytes TgaFile(ZImage& rgb24, bool rle) {
    Bytes out = {0, 0, static_cast<uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(out, rgb24.GetWidth());
    Put16(out, rgb24.GetHeight());
    out.push_back(24);
    out.push_back(0);  // bottom-left origin
    const DWORD width = rgb24.GetWidth();
    for (DWORD y = 0; y < rgb24.GetHeight(); ++y) {
        const BYTE* row = rgb24.GetBits(y);
        if (!rle) {
            out.insert(out.end(), row, row + 3 * width);
            continue;
        }
        for (DWORD x = 0; x < width;) {
            DWORD run = 1;
            while (x + run < width && run < 128 && memcmp(row + 3 * (x + run), row + 3 * x, 3) == 0) ++run;
            if (run > 1) {
                out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
                out.insert(out.end(), row + 3 * x, row + 3 * x + 3);
            } else {
                DWORD raw = 1;
                while (x + raw < width && raw < 128 &&
                       (x + raw + 1 >= width || memcmp(row + 3 * (x + raw), row + 3 * (x + raw + 1), 3) != 0))
                    ++raw;
                out.push_back(static_cast<uint8_t>(raw - 1));
                out.insert(out.end(), row + 3 * x, row + 3 * (x + raw));
                run = raw;
            }
            x += run;
        }
    }
    return out;
}

Bytes GiflibGifFile(ZImage& indexed8) {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    if (!gif) throw std::runtime_error("EGifOpen failed");
    GifColorType colours[256];
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD c = indexed8.GetPaletteColor(static_cast<BYTE>(i));
        colours[i] = GifColorType{c.rgbRed, c.rgbGreen, c.rgbBlue};
    }
    ColorMapObject* map = GifMakeMapObject(256, colours);
    const int width = static_cast<int>(indexed8.GetWidth());
    const int height = static_cast<int>(indexed8.GetHeight());
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = height - 1; ok && y >= 0; --y) {
        ok = EGifPutLine(gif, indexed8.GetBits(static_cast<DWORD>(y)), width) == GIF_OK;
    }
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
    if (!ok) throw std::runtime_error("giflib could not write the file");
    return out;
}

Bytes EncodeWithLibrary(ZImage& image, DWORD type) {
    BYTE* buffer = nullptr;
    long size = 0;
    if (!image.Encode(buffer, size, type)) return Bytes();
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}
