// The image object: one device-independent bitmap of 1, 4, 8 or 24 bits
// per pixel in a single heap block laid out like a Windows DIB (header,
// palette, bottom-up pixel rows), with optional alpha and selection planes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "ZFile.h"
#include "zwin.h"

enum : DWORD {
    FORMAT_UNKNOWN = 0,
    FORMAT_BMP = 1,
    FORMAT_GIF = 2,
    FORMAT_ICO = 3,
    FORMAT_TGA = 4,
    FORMAT_PCX = 5,
    FORMAT_WBMP = 6,
    FORMAT_WMF = 7,
};

// (width * height * bpp) / 256 above this is refused by Create.
constexpr uint64_t ZIMAGE_MAX_MEMORY = 256000000;

struct rgb_color {
    BYTE r;
    BYTE g;
    BYTE b;
};

class ZImage;
struct ZCodecEntry;

struct tagZImageState {
    DWORD effWidth;
    BYTE* bits;
    ZImage* ghostOf;
    ZImage* parent;
    DWORD type;
    char lastError[256];
    LONG progress;
    LONG escape;
    LONG transIndex;
    RGBQUAD transColor;
    BYTE jpegQuality;
    BYTE jpegScale;
    LONG frame;
    LONG numFrames;
    DWORD frameDelay;
    LONG xDpi;
    LONG yDpi;
    RECT selectionBox;
    BYTE alphaMax;
    bool alphaPaletteEnabled;
    bool enabled;
    LONG xOffset;
    LONG yOffset;
    DWORD codecOption;
    RGBQUAD lastNearestColor;
    BYTE lastNearestIndex;
    bool lastNearestValid;
    LONG numLayers;
    DWORD flags;
};

