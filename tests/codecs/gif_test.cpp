#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "ByteBuilder.h"
#include "CodecChecks.h"
#include "ExternalDecoders.h"
#include "Rgba.h"
#include "ZErrors.h"
#include "ZImage.h"
#include "codecs/ZImageGIF.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------- fixtures

// Palette entry i of every fixture table.
rgb_color Entry(int i) { return rgb_color{static_cast<BYTE>(i), static_cast<BYTE>(i * 3 + 1), static_cast<BYTE>(255 - i)}; }

// LSB-first code packer with the data split into sub-blocks.
class CodeWriter {
public:
    void Put(unsigned code, int width) {
        m_acc |= static_cast<uint64_t>(code) << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            m_bytes.push_back(static_cast<uint8_t>(m_acc));
            m_acc >>= 8;
            m_bits -= 8;
        }
    }
    Bytes Blocks(bool terminator = true) {
        if (m_bits > 0) m_bytes.push_back(static_cast<uint8_t>(m_acc));
        m_acc = 0, m_bits = 0;
        Bytes out;
        for (size_t i = 0; i < m_bytes.size(); i += 255) {
            const size_t n = std::min<size_t>(255, m_bytes.size() - i);
            out.push_back(static_cast<uint8_t>(n));
            out.insert(out.end(), m_bytes.begin() + i, m_bytes.begin() + i + n);
        }
        if (terminator) out.push_back(0);
        m_bytes.clear();
        return out;
    }

private:
    Bytes m_bytes;
    uint64_t m_acc = 0;
    int m_bits = 0;
};

// Image data that any decoder reads: one code per pixel, and a clear code
// before the table would grow, so the width never changes.
Bytes PlainLzw(const Bytes& indices, int minCodeSize) {
    const unsigned clear = 1u << minCodeSize;
    const int width = minCodeSize + 1;
    const size_t perClear = clear - 2;
    CodeWriter w;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % perClear == 0) w.Put(clear, width);
        w.Put(indices[i], width);
    }
    w.Put(clear + 1, width);
    Bytes out{static_cast<uint8_t>(minCodeSize)};
    const Bytes blocks = w.Blocks();
    out.insert(out.end(), blocks.begin(), blocks.end());
    return out;
}

// Rows of a frame in the order an interlaced stream carries them.
std::vector<int> InterlacedOrder(int height) {
    std::vector<int> order;
    const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = starts[pass]; y < height; y += steps[pass]) order.push_back(y);
    return order;
}

struct Frame {
    int left = 0, top = 0, width = 1, height = 1;
    Bytes pixels;            // top-down, one index per pixel
    int localEntries = 0;    // 0: no local table
    int localShift = 0;      // added to each local entry, to tell tables apart
    bool interlaced = false;
    int minCodeSize = 8;
};

int SizeCode(int entries) {
    int code = 0;
    while ((2 << code) < entries) ++code;
    return code;
}

class Gif {
public:
    // globalEntries 0: no global table.
    explicit Gif(int width, int height, int globalEntries = 256, const char* version = "89a") {
        b.Text("GIF").Text(version).U16(width).U16(height);
        b.U8(globalEntries ? 0x80 | SizeCode(globalEntries) : 0).U8(0).U8(0);
        Table(globalEntries, 0);
    }
    Gif& Control(int flags, int delay = 0, int transIndex = 0) {
        b.Bytes({0x21, 0xF9, 4}).U8(flags).U16(delay).U8(transIndex).U8(0);
        return *this;
    }
    Gif& Transparent(int index, int disposal = 0) { return Control(1 | disposal << 2, 0, index); }
    Gif& Disposal(int disposal) { return Control(disposal << 2); }
    Gif& Comment(const std::string& text) {
        b.Bytes({0x21, 0xFE}).U8(static_cast<unsigned>(text.size())).Text(text).U8(0);
        return *this;
    }
    Gif& Application(const std::string& identifier, const Bytes& data) {
        b.Bytes({0x21, 0xFF, 11}).Text(identifier).U8(static_cast<unsigned>(data.size())).Bytes(data).U8(0);
        return *this;
    }
    Gif& Image(const Frame& f) {
        Descriptor(f);
        Bytes indices;
        std::vector<int> rows;
        for (int y = 0; y < f.height; ++y) rows.push_back(y);
        if (f.interlaced) rows = InterlacedOrder(f.height);
        for (int y : rows) indices.insert(indices.end(), f.pixels.begin() + y * f.width, f.pixels.begin() + (y + 1) * f.width);
        return Raw(PlainLzw(indices, f.minCodeSize));
    }
    // The descriptor and local table only; the data follows with Raw.
    Gif& Descriptor(const Frame& f) {
        b.U8(0x2C).U16(f.left).U16(f.top).U16(f.width).U16(f.height);
        b.U8((f.localEntries ? 0x80 | SizeCode(f.localEntries) : 0) | (f.interlaced ? 0x40 : 0));
        Table(f.localEntries, f.localShift);
        return *this;
    }
    Gif& Raw(const Bytes& bytes) {
        b.Bytes(bytes);
        return *this;
    }
    Bytes End() {
        b.U8(0x3B);
        return b.bytes();
    }
    Bytes Unfinished() const { return b.bytes(); }

private:
    void Table(int entries, int shift) {
        for (int i = 0; i < entries; ++i) {
            const rgb_color c = Entry(i + shift);
            b.U8(c.r).U8(c.g).U8(c.b);
        }
    }
    ByteBuilder b;
};

Frame Solid(int width, int height, uint8_t index, int left = 0, int top = 0) {
    Frame f;
    f.left = left, f.top = top, f.width = width, f.height = height;
    f.pixels.assign(static_cast<size_t>(width) * height, index);
    return f;
}

// A frame's rectangle only, for descriptors whose data is written raw.
Frame Rect(int width, int height, int left = 0, int top = 0) {
    Frame f;
    f.left = left, f.top = top, f.width = width, f.height = height;
    return f;
}

Frame Ramp(int width, int height, int modulo, int left = 0, int top = 0) {
    Frame f = Solid(width, height, 0, left, top);
    for (size_t i = 0; i < f.pixels.size(); ++i) f.pixels[i] = static_cast<uint8_t>(i % modulo);
    return f;
}

bool DecodeGif(ZImage& image, Bytes bytes) {
    return image.Decode(bytes.data(), static_cast<DWORD>(bytes.size()), FORMAT_GIF);
}

// Top-down indices of the picture.
Bytes Indices(const ZImage& image) {
    Bytes out;
    for (LONG y = static_cast<LONG>(image.GetHeight()) - 1; y >= 0; --y)
        for (LONG x = 0; x < static_cast<LONG>(image.GetWidth()); ++x) out.push_back(image.GetPixelIndex(x, y));
    return out;
}

uint32_t Packed(const rgb_color& c) { return c.r << 16 | c.g << 8 | c.b; }

// Exposes the codec's state after a direct decode.
class GifProbe : public ZImageGIF {
public:
    using ZImageGIF::ctrl;
};

}  // namespace

