// The parts of the metafile reader that need no renderer.
#include "ZImageWMF.h"

#include "ZErrors.h"

namespace {

constexpr DWORD kPlaceableKey = 0x9AC6CDD7;
constexpr WORD kMaxUnitsPerInch = 2540;

WORD Le16(const BYTE* p) { return static_cast<WORD>(p[0] | p[1] << 8); }
DWORD Le32(const BYTE* p) { return Le16(p) | static_cast<DWORD>(Le16(p + 2)) << 16; }

}  // namespace

ZPlaceableHeader ZPlaceableHeader::FromBytes(const BYTE* bytes) {
    ZPlaceableHeader h;
    h.key = Le32(bytes);
    h.handle = Le16(bytes + 4);
    h.left = static_cast<int16_t>(Le16(bytes + 6));
    h.top = static_cast<int16_t>(Le16(bytes + 8));
    h.right = static_cast<int16_t>(Le16(bytes + 10));
    h.bottom = static_cast<int16_t>(Le16(bytes + 12));
    h.unitsPerInch = Le16(bytes + 14);
    h.reserved = Le32(bytes + 16);
    h.checksum = Le16(bytes + 20);
    return h;
}

ZImageWMF::ZImageWMF() : ZImage(FORMAT_WMF) {}

ZImageWMF::~ZImageWMF() = default;

bool ZImageWMF::Encode(ZFile* stream) {
    if (stream) SetError(zerr::kWmfSaveUnsupported);
    return false;
}

bool ZImageWMF::IsPlaceableHeader(const ZPlaceableHeader& h) {
    // The checksum is the XOR of the ten 16-bit words before it.
    const WORD words[] = {
        static_cast<WORD>(h.key),    static_cast<WORD>(h.key >> 16),  h.handle,
        static_cast<WORD>(h.left),   static_cast<WORD>(h.top),        static_cast<WORD>(h.right),
        static_cast<WORD>(h.bottom), h.unitsPerInch,                  static_cast<WORD>(h.reserved),
        static_cast<WORD>(h.reserved >> 16),
    };
    WORD sum = 0;
    for (WORD w : words) sum ^= w;
    return h.key == kPlaceableKey && sum == h.checksum && h.unitsPerInch >= 1 &&
           h.unitsPerInch <= kMaxUnitsPerInch;
}

void ZImageWMF::LimitSize(int64_t& width, int64_t& height) {
    if (width > kMaxSide) {
        height = height * kMaxSide / width;
        width = kMaxSide;
    }
    if (height > kMaxSide) {
        width = width * kMaxSide / height;
        height = kMaxSide;
    }
}
