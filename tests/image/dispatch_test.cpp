#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TestImage.h"
#include "ZCodecTable.h"

namespace {

// Records what the dispatch handed to the test codecs.
struct CodecLog {
    std::vector<std::string> attempts;  // "<tag>@<position>"
    LONG escapeSeen = 0;
    const void* encodedBlock = nullptr;
    int imagesEncoded = 0;
};
CodecLog g_log;

// A tiny format: a two-letter tag, then width and height bytes, then
// width * height palette indexes. On failure it reports that it saw the
// numFrames value 5, so the dispatch's copying of that field shows.
template <char Tag>
class TagCodec : public ZImage {
public:
    static constexpr DWORD kType = Tag == 'A' ? FORMAT_BMP : FORMAT_GIF;
    TagCodec() : ZImage(kType) {}

    bool Decode(ZFile* stream) {
        g_log.attempts.push_back(std::string(1, Tag) + "@" + std::to_string(stream->Tell()));
        g_log.escapeSeen = info.escape;
        info.numFrames = 5;
        BYTE header[4];
        if (stream->Read(header, 1, 4) != 4 || header[0] != 'T' || header[1] != Tag) {
            SetError(Tag == 'A' ? "not an A file" : "not a B file");
            return false;
        }
        // The caller's state replaced ours, type included: the reader names its format.
        if (!Create(header[2], header[3], 8, kType)) return false;
        for (LONG y = 0; y < header[3]; ++y)
            for (LONG x = 0; x < header[2]; ++x) SetPixelIndex(x, y, static_cast<BYTE>(stream->GetC()));
        info.numFrames = 1;
        return true;
    }

    bool Encode(ZFile* stream) {
        if (EncodeSafeCheck(stream)) return false;
        g_log.encodedBlock = GetDIB();
        info.frame = 99;  // must not reach the caller
        const BYTE header[4] = {'T', static_cast<BYTE>(Tag), static_cast<BYTE>(GetWidth()),
                                static_cast<BYTE>(GetHeight())};
        stream->Write(header, 1, 4);
        for (LONG y = 0; y < static_cast<LONG>(GetHeight()); ++y)
            for (LONG x = 0; x < static_cast<LONG>(GetWidth()); ++x) stream->PutC(GetPixelIndex(x, y));
        return true;
    }

    bool Encode(ZFile* stream, ZImage** images, int count, bool) {
        if (EncodeSafeCheck(stream)) return false;
        g_log.imagesEncoded = count;
        return images != nullptr;
    }
};

using CodecA = TagCodec<'A'>;
using CodecB = TagCodec<'B'>;

const ZCodecEntry kTestCodecs[] = {
    zcodec::Entry<CodecA>(FORMAT_BMP),
    zcodec::MultiImageEntry<CodecB>(FORMAT_GIF),
};
const ZCodecTable kTestTable{kTestCodecs, 2};

std::vector<BYTE> FileB(BYTE width, BYTE height) {
    std::vector<BYTE> bytes = {'T', 'B', width, height};
    for (int i = 0; i < width * height; ++i) bytes.push_back(static_cast<BYTE>(i + 1));
    return bytes;
}

class Dispatch : public testing::Test {
protected:
    void SetUp() override { g_log = CodecLog(); }

    std::string WriteTemp(const char* name, const std::vector<BYTE>& bytes) {
        const std::string path = testing::TempDir() + name;
        FILE* fp = fopen(path.c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), fp);
        fclose(fp);
        return path;
    }

    ZScopedCodecTable codecs_{kTestTable};
};

TEST_F(Dispatch, TypedDecodeMovesThePictureIn) {
    TestImage image(9, 9, 24, 0);
    image.SetEscape(7);
    std::vector<BYTE> bytes = FileB(2, 3);
    ASSERT_TRUE(image.Decode(bytes.data(), static_cast<DWORD>(bytes.size()), FORMAT_GIF));
    EXPECT_EQ(image.GetWidth(), 2u);
    EXPECT_EQ(image.GetHeight(), 3u);
    EXPECT_EQ(image.GetBpp(), 8);
    EXPECT_EQ(image.GetType(), FORMAT_GIF);
    EXPECT_EQ(image.GetPixelIndex(1, 2), 6);
    EXPECT_EQ(g_log.escapeSeen, 7);  // the codec started from the caller's state
    EXPECT_EQ(g_log.attempts, std::vector<std::string>{"B@0"});
}

