#include "ZErrors.h"
#include "ZImage.h"

bool ZImage::LoadResource(HRSRC resource, DWORD type, HMODULE module) {
    const DWORD size = SizeofResource(module, resource);
    HGLOBAL loaded = ::LoadResource(module, resource);
    if (!loaded) {
        SetError(zerr::kResourceLoad);
        return false;
    }
    BYTE* data = static_cast<BYTE*>(LockResource(loaded));
    if (!data) return false;
    ZMemFile stream(data, size);
    return Decode(&stream, type);
}