namespace {

// ---------------------------------------------------------------- header

TEST(GifDecode, AcceptsAnyVersionAfterGif8) {
    for (const char* version : {"87a", "89a", "8zz"}) {
        SCOPED_TRACE(version);
        ZImage image;
        ASSERT_TRUE(DecodeGif(image, Gif(2, 1, 4, version).Image(Ramp(2, 1, 4)).End()));
        EXPECT_EQ(image.GetType(), FORMAT_GIF);
        EXPECT_EQ(Indices(image), (Bytes{0, 1}));
    }
}

TEST(GifDecode, RefusesOtherSignaturesAndShortHeaders) {
    Bytes good = Gif(2, 1, 4).Image(Ramp(2, 1, 4)).End();
    std::vector<Bytes> bad = {Bytes(good.begin(), good.begin() + 12), {}};
    for (const char* signature : {"GIF9", "GIX8", "gif8"}) {
        Bytes b = good;
        memcpy(b.data(), signature, 4);
        bad.push_back(b);
    }
    for (const Bytes& b : bad) {
        ZImageGIF gif;
        ZMemFile stream(const_cast<BYTE*>(b.data()), static_cast<DWORD>(b.size()));
        EXPECT_FALSE(gif.Decode(b.empty() ? static_cast<ZFile*>(nullptr) : &stream));
        EXPECT_FALSE(gif.IsValid());
    }
    ZImageGIF gif;
    EXPECT_FALSE(gif.Decode(static_cast<ZFile*>(nullptr)));
}

TEST(GifDecode, DetectedWithoutType) {
    const Bytes b = Gif(2, 1, 4).Image(Ramp(2, 1, 4)).End();
    ZImage image;
    ASSERT_TRUE(image.Decode(const_cast<BYTE*>(b.data()), static_cast<DWORD>(b.size()), FORMAT_UNKNOWN));
    EXPECT_EQ(image.GetType(), FORMAT_GIF);
}

TEST(GifDecode, ReadsFromStdioStream) {
    const Bytes b = Gif(3, 1, 4).Image(Ramp(3, 1, 4)).End();
    FILE* fp = tmpfile();
    ASSERT_NE(fp, nullptr);
    fwrite(b.data(), 1, b.size(), fp);
    rewind(fp);
    ZImageGIF gif;
    EXPECT_TRUE(gif.Decode(fp));
    fclose(fp);
    EXPECT_EQ(Indices(gif), (Bytes{0, 1, 2}));
}

// ---------------------------------------------------------------- depth and palette

struct DepthCase {
    int entries;
    WORD bpp;
};

class GifDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(GifDepth, TableSizeGivesDepthAndFrameKeepsItsOwnSize) {
    const DepthCase c = GetParam();
    Frame f = Ramp(5, 3, c.entries, 1, 0);
    f.minCodeSize = std::max(2, SizeCode(c.entries) + 1);
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, Gif(8, 3, c.entries).Image(f).End()));
    EXPECT_EQ(image.GetBpp(), c.bpp);
    EXPECT_EQ(image.GetWidth(), 5u);
    EXPECT_EQ(image.GetHeight(), 3u);
    EXPECT_EQ(Indices(image), f.pixels);
    for (int i = 0; i < c.entries; ++i) {
        const RGBQUAD q = image.GetPaletteColor(static_cast<BYTE>(i));
        EXPECT_EQ(static_cast<uint32_t>(q.rgbRed << 16 | q.rgbGreen << 8 | q.rgbBlue), Packed(Entry(i))) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, GifDepth,
                         ::testing::Values(DepthCase{2, 1}, DepthCase{4, 4}, DepthCase{16, 4}, DepthCase{32, 8},
                                           DepthCase{256, 8}),
                         [](const auto& info) { return "Entries" + std::to_string(info.param.entries); });

TEST(GifDecode, EntriesPastASmallTableAreWhiteOnlyWithTransparency) {
    for (bool transparent : {true, false}) {
        SCOPED_TRACE(transparent);
        Gif g(2, 1, 64);
        if (transparent) g.Transparent(1);
        Frame f = Ramp(2, 1, 2);
        f.minCodeSize = 6;
        ZImage image;
        ASSERT_TRUE(DecodeGif(image, g.Image(f).End()));
        ASSERT_EQ(image.GetBpp(), 8);
        EXPECT_EQ(image.GetTransIndex(), transparent ? 1 : -1);
        const RGBQUAD last = image.GetPaletteColor(63), past = image.GetPaletteColor(64), end = image.GetPaletteColor(255);
        EXPECT_EQ(last.rgbRed, Entry(63).r);
        for (const RGBQUAD& q : {past, end}) {
            const BYTE expected = transparent ? 255 : 0;
            EXPECT_EQ(q.rgbRed, expected);
            EXPECT_EQ(q.rgbGreen, expected);
            EXPECT_EQ(q.rgbBlue, expected);
        }
    }
}

TEST(GifDecode, FrameWithoutAnyTableKeepsBlackPalette) {
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, Gif(2, 1, 0).Image(Ramp(2, 1, 2)).End()));
    EXPECT_EQ(RgbValues(image), (std::vector<uint32_t>{0, 0}));
    EXPECT_EQ(Indices(image), (Bytes{0, 1}));
}

// ---------------------------------------------------------------- extensions

TEST(GifDecode, TransparentIndexComesFromLatestFlaggedControlUpToTheFrame) {
    Gif g(2, 1);
    g.Transparent(3).Image(Solid(2, 1, 1));
    g.Transparent(5).Image(Solid(2, 1, 1));
    g.Control(0).Image(Solid(2, 1, 1));
    const Bytes b = g.End();
    const LONG expected[3] = {3, 5, 5};
    for (int frame = 0; frame < 3; ++frame) {
        ZImage image;
        image.SetFrame(frame);
        ASSERT_TRUE(DecodeGif(image, b));
        EXPECT_EQ(image.GetTransIndex(), expected[frame]) << frame;
        EXPECT_EQ(image.GetNumFrames(), 3);
    }
}

TEST(GifDecode, TransparencyDeclaredAfterTheFrameStillApplies) {
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, Gif(2, 1).Image(Solid(2, 1, 1)).Transparent(7).Image(Solid(2, 1, 1)).End()));
    EXPECT_EQ(image.GetTransIndex(), 7);
}

TEST(GifDecode, ControlSetsDelayAndDisposal) {
    ZImageGIF gif;
    const Bytes b = Gif(2, 1).Control(3 << 2, 250).Image(Solid(2, 1, 1)).End();
    ZMemFile stream(const_cast<BYTE*>(b.data()), static_cast<DWORD>(b.size()));
    ASSERT_TRUE(gif.Decode(&stream));
    EXPECT_EQ(gif.GetFrameDelay(), 250u);
    EXPECT_EQ(gif.GetDisposalMethod(), 3);
    EXPECT_EQ(gif.GetTransIndex(), -1);
}

TEST(GifDecode, ApplicationExtensionOfAnyNameSetsLoopCount) {
    struct Case {
        std::string identifier;
        Bytes data;
        long loops;
    } cases[] = {{"NETSCAPE2.0", {1, 5, 0}, 5}, {"ANIMEXTS1.0", {1, 7, 1}, 263}, {"XMP DataXMP", {1, 9}, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.identifier);
        ZImageGIF gif;
        const Bytes b = Gif(2, 1).Application(c.identifier, c.data).Image(Solid(2, 1, 1)).End();
        ZMemFile stream(const_cast<BYTE*>(b.data()), static_cast<DWORD>(b.size()));
        ASSERT_TRUE(gif.Decode(&stream));
        EXPECT_EQ(gif.GetLoops(), c.loops);
        EXPECT_TRUE(gif.IsValid());
    }
}

TEST(GifDecode, CommentKeepsOnlyItsFirstSubBlock) {
    const std::string longText(255, 'x');
    ByteBuilder twoBlocks;
    twoBlocks.Bytes({0x21, 0xFE, 3}).Text("abc").U8(3).Text("def").U8(0);
    struct Case {
        Bytes extension;
        std::string comment;
    } cases[] = {{twoBlocks.bytes(), "abc"},
                 {ByteBuilder().Bytes({0x21, 0xFE, 255}).Text(longText).U8(0).bytes(), longText},
                 {{0x21, 0xFE, 0}, ""}};
    for (const Case& c : cases) {
        ZImageGIF gif;
        gif.SetComment("old");
        const Bytes b = Gif(2, 1).Raw(c.extension).Image(Solid(2, 1, 1)).End();
        ZMemFile stream(const_cast<BYTE*>(b.data()), static_cast<DWORD>(b.size()));
        ASSERT_TRUE(gif.Decode(&stream));
        char comment[256];
        gif.GetComment(comment);
        EXPECT_EQ(std::string(comment), c.comment);
        // The frame after the comment is still found.
        EXPECT_EQ(Indices(gif), (Bytes{1, 1}));
    }
}

TEST(GifDecode, PlainTextAndUnknownExtensionsAreSkipped) {
    ByteBuilder ext;
    ext.Bytes({0x21, 0x01, 12}).Fill(12, 0x2C).U8(2).Bytes({0x3B, 0x21}).U8(0);
    ext.Bytes({0x21, 0x42, 1, 0x2C, 0});
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, Gif(2, 1).Raw(ext.bytes()).Image(Ramp(2, 1, 2)).End()));
    EXPECT_EQ(image.GetNumFrames(), 1);
    EXPECT_EQ(Indices(image), (Bytes{0, 1}));
}

TEST(GifDecode, BrokenControlEndsTheScanWithThePictureSoFar) {
    ByteBuilder broken;
    broken.Bytes({0x21, 0xF9, 5, 1, 0, 0, 9, 0, 0});
    {
        ZImage image;
        image.SetFrame(1);
        ASSERT_TRUE(DecodeGif(image, Gif(2, 1).Image(Solid(2, 1, 2)).Raw(broken.bytes()).Image(Solid(2, 1, 3)).End()));
        EXPECT_EQ(Indices(image), (Bytes{2, 2}));
        EXPECT_EQ(image.GetPaletteColor(2).rgbRed, Entry(2).r);
    }
    {
        // Before any frame: the counting pass's last frame, without a palette.
        ZImage image;
        ASSERT_TRUE(DecodeGif(image, Gif(2, 1).Raw(broken.bytes()).Image(Solid(2, 1, 3)).End()));
        EXPECT_EQ(Indices(image), (Bytes{3, 3}));
        EXPECT_EQ(RgbValues(image), (std::vector<uint32_t>{0, 0}));
    }
}

