#include "ZCodecTable.h"

namespace {

// Detection tries the entries in this order: BMP, ICO, GIF, TGA, PCX,
// WBMP, then the metafile reader.
const ZCodecTable kBuiltIn{nullptr, 0};

const ZCodecTable* g_active = &kBuiltIn;

}  // namespace

const ZCodecTable& ZActiveCodecs() { return *g_active; }

ZScopedCodecTable::ZScopedCodecTable(const ZCodecTable& table) : m_previous(g_active) { g_active = &table; }

ZScopedCodecTable::~ZScopedCodecTable() { g_active = m_previous; }
