// Metafile reading through the Windows GDI: placeable WMF data becomes an
// enhanced metafile, which is played into a bitmap compatible with the
// screen and copied into the picture.
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>

#include "ZErrors.h"
#include "ZImageWMF.h"

namespace {

constexpr size_t kWmfHeaderSize = 18;
constexpr WORD kWmfHeaderWords = 9;
constexpr size_t kEmfHeaderMinSize = 88;
constexpr DWORD kEmfSignature = 0x464D4520;  // " EMF"
// Picture extents are scaled by 10 until one reaches this.
constexpr LONG kExtentScaleLimit = 6554;

WORD Le16(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
DWORD Le32(const BYTE* p) { return Le16(p) | static_cast<DWORD>(Le16(p + 2)) << 16; }

class ScreenDC {
public:
    ScreenDC() : m_dc(GetDC(nullptr)) {}
    ~ScreenDC() {
        if (m_dc) ReleaseDC(nullptr, m_dc);
    }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    HDC get() const { return m_dc; }
    int Caps(int index) const { return m_dc ? GetDeviceCaps(m_dc, index) : 0; }

private:
    HDC m_dc;
};

struct MetafileDeleter {
    void operator()(HENHMETAFILE h) const { DeleteEnhMetaFile(h); }
};
using UniqueMetafile = std::unique_ptr<std::remove_pointer_t<HENHMETAFILE>, MetafileDeleter>;

struct BitmapDeleter {
    void operator()(HBITMAP h) const { DeleteObject(h); }
};
struct DCDeleter {
    void operator()(HDC h) const { DeleteDC(h); }
};

// The platform plays the records. Checking that they lie inside the data
// and that every object-table index they carry is inside the table keeps a
// hostile file from sending the player past either (Wine does not check).

// Windows metafile records whose parameters name objects: the number of
// leading 16-bit parameters that are object indexes.
struct WmfObjectRecord {
    WORD function;
    int indexes;
};
constexpr WmfObjectRecord kWmfObjectRecords[] = {
    {0x012D, 1},  // SelectObject
    {0x01F0, 1},  // DeleteObject
    {0x0234, 1},  // SelectPalette
    {0x012C, 1},  // SelectClipRegion
    {0x012A, 1},  // InvertRegion
    {0x012B, 1},  // PaintRegion
    {0x0228, 2},  // FillRegion: region, brush
    {0x0429, 2},  // FrameRegion: region, brush
};

// requireEnd: the data must hold the end-of-file record.
bool WmfRecordsValid(const BYTE* data, size_t size, bool requireEnd) {
    if (Le16(data + 2) != kWmfHeaderWords) return false;
    const WORD objects = Le16(data + 10);
    size_t offset = kWmfHeaderSize;
    while (size - offset >= 6) {
        const uint64_t words = Le32(data + offset);
        if (words < 3 || words * 2 > size - offset) return false;
        const WORD function = Le16(data + offset + 4);
        if (function == 0) return true;  // end-of-file record
        for (const WmfObjectRecord& r : kWmfObjectRecords) {
            if (r.function != function) continue;
            if (words < 3u + r.indexes) return false;
            for (int i = 0; i < r.indexes; ++i)
                if (Le16(data + offset + 6 + 2 * i) >= objects) return false;
        }
        offset += static_cast<size_t>(words * 2);
    }
    return !requireEnd;
}

bool EmfHeaderValid(const BYTE* data, size_t size) {
    return size >= kEmfHeaderMinSize && Le32(data) == EMR_HEADER && Le32(data + 4) >= kEmfHeaderMinSize &&
           Le32(data + 40) == kEmfSignature;
}

// Enhanced metafile records that carry a handle-table index, where it is,
// and whether a stock object (top bit set) may stand there instead.
struct EmfObjectRecord {
    DWORD type;
    DWORD at;
    bool stock;
};
constexpr EmfObjectRecord kEmfObjectRecords[] = {
    {EMR_SELECTOBJECT, 8, true},          {EMR_DELETEOBJECT, 8, true},
    {EMR_SELECTPALETTE, 8, true},         {EMR_SETPALETTEENTRIES, 8, false},
    {EMR_RESIZEPALETTE, 8, false},        {EMR_CREATEPEN, 8, false},
    {EMR_CREATEBRUSHINDIRECT, 8, false},  {EMR_CREATEPALETTE, 8, false},
    {EMR_EXTCREATEFONTINDIRECTW, 8, false}, {EMR_CREATEMONOBRUSH, 8, false},
    {EMR_CREATEDIBPATTERNBRUSHPT, 8, false}, {EMR_EXTCREATEPEN, 8, false},
    {EMR_CREATECOLORSPACE, 8, false},     {EMR_CREATECOLORSPACEW, 8, false},
    {EMR_SETCOLORSPACE, 8, false},        {EMR_DELETECOLORSPACE, 8, false},
    {EMR_FILLRGN, 24, false},             {EMR_FRAMERGN, 24, false},
};

bool EmfRecordsValid(const BYTE* data, size_t size) {
    const uint64_t total = Le32(data + 48);
    if (total > size || total < kEmfHeaderMinSize) return false;
    const DWORD handles = Le16(data + 56);
    size_t offset = 0;
    while (total - offset >= 8) {
        const uint64_t recordSize = Le32(data + offset + 4);
        if (recordSize < 8 || recordSize % 4 || recordSize > total - offset) return false;
        const DWORD type = Le32(data + offset);
        if (type == EMR_EOF) return true;
        for (const EmfObjectRecord& r : kEmfObjectRecords) {
            if (r.type != type) continue;
            if (recordSize < r.at + 4) return false;
            const DWORD index = Le32(data + offset + r.at);
            if (!(r.stock && (index & 0x80000000)) && index >= handles) return false;
        }
        offset += static_cast<size_t>(recordSize);
    }
    return true;
}

}  // namespace

HENHMETAFILE ZImageWMF::ReadPlaceableWmf(ZFile* stream, ZPlaceableHeader& header) {
    const int64_t size = stream->Size();
    const int64_t start = stream->Tell();
    BYTE raw[ZPlaceableHeader::kSize];
    if (stream->Read(raw, 1, sizeof(raw)) != sizeof(raw)) return nullptr;
    header = ZPlaceableHeader::FromBytes(raw);
    if (!IsPlaceableHeader(header)) return nullptr;

    BYTE wmfHeader[kWmfHeaderSize];
    if (stream->Read(wmfHeader, 1, sizeof(wmfHeader)) != sizeof(wmfHeader)) return nullptr;
    const WORD type = Le16(wmfHeader);
    if (type != 1 && type != 2) return nullptr;
    uint64_t bytes = uint64_t{Le32(wmfHeader + 6)} * 2;
    const int64_t metafileStart = start + static_cast<int64_t>(ZPlaceableHeader::kSize);
    const uint64_t available = size > metafileStart ? static_cast<uint64_t>(size - metafileStart) : 0;
    // Some writers count the placeable header in the metafile's size; such
    // a metafile is taken when its records end with the end-of-file record.
    const bool countsPlaceable = bytes == available + ZPlaceableHeader::kSize;
    if (countsPlaceable) bytes = available;
    if (bytes < kWmfHeaderSize || bytes > available) return nullptr;

    std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[bytes]);
    if (!data) return nullptr;
    if (!stream->Seek(static_cast<long>(metafileStart), SEEK_SET) || stream->Read(data.get(), 1, bytes) != bytes)
        return nullptr;
    if (countsPlaceable) {
        const DWORD words = static_cast<DWORD>(bytes / 2);
        for (int i = 0; i < 4; ++i) data[6 + i] = static_cast<BYTE>(words >> (8 * i));
    }
    if (!WmfRecordsValid(data.get(), bytes, countsPlaceable)) return nullptr;

