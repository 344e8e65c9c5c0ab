#include <cstring>
#include <memory>

#include "ZCodecTable.h"
#include "ZErrors.h"
#include "ZImage.h"

namespace {

bool IsFormat(DWORD type) { return type >= FORMAT_BMP && type <= FORMAT_WMF; }

struct FileCloser {
    void operator()(FILE* fp) const { fclose(fp); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

}  // namespace

ZImage::ZImage(const char* path, DWORD type) {
    Startup(type);
    Load(path, type);
}

ZImage::ZImage(FILE* fp, DWORD type) {
    Startup(type);
    Decode(fp, type);
}

ZImage::ZImage(ZFile* stream, DWORD type) {
    Startup(type);
    Decode(stream, type);
}

ZImage::ZImage(BYTE* buffer, DWORD size, DWORD type) {
    Startup(type);
    Decode(buffer, size, type);
}

bool ZImage::Load(const char* path, DWORD type) {
    if (IsFormat(type)) {
        UniqueFile fp(fopen(path, "rb"));
        if (!fp) return false;
        if (Decode(fp.get(), type)) return true;
    }
    char typedError[sizeof(info.lastError)];
    memcpy(typedError, info.lastError, sizeof(typedError));
    UniqueFile fp(fopen(path, "rb"));
    if (!fp) return false;
    const bool decoded = Decode(fp.get(), FORMAT_UNKNOWN);
    if (!decoded && type != FORMAT_UNKNOWN) memcpy(info.lastError, typedError, sizeof(typedError));
    return decoded;
}

bool ZImage::Decode(FILE* fp, DWORD type) {
    ZIOFile stream(fp);
    return Decode(&stream, type);
}

bool ZImage::Decode(BYTE* buffer, DWORD size, DWORD type) {
    ZMemFile stream(buffer, size);
    return Decode(&stream, type);
}

// Runs the entry's reader on a codec object of its own; on success the
// picture moves into this image. A failed attempt touches nothing here
// unless its failure is to be reported.
bool ZImage::DecodeAs(const ZCodecEntry& entry, ZFile* stream, bool reportFailure) {
    std::unique_ptr<ZImage> codec(entry.create());
    if (!codec) {
        if (reportFailure) SetError(zerr::kCreateNoMemory);
        return false;
    }
    codec->CopyInfo(*this);
    if (entry.decode(*codec, stream)) return Transfer(*codec);
    if (reportFailure) {
        SetError(codec->info.lastError);
        if (entry.type == FORMAT_GIF || entry.type == FORMAT_ICO) info.numFrames = codec->info.numFrames;
    }
    return false;
}

bool ZImage::Decode(ZFile* stream, DWORD type) {
    const ZCodecTable& codecs = ZActiveCodecs();
    if (type == FORMAT_UNKNOWN) {
        const int32_t start = stream ? stream->Tell() : 0;
        for (const ZCodecEntry& entry : codecs) {
            if (DecodeAs(entry, stream, false)) return true;
            if (stream) stream->Seek(start, SEEK_SET);
        }
        SetError(zerr::kDecodeUnknown);
        return false;
    }
    const ZCodecEntry* entry = IsFormat(type) ? codecs.Find(type) : nullptr;
    if (!entry) {
        SetError(zerr::kDecodeUnknown);
        return false;
    }
    return DecodeAs(*entry, stream, true);
}

bool ZImage::Save(const char* path, DWORD type) {
    UniqueFile fp(fopen(path, "wb"));
    if (!fp) return false;
    return Encode(fp.get(), type);
}

bool ZImage::Encode(FILE* fp, DWORD type) {
    ZIOFile stream(fp);
    return Encode(&stream, type);
}

// Lets the entry's codec, a ghost of this image, write this picture alone
// or, with `several`, the given images in one file.
bool ZImage::EncodeAs(const ZCodecEntry& entry, ZFile* stream, bool several, ZImage** images, int count) {
    std::unique_ptr<ZImage> codec(entry.create());
    if (!codec) {
        SetError(zerr::kCreateNoMemory);
        return false;
    }
    codec->Ghost(this);
    const bool written =
        several ? entry.encodeMany(*codec, stream, images, count) : entry.encode(*codec, stream);
    if (!written) SetError(codec->info.lastError);
    return written;
}

bool ZImage::Encode(ZFile* stream, DWORD type) {
    const ZCodecEntry* entry = IsFormat(type) ? ZActiveCodecs().Find(type) : nullptr;
    if (!entry) {
        SetError(zerr::kEncodeUnknown);
        return false;
    }
    return EncodeAs(*entry, stream, false, nullptr, 0);
}

bool ZImage::Encode(BYTE*& buffer, long& size, DWORD type) {
    if (buffer) return false;
    ZMemFile stream;
    stream.Open();
    if (!Encode(&stream, type)) return false;
    size = stream.Size();
    buffer = stream.GetBuffer(true);
    return true;
}

bool ZImage::Encode(FILE* fp, ZImage** images, int count, DWORD type) {
    ZIOFile stream(fp);
    return Encode(&stream, images, count, type);
}

bool ZImage::Encode(ZFile* stream, ZImage** images, int count, DWORD type) {
    const ZCodecEntry* entry = IsFormat(type) ? ZActiveCodecs().Find(type) : nullptr;
    if (!entry || !entry->encodeMany) {
        SetError(zerr::kMultipageUnsupported);
        return false;
    }
    return EncodeAs(*entry, stream, true, images, count);
}

bool ZImage::EncodeSafeCheck(ZFile* stream) {
    if (!stream) {
        SetError(zerr::kNullFile);
        return true;
    }
    if (!dib) {
        SetError(zerr::kNullImage);
        return true;
    }
    return false;
}
