// Metafile reading where no graphics interface plays metafiles: every
// stream is refused with a text that says why.
#include "ZErrors.h"
#include "ZImageWMF.h"

bool ZImageWMF::Decode(ZFile* stream, long, long) {
    if (!stream) return false;
    SetError(zerr::kWmfNoRenderer);
    return false;
}