    const ScreenDC screen;
    METAFILEPICT picture{};
    picture.mm = MM_ANISOTROPIC;
    picture.xExt = (header.right - header.left) * screen.Caps(LOGPIXELSX) / header.unitsPerInch;
    picture.yExt = (header.bottom - header.top) * screen.Caps(LOGPIXELSY) / header.unitsPerInch;
    // Only positive extents grow; zero would never reach the limit.
    while (picture.xExt > 0 && picture.yExt > 0 && picture.xExt < kExtentScaleLimit &&
           picture.yExt < kExtentScaleLimit) {
        picture.xExt *= 10;
        picture.yExt *= 10;
    }
    return SetWinMetaFileBits(static_cast<UINT>(bytes), data.get(), screen.get(), &picture);
}

HENHMETAFILE ZImageWMF::ReadEmf(ZFile* stream, ENHMETAHEADER& header) {
    const int64_t start = stream->Tell();
    const int64_t size = stream->Size() - start;
    if (size < static_cast<int64_t>(kEmfHeaderMinSize)) return nullptr;

    // Most streams that reach this point are no metafile at all: look at
    // the header before taking memory for the whole stream.
    BYTE first[kEmfHeaderMinSize];
    if (stream->Read(first, 1, sizeof(first)) != sizeof(first) || !EmfHeaderValid(first, sizeof(first)))
        return nullptr;
    if (!stream->Seek(static_cast<long>(start), SEEK_SET)) return nullptr;

    const size_t bytes = static_cast<size_t>(size);
    std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[bytes]);
    if (!data || stream->Read(data.get(), 1, bytes) != bytes) return nullptr;
    if (!EmfRecordsValid(data.get(), bytes)) return nullptr;

    HENHMETAFILE metafile = SetEnhMetaFileBits(static_cast<UINT>(bytes), data.get());
    if (!metafile) return nullptr;
    if (!GetEnhMetaFileHeader(metafile, 100, &header)) {
        DeleteEnhMetaFile(metafile);
        return nullptr;
    }
    return metafile;
}