// ---------------------------------------------------------------- frames

TEST(GifDecode, FrameIndexOutsideTheCountFails) {
    const Bytes b = Gif(2, 1).Image(Solid(2, 1, 1)).Image(Solid(2, 1, 2)).End();
    for (LONG frame : {-1, 2, 7}) {
        ZImage image;
        image.SetFrame(frame);
        EXPECT_FALSE(DecodeGif(image, b)) << frame;
        EXPECT_EQ(image.GetNumFrames(), 2);
        EXPECT_FALSE(image.IsValid());
    }
    ZImage image;
    EXPECT_FALSE(DecodeGif(image, Gif(2, 1).Comment("no frames").End()));
    EXPECT_EQ(image.GetNumFrames(), 0);
}

TEST(GifDecode, FrameOutsideTheScreenIsCountedButSkipped) {
    // Frame 1 reaches past the screen; its data is then read as blocks.
    const Bytes b = Gif(4, 2).Image(Solid(4, 2, 1)).Image(Solid(3, 1, 0, 2, 0)).Image(Solid(4, 2, 3)).End();
    for (LONG frame : {1, 2}) {
        ZImage image;
        image.SetFrame(frame);
        ASSERT_TRUE(DecodeGif(image, b));
        EXPECT_EQ(image.GetNumFrames(), 3);
        EXPECT_EQ(Indices(image), Bytes(8, 3)) << frame;
    }
}

struct MixCase {
    std::string name;
    int secondDisposal;
    bool secondTransparent;
    Bytes expected;  // top-down indices of a 6 x 4 picture, or of frame 2 alone
    int width;
};

class GifCompose : public ::testing::TestWithParam<MixCase> {};

// Frame 0 fills a 6 x 4 screen with 1; frame 1 (disposal 1, transparent 9)
// puts a 2 x 2 patch at (1, 1) whose top-right pixel is transparent; frame 2
// puts 2 x 2 of 3 at (3, 1).
TEST_P(GifCompose, LaysLaterFramesOverEarlierOnes) {
    const MixCase& c = GetParam();
    Frame patch = Solid(2, 2, 2, 1, 1);
    patch.pixels[1] = 9;
    Gif g(6, 4, 16);
    g.Image(Solid(6, 4, 1));
    g.Transparent(9, 1).Image(patch);
    if (c.secondTransparent) {
        g.Transparent(9, c.secondDisposal);
    } else {
        g.Disposal(c.secondDisposal);
    }
    g.Image(Solid(2, 2, 3, 3, 1));
    ZImage image;
    image.SetFrame(2);
    ASSERT_TRUE(DecodeGif(image, g.End()));
    EXPECT_EQ(image.GetWidth(), static_cast<DWORD>(c.width));
    EXPECT_EQ(Indices(image), c.expected);
}

std::vector<MixCase> MixCases() {
    const Bytes composed = {1, 1, 1, 1, 1, 1,  //
                            1, 2, 1, 3, 3, 1,  //
                            1, 2, 2, 3, 3, 1,  //
                            1, 1, 1, 1, 1, 1};
    return {
        {"DisposalOne", 1, true, composed, 6},
        {"DisposalTwoRestoresNothing", 2, true, composed, 6},
        {"DisposalZeroReplaces", 0, true, Bytes(4, 3), 2},
        {"DisposalThreeReplaces", 3, true, Bytes(4, 3), 2},
        {"DisposalFourReplaces", 4, true, Bytes(4, 3), 2},
    };
}

INSTANTIATE_TEST_SUITE_P(Disposals, GifCompose, ::testing::ValuesIn(MixCases()),
                         [](const auto& info) { return info.param.name; });

TEST(GifDecode, ComposedPictureKeepsFrameZerosTransparentIndex) {
    Gif g(4, 2, 16);
    g.Transparent(4).Image(Solid(4, 2, 1));
    g.Transparent(6, 1).Image(Solid(2, 1, 2, 2, 1));
    ZImage image;
    image.SetFrame(1);
    ASSERT_TRUE(DecodeGif(image, g.End()));
    EXPECT_EQ(image.GetTransIndex(), 4);
    EXPECT_EQ(Indices(image), (Bytes{1, 1, 1, 1, 1, 1, 2, 2}));
}

// Without any transparency, the frame's first pixel byte answers for the
// area left of and below it, and that area is painted too.
TEST(GifDecode, OpaqueFramePaintsItsFirstPixelLeftOfAndBelowIt) {
    Frame patch = Solid(2, 2, 4, 2, 1);
    patch.pixels = {5, 5, 6, 6};
    Gif g(6, 4, 16);
    g.Image(Solid(6, 4, 1)).Disposal(1).Image(patch);
    ZImage image;
    image.SetFrame(1);
    ASSERT_TRUE(DecodeGif(image, g.End()));
    EXPECT_EQ(Indices(image), (Bytes{1, 1, 1, 1, 1, 1,  //
                                     6, 6, 5, 5, 1, 1,  //
                                     6, 6, 6, 6, 1, 1,  //
                                     6, 6, 6, 6, 1, 1}));
}

// Composition keeps the previous picture's size: a frame lying beyond it
// only paints its first pixel byte over the area left of and below it. At
// 4 bits that byte packs pixels 7 and 8 (0x78), and the low nibble lands.
TEST(GifDecode, FrameBeyondThePreviousPictureOnlyPaintsItsFirstPixel) {
    Frame distant = Ramp(3, 3, 9, 5, 5);
    distant.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ZImage image;
    image.SetFrame(1);
    ASSERT_TRUE(DecodeGif(image, Gif(8, 8, 16).Image(Solid(2, 2, 0)).Disposal(1).Image(distant).End()));
    EXPECT_EQ(image.GetWidth(), 2u);
    EXPECT_EQ(Indices(image), Bytes(4, 8));
}

TEST(GifDecode, LocalTableStaysInForceForLaterFrames) {
    Frame local = Solid(2, 1, 1);
    local.localEntries = 4, local.localShift = 100;
    Gif g(2, 1, 4);
    g.Image(Solid(2, 1, 1)).Image(local).Image(Solid(2, 1, 2));
    const Bytes b = g.End();
    const uint32_t expected[3] = {Packed(Entry(1)), Packed(Entry(101)), Packed(Entry(102))};
    for (int frame = 0; frame < 3; ++frame) {
        ZImage image;
        image.SetFrame(frame);
        ASSERT_TRUE(DecodeGif(image, b));
        EXPECT_EQ(RgbValues(image)[0], expected[frame]) << frame;
    }
}

TEST(GifDecode, FrameWithLocalTableIsNotComposed) {
    Frame local = Solid(1, 1, 2, 1, 0);
    local.localEntries = 4;
    ZImage image;
    image.SetFrame(1);
    ASSERT_TRUE(DecodeGif(image, Gif(2, 1, 4).Image(Solid(2, 1, 1)).Disposal(1).Image(local).End()));
    EXPECT_EQ(image.GetWidth(), 1u);
    EXPECT_EQ(Indices(image), (Bytes{2}));
}

// ---------------------------------------------------------------- canvas

