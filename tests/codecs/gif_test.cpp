#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ByteBuilder.h"
#include "Corpus.h"
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

// Top-down colours as 0xRRGGBB.
std::vector<uint32_t> Colours(ZImage& image) {
    const Bytes rgba = ToRgba(image);
    std::vector<uint32_t> out;
    for (size_t i = 0; i < rgba.size(); i += 4) out.push_back(rgba[i] << 16 | rgba[i + 1] << 8 | rgba[i + 2]);
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
    EXPECT_EQ(Colours(image), (std::vector<uint32_t>{0, 0}));
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
        EXPECT_EQ(Colours(image), (std::vector<uint32_t>{0, 0}));
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
        EXPECT_EQ(Colours(image)[0], expected[frame]) << frame;
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
    auto survive = [](const Bytes& b, LONG frame) {
        ZImage image;
        image.SetFrame(frame);
        const bool ok = DecodeGif(image, b);
        EXPECT_EQ(ok, image.IsValid());
    };
    for (size_t n = 0; n < file.size(); ++n) survive(Bytes(file.begin(), file.begin() + n), 3);
    const uint8_t masks[] = {0x01, 0x10, 0x80, 0xFF};
    for (size_t i = 0; i < file.size(); ++i) {
        for (uint8_t mask : masks) {
            Bytes b = file;
            b[i] ^= mask;
            survive(b, static_cast<LONG>(i % 4));
        }
    }
}

// ---------------------------------------------------------------- corpus

// Files whose reference the reader must not match, because the rules it
// follows give a different result. Each names why.
const std::map<std::string, std::string>& CorpusExceptions() {
    static const std::map<std::string, std::string> exceptions = {
        {"gif/image-rs/anim/oob.gif",
         "the only frame reaches past the screen, so it is skipped: the picture is the counting pass's "
         "decode of it, without a palette"},
        {"gif/image-rs/simple/issue_1455_oversized.gif",
         "the 16 x 16 frame reaches past the 10 x 10 screen: skipped, the counting pass's decode remains"},
        {"gif/wuffs/artificial/frame-out-of-bounds.gif",
         "every frame reaches past the 2 x 2 screen: the picture is the counting pass's last frame (4 x 3)"},
        {"gif/libgd/unitialized_memory_read.gif",
         "a 2-entry table gives a 1-bit picture, which keeps only the low bit of indices up to 255"},
        {"gif/pillow/issue_2811.gif", "minimum code size 11 is above 9: the frame keeps the pixels Create left"},
    };
    return exceptions;
}

TEST(GifCorpus, DecodesToReferences) {
    const std::vector<CorpusEntry> entries = CorpusEntries("gif/");
    ASSERT_FALSE(entries.empty());
    for (const CorpusEntry& e : entries) {
        SCOPED_TRACE(e.path);
        ZImage image;
        ZIOFile file;
        ASSERT_TRUE(file.Open(e.FullPath().c_str(), "rb"));
        const bool ok = image.Decode(&file, FORMAT_GIF);
        EXPECT_EQ(ok, image.IsValid());
        // Broken files only have to be survived.
        if (!e.HasReference() || e.cls == "bad") continue;
        const auto exception = CorpusExceptions().find(e.path);
        const std::string difference = CompareWithReference(e, image);
        if (exception == CorpusExceptions().end())
            EXPECT_EQ(difference, "") << (ok ? "" : image.GetLastError());
        else
            EXPECT_NE(difference, "") << "listed as an exception but matches: " << exception->second;
    }
}

}  // namespace
