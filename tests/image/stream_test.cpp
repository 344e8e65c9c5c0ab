#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ZFile.h"

namespace {

// Exposes the capacity, which only the growth rule makes visible.
class ProbeMemFile : public ZMemFile {
public:
    using ZMemFile::ZMemFile;
    int32_t Capacity() const { return m_capacity; }
};

std::vector<BYTE> Numbered(size_t n) {
    std::vector<BYTE> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<BYTE>(i);
    return v;
}

TEST(MemFile, ReadsWholeElementsAndStopsAtTheEnd) {
    std::vector<BYTE> block = Numbered(100);
    ZMemFile stream(block.data(), 100);
    BYTE out[120] = {};
    EXPECT_EQ(stream.Read(out, 3, 40), 33u);
    EXPECT_EQ(out[99], 99);
    EXPECT_EQ(stream.Tell(), 100);
    EXPECT_EQ(stream.GetC(), -1);
    EXPECT_TRUE(stream.Eof());

    ASSERT_TRUE(stream.Seek(0, SEEK_SET));
    EXPECT_EQ(stream.Read(out, 3, 33), 33u);
    EXPECT_EQ(stream.GetC(), 99);
    EXPECT_EQ(stream.Read(nullptr, 1, 1), 0u);
    ASSERT_TRUE(stream.Seek(0, SEEK_SET));
    EXPECT_EQ(stream.Read(out, 0, 5), 0u);
    EXPECT_EQ(stream.Tell(), 0);
}

TEST(MemFile, SeekingPastTheEnd) {
    std::vector<BYTE> block = Numbered(100);
    BYTE* owned = static_cast<BYTE*>(malloc(100));
    memcpy(owned, block.data(), 100);
    ZMemFile stream(owned, 100);
    ASSERT_TRUE(stream.Seek(10, SEEK_END));
    EXPECT_EQ(stream.Tell(), 110);
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.Error(), 1);
    BYTE out[4];
    EXPECT_EQ(stream.Read(out, 1, 4), 0u);
    EXPECT_EQ(stream.Write("abcde", 1, 5), 5u);
    EXPECT_EQ(stream.Size(), 115);
    EXPECT_EQ(stream.Error(), 0);
    // The caller's block had to grow, so the stream now owns it.
    BYTE* grown = stream.GetBuffer(false);
    EXPECT_EQ(memcmp(grown, block.data(), 100), 0);
    EXPECT_EQ(memcmp(grown + 110, "abcde", 5), 0);

    EXPECT_FALSE(stream.Seek(-1, SEEK_SET));
    EXPECT_EQ(stream.Tell(), 115);
    EXPECT_FALSE(stream.Seek(0, 3));
    EXPECT_TRUE(stream.Seek(-15, SEEK_CUR));
    EXPECT_EQ(stream.Tell(), 100);
}

TEST(MemFile, GrowsInStepsOf4096FromTheOldCapacity) {
    ProbeMemFile stream;
    ASSERT_TRUE(stream.Open());
    EXPECT_EQ(stream.Capacity(), 0);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_FALSE(stream.Open());

    const std::vector<BYTE> data = Numbered(5000);
    EXPECT_EQ(stream.Write(data.data(), 1, 10), 10u);
    EXPECT_EQ(stream.Capacity(), 4096);
    EXPECT_EQ(stream.Write(data.data(), 1, 4087), 4087u);
    EXPECT_EQ(stream.Capacity(), 8192);
    EXPECT_EQ(stream.Size(), 4097);
    EXPECT_TRUE(stream.PutC(7));
    EXPECT_EQ(stream.Size(), 4098);

    ProbeMemFile once;
    once.Open();
    EXPECT_EQ(once.Write(data.data(), 4097, 1), 1u);
    EXPECT_EQ(once.Capacity(), 8192);
    EXPECT_EQ(once.Size(), 4097);

    // A caller's 100-byte block grows from 100, not to a multiple of 4096.
    ProbeMemFile fromCaller(static_cast<BYTE*>(malloc(100)), 100);
    ASSERT_TRUE(fromCaller.Seek(0, SEEK_END));
    fromCaller.PutC(1);
    EXPECT_EQ(fromCaller.Capacity(), 4196);
}