TEST_F(Dispatch, FailedDecodeKeepsThePictureAndReportsTheReader) {
    TestImage image(10, 10, 8, FORMAT_PCX);
    image.SetPixelIndex(3, 3, 42);
    std::vector<BYTE> bytes = FileB(1, 1);
    ASSERT_FALSE(image.Decode(bytes.data(), static_cast<DWORD>(bytes.size()), FORMAT_BMP));
    EXPECT_STREQ(image.GetLastError(), "not an A file");
    EXPECT_TRUE(image.IsValid());
    EXPECT_EQ(image.GetWidth(), 10u);
    EXPECT_EQ(image.GetType(), FORMAT_PCX);
    EXPECT_EQ(image.GetPixelIndex(3, 3), 42);
    EXPECT_EQ(image.GetNumFrames(), 0);  // only GIF and ICO carry it back

    std::vector<BYTE> garbage(8, 'x');
    ASSERT_FALSE(image.Decode(garbage.data(), 8, FORMAT_GIF));
    EXPECT_STREQ(image.GetLastError(), "not a B file");
    EXPECT_EQ(image.GetNumFrames(), 5);
}

TEST_F(Dispatch, DetectionTriesEveryReaderFromTheSamePosition) {
    std::vector<BYTE> bytes(100, 0);
    const std::vector<BYTE> b = FileB(1, 2);
    bytes.insert(bytes.end(), b.begin(), b.end());
    ZMemFile stream(bytes.data(), static_cast<DWORD>(bytes.size()));
    ASSERT_TRUE(stream.Seek(100, SEEK_SET));
    TestImage image;
    ASSERT_TRUE(image.Decode(&stream, FORMAT_UNKNOWN));
    EXPECT_EQ(image.GetType(), FORMAT_GIF);
    EXPECT_EQ(image.GetHeight(), 2u);
    EXPECT_EQ(g_log.attempts, (std::vector<std::string>{"A@100", "B@100"}));
}

TEST_F(Dispatch, UnknownFormats) {
    TestImage image(4, 4, 8, 0);
    std::vector<BYTE> garbage(16, 'x');
    const DWORD notFormats[] = {FORMAT_UNKNOWN, 8, 200};
    for (DWORD type : notFormats) {
        strcpy(image.Info().lastError, "marker");
        ASSERT_FALSE(image.Decode(garbage.data(), 16, type));
        EXPECT_STREQ(image.GetLastError(), "Decode: Unknown or wrong format");
        EXPECT_TRUE(image.IsValid());
    }
    // A format no codec in the table serves is refused the same way.
    strcpy(image.Info().lastError, "marker");
    ASSERT_FALSE(image.Decode(garbage.data(), 16, FORMAT_TGA));
    EXPECT_STREQ(image.GetLastError(), "Decode: Unknown or wrong format");

    ZMemFile out;
    out.Open();
    const DWORD notWritable[] = {FORMAT_UNKNOWN, 8};
    for (DWORD type : notWritable) {
        strcpy(image.Info().lastError, "marker");
        EXPECT_FALSE(image.Encode(&out, type));
        EXPECT_STREQ(image.GetLastError(), "Encode: Unknown format");
    }
}

TEST_F(Dispatch, LoadFallsBackToDetectionButReportsTheTypedReader) {
    const std::string b = WriteTemp("dispatch_b.bin", FileB(3, 1));
    TestImage image;
    ASSERT_TRUE(image.Load(b.c_str(), FORMAT_BMP));
    EXPECT_EQ(image.GetType(), FORMAT_GIF);
    EXPECT_EQ(g_log.attempts, (std::vector<std::string>{"A@0", "A@0", "B@0"}));

    const std::string junk = WriteTemp("dispatch_junk.bin", std::vector<BYTE>(40, 'x'));
    EXPECT_FALSE(image.Load(junk.c_str(), FORMAT_BMP));
    EXPECT_STREQ(image.GetLastError(), "not an A file");
    EXPECT_EQ(image.GetWidth(), 3u);
    EXPECT_FALSE(image.Load(junk.c_str(), FORMAT_UNKNOWN));
    EXPECT_STREQ(image.GetLastError(), "Decode: Unknown or wrong format");
    // No typed reader ran for a type that is not a format, so the text
    // from before the call is put back.
    strcpy(image.Info().lastError, "marker");
    EXPECT_FALSE(image.Load(junk.c_str(), 9));
    EXPECT_STREQ(image.GetLastError(), "marker");

    EXPECT_FALSE(image.Load((testing::TempDir() + "dispatch_missing.bin").c_str(), FORMAT_BMP));
    EXPECT_FALSE(image.Load((testing::TempDir() + "dispatch_missing.bin").c_str(), FORMAT_UNKNOWN));
    EXPECT_STREQ(image.GetLastError(), "marker");
    remove(b.c_str());
    remove(junk.c_str());
}

