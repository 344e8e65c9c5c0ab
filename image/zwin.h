// Platform records the image library stores. On Windows they come from
// <windows.h>; elsewhere they are defined here with the same layout.
#pragma once

#ifdef _WIN32
#include <windows.h>
#define ZIMAGE_API __declspec(dllexport)
#else
#include <cstdint>

#define ZIMAGE_API

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

enum : DWORD { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3 };
#endif

static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD layout");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER layout");
static_assert(sizeof(RECT) == 16, "RECT layout");