bool ZImageWMF::Decode(ZFile* stream, long forcedWidth, long forcedHeight) {
    if (!stream) return false;
    const int32_t start = stream->Tell();

    int64_t width = 0;
    int64_t height = 0;
    ZPlaceableHeader placeable{};
    UniqueMetafile metafile(ReadPlaceableWmf(stream, placeable));
    if (metafile) {
        const ScreenDC screen;
        width = (int64_t{placeable.right} - placeable.left) * screen.Caps(LOGPIXELSX) / placeable.unitsPerInch;
        height = (int64_t{placeable.bottom} - placeable.top) * screen.Caps(LOGPIXELSY) / placeable.unitsPerInch;
    } else {
        stream->Seek(start, SEEK_SET);
        ENHMETAHEADER header{};
        metafile.reset(ReadEmf(stream, header));
        if (!metafile) {
            SetError(zerr::kWmfCorrupted);
            return false;
        }
        width = int64_t{header.rclBounds.right} - header.rclBounds.left;
        height = int64_t{header.rclBounds.bottom} - header.rclBounds.top;
    }

    if (info.escape) {
        SetError(zerr::kCancelled);
        return false;
    }
    if (width == 0 || height == 0) {
        SetError(zerr::kWmfEmpty);
        return false;
    }
    if (forcedWidth) width = forcedWidth;
    if (forcedHeight) height = forcedHeight;
    LimitSize(width, height);
    // A reversed box gives no bitmap, like a bitmap the platform refuses.
    if (width <= 0 || height <= 0) return false;
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);

    const ScreenDC screen;
    if (!screen.get()) return false;
    std::unique_ptr<std::remove_pointer_t<HDC>, DCDeleter> dc(CreateCompatibleDC(screen.get()));
    std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter> bitmap(CreateCompatibleBitmap(screen.get(), w, h));
    if (!dc || !bitmap) return false;

    const int depth = GetDeviceCaps(dc.get(), BITSPIXEL);
    HGDIOBJ oldBitmap = SelectObject(dc.get(), bitmap.get());
    RECT area{0, 0, w, h};
    const COLORREF oldBk = SetBkColor(dc.get(), GetSysColor(COLOR_WINDOW));
    ExtTextOutA(dc.get(), 0, 0, ETO_OPAQUE, &area, "", 0, nullptr);
    SetBkColor(dc.get(), oldBk);

    // Metafiles that carry a palette are played through it.
    UINT entries = GetEnhMetaFilePaletteEntries(metafile.get(), 0, nullptr);
    HGLOBAL paletteMemory = nullptr;
    HPALETTE palette = nullptr;
    HPALETTE oldPalette = nullptr;
    if (entries != 0 && entries != GDI_ERROR) {
        if (entries > 0xFFFF) entries = 0xFFFF;
        paletteMemory = GlobalAlloc(GPTR, sizeof(LOGPALETTE) + entries * sizeof(PALETTEENTRY));
        if (!paletteMemory) {
            SelectObject(dc.get(), oldBitmap);
            SetError(zerr::kCancelled);
            return false;
        }
        LOGPALETTE* logical = static_cast<LOGPALETTE*>(paletteMemory);
        logical->palVersion = 0x300;
        logical->palNumEntries = static_cast<WORD>(entries);
        GetEnhMetaFilePaletteEntries(metafile.get(), entries, logical->palPalEntry);
        palette = CreatePalette(logical);
        if (palette) {
            oldPalette = SelectPalette(dc.get(), palette, FALSE);
            RealizePalette(dc.get());
        }
    }

    PlayEnhMetaFile(dc.get(), metafile.get(), &area);

    if (oldPalette) SelectPalette(dc.get(), oldPalette, FALSE);
    if (palette) DeleteObject(palette);
    if (paletteMemory) GlobalFree(paletteMemory);
    SelectObject(dc.get(), oldBitmap);
    metafile.reset();

    if (info.escape) {
        SetError(zerr::kCancelled);
        return false;
    }
    if (!Create(static_cast<DWORD>(w), static_cast<DWORD>(h), static_cast<DWORD>(depth), FORMAT_WMF)) return false;
    return GetDIBits(dc.get(), bitmap.get(), 0, static_cast<UINT>(h), info.bits,
                     reinterpret_cast<BITMAPINFO*>(dib), DIB_RGB_COLORS) > 0;
}