TEST(GifDecode, SmallFirstFrameWithoutGlobalTableBuildsTrueColourCanvas) {
    Frame a = Solid(2, 2, 1, 1, 1);
    a.localEntries = 4;
    Frame b = Ramp(3, 2, 4, 3, 2);
    b.localEntries = 4, b.localShift = 50;
    Gif g(6, 5, 0);
    g.Image(a).Transparent(2).Image(b);
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, g.End()));
    EXPECT_EQ(image.GetBpp(), 24);
    EXPECT_EQ(image.GetWidth(), 6u);
    EXPECT_EQ(image.GetHeight(), 5u);
    EXPECT_EQ(image.GetFrame(), 0);
    EXPECT_EQ(image.GetNumFrames(), 0);
    EXPECT_EQ(image.GetType(), FORMAT_GIF);
    const uint32_t p = Packed(Entry(1)), q0 = Packed(Entry(50)), q1 = Packed(Entry(51)), q2 = Packed(Entry(52)),
                   q3 = Packed(Entry(53));
    // The transparent pixel (index 2 of frame 1) is painted with its colour.
    const std::vector<uint32_t> expected = {0, 0, 0, 0,  0,  0,   //
                                            0, p, p, 0,  0,  0,   //
                                            0, p, p, q0, q1, q2,  //
                                            0, 0, 0, q3, q0, q1,  //
                                            0, 0, 0, 0,  0,  0};
    std::vector<uint32_t> colours;
    for (LONG y = 4; y >= 0; --y)
        for (LONG x = 0; x < 6; ++x) {
            const RGBQUAD c = image.GetPixelColor(x, y, false);
            colours.push_back(c.rgbRed << 16 | c.rgbGreen << 8 | c.rgbBlue);
        }
    EXPECT_EQ(colours, expected);
    EXPECT_EQ(image.GetTransIndex(), 0);
    const RGBQUAD key = image.GetTransColor();
    EXPECT_EQ(static_cast<uint32_t>(key.rgbRed << 16 | key.rgbGreen << 8 | key.rgbBlue), q2);
    EXPECT_EQ(key.rgbReserved, 0);
}

TEST(GifDecode, FirstFrameSmallerInOneDirectionOnlyGivesNoCanvas) {
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, Gif(6, 5, 0).Image(Ramp(6, 2, 2)).Image(Solid(2, 2, 1, 1, 1)).End()));
    EXPECT_EQ(image.GetBpp(), 1);
    EXPECT_EQ(image.GetWidth(), 6u);
    EXPECT_EQ(image.GetHeight(), 2u);
    EXPECT_EQ(image.GetNumFrames(), 2);
}

// ---------------------------------------------------------------- escape

TEST(GifDecode, DimensionsOnlyStopsAtTheFirstDescriptor) {
    const Bytes b = Gif(4, 4).Image(Solid(5, 6, 1, 3, 3)).Image(Solid(4, 4, 1)).End();
    ZImage image;
    image.SetEscape(-1);
    ASSERT_TRUE(DecodeGif(image, b));
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 5u);
    EXPECT_EQ(image.GetHeight(), 6u);
    EXPECT_EQ(image.GetNumFrames(), 2);
}

TEST(GifDecode, OtherEscapeValuesStop) {
    const Bytes b = Gif(2, 1).Image(Solid(2, 1, 1)).End();
    for (LONG escape : {1, 99, -2}) {
        ZImage image;
        image.SetEscape(escape);
        EXPECT_FALSE(DecodeGif(image, b)) << escape;
        EXPECT_FALSE(image.IsValid());
    }
}

// ---------------------------------------------------------------- interlace

class GifInterlace : public ::testing::TestWithParam<int> {};

TEST_P(GifInterlace, EveryRowLandsInItsPlace) {
    const int height = GetParam();
    Frame f = Solid(3, height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 3; ++x) f.pixels[y * 3 + x] = static_cast<uint8_t>(y * 3 + x);
    f.interlaced = true;
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, Gif(3, height).Image(f).End()));
    EXPECT_EQ(Indices(image), f.pixels);
}

INSTANTIATE_TEST_SUITE_P(Heights, GifInterlace, ::testing::Values(1, 2, 3, 4, 5, 8, 9, 17));

TEST(GifDecode, InterlacedLinesAfterTheLastPassAreDropped) {
    Frame f = Rect(2, 3);
    f.interlaced = true;
    Bytes indices(6, 1);
    indices.insert(indices.end(), 40, 7);
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, Gif(2, 3).Descriptor(f).Raw(PlainLzw(indices, 8)).End()));
    EXPECT_EQ(Indices(image), Bytes(6, 1));
}

// ---------------------------------------------------------------- LZW

// Codes after a clear, with the widths a decoder reads them at.
Bytes Codes(const std::vector<unsigned>& codes, int minCodeSize, bool terminator = true) {
    const unsigned clear = 1u << minCodeSize;
    int width = minCodeSize + 1;
    unsigned next = clear + 2, limit = 1u << width;
    bool first = true;
    CodeWriter w;
    for (unsigned code : codes) {
        w.Put(code, width);
        if (code == clear) {
            width = minCodeSize + 1, next = clear + 2, limit = 1u << width, first = true;
            continue;
        }
        if (!first) {
            if (next < limit) ++next;
            if (next >= limit && width < 12) limit <<= 1, ++width;
        }
        first = false;
    }
    Bytes out{static_cast<uint8_t>(minCodeSize)};
    const Bytes blocks = w.Blocks(terminator);
    out.insert(out.end(), blocks.begin(), blocks.end());
    return out;
}

struct LzwCase {
    std::string name;
    std::vector<unsigned> codes;  // minimum code size 2: clear 4, end 5
    Bytes expected;               // a 6 x 1 frame, 0 where nothing arrived
};

class GifLzw : public ::testing::TestWithParam<LzwCase> {};

TEST_P(GifLzw, Expands) {
    const LzwCase& c = GetParam();
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, Gif(6, 1).Descriptor(Rect(6, 1)).Raw(Codes(c.codes, 2)).End()));
    EXPECT_EQ(Indices(image), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, GifLzw,
    ::testing::ValuesIn(std::vector<LzwCase>{
        {"Strings", {4, 1, 2, 6, 3, 5}, {1, 2, 1, 2, 3, 0}},
        {"CodeEqualToNextFreeEntry", {4, 1, 6, 7, 5}, {1, 1, 1, 1, 1, 1}},
        {"CodeBeyondNextFreeEntryDecodesLikeIt", {4, 2, 7, 5}, {2, 2, 2, 0, 0, 0}},
        {"UndefinedFirstCodeAfterClearIsZero", {4, 7, 3, 5}, {0, 3, 0, 0, 0, 0}},
        {"RepeatedClearCodes", {4, 4, 4, 1, 4, 2, 5}, {1, 2, 0, 0, 0, 0}},
        {"DataAfterFullLineIsIgnored", {4, 1, 1, 1, 1, 1, 1, 3, 3, 5}, {1, 1, 1, 1, 1, 1}},
        {"EndCodeRightAfterClear", {4, 5}, {0, 0, 0, 0, 0, 0}},
        {"NoClearCodeBeforeTheFirstCode", {1, 6, 2, 5}, {1, 1, 1, 2, 0, 0}},
    }),
    [](const auto& info) { return info.param.name; });

TEST(GifDecode, TerminatorWithoutEndCodeEndsTheFrame) {
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, Gif(6, 1).Descriptor(Rect(6, 1)).Raw(Codes({4, 3, 2, 1}, 2)).End()));
    EXPECT_EQ(Indices(image), (Bytes{3, 2, 1, 0, 0, 0}));
}

TEST(GifDecode, FullTableKeepsTwelveBitCodesUntilClear) {
    // 5000 single-pixel codes: the table fills at 4096 and stays full.
    std::vector<unsigned> codes = {4};
    Bytes expected;
    for (int i = 0; i < 5000; ++i) {
        codes.push_back(i % 3);
        expected.push_back(static_cast<uint8_t>(i % 3));
    }
    codes.insert(codes.end(), {4, 2, 1, 5});
    expected.insert(expected.end(), {2, 1});
    expected.resize(100 * 51, 0);
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, Gif(100, 51).Descriptor(Rect(100, 51)).Raw(Codes(codes, 2)).End()));
    EXPECT_EQ(Indices(image), expected);
}

TEST(GifDecode, BadMinimumCodeSizeLeavesFrameBlankAndScanGoesOn) {
    for (int size : {0, 1, 10, 255}) {
        SCOPED_TRACE(size);
        Gif g(2, 1);
        g.Descriptor(Rect(2, 1)).Raw({static_cast<uint8_t>(size), 1, 0, 0});
        g.Image(Solid(2, 1, 3));
        const Bytes b = g.End();
        ZImage first;
        ASSERT_TRUE(DecodeGif(first, b));
        EXPECT_EQ(Indices(first), (Bytes{0, 0}));
        ZImage second;
        second.SetFrame(1);
        ASSERT_TRUE(DecodeGif(second, b));
        EXPECT_EQ(Indices(second), (Bytes{3, 3}));
    }
}

TEST(GifDecode, DataEndingInsideTheFrameKeepsTheLinesSoFar) {
    Frame f = Ramp(100, 8, 200);
    Bytes b = Gif(100, 8).Image(f).End();
    // Cut inside the third 255-byte sub-block: the first two hold 453 nine-bit
    // codes, two of them clear codes, so four whole rows and part of a fifth.
    const size_t firstBlock = 13 + 768 + 10 + 1;
    b.resize(firstBlock + 2 * 256 + 100);
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, b));
    Bytes expected(f.pixels.begin(), f.pixels.begin() + 400);
    expected.resize(800, 0);
    EXPECT_EQ(Indices(image), expected);
}