TEST(MemFile, OwnershipAndDetach) {
    BYTE* detached = nullptr;
    {
        ZMemFile stream;
        stream.Open();
        stream.Write("xyz", 1, 3);
        detached = stream.GetBuffer(true);
    }
    EXPECT_EQ(memcmp(detached, "xyz", 3), 0);
    free(detached);

    ZMemFile closed;
    EXPECT_EQ(closed.Tell(), -1);
    EXPECT_EQ(closed.Size(), -1);
    EXPECT_EQ(closed.Error(), -1);
    EXPECT_TRUE(closed.Eof());
    EXPECT_FALSE(closed.Flush());
    EXPECT_FALSE(closed.PutC(1));
    EXPECT_EQ(closed.GetC(), -1);
    EXPECT_EQ(closed.Write("a", 1, 1), 0u);
    EXPECT_FALSE(closed.Seek(0, SEEK_SET));
    EXPECT_TRUE(closed.Close());

    ZMemFile opened;
    opened.Open();
    EXPECT_TRUE(opened.Close());
    EXPECT_EQ(opened.Size(), -1);
}

TEST(MemFile, ARequestBeyondThe32BitRangeWritesNothing) {
    ProbeMemFile stream;
    stream.Open();
    ASSERT_TRUE(stream.Seek(0x7FFFFFF0, SEEK_SET));
    BYTE data[32] = {};
    EXPECT_EQ(stream.Write(data, 1, 32), 0u);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Capacity(), 0);
    EXPECT_FALSE(stream.PutC(1));
}

std::string TempPath(const char* name) {
    return testing::TempDir() + name;
}

TEST(IOFile, OpenReadSeekAndSize) {
    const std::string path = TempPath("zfile_test.bin");
    {
        ZIOFile out;
        ASSERT_TRUE(out.Open(path.c_str(), "wb"));
        EXPECT_FALSE(out.Open(path.c_str(), "wb"));
        EXPECT_EQ(out.Write("0123456789", 1, 10), 10u);
        EXPECT_TRUE(out.PutC('A'));
        EXPECT_TRUE(out.Flush());
        EXPECT_TRUE(out.Close());
        EXPECT_TRUE(out.Eof());
    }
    ZIOFile in;
    ASSERT_TRUE(in.Open(path.c_str(), "rb"));
    ASSERT_TRUE(in.Seek(3, SEEK_SET));
    EXPECT_EQ(in.Size(), 11);
    EXPECT_EQ(in.Tell(), 3);
    EXPECT_EQ(in.GetC(), '3');
    ASSERT_TRUE(in.Seek(-1, SEEK_END));
    EXPECT_EQ(in.GetC(), 'A');
    EXPECT_EQ(in.GetC(), -1);
    EXPECT_TRUE(in.Eof());
    EXPECT_EQ(in.Error(), 0);
    in.Close();
    remove(path.c_str());

    ZIOFile missing;
    EXPECT_FALSE(missing.Open(TempPath("does_not_exist.bin").c_str(), "rb"));
    EXPECT_EQ(missing.Size(), -1);
    EXPECT_EQ(missing.Error(), -1);
    EXPECT_EQ(missing.GetC(), -1);
    EXPECT_FALSE(missing.PutC(1));
    EXPECT_EQ(missing.Tell(), 0);
}

TEST(IOFile, ABorrowedStreamStaysOpen) {
    const std::string path = TempPath("zfile_borrowed.bin");
    FILE* fp = fopen(path.c_str(), "w+b");
    ASSERT_NE(fp, nullptr);
    {
        ZIOFile borrowed(fp);
        EXPECT_TRUE(borrowed.Close());
        EXPECT_EQ(borrowed.Write("ab", 1, 2), 2u);
    }
    // Still open and usable after the stream object is gone.
    EXPECT_EQ(fputc('c', fp), 'c');
    EXPECT_EQ(ftell(fp), 3);
    fclose(fp);
    remove(path.c_str());
}

}  // namespace
