#include "ZCodecTable.h"

#include "codecs/ZImageBMP.h"
#include "codecs/ZImageGIF.h"
#include "codecs/ZImageICO.h"
#include "codecs/ZImagePCX.h"
#include "codecs/ZImageTGA.h"
#include "codecs/ZImageWBMP.h"
#include "codecs/ZImageWMF.h"

namespace {

// Detection tries the entries in this order: BMP, ICO, GIF, TGA, PCX,
// WBMP, then the metafile reader.
const ZCodecEntry kCodecs[] = {
    zcodec::Entry<ZImageBMP>(FORMAT_BMP),
    zcodec::Entry<ZImageICO>(FORMAT_ICO),
    zcodec::MultiImageEntry<ZImageGIF>(FORMAT_GIF),
    zcodec::Entry<ZImageTGA>(FORMAT_TGA),
    zcodec::Entry<ZImagePCX>(FORMAT_PCX),
    zcodec::Entry<ZImageWBMP>(FORMAT_WBMP),
    zcodec::Entry<ZImageWMF>(FORMAT_WMF),
};
const ZCodecTable kBuiltIn{kCodecs, sizeof(kCodecs) / sizeof(kCodecs[0])};

const ZCodecTable* g_active = &kBuiltIn;

}  // namespace

const ZCodecTable& ZActiveCodecs() { return *g_active; }

ZScopedCodecTable::ZScopedCodecTable(const ZCodecTable& table) : m_previous(g_active) { g_active = &table; }

ZScopedCodecTable::~ZScopedCodecTable() { g_active = m_previous; }
