// The readers and writers the format dispatch can call, one entry per
// format type, in the order detection tries them.
#pragma once

#include <cstddef>
#include <new>

#include "ZImage.h"

struct ZCodecEntry {
    DWORD type;
    ZImage* (*create)();
    bool (*decode)(ZImage& codec, ZFile* stream);
    bool (*encode)(ZImage& codec, ZFile* stream);
    // Several images in one file; null where the format holds one.
    bool (*encodeMany)(ZImage& codec, ZFile* stream, ZImage** images, int count);
};

struct ZCodecTable {
    const ZCodecEntry* entries;
    size_t count;

    const ZCodecEntry* begin() const { return entries; }
    const ZCodecEntry* end() const { return entries + count; }
    const ZCodecEntry* Find(DWORD type) const {
        for (const ZCodecEntry& entry : *this)
            if (entry.type == type) return &entry;
        return nullptr;
    }
};

const ZCodecTable& ZActiveCodecs();

// Replaces the built-in table while it lives; for exercising the dispatch
// with codecs of a test's own.
class ZScopedCodecTable {
public:
    explicit ZScopedCodecTable(const ZCodecTable& table);
    ~ZScopedCodecTable();
    ZScopedCodecTable(const ZScopedCodecTable&) = delete;
    ZScopedCodecTable& operator=(const ZScopedCodecTable&) = delete;

private:
    const ZCodecTable* m_previous;
};

namespace zcodec {

template <class Codec>
ZImage* Create() {
    return new (std::nothrow) Codec;
}

template <class Codec>
bool Decode(ZImage& codec, ZFile* stream) {
    return static_cast<Codec&>(codec).Decode(stream);
}

template <class Codec>
bool Encode(ZImage& codec, ZFile* stream) {
    return static_cast<Codec&>(codec).Encode(stream);
}

template <class Codec>
bool EncodeMany(ZImage& codec, ZFile* stream, ZImage** images, int count) {
    return static_cast<Codec&>(codec).Encode(stream, images, count, false);
}

template <class Codec>
constexpr ZCodecEntry Entry(DWORD type) {
    return ZCodecEntry{type, &Create<Codec>, &Decode<Codec>, &Encode<Codec>, nullptr};
}

template <class Codec>
constexpr ZCodecEntry MultiImageEntry(DWORD type) {
    return ZCodecEntry{type, &Create<Codec>, &Decode<Codec>, &Encode<Codec>, &EncodeMany<Codec>};
}

}  // namespace zcodec