class ZIMAGE_API ZImage {
public:
    explicit ZImage(DWORD type = FORMAT_UNKNOWN);
    ZImage(DWORD width, DWORD height, DWORD bpp, DWORD type);
    ZImage(const ZImage& src, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    ZImage(const char* path, DWORD type);
    ZImage(FILE* fp, DWORD type);
    ZImage(ZFile* stream, DWORD type);
    ZImage(BYTE* buffer, DWORD size, DWORD type);
    virtual ~ZImage();
    ZImage& operator=(const ZImage& src);

    // Buffers
    void* Create(DWORD width, DWORD height, DWORD bpp, DWORD type);
    bool Destroy();
    void Copy(const ZImage& src, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    void CopyInfo(const ZImage& src);
    bool Transfer(ZImage& from);
    void Ghost(const ZImage* from);
    BYTE* GetBits(DWORD row = 0) const;
    LONG GetSize() const;
    bool IsInside(LONG x, LONG y) const;
    void Clear(BYTE value = 0);
    void Bitfield2RGB(const BYTE* src, WORD redMask, WORD greenMask, WORD blueMask, BYTE bpp);

    // Settings and queries
    void* GetDIB() const { return dib; }
    DWORD GetWidth() const { return static_cast<DWORD>(head.biWidth); }
    DWORD GetHeight() const { return static_cast<DWORD>(head.biHeight); }
    DWORD GetEffWidth() const { return info.effWidth; }
    WORD GetBpp() const { return head.biBitCount; }
    DWORD GetNumColors() const { return head.biClrUsed; }
    DWORD GetClrImportant() const { return head.biClrImportant; }
    bool IsIndexed() const { return head.biClrUsed != 0; }
    bool IsValid() const { return dib != nullptr; }
    DWORD GetType() const { return info.type; }
    const char* GetLastError() const { return info.lastError; }
    LONG GetProgress() const { return info.progress; }
    void SetProgress(LONG n) { info.progress = n; }
    LONG GetEscape() const { return info.escape; }
    void SetEscape(LONG n) { info.escape = n; }
    LONG GetTransIndex() const { return info.transIndex; }
    void SetTransIndex(LONG n) { info.transIndex = n; }
    void SetTransColor(RGBQUAD color);
    bool IsTransparent() const { return info.transIndex >= 0; }
    BYTE GetJpegQuality() const { return info.jpegQuality; }
    void SetJpegQuality(BYTE q) { info.jpegQuality = q; }
    BYTE GetJpegScale() const { return info.jpegScale; }
    void SetJpegScale(BYTE s) { info.jpegScale = s; }
    LONG GetFrame() const { return info.frame; }
    void SetFrame(LONG n) { info.frame = n; }
    LONG GetNumFrames() const { return info.numFrames; }
    DWORD GetFrameDelay() const { return info.frameDelay; }
    void SetFrameDelay(DWORD d) { info.frameDelay = d; }
    void GetOffset(LONG* x, LONG* y) const;
    void SetOffset(LONG x, LONG y);
    LONG GetXDPI() const { return info.xDpi; }
    LONG GetYDPI() const { return info.yDpi; }
    void SetXDPI(LONG dpi);
    void SetYDPI(LONG dpi);
    DWORD GetCodecOption() const { return info.codecOption; }
    void SetCodecOption(DWORD o) { info.codecOption = o; }
    DWORD GetFlags() const { return info.flags; }
    void SetFlags(DWORD flags, bool lockReserved = true);
    bool IsEnabled() const { return info.enabled; }
    void Enable(bool b = true) { info.enabled = b; }
    bool SelectionIsValid() const { return selection != nullptr; }
    void SelectionGetBox(RECT& rect) const { rect = info.selectionBox; }
    bool AlphaIsValid() const { return alpha != nullptr; }
    BYTE* AlphaGetBits() const { return alpha; }
    BYTE AlphaGetMax() const { return info.alphaMax; }
    void AlphaSetMax(BYTE m) { info.alphaMax = m; }
    void AlphaPaletteEnable(bool b = true) { info.alphaPaletteEnabled = b; }
    bool AlphaPaletteIsEnabled() const { return info.alphaPaletteEnabled; }
    ZImage* GetParent() const { return info.parent; }
    LONG GetNumLayers() const { return info.numLayers; }
    BYTE GetColorType() const;
    static const char* GetVersion();

    // Palette
    DWORD GetPaletteSize() const;
    RGBQUAD* GetPalette() const;
    RGBQUAD GetPaletteColor(BYTE index) const;
    bool GetPaletteColor(BYTE index, BYTE* red, BYTE* green, BYTE* blue) const;
    void SetPaletteColor(BYTE index, BYTE red, BYTE green, BYTE blue, BYTE reserved = 0);
    void SetPaletteColor(BYTE index, RGBQUAD color);
    void SetPaletteColor(BYTE index, DWORD packed);
    void SetPalette(DWORD count, const BYTE* red, const BYTE* green, const BYTE* blue);
    void SetPalette(const RGBQUAD* palette, DWORD count = 256);
    void SetPalette(const rgb_color* palette, DWORD count = 256);
    void SetGrayPalette();
    bool IsGrayScale() const;
    void SetClrImportant(DWORD count);
    RGBQUAD GetTransColor() const;
    void SetStdPalette();
    void BlendPalette(DWORD packed, DWORD percent);
    void SwapIndex(BYTE index1, BYTE index2);

    // Pixels
    BYTE GetPixelIndex(LONG x, LONG y) const;
    void SetPixelIndex(LONG x, LONG y, BYTE index);
    RGBQUAD GetPixelColor(LONG x, LONG y, bool withAlpha = true) const;
    void SetPixelColor(LONG x, LONG y, RGBQUAD color, bool withAlpha = false);
    void SetPixelColor(LONG x, LONG y, DWORD packed);
    BYTE GetPixelGray(LONG x, LONG y) const;
    BYTE GetNearestIndex(RGBQUAD color);

    // Colour conversions
    static RGBQUAD RGBtoRGBQUAD(DWORD packed);
    static DWORD RGBQUADtoRGB(RGBQUAD color);
    static int CompareColors(const void* a, const void* b);
    void RGBtoBGR(BYTE* buffer, int length) const;

    // Alpha plane
    void AlphaCreate();
    void AlphaDelete();
    void AlphaSet(LONG x, LONG y, BYTE level);
    BYTE AlphaGet(LONG x, LONG y) const;
    void AlphaClear();
    void AlphaSet(BYTE level);
    void AlphaInvert();
    bool AlphaCopy(const ZImage& from);
    bool AlphaSet(const ZImage& from);
    bool AlphaPaletteIsValid() const;
    void AlphaPaletteClear();
    bool AlphaFlip();
    bool AlphaMirror();

    // Selection
    bool SelectionIsInside(LONG x, LONG y) const;
    bool SelectionCopy(const ZImage& from);

    // In-place transforms
    bool Flip();
    bool Mirror();
    bool Negative();
    bool GrayScale();

    // Format dispatch
    bool Load(const char* path, DWORD type = FORMAT_UNKNOWN);
    bool Save(const char* path, DWORD type);
    bool Decode(ZFile* stream, DWORD type);
    bool Decode(FILE* fp, DWORD type);
    bool Decode(BYTE* buffer, DWORD size, DWORD type);
    bool Encode(ZFile* stream, DWORD type);
    bool Encode(FILE* fp, DWORD type);
    bool Encode(BYTE*& buffer, long& size, DWORD type);
    bool Encode(ZFile* stream, ZImage** images, int count, DWORD type);
    bool Encode(FILE* fp, ZImage** images, int count, DWORD type);
    bool EncodeSafeCheck(ZFile* stream);
#ifdef _WIN32
    bool LoadResource(HRSRC resource, DWORD type, HMODULE module = nullptr);

    // Drawing to a device context and exchange with platform handles
    long Stretch(HDC hdc, long x, long y, long width, long height, DWORD rop = SRCCOPY);
    long Stretch(HDC hdc, const RECT& rect, DWORD rop = SRCCOPY);
    long Draw(HDC hdc, long x = 0, long y = 0, long width = -1, long height = -1, RECT* clip = nullptr);
    long Draw(HDC hdc, const RECT& rect, RECT* clip = nullptr);
    long Draw2(HDC hdc, long x = 0, long y = 0, long width = -1, long height = -1);
    long Draw2(HDC hdc, const RECT& rect);
    long Tile(HDC hdc, RECT* rect);
    HANDLE CopyToHandle();
    bool CreateFromHANDLE(HANDLE block);
    HBITMAP MakeBitmap(HDC hdc = nullptr);
    bool CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette = nullptr);
    bool CreateFromHICON(HICON icon);
#endif

protected:
    void SetError(const char* text);
    void Startup(DWORD type);
    void AdoptInfo(const tagZImageState& src);
    bool DecodeAs(const ZCodecEntry& entry, ZFile* stream, bool reportFailure);
    bool EncodeAs(const ZCodecEntry& entry, ZFile* stream, bool several, ZImage** images, int count);
    BYTE* PixelAddress(LONG x, LONG y) const;

    BYTE* dib;
    BITMAPINFOHEADER head;
    tagZImageState info;
    BYTE* selection;
    BYTE* alpha;
    ZImage** layers;
};
