// Packed DIB blocks read from a byte range: layouts, run-length data, bit
// fields, and hostile blocks that must never be read or written past.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ByteBuilder.h"
#include "ZErrors.h"
#include "ZImage.h"
#include "ZPackedDIB.h"

namespace {

ByteBuilder InfoHeader(LONG width, LONG height, WORD bpp, DWORD compression = BI_RGB, DWORD clrUsed = 0,
                       LONG pelsPerMeter = 3780, DWORD size = 40) {
    ByteBuilder b;
    b.U32(size).U32(static_cast<uint32_t>(width)).U32(static_cast<uint32_t>(height)).U16(1).U16(bpp);
    b.U32(compression).U32(0).U32(static_cast<uint32_t>(pelsPerMeter)).U32(static_cast<uint32_t>(pelsPerMeter));
    b.U32(clrUsed).U32(0);
    if (size > 40) b.Fill(size - 40, 0);
    return b;
}

// Reads from an exactly sized heap copy, so the sanitizers see any read
// past the block.
struct Result {
    const char* error;
    std::string thrown;
};

Result Read(ZImage& image, const std::vector<uint8_t>& block) {
    std::unique_ptr<BYTE[]> copy(new BYTE[block.size() ? block.size() : 1]);
    if (!block.empty()) memcpy(copy.get(), block.data(), block.size());
    try {
        return {ZReadPackedDIB(image, copy.get(), block.size()), ""};
    } catch (const char* text) {
        return {nullptr, text};
    }
}

std::vector<uint8_t> Row(ZImage& image, DWORD y, size_t count) {
    const BYTE* row = image.GetBits(y);
    return std::vector<uint8_t>(row, row + count);
}

TEST(PackedDib, UncompressedBlocksKeepPixelsAndPalette) {
    for (DWORD bpp : {1u, 4u, 8u, 24u}) {
        SCOPED_TRACE("bpp " + std::to_string(bpp));
        ZImage source(5, 3, bpp, FORMAT_BMP);
        ASSERT_TRUE(source.IsValid());
        for (DWORD i = 0; i < source.GetNumColors(); ++i)
            source.SetPaletteColor(static_cast<BYTE>(i), static_cast<BYTE>(i * 7), static_cast<BYTE>(i * 3),
                                   static_cast<BYTE>(255 - i), 0x55);
        BYTE* bits = source.GetBits(0);
        for (DWORD i = 0; i < source.GetEffWidth() * source.GetHeight(); ++i) bits[i] = static_cast<BYTE>(i * 37 + 11);
        const BYTE* dib = static_cast<const BYTE*>(source.GetDIB());
        const std::vector<uint8_t> block(dib, dib + source.GetSize());

        ZImage image;
        ASSERT_EQ(Read(image, block).error, nullptr);
        ASSERT_TRUE(image.IsValid());
        EXPECT_EQ(image.GetWidth(), 5u);
        EXPECT_EQ(image.GetHeight(), 3u);
        EXPECT_EQ(image.GetBpp(), bpp);
        EXPECT_EQ(0, memcmp(image.GetBits(0), source.GetBits(0), source.GetEffWidth() * 3));
        for (DWORD i = 0; i < image.GetNumColors(); ++i) {
            const RGBQUAD c = image.GetPaletteColor(static_cast<BYTE>(i));
            const RGBQUAD s = source.GetPaletteColor(static_cast<BYTE>(i));
            EXPECT_EQ(c.rgbRed, s.rgbRed);
            EXPECT_EQ(c.rgbGreen, s.rgbGreen);
            EXPECT_EQ(c.rgbBlue, s.rgbBlue);
            EXPECT_EQ(c.rgbReserved, 0);
        }
    }
}

TEST(PackedDib, ResolutionFromPixelsPerMetre) {
    const struct {
        LONG pelsPerMeter;
        LONG dpi;
    } cases[] = {{3780, 96}, {0, 96}, {2835, 72}, {11811, 300}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pelsPerMeter);
        ByteBuilder b = InfoHeader(1, 1, 24, BI_RGB, 0, c.pelsPerMeter);
        b.Bytes({1, 2, 3, 0});
        ZImage image;
        ASSERT_EQ(Read(image, b.bytes()).error, nullptr);
        EXPECT_EQ(image.GetXDPI(), c.dpi);
        EXPECT_EQ(image.GetYDPI(), c.dpi);
    }
}

