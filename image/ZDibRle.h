// Run-length expansion of DIB pixel data (RLE8 and RLE4) into an image's
// rows, shared by the BMP reader and packed DIB blocks. A Source offers
// `int Get()`: the next byte, or -1 at the end of the data, where the
// expansion stops as at the end-of-bitmap code.
#pragma once

#include <cstdint>
#include <cstring>

#include "zwin.h"

namespace zrle {

// The pixel rows as the decoders address them. The row start follows the
// row number only while that is at most the height, and a position past a
// row's end carries on into the next; writes at or past the end of the
// rows are dropped.
class RowTarget {
public:
    RowTarget(BYTE* bits, DWORD effWidth, DWORD height)
        : m_bits(bits), m_size(static_cast<uint64_t>(effWidth) * height), m_stride(effWidth), m_height(height) {}

    void MoveTo(uint64_t y) {
        if (y <= m_height) m_rowStart = y * m_stride;
    }
    void Set(uint64_t x, BYTE value) {
        if (m_rowStart + x < m_size) m_bits[m_rowStart + x] = value;
    }
    void Or(uint64_t x, BYTE value) {
        if (m_rowStart + x < m_size) m_bits[m_rowStart + x] |= value;
    }
    void Fill(uint64_t x, uint64_t count, BYTE value) {
        const uint64_t at = m_rowStart + x;
        if (at >= m_size) return;
        memset(m_bits + at, value, static_cast<size_t>(count < m_size - at ? count : m_size - at));
    }

private:
    BYTE* m_bits;
    uint64_t m_size;
    uint64_t m_stride;
    uint64_t m_height;
    uint64_t m_rowStart = 0;
};

// The code structure both encodings share: a count byte n > 0 with a
// value byte is a run, which run(n, v) puts at x; an escape 0 is followed
// by 0 (end of line), 1 (end of bitmap), 2 (delta dx, dy) or e >= 3,
// absolute data, which absolute(e) reads and puts at x, returning false at
// the end of the data. x is whatever unit the encoding counts in.
template <class Source, class Run, class Absolute>
void Expand(Source& in, RowTarget& rows, uint64_t& x, Run run, Absolute absolute) {
    uint64_t y = 0;
    for (;;) {
        const int n = in.Get();
        if (n < 0) return;
        if (n > 0) {
            const int v = in.Get();
            if (v < 0) return;
            rows.MoveTo(y);
            run(n, v);
            continue;
        }
        const int e = in.Get();
        if (e < 0 || e == 1) return;
        if (e == 0) {
            x = 0;
            ++y;
        } else if (e == 2) {
            const int dx = in.Get();
            const int dy = in.Get();
            if (dy < 0) return;
            x += static_cast<uint64_t>(dx);
            y += static_cast<uint64_t>(dy);
        } else {
            rows.MoveTo(y);
            if (!absolute(e)) return;
        }
    }
}

// x counts bytes, one pixel each.
template <class Source>
void ExpandRle8(Source& in, BYTE* bits, DWORD effWidth, DWORD height) {
    RowTarget rows(bits, effWidth, height);
    uint64_t x = 0;
    auto run = [&](int n, int v) {
        rows.Fill(x, static_cast<uint64_t>(n), static_cast<BYTE>(v));
        x += static_cast<uint64_t>(n);
    };
    auto absolute = [&](int e) {
        for (int k = 0; k < e; ++k) {
            const int b = in.Get();
            if (b < 0) return false;
            rows.Set(x + static_cast<uint64_t>(k), static_cast<BYTE>(b));
        }
        if ((e & 1) && in.Get() < 0) return false;
        x += static_cast<uint64_t>(e);
        return true;
    };
    Expand(in, rows, x, run, absolute);
}

// x counts pixels, two to a byte. Pixel k of a run or of absolute data
// takes the high nibble of its byte when k is even, whatever position it
// lands on, so runs, absolute data and deltas may start on an odd pixel.
template <class Source>
void ExpandRle4(Source& in, BYTE* bits, DWORD effWidth, DWORD height) {
    RowTarget rows(bits, effWidth, height);
    uint64_t x = 0;
    auto put = [&](int nibble) {
        if (x % 2 == 0) {
            rows.Set(x / 2, static_cast<BYTE>(nibble << 4));
        } else {
            rows.Or(x / 2, static_cast<BYTE>(nibble));
        }
        ++x;
    };
    auto nibbleOf = [](int byte, int k) { return k % 2 == 0 ? byte >> 4 : byte & 0x0F; };
    auto run = [&](int n, int v) {
        for (int k = 0; k < n; ++k) put(nibbleOf(v, k));
    };
    auto absolute = [&](int e) {
        int d = 0;
        for (int k = 0; k < e; ++k) {
            if (k % 2 == 0 && (d = in.Get()) < 0) return false;
            put(nibbleOf(d, k));
        }
        // The data fills a whole number of 16-bit words.
        return !((e + 1) & 2) || in.Get() >= 0;
    };
    Expand(in, rows, x, run, absolute);
}

// A byte range as a Source.
struct MemorySource {
    const BYTE* next;
    const BYTE* end;
    int Get() { return next < end ? *next++ : -1; }
};

}  // namespace zrle