// ---------------------------------------------------------------- hostile input

TEST(GifRobustness, LoopingPrefixLinksEndTheFrame) {
    // Minimum code size 4: clear 16, end 17. The code beyond the table makes
    // entry 19's prefix 25; entry 25 later gets prefix 19, so expanding 19
    // again would never end. The first row was complete by then.
    const std::vector<unsigned> codes = {16, 1, 25, 19, 1, 1, 1, 1, 19, 3, 19, 2, 17};
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, Gif(14, 2).Descriptor(Rect(14, 2)).Raw(Codes(codes, 4)).End()));
    Bytes expected = {1, 1, 1, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 3};
    expected.resize(28, 0);
    EXPECT_EQ(Indices(image), expected);
}

TEST(GifRobustness, FramesFarBeyondTheirDataAreRefused) {
    struct Case {
        std::string name;
        Bytes file;
    } cases[] = {
        {"HugeFrame", Gif(65535, 65535).Image(Solid(1, 1, 0)).Descriptor(Rect(65535, 65535)).Raw({8, 0}).End()},
        {"HugeCanvas", Gif(65535, 65535, 0).Image(Solid(1, 1, 0)).End()},
        {"ManyLargeFrames",
         [] {
             Gif g(4000, 4000);
             for (int i = 0; i < 40; ++i) g.Descriptor(Rect(4000, 4000)).Raw({8, 0});
             return g.End();
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZImage image;
        EXPECT_FALSE(DecodeGif(image, c.file));
        EXPECT_STREQ(image.GetLastError(), zerr::kGifFramesBeyondData);
    }
}

TEST(GifRobustness, FramesWiderThanSixteenBitSignedDecode) {
    Frame f = Ramp(40000, 1, 200);
    ZImage image;
    ASSERT_TRUE(DecodeGif(image, Gif(40000, 1).Image(f).End()));
    EXPECT_EQ(image.GetWidth(), 40000u);
    EXPECT_EQ(Indices(image), f.pixels);
}

TEST(GifRobustness, EmptyFramesDecode) {
    for (bool interlaced : {false, true}) {
        for (auto size : {std::pair<int, int>{0, 3}, {3, 0}, {0, 0}}) {
            Frame f = Rect(size.first, size.second);
            f.interlaced = interlaced;
            ZImage image;
            ASSERT_TRUE(DecodeGif(image, Gif(3, 3).Descriptor(f).Raw(PlainLzw(Bytes(20, 1), 8)).End()));
            EXPECT_EQ(image.GetWidth(), static_cast<DWORD>(size.first));
            EXPECT_EQ(image.GetHeight(), static_cast<DWORD>(size.second));
        }
    }
}

Bytes RichFile() {
    Frame interlaced = Ramp(5, 7, 16, 1, 1);
    interlaced.interlaced = true, interlaced.minCodeSize = 4;
    Frame local = Ramp(3, 2, 4, 2, 2);
    local.localEntries = 4, local.minCodeSize = 2;
    Gif g(8, 8, 16);
    g.Application("NETSCAPE2.0", {1, 0, 0}).Comment("rich");
    g.Image(Ramp(8, 8, 16)).Transparent(3, 1).Image(interlaced).Disposal(2).Image(local);
    g.Control(1).Raw({0x21, 0x01, 2, 9, 9, 0}).Image(Solid(2, 2, 5, 6, 6));
    return g.End();
}

TEST(GifRobustness, TruncatedAndMutatedFiles) {
    const Bytes file = RichFile();
    {
        ZImage image;
        image.SetFrame(3);
        ASSERT_TRUE(DecodeGif(image, file));
    }
    Damage damage;
    damage.values = {0x01, 0x10, 0x80, 0xFF};
    damage.flip = true;
    damage.prepare = [](ZImage& image, const DamagedFile& d) {
        image.SetFrame(d.cut ? 3 : static_cast<LONG>(d.at % 4));
    };
    ExpectSurvivesDamage(file, FORMAT_GIF, damage);
}

// ---------------------------------------------------------------- corpus

// Files whose reference the reader must not match, because the rules it
// follows give a different result. Each names why.
const CorpusExceptions& GifExceptions() {
    static const CorpusExceptions exceptions = {
        {"gif/image-rs/anim/oob.gif",
         {nullptr, "the only frame reaches past the screen, so it is skipped: the picture is the counting pass's "
                   "decode of it, without a palette"}},
        {"gif/image-rs/simple/issue_1455_oversized.gif",
         {nullptr, "the 16 x 16 frame reaches past the 10 x 10 screen: skipped, the counting pass's decode remains"}},
        {"gif/wuffs/artificial/frame-out-of-bounds.gif",
         {nullptr, "every frame reaches past the 2 x 2 screen: the picture is the counting pass's last frame (4 x 3)"}},
        {"gif/libgd/unitialized_memory_read.gif",
         {nullptr, "a 2-entry table gives a 1-bit picture, which keeps only the low bit of indices up to 255"}},
        {"gif/pillow/issue_2811.gif",
         {zerr::kGifFramesBeyondData,
          "minimum code size 11 is above 9, so the frame's data is not read: the scan for frames goes through it "
          "and takes its 0x2C bytes for frames far larger than the file could fill"}},
    };
    return exceptions;
}

TEST(GifCorpus, DecodesToReferences) { ExpectCorpusMatches({"gif/"}, FORMAT_GIF, GifExceptions()); }

// ---------------------------------------------------------------- writing

// A written file taken apart into its blocks.
struct Block {
    uint8_t kind = 0;            // 0x21 extension, 0x2C image
    uint8_t label = 0;           // extensions
    std::vector<Bytes> subBlocks;
    int left = 0, top = 0, width = 0, height = 0;  // images
    uint8_t flags = 0;
    int tableEntries = 0;
    int codeSize = 0;
    Bytes data;                  // image data sub-blocks joined
};

struct Parsed {
    bool ok = false;
    int width = 0, height = 0;
    uint8_t flags = 0;
    int globalEntries = 0;
    std::vector<Block> blocks;

    std::vector<const Block*> Of(uint8_t kind, uint8_t label = 0) const {
        std::vector<const Block*> out;
        for (const Block& b : blocks)
            if (b.kind == kind && (kind != 0x21 || b.label == label)) out.push_back(&b);
        return out;
    }
};

Parsed Parse(const Bytes& f) {
    Parsed p;
    size_t i = 13;
    auto u16 = [&](size_t at) { return f.at(at) | f.at(at + 1) << 8; };
    auto subBlocks = [&](std::vector<Bytes>* out, Bytes* joined) {
        while (f.at(i) != 0) {
            const size_t n = f.at(i);
            const Bytes b(f.begin() + i + 1, f.begin() + i + 1 + n);
            if (out) out->push_back(b);
            if (joined) joined->insert(joined->end(), b.begin(), b.end());
            i += n + 1;
        }
        ++i;
    };
    if (f.size() < 13 || memcmp(f.data(), "GIF89a", 6) != 0) return p;
    p.width = u16(6), p.height = u16(8), p.flags = f[10];
    if (p.flags & 0x80) p.globalEntries = 2 << (p.flags & 7);
    i += 3 * p.globalEntries;
    while (i < f.size()) {
        Block b;
        b.kind = f.at(i++);
        if (b.kind == 0x3B) {
            p.ok = i == f.size();
            break;
        }
        if (b.kind == 0x21) {
            b.label = f.at(i++);
            subBlocks(&b.subBlocks, nullptr);
        } else if (b.kind == 0x2C) {
            b.left = u16(i), b.top = u16(i + 2), b.width = u16(i + 4), b.height = u16(i + 6), b.flags = f.at(i + 8);
            i += 9;
            if (b.flags & 0x80) b.tableEntries = 2 << (b.flags & 7);
            i += 3 * b.tableEntries;
            b.codeSize = f.at(i++);
            subBlocks(nullptr, &b.data);
        } else {
            return p;
        }
        p.blocks.push_back(b);
    }
    return p;
}

// The codes of image data, read at the widths a decoder uses.
std::vector<unsigned> ReadCodes(const Bytes& data, int minCodeSize) {
    const unsigned clear = 1u << minCodeSize;
    std::vector<unsigned> codes;
    int width = minCodeSize + 1;
    unsigned next = clear + 2, limit = 1u << width;
    bool first = true;
    uint64_t acc = 0;
    int bits = 0;
    size_t i = 0;
    for (;;) {
        while (bits < width && i < data.size()) acc |= static_cast<uint64_t>(data[i++]) << bits, bits += 8;
        if (bits < width) break;
        const unsigned code = static_cast<unsigned>(acc & ((1u << width) - 1));
        acc >>= width, bits -= width;
        codes.push_back(code);
        if (code == clear + 1) break;
        if (code == clear) {
            width = minCodeSize + 1, next = clear + 2, limit = 1u << width, first = true;
            continue;
        }
        if (!first) {
            if (next < 4096) ++next;
            if (next >= limit && width < 12) limit <<= 1, ++width;
        }
        first = false;
    }
    return codes;
}

Bytes EncodeGif(ZImage& image) {
    ZMemFile stream;
    stream.Open();
    EXPECT_TRUE(image.Encode(&stream, FORMAT_GIF)) << image.GetLastError();
    const BYTE* data = stream.GetBuffer(false);
    return Bytes(data, data + stream.Size());
}

// A picture with long runs, short runs and noise, so that every compressor
// meets clear codes, a full table and code width changes.
void Paint(ZImage& image, unsigned colours) {
    uint32_t seed = 12345;
    const LONG w = static_cast<LONG>(image.GetWidth()), h = static_cast<LONG>(image.GetHeight());
    for (LONG y = 0; y < h; ++y)
        for (LONG x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            BYTE v;
            if (y % 4 == 0) v = static_cast<BYTE>(y % colours);
            else if (y % 4 == 1) v = static_cast<BYTE>((x / 5) % colours);
            else v = static_cast<BYTE>((seed >> 16) % colours);
            image.SetPixelIndex(x, y, v);
        }
    for (unsigned i = 0; i < colours; ++i) {
        const rgb_color c = Entry(static_cast<int>(i * 37 % 256));
        image.SetPaletteColor(static_cast<BYTE>(i), c.r, c.g, c.b);
    }
}

struct WriteCase {
    DWORD option;
    WORD bpp;
};

std::string WriteCaseName(const ::testing::TestParamInfo<WriteCase>& info) {
    static const char* names[] = {"Rle", "None", "Lzw"};
    return std::string(names[info.param.option]) + std::to_string(info.param.bpp) + "Bit";
}

std::vector<WriteCase> WriteCases() {
    std::vector<WriteCase> cases;
    for (DWORD option : {0u, 1u, 2u})
        for (WORD bpp : {1, 4, 8}) cases.push_back({option, bpp});
    return cases;
}

class GifWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(GifWrite, ReadsBackWithSameIndicesAndPalette) {
    const WriteCase c = GetParam();
    ZImage image(151, 90, c.bpp, FORMAT_GIF);
    Paint(image, 1u << c.bpp);
    image.SetCodecOption(c.option);
    const Bytes file = EncodeGif(image);

    const Parsed p = Parse(file);
    ASSERT_TRUE(p.ok);
    const uint8_t packed[9] = {0, 0x80, 0, 0, 0xE3, 0, 0, 0, 0xE7};
    EXPECT_EQ(p.flags, packed[c.bpp]);
    EXPECT_EQ(p.globalEntries, 1 << c.bpp);
    ASSERT_EQ(p.Of(0x2C).size(), 1u);
    EXPECT_EQ(p.Of(0x2C)[0]->codeSize, c.bpp == 1 ? 2 : c.bpp);
    EXPECT_EQ(p.Of(0x2C)[0]->tableEntries, 0);
    EXPECT_TRUE(p.Of(0x21, 0xFF).empty());

    ZImage back;
    ASSERT_TRUE(DecodeGif(back, file));
    EXPECT_EQ(back.GetBpp(), c.bpp);
    EXPECT_EQ(Indices(back), Indices(image));
    EXPECT_EQ(RgbValues(back), RgbValues(image));
}

INSTANTIATE_TEST_SUITE_P(Compressors, GifWrite, ::testing::ValuesIn(WriteCases()), WriteCaseName);

TEST(GifWrite, NoCompressionClearsAfterEvery3839Codes) {
    ZImage image(100, 100, 8, FORMAT_GIF);
    Paint(image, 256);
    image.SetCodecOption(1);
    const Parsed p = Parse(EncodeGif(image));
    ASSERT_TRUE(p.ok);
    const std::vector<unsigned> codes = ReadCodes(p.Of(0x2C)[0]->data, 8);
    std::vector<size_t> runs;
    size_t since = 0;
    for (unsigned code : codes) {
        if (code == 256) {
            runs.push_back(since);
            since = 0;
        } else if (code != 257) {
            ++since;
        }
    }
    runs.push_back(since);
    EXPECT_EQ(runs, (std::vector<size_t>{0, 3839, 3839, 2322}));
    EXPECT_EQ(codes.back(), 257u);
}

TEST(GifWrite, OneColourRunLengthCodesAreFewerThanPixels) {
    ZImage image(100, 100, 8, FORMAT_GIF);
    image.Clear(7);
    const Parsed p = Parse(EncodeGif(image));
    ASSERT_TRUE(p.ok);
    EXPECT_LT(ReadCodes(p.Of(0x2C)[0]->data, 8).size(), 10000u / 20);
    ZImage back;
    ASSERT_TRUE(DecodeGif(back, EncodeGif(image)));
    EXPECT_EQ(Indices(back), Bytes(10000, 7));
}

TEST(GifWrite, TrueColourIsCutIntoTilesWithTablesOfTheirOwn) {
    struct Case {
        DWORD width, height;
        std::vector<std::pair<int, int>> origins, sizes;
    } cases[] = {
        {34, 30, {{0, 0}, {17, 0}, {0, 15}, {17, 15}}, {{17, 15}, {17, 15}, {17, 15}, {17, 15}}},
        {35, 16, {{0, 0}, {17, 0}, {34, 0}, {0, 15}, {17, 15}, {34, 15}}, {{17, 15}, {17, 15}, {1, 15}, {17, 1}, {17, 1}, {1, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        ZImage image(c.width, c.height, 24, FORMAT_GIF);
        for (LONG y = 0; y < static_cast<LONG>(c.height); ++y)
            for (LONG x = 0; x < static_cast<LONG>(c.width); ++x)
                image.SetPixelColor(x, y, RGBQUAD{static_cast<BYTE>(x * 7), static_cast<BYTE>(y * 5), static_cast<BYTE>(x ^ y), 0});
        const Bytes file = EncodeGif(image);
        const Parsed p = Parse(file);
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.flags, 0x11);
        EXPECT_EQ(p.globalEntries, 0);
        const std::vector<const Block*> tiles = p.Of(0x2C);
        ASSERT_EQ(tiles.size(), c.origins.size());
        EXPECT_EQ(p.Of(0x21, 0xF9).size(), tiles.size());
        for (size_t i = 0; i < tiles.size(); ++i) {
            EXPECT_EQ(std::make_pair(tiles[i]->left, tiles[i]->top), c.origins[i]) << i;
            EXPECT_EQ(std::make_pair(tiles[i]->width, tiles[i]->height), c.sizes[i]) << i;
            EXPECT_EQ(tiles[i]->tableEntries, 256);
            EXPECT_EQ(tiles[i]->codeSize, 8);
        }
        // Tiles smaller than the screen both ways read back onto a canvas.
        ZImage back;
        ASSERT_TRUE(DecodeGif(back, file));
        if (c.height > 15) {
            EXPECT_EQ(back.GetBpp(), 24);
            EXPECT_EQ(RgbValues(back), RgbValues(image));
        }
    }
}

TEST(GifWrite, TransparentTrueColourTakesEntryZeroInEveryTile) {
    ZImage image(20, 16, 24, FORMAT_GIF);
    const RGBQUAD key{10, 20, 30, 0};
    for (LONG y = 0; y < 16; ++y)
        for (LONG x = 0; x < 20; ++x) image.SetPixelColor(x, y, (x + y) % 3 ? RGBQUAD{BYTE(x), BYTE(y), 99, 0} : key);
    image.SetTransIndex(0);
    image.SetTransColor(key);
    const Parsed p = Parse(EncodeGif(image));
    ASSERT_TRUE(p.ok);
    for (const Block* control : p.Of(0x21, 0xF9)) {
        EXPECT_EQ(control->subBlocks.at(0), (Bytes{1, 0, 0, 0}));
    }
    ZImage back;
    ASSERT_TRUE(DecodeGif(back, EncodeGif(image)));
    ASSERT_EQ(back.GetBpp(), 24);
    EXPECT_EQ(RgbValues(back), RgbValues(image));
}

TEST(GifWrite, ControlBlockCarriesTransparencyDelayAndDisposal) {
    struct Case {
        LONG transIndex;
        int disposal;
        Bytes fields;
    } cases[] = {{3, 0, {1, 0x2C, 0x01, 3}}, {-1, 0, {0, 0x2C, 0x01, 255}}, {200, 2, {9, 0x2C, 0x01, 200}}};
    for (const Case& c : cases) {
        ZImageGIF gif;
        gif.Create(4, 2, 8, FORMAT_GIF);
        gif.SetTransIndex(c.transIndex);
        gif.SetFrameDelay(0x1012C);
        gif.SetDisposalMethod(c.disposal);
        ZMemFile stream;
        stream.Open();
        ASSERT_TRUE(gif.Encode(&stream));
        const Parsed p = Parse(Bytes(stream.GetBuffer(false), stream.GetBuffer(false) + stream.Size()));
        ASSERT_TRUE(p.ok);
        ASSERT_EQ(p.Of(0x21, 0xF9).size(), 1u);
        EXPECT_EQ(p.Of(0x21, 0xF9)[0]->subBlocks.at(0), c.fields);
    }
}

TEST(GifWrite, CommentIsCutTo255CharactersAndEmptyOneIsNotWritten) {
    for (size_t length : {size_t{300}, size_t{12}, size_t{0}}) {
        SCOPED_TRACE(length);
        ZImageGIF gif;
        gif.Create(2, 2, 1, FORMAT_GIF);
        gif.SetComment(std::string(length, 'c').c_str());
        char back[256];
        gif.GetComment(back);
        EXPECT_EQ(strlen(back), std::min<size_t>(length, 255));
        ZMemFile stream;
        stream.Open();
        ASSERT_TRUE(gif.Encode(&stream));
        const Parsed p = Parse(Bytes(stream.GetBuffer(false), stream.GetBuffer(false) + stream.Size()));
        ASSERT_TRUE(p.ok);
        const auto comments = p.Of(0x21, 0xFE);
        if (length == 0) {
            EXPECT_TRUE(comments.empty());
        } else {
            ASSERT_EQ(comments.size(), 1u);
            EXPECT_EQ(comments[0]->subBlocks, std::vector<Bytes>{Bytes(std::min<size_t>(length, 255), 'c')});
        }
    }
    ZImageGIF gif;
    gif.SetComment(nullptr);
    gif.GetComment(nullptr);
}

TEST(GifWrite, RefusesMissingStreamPictureAndOversizedPictures) {
    ZImageGIF gif;
    ZMemFile stream;
    stream.Open();
    EXPECT_FALSE(gif.Encode(static_cast<ZFile*>(nullptr)));
    EXPECT_STREQ(gif.GetLastError(), zerr::kNullFile);
    EXPECT_FALSE(gif.Encode(&stream));
    EXPECT_STREQ(gif.GetLastError(), zerr::kNullImage);
    gif.Create(65536, 1, 1, FORMAT_GIF);
    EXPECT_FALSE(gif.Encode(&stream));
    EXPECT_STREQ(gif.GetLastError(), zerr::kGifTooLargeToWrite);
    EXPECT_EQ(stream.Size(), 0);
}

// A stream whose writes all land but that reports an error afterwards.
class FailingStream : public ZMemFile {
public:
    FailingStream() { Open(); }
    int32_t Error() override { return 1; }
};

TEST(GifWrite, StreamErrorAfterTheEndCodeIsReportedButSucceeds) {
    for (DWORD option : {0u, 1u, 2u}) {
        ZImageGIF gif;
        gif.Create(3, 3, 8, FORMAT_GIF);
        gif.SetCodecOption(option);
        FailingStream stream;
        EXPECT_TRUE(gif.Encode(&stream));
        // The run-length compressor does not ask the stream.
        EXPECT_STREQ(gif.GetLastError(), option == 0 ? "" : zerr::kGifWriteError) << option;
    }
}

TEST(GifWrite, WritesToStdioStream) {
    ZImageGIF gif;
    gif.Create(3, 1, 8, FORMAT_GIF);
    gif.SetPixelIndex(2, 0, 9);
    FILE* fp = tmpfile();
    ASSERT_NE(fp, nullptr);
    ASSERT_TRUE(gif.Encode(fp));
    rewind(fp);
    ZImageGIF back;
    EXPECT_TRUE(back.Decode(fp));
    fclose(fp);
    EXPECT_EQ(Indices(back), (Bytes{0, 0, 9}));
}

TEST(GifWrite, CopiesCarryCodecMembers) {
    ZImageGIF gif;
    gif.Create(2, 1, 8, FORMAT_GIF);
    gif.SetPixelIndex(1, 0, 5);
    gif.SetComment("kept");
    gif.SetLoops(4);
    gif.SetDisposalMethod(2);
    ZImageGIF copy(gif);
    ZImageGIF assigned;
    assigned = gif;
    for (ZImageGIF* g : {&copy, &assigned}) {
        char comment[256];
        g->GetComment(comment);
        EXPECT_STREQ(comment, "kept");
        EXPECT_EQ(g->GetLoops(), 4);
        EXPECT_EQ(g->GetDisposalMethod(), 2);
        EXPECT_EQ(Indices(*g), (Bytes{0, 5}));
        EXPECT_NE(g->GetBits(0), gif.GetBits(0));
    }
}

// ---------------------------------------------------------------- several images

struct Animation {
    std::vector<ZImage> frames;
    std::vector<ZImage*> pointers;

    explicit Animation(int count, WORD bpp = 8) {
        frames.reserve(count);
        for (int i = 0; i < count; ++i) {
            frames.emplace_back(12, 9, bpp, FORMAT_GIF);
            Paint(frames.back(), 1u << bpp);
            for (LONG x = 0; x < 12; ++x) frames.back().SetPixelIndex(x, 8, static_cast<BYTE>(i + 1));
            frames.back().SetFrameDelay(10 * (i + 1));
        }
        for (ZImage& f : frames) pointers.push_back(&f);
    }
};

Bytes EncodeMany(ZImageGIF& gif, Animation& a, bool localTables) {
    ZMemFile stream;
    stream.Open();
    EXPECT_TRUE(gif.Encode(&stream, a.pointers.data(), static_cast<int>(a.pointers.size()), localTables))
        << gif.GetLastError();
    return Bytes(stream.GetBuffer(false), stream.GetBuffer(false) + stream.Size());
}

TEST(GifWriteMany, LoopCountIsWrittenLessOne) {
    struct Case {
        int loops;
        bool extension;
        int written;
    } cases[] = {{1, false, 0}, {0, true, 0}, {5, true, 4}, {-3, true, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loops);
        Animation a(2);
        ZImageGIF gif;
        gif.SetLoops(c.loops);
        const Parsed p = Parse(EncodeMany(gif, a, false));
        ASSERT_TRUE(p.ok);
        const auto loops = p.Of(0x21, 0xFF);
        ASSERT_EQ(loops.size(), c.extension ? 1u : 0u);
        if (c.extension) {
            EXPECT_EQ(loops[0]->subBlocks,
                      (std::vector<Bytes>{ByteBuilder().Text("NETSCAPE2.0").bytes(),
                                          {1, static_cast<uint8_t>(c.written), static_cast<uint8_t>(c.written >> 8)}}));
        }
    }
}

TEST(GifWriteMany, EachImageBringsItsOwnPositionDelayAndTransparency) {
    for (bool localTables : {false, true}) {
        SCOPED_TRACE(localTables);
        Animation a(3);
        a.frames[1].Create(6, 4, 8, FORMAT_GIF);
        Paint(a.frames[1], 200);
        a.frames[1].SetOffset(3, 4);
        a.frames[1].SetFrameDelay(20);
        a.frames[2].SetTransIndex(6);
        a.frames[2].SetCodecOption(2);
        ZImageGIF gif;
        gif.SetComment("anim");
        // Disposal 3 is written for every image, and makes each replace the last.
        gif.SetDisposalMethod(3);
        const Bytes file = EncodeMany(gif, a, localTables);
        const Parsed p = Parse(file);
        ASSERT_TRUE(p.ok);
        EXPECT_EQ(p.globalEntries, 256);
        const auto images = p.Of(0x2C);
        const auto controls = p.Of(0x21, 0xF9);
        ASSERT_EQ(images.size(), 3u);
        ASSERT_EQ(controls.size(), 3u);
        EXPECT_EQ(p.Of(0x21, 0xFE).size(), 1u);
        EXPECT_EQ(std::make_pair(images[1]->left, images[1]->top), std::make_pair(3, 4));
        EXPECT_EQ(std::make_pair(images[1]->width, images[1]->height), std::make_pair(6, 4));
        EXPECT_EQ(images[0]->tableEntries, 0);
        EXPECT_EQ(images[1]->tableEntries, localTables ? 256 : 0);
        EXPECT_EQ(images[2]->tableEntries, localTables ? 256 : 0);
        EXPECT_EQ(controls[0]->subBlocks.at(0), (Bytes{12, 10, 0, 255}));
        EXPECT_EQ(controls[1]->subBlocks.at(0), (Bytes{12, 20, 0, 255}));
        EXPECT_EQ(controls[2]->subBlocks.at(0), (Bytes{13, 30, 0, 6}));
        for (int i = 0; i < 3; ++i) {
            ZImage back;
            back.SetFrame(i);
            ASSERT_TRUE(DecodeGif(back, file));
            EXPECT_EQ(Indices(back), Indices(a.frames[i])) << i;
        }
    }
}

TEST(GifWriteMany, Failures) {
    Animation a(3);
    ZImageGIF gif;
    ZMemFile stream;
    stream.Open();
    EXPECT_FALSE(gif.Encode(static_cast<ZFile*>(nullptr), a.pointers.data(), 3, false));
    EXPECT_STREQ(gif.GetLastError(), zerr::kGifInvalidFilePointer);
    ZImage* none[1] = {nullptr};
    for (auto args : {std::make_pair(static_cast<ZImage**>(nullptr), 3), std::make_pair(a.pointers.data(), 0),
                      std::make_pair(static_cast<ZImage**>(none), 1)}) {
        EXPECT_FALSE(gif.Encode(&stream, args.first, args.second, false));
        EXPECT_STREQ(gif.GetLastError(), zerr::kGifNoImages);
    }
    EXPECT_EQ(stream.Size(), 0);

    ZImage* gap[3] = {&a.frames[0], nullptr, &a.frames[2]};
    EXPECT_FALSE(gif.Encode(&stream, gap, 3, false));
    EXPECT_STREQ(gif.GetLastError(), zerr::kGifBadImagePointer);
    const Parsed partial = Parse(Bytes(stream.GetBuffer(false), stream.GetBuffer(false) + stream.Size()));
    EXPECT_FALSE(partial.ok);
    EXPECT_EQ(partial.Of(0x2C).size(), 1u);

    ZImage colour(4, 4, 24, FORMAT_GIF), empty;
    for (ZImage* bad : {&colour, &empty}) {
        ZMemFile out;
        out.Open();
        ZImage* list[2] = {&a.frames[0], bad};
        EXPECT_FALSE(gif.Encode(&out, list, 2, false));
        EXPECT_STREQ(gif.GetLastError(), bad == &colour ? zerr::kGifMultipageTrueColour : zerr::kNullImage);
        EXPECT_EQ(out.Size(), 0);
    }
}

TEST(GifWriteMany, ThroughTheDispatch) {
    Animation a(2);
    ZImage caller;
    ZMemFile stream;
    stream.Open();
    ASSERT_TRUE(caller.Encode(&stream, a.pointers.data(), 2, FORMAT_GIF));
    stream.Seek(0, SEEK_SET);
    ZImage back;
    back.SetFrame(1);
    ASSERT_TRUE(back.Decode(&stream, FORMAT_GIF));
    EXPECT_EQ(back.GetNumFrames(), 2);
    EXPECT_EQ(Indices(back), Indices(a.frames[1]));
    ZImage* none[1] = {nullptr};
    EXPECT_FALSE(caller.Encode(&stream, none, 1, FORMAT_GIF));
    EXPECT_STREQ(caller.GetLastError(), zerr::kGifNoImages);
}

// ---------------------------------------------------------------- interoperability

#ifndef _WIN32

// Frame `frame` as Pillow composes it (-1: the last), RGBA rows top down.
Bytes PillowFrame(const external::TempDir& dir, const std::string& path, int frame) {
    const std::string script = dir.File("frame.py");
    std::ofstream(script) << "import sys\n"
                             "from PIL import Image\n"
                             "im = Image.open(sys.argv[1])\n"
                             "f = int(sys.argv[3])\n"
                             "im.seek(im.n_frames - 1 if f < 0 else f)\n"
                             "open(sys.argv[2], 'wb').write(im.convert('RGBA').tobytes())\n";
    const std::string out = path + ".rgba";
    std::remove(out.c_str());
    if (!external::Run(std::string(external::kPython) + " '" + script + "' '" + path + "' '" + out + "' " +
                       std::to_string(frame)))
        return {};
    return ReadFileBytes(out);
}

// Empty when equal; the colour of pixels transparent in both does not count.
std::string DifferenceRgba(const Bytes& ours, const Bytes& theirs) {
    if (ours.size() != theirs.size()) return "sizes " + std::to_string(ours.size()) + " and " + std::to_string(theirs.size());
    for (size_t i = 0; i < ours.size(); i += 4) {
        if (ours[i + 3] == 0 && theirs[i + 3] == 0) continue;
        if (memcmp(&ours[i], &theirs[i], 4) != 0) return "pixel " + std::to_string(i / 4);
    }
    return "";
}

TEST(GifInterop, PillowReadsWhatTheWriterWrites) {
    if (!external::PillowAvailable()) GTEST_SKIP() << "/usr/bin/python3 with PIL not available";
    external::TempDir dir("zelvo-gif-test");

    for (const WriteCase& c : WriteCases()) {
        for (LONG transIndex : {-1, 3}) {
            const std::string name = "indexed" + std::to_string(c.option) + "-" + std::to_string(c.bpp) + "-" +
                                     std::to_string(transIndex);
            SCOPED_TRACE(name);
            ZImage image(151, 90, c.bpp, FORMAT_GIF);
            Paint(image, 1u << c.bpp);
            image.SetCodecOption(c.option);
            if (c.bpp > 1) image.SetTransIndex(transIndex);
            const std::string path = dir.File(name + ".gif");
            ASSERT_TRUE(image.Save(path.c_str(), FORMAT_GIF));
            EXPECT_EQ(DifferenceRgba(ToRgba(image), PillowFrame(dir, path, 0)), "");
        }
    }

    for (bool transparent : {false, true}) {
        SCOPED_TRACE(transparent);
        ZImage image(40, 33, 24, FORMAT_GIF);
        const RGBQUAD key{10, 20, 30, 0};
        for (LONG y = 0; y < 33; ++y)
            for (LONG x = 0; x < 40; ++x)
                image.SetPixelColor(x, y, (x * y) % 7 == 3 ? key : RGBQUAD{BYTE(x * 6), BYTE(y * 7), BYTE(x * y), 0});
        Bytes expected = ToRgba(image);
        if (transparent) {
            image.SetTransIndex(0);
            image.SetTransColor(key);
            for (size_t i = 0; i < expected.size(); i += 4)
                if (expected[i] == 30 && expected[i + 1] == 20 && expected[i + 2] == 10) expected[i + 3] = 0;
        }
        const std::string path = dir.File(transparent ? "tiles-key.gif" : "tiles.gif");
        ASSERT_TRUE(image.Save(path.c_str(), FORMAT_GIF));
        EXPECT_EQ(DifferenceRgba(expected, PillowFrame(dir, path, -1)), "");
    }

    for (bool localTables : {false, true}) {
        SCOPED_TRACE(localTables);
        Animation a(3, 4);
        for (int i = 1; i < 3; ++i) {
            for (unsigned e = 0; e < 16; ++e) {
                const rgb_color c = Entry(static_cast<int>(e * 11 + i * 50));
                a.frames[i].SetPaletteColor(static_cast<BYTE>(e), c.r, c.g, c.b);
            }
            a.frames[i].SetCodecOption(i);
        }
        ZImageGIF gif;
        const Bytes file = EncodeMany(gif, a, localTables);
        const std::string path = dir.File(localTables ? "many-local.gif" : "many.gif");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
        for (int i = 0; i < 3; ++i) {
            // Without local tables every image shows in the first one's colours.
            ZImage expected(a.frames[i]);
            if (!localTables) expected.SetPalette(a.frames[0].GetPalette(), 16);
            EXPECT_EQ(DifferenceRgba(ToRgba(expected), PillowFrame(dir, path, i)), "") << i;
        }
    }
}

#endif

}  // namespace