TEST_F(Dispatch, LoadingConstructors) {
    std::vector<BYTE> bytes = FileB(2, 2);
    const std::string path = WriteTemp("dispatch_ctor.bin", bytes);

    TestImage fromPath(path.c_str(), FORMAT_GIF);
    EXPECT_TRUE(fromPath.IsValid());
    TestImage fromBuffer(bytes.data(), static_cast<DWORD>(bytes.size()), FORMAT_UNKNOWN);
    EXPECT_EQ(fromBuffer.GetType(), FORMAT_GIF);
    ZMemFile stream(bytes.data(), static_cast<DWORD>(bytes.size()));
    TestImage fromStream(&stream, FORMAT_GIF);
    EXPECT_EQ(fromStream.GetPixelIndex(0, 1), 3);
    FILE* fp = fopen(path.c_str(), "rb");
    TestImage fromFile(fp, FORMAT_BMP);
    fclose(fp);
    EXPECT_FALSE(fromFile.IsValid());
    EXPECT_STREQ(fromFile.GetLastError(), "not an A file");
    remove(path.c_str());
}

TEST_F(Dispatch, EncodeLetsTheCodecReadTheCallersPicture) {
    TestImage image(2, 1, 8, 0);
    image.SetPixelIndex(1, 0, 77);
    image.SetFrame(3);
    BYTE* buffer = nullptr;
    long size = 0;
    ASSERT_TRUE(image.Encode(buffer, size, FORMAT_BMP));
    EXPECT_EQ(g_log.encodedBlock, image.GetDIB());
    EXPECT_EQ(image.GetFrame(), 3);
    ASSERT_EQ(size, 6);
    EXPECT_EQ(memcmp(buffer, "TA\x02\x01\x00\x4d", 6), 0);

    // A buffer already set is refused without a text.
    strcpy(image.Info().lastError, "marker");
    EXPECT_FALSE(image.Encode(buffer, size, FORMAT_BMP));
    EXPECT_STREQ(image.GetLastError(), "marker");
    free(buffer);

    TestImage empty;
    BYTE* none = nullptr;
    EXPECT_FALSE(empty.Encode(none, size, FORMAT_BMP));
    EXPECT_EQ(none, nullptr);
    EXPECT_STREQ(empty.GetLastError(), "null image!!!");
    EXPECT_FALSE(image.Encode(static_cast<ZFile*>(nullptr), FORMAT_BMP));
    EXPECT_STREQ(image.GetLastError(), "null file handler");
}

TEST_F(Dispatch, SaveOpensTheFileBeforeDispatching) {
    const std::string path = testing::TempDir() + "dispatch_save.bin";
    TestImage image(1, 1, 8, 0);
    EXPECT_FALSE(image.Save(path.c_str(), 9));
    EXPECT_STREQ(image.GetLastError(), "Encode: Unknown format");
    FILE* fp = fopen(path.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    fseek(fp, 0, SEEK_END);
    EXPECT_EQ(ftell(fp), 0);
    fclose(fp);

    ASSERT_TRUE(image.Save(path.c_str(), FORMAT_GIF));
    TestImage back(path.c_str(), FORMAT_UNKNOWN);
    EXPECT_EQ(back.GetType(), FORMAT_GIF);
    remove(path.c_str());

    EXPECT_FALSE(TestImage().Save(path.c_str(), FORMAT_BMP));
    EXPECT_FALSE(image.Save((testing::TempDir() + "no/such/dir/x.bin").c_str(), FORMAT_BMP));
    remove(path.c_str());
}

TEST_F(Dispatch, SeveralImagesOnlyWhereTheFormatHoldsThem) {
    TestImage image(1, 1, 8, 0);
    ZImage* images[3] = {&image, &image, &image};
    ZMemFile out;
    out.Open();
    EXPECT_TRUE(image.Encode(&out, images, 3, FORMAT_GIF));
    EXPECT_EQ(g_log.imagesEncoded, 3);
    EXPECT_FALSE(image.Encode(&out, nullptr, 0, FORMAT_GIF));
    EXPECT_FALSE(image.Encode(&out, images, 3, FORMAT_BMP));
    EXPECT_STREQ(image.GetLastError(), "Multipage Encode, Unsupported operation for this format");
    EXPECT_FALSE(image.Encode(&out, images, 3, 12));
    EXPECT_STREQ(image.GetLastError(), "Multipage Encode, Unsupported operation for this format");
}

}  // namespace
