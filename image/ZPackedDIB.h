// Reading a packed DIB (header, colour table or bit masks, pixel rows in
// one block, as the clipboard's DIB format holds it) from a byte range.
// Kept apart from the global-memory handling so it runs everywhere.
#pragma once

#include <cstddef>

#include "ZImage.h"

// Replaces the picture with the block's. Never reads outside
// [block, block + size) nor writes outside the picture's pixel rows.
// Returns null on success, else the failure text for the caller to store
// (for a failed Create, the image's own text). Throws the texts
// zerr::kCompressionUnsupported and zerr::kUnknownCompression, as
// const char*, for compressions it does not know; the picture is created
// by then and stays.
const char* ZReadPackedDIB(ZImage& image, const BYTE* block, size_t size);
