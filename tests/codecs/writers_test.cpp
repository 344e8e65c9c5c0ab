// What every writer of the library does alike.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ZImage.h"

namespace {

const DWORD kWritableFormats[] = {FORMAT_BMP, FORMAT_GIF, FORMAT_ICO, FORMAT_TGA, FORMAT_PCX, FORMAT_WBMP};

// The safety check comes before anything else a writer looks at.
TEST(Writers, RefuseANullStreamAndAnEmptyImage) {
    for (DWORD type : kWritableFormats) {
        SCOPED_TRACE(type);
        ZImage empty;
        BYTE* buffer = nullptr;
        long size = 0;
        EXPECT_FALSE(empty.Encode(buffer, size, type));
        EXPECT_EQ(buffer, nullptr);
        EXPECT_STREQ(empty.GetLastError(), "null image!!!");

        ZImage image(2, 2, 8, FORMAT_BMP);
        EXPECT_FALSE(image.Encode(static_cast<ZFile*>(nullptr), type));
        EXPECT_STREQ(image.GetLastError(), "null file handler");
    }
}

// A writer reads the caller's picture without changing it.
TEST(Writers, LeaveThePictureAsItWas) {
    for (DWORD type : kWritableFormats) {
        SCOPED_TRACE(type);
        ZImage image(7, 5, 8, FORMAT_PCX);
        image.SetGrayPalette();
        for (LONG x = 0; x < 7; ++x) image.SetPixelIndex(x, 2, static_cast<BYTE>(x * 30));
        const ZImage before(image);
        BYTE* buffer = nullptr;
        long size = 0;
        // WBMP holds 1-bit pictures only; refusing is also leaving it alone.
        if (image.Encode(buffer, size, type)) free(buffer);
        ASSERT_EQ(image.GetSize(), before.GetSize());
        EXPECT_EQ(memcmp(image.GetDIB(), before.GetDIB(), static_cast<size_t>(image.GetSize())), 0);
        EXPECT_EQ(image.GetType(), FORMAT_PCX);
    }
}

}  // namespace