TEST(PackedDib, PixelsFollowAShortColourTable) {
    ByteBuilder b = InfoHeader(3, 1, 8, BI_RGB, 2);
    b.Bytes({10, 20, 30, 0, 40, 50, 60, 0});
    b.Bytes({1, 0, 1, 0});
    ZImage image;
    ASSERT_EQ(Read(image, b.bytes()).error, nullptr);
    EXPECT_EQ(Row(image, 0, 3), (std::vector<uint8_t>{1, 0, 1}));
    EXPECT_EQ(image.GetPaletteColor(1).rgbRed, 60);
    EXPECT_EQ(image.GetPaletteColor(2).rgbRed, 0);
}

TEST(PackedDib, CoreHeaderHasThreeBytePaletteEntries) {
    ByteBuilder b;
    b.U32(12).U16(2).U16(2).U16(1).U16(8);
    for (int i = 0; i < 256; ++i) b.Bytes({static_cast<unsigned>(i), 0x80, static_cast<unsigned>(255 - i)});
    b.Bytes({1, 2, 0, 0, 3, 4, 0, 0});
    ZImage image;
    ASSERT_EQ(Read(image, b.bytes()).error, nullptr);
    EXPECT_EQ(image.GetWidth(), 2u);
    EXPECT_EQ(image.GetBpp(), 8);
    EXPECT_EQ(image.GetXDPI(), 96);
    EXPECT_EQ(Row(image, 0, 2), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(Row(image, 1, 2), (std::vector<uint8_t>{3, 4}));
    const RGBQUAD c = image.GetPaletteColor(4);
    EXPECT_EQ(c.rgbBlue, 4);
    EXPECT_EQ(c.rgbGreen, 0x80);
    EXPECT_EQ(c.rgbRed, 251);
    EXPECT_EQ(c.rgbReserved, 0);
}

TEST(PackedDib, TopDownRowsAreTurnedBottomUp) {
    ByteBuilder b = InfoHeader(1, -3, 24);
    b.Bytes({1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0});
    ZImage image;
    ASSERT_EQ(Read(image, b.bytes()).error, nullptr);
    EXPECT_EQ(image.GetHeight(), 3u);
    EXPECT_EQ(image.GetBits(2)[0], 1);
    EXPECT_EQ(image.GetBits(0)[0], 3);
}

struct RleCase {
    const char* name;
    DWORD compression;
    LONG width;
    LONG height;
    std::vector<uint8_t> data;
    std::vector<std::vector<uint8_t>> rows;  // bottom row first, each effWidth bytes
};

TEST(PackedDib, RunLengthData) {
    const RleCase cases[] = {
        {"rle8 runs and end of line", BI_RLE8, 4, 2, {3, 5, 0, 0, 2, 7, 0, 1}, {{5, 5, 5, 0}, {7, 7, 0, 0}}},
        {"rle8 delta", BI_RLE8, 4, 2, {0, 2, 1, 1, 2, 9, 0, 1}, {{0, 0, 0, 0}, {0, 9, 9, 0}}},
        {"rle8 odd literal run is padded", BI_RLE8, 4, 1, {0, 3, 1, 2, 3, 0, 1, 4, 0, 1}, {{1, 2, 3, 4}}},
        {"rle8 run past a row end carries on", BI_RLE8, 4, 2, {6, 3, 0, 1}, {{3, 3, 3, 3}, {3, 3, 0, 0}}},
        {"rle8 rows above the top are dropped", BI_RLE8, 2, 2, {1, 6, 0, 0, 0, 0, 2, 8, 0, 1}, {{6, 0, 0, 0}, {0, 0, 0, 0}}},
        {"rle8 rows past the top go on writing the last row reached", BI_RLE8, 2, 2, {0, 2, 0, 9, 2, 8, 0, 1},
         {{8, 8, 0, 0}, {0, 0, 0, 0}}},
        {"rle8 without end code", BI_RLE8, 4, 1, {2, 4, 1}, {{4, 4, 0, 0}}},
        {"rle8 run past the last row", BI_RLE8, 4, 1, {255, 1, 0, 1}, {{1, 1, 1, 1}}},
        {"rle4 run alternates nibbles", BI_RLE4, 5, 1, {5, 0x12, 0, 1}, {{0x12, 0x12, 0x10, 0}}},
        {"rle4 literal run without pad, then a run from an odd pixel", BI_RLE4, 8, 1,
         {0, 3, 0x12, 0x30, 2, 0x45, 0, 1}, {{0x12, 0x34, 0x50, 0}}},
        {"rle4 literal run from an odd pixel", BI_RLE4, 8, 1, {0, 2, 1, 0, 0, 3, 0x12, 0x30, 0, 1},
         {{0x01, 0x23, 0, 0}}},
        {"rle4 literal run with pad", BI_RLE4, 8, 1, {0, 5, 0x12, 0x34, 0x50, 0, 3, 0x77, 0, 1},
         {{0x12, 0x34, 0x57, 0x77}}},
        {"rle4 delta moves by pixels", BI_RLE4, 4, 1, {0, 2, 3, 0, 1, 0xAB, 0, 1}, {{0, 0x0A, 0, 0}}},
        {"rle4 end of line resets the nibble", BI_RLE4, 2, 2, {1, 0x10, 0, 0, 1, 0x20, 0, 1},
         {{0x10, 0, 0, 0}, {0x20, 0, 0, 0}}},
    };
    for (const RleCase& c : cases) {
        SCOPED_TRACE(c.name);
        const WORD bpp = c.compression == BI_RLE8 ? 8 : 4;
        ByteBuilder b = InfoHeader(c.width, c.height, bpp, c.compression);
        b.Fill(4 * (1u << bpp), 0);
        b.Bytes(c.data);
        ZImage image;
        ASSERT_EQ(Read(image, b.bytes()).error, nullptr);
        ASSERT_TRUE(image.IsValid());
        for (size_t y = 0; y < c.rows.size(); ++y)
            EXPECT_EQ(Row(image, static_cast<DWORD>(y), c.rows[y].size()), c.rows[y]) << "row " << y;
    }
}

TEST(PackedDib, SixteenAndThirtyTwoBitPixels) {
    const struct {
        const char* name;
        DWORD headerSize;
        WORD bpp;
        DWORD compression;
        std::vector<uint32_t> masks;  // written after a 40-byte header, inside a longer one
        std::vector<uint8_t> pixel;
        RGBQUAD expected;
    } cases[] = {
        {"16-bit 5-5-5 white", 40, 16, BI_RGB, {}, {0xFF, 0x7F}, {248, 248, 248, 0}},
        {"16-bit 5-5-5 blue", 40, 16, BI_RGB, {}, {0x1F, 0x00}, {248, 0, 0, 0}},
        {"16-bit 5-6-5 green", 40, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {0xE0, 0x07}, {0, 252, 0, 0}},
        {"16-bit 5-6-5 in a version 4 header", 108, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {0x00, 0xF8},
         {0, 0, 248, 0}},
        {"16-bit overlapping masks read as 5-5-5", 40, 16, BI_BITFIELDS, {0xFFFF, 0xFFFF, 0xFFFF}, {0xFF, 0x7F},
         {248, 248, 248, 0}},
        {"32-bit without masks", 40, 32, BI_RGB, {}, {1, 2, 3, 4}, {1, 2, 3, 0}},
        {"32-bit with masks", 40, 32, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF}, {5, 6, 7, 8}, {5, 6, 7, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ByteBuilder b = InfoHeader(1, 1, c.bpp, c.compression, 0, 3780, 40);
        for (uint32_t m : c.masks) b.U32(m);
        if (c.headerSize > b.size()) b.Fill(c.headerSize - b.size(), 0);
        b.Patch32(0, c.headerSize);
        b.Bytes(c.pixel);
        b.Fill(4 - c.pixel.size() % 4, 0);
        ZImage image;
        ASSERT_EQ(Read(image, b.bytes()).error, nullptr);
        ASSERT_EQ(image.GetBpp(), 24);
        const BYTE* p = image.GetBits(0);
        EXPECT_EQ(p[0], c.expected.rgbBlue);
        EXPECT_EQ(p[1], c.expected.rgbGreen);
        EXPECT_EQ(p[2], c.expected.rgbRed);
    }
}

TEST(PackedDib, UnknownCompressionsThrowTheirTexts) {
    const struct {
        WORD bpp;
        DWORD compression;
        const char* text;
    } cases[] = {
        {8, BI_BITFIELDS, zerr::kCompressionUnsupported},
        {4, 4, zerr::kCompressionUnsupported},
        {1, BI_RLE4 + 10, zerr::kCompressionUnsupported},
        {32, BI_RLE8, zerr::kUnknownCompression},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bpp) + " bits, compression " + std::to_string(c.compression));
        ByteBuilder b = InfoHeader(2, 2, c.bpp, c.compression);
        b.Fill(64 + 1024, 0);
        ZImage image;
        const Result r = Read(image, b.bytes());
        EXPECT_EQ(r.thrown, c.text);
        // The picture made before the pixel step stays.
        EXPECT_TRUE(image.IsValid());
    }
}

TEST(PackedDib, MalformedHeadersAreRefused) {
    const struct {
        const char* name;
        std::vector<uint8_t> block;
        const char* text;
    } cases[] = {
        {"empty", {}, zerr::kDibTooShort},
        {"three bytes", {40, 0, 0}, zerr::kDibTooShort},
        {"header size 0", InfoHeader(1, 1, 24, BI_RGB, 0, 0, 40).Patch32(0, 0).Fill(4, 0).bytes(), zerr::kDibHeader},
        {"header size 39", InfoHeader(1, 1, 24, BI_RGB, 0, 0, 40).Patch32(0, 39).Fill(4, 0).bytes(), zerr::kDibHeader},
        {"header larger than the block", InfoHeader(1, 1, 24, BI_RGB, 0, 0, 40).Patch32(0, 124).Fill(4, 0).bytes(),
         zerr::kDibTooShort},
        {"negative width", InfoHeader(-1, 1, 24).Fill(4, 0).bytes(), zerr::kDibHeader},
        {"top-down run-length data", InfoHeader(2, -2, 8, BI_RLE8).Fill(1024 + 2, 0).bytes(), zerr::kDibHeader},
        {"pixels missing", InfoHeader(4, 4, 24).Fill(47, 0).bytes(), zerr::kDibTooShort},
        {"colour table missing", InfoHeader(1, 1, 8).Fill(4, 0).bytes(), zerr::kDibTooShort},
        {"masks missing", InfoHeader(1, 1, 16, BI_BITFIELDS).Fill(4, 0).bytes(), zerr::kDibTooShort},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ZImage image;
        const Result r = Read(image, c.block);
        ASSERT_NE(r.error, nullptr);
        EXPECT_STREQ(r.error, c.text);
        EXPECT_FALSE(image.IsValid());
    }
}

TEST(PackedDib, HugeColourCountReadsNothingPastTheBlock) {
    ByteBuilder b = InfoHeader(4, 1, 8, BI_RLE8, 0xFFFFFFFF);
    b.Bytes({10, 20, 30, 0, 4, 1, 0, 1});
    ZImage image;
    ASSERT_EQ(Read(image, b.bytes()).error, nullptr);
    EXPECT_EQ(image.GetPaletteColor(0).rgbRed, 30);
    EXPECT_EQ(image.GetPaletteColor(1).rgbBlue, 4);
    // The pixel data would start past the block: no pixels.
    EXPECT_EQ(Row(image, 0, 4), (std::vector<uint8_t>{0, 0, 0, 0}));
}

// Width times height a mutated header claims. Run-length data may legally
// describe a picture of any size, for which the library would then
// allocate up to its memory ceiling: such mutations are left out.
uint64_t ClaimedPixels(const std::vector<uint8_t>& block) {
    auto le = [&](size_t at, int bytes) {
        uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i) v = v << 8 | block[at + i];
        return v;
    };
    if (le(0, 4) == 12) return uint64_t{le(4, 2)} * le(6, 2);
    const int32_t height = static_cast<int32_t>(le(8, 4));
    return uint64_t{le(4, 4)} * static_cast<uint32_t>(height < 0 ? -int64_t{height} : height);
}

// Every shortened and every bit-flipped copy of these blocks is taken or
// refused without touching memory outside the block or the picture.
TEST(PackedDib, TruncatedAndMutatedBlocksStayInBounds) {
    std::vector<std::vector<uint8_t>> blocks;
    blocks.push_back(InfoHeader(3, 2, 8).Fill(1024, 7).Bytes({1, 2, 3, 0, 4, 5, 6, 0}).bytes());
    blocks.push_back(InfoHeader(3, 2, 24).Fill(24, 9).bytes());
    blocks.push_back(InfoHeader(3, 2, 16, BI_BITFIELDS).U32(0xF800).U32(0x07E0).U32(0x1F).Fill(16, 0xA5).bytes());
    blocks.push_back(InfoHeader(2, 1, 32).Fill(8, 0x5A).bytes());
    blocks.push_back(InfoHeader(8, 4, 8, BI_RLE8, 2).Fill(8, 1).Bytes({4, 1, 0, 3, 1, 2, 3, 0, 0, 2, 3, 1, 9, 1, 0, 0,
                                                                       0, 1}).bytes());
    blocks.push_back(InfoHeader(9, 3, 4, BI_RLE4, 16).Fill(64, 2).Bytes({7, 0x12, 0, 5, 0x12, 0x34, 0x50, 0, 0, 2, 5,
                                                                         1, 0, 0, 12, 0x45, 0, 1}).bytes());
    ByteBuilder core;
    core.U32(12).U16(3).U16(2).U16(1).U16(4).Fill(48, 3).Fill(8, 0x21);
    blocks.push_back(core.bytes());

    for (size_t n = 0; n < blocks.size(); ++n) {
        const std::vector<uint8_t>& block = blocks[n];
        SCOPED_TRACE("block " + std::to_string(n));
        {
            ZImage whole;
            ASSERT_EQ(Read(whole, block).error, nullptr);
        }
        const bool compressed = n == 4 || n == 5;
        for (size_t length = 0; length < block.size(); ++length) {
            ZImage image;
            const Result r = Read(image, std::vector<uint8_t>(block.begin(), block.begin() + length));
            // Uncompressed blocks must hold all their pixels; run-length
            // data may end early once the header and table are there.
            if (!compressed || length < 40) {
                EXPECT_NE(r.error, nullptr) << "length " << length;
            }
        }
        for (size_t at = 0; at < block.size(); ++at) {
            for (int bit = 0; bit < 8; ++bit) {
                std::vector<uint8_t> mutated = block;
                mutated[at] ^= static_cast<uint8_t>(1 << bit);
                if (ClaimedPixels(mutated) > (uint64_t{1} << 24)) continue;
                ZImage image;
                const Result r = Read(image, mutated);
                if (!r.error && r.thrown.empty()) {
                    EXPECT_TRUE(image.IsValid()) << "byte " << at << " bit " << bit;
                }
            }
        }
    }
}

}  // namespace
