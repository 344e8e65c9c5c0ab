// libFuzzer target: one decoder, chosen at build time by ZELVO_FUZZ_FORMAT.
// A picture that decodes is read back pixel by pixel and written again in
// its own format, so the writers meet whatever the readers accept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ZImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZImage image;
    // The first byte picks a frame, so multi-frame readers compose too.
    if (size > 0) image.SetFrame(data[0] & 3);
    if (!image.Decode(const_cast<BYTE*>(data), static_cast<DWORD>(size), ZELVO_FUZZ_FORMAT)) return 0;

    unsigned sum = 0;
    const LONG width = static_cast<LONG>(image.GetWidth());
    const LONG height = static_cast<LONG>(image.GetHeight());
    for (LONG y = 0; y < height; y += 1 + height / 64)
        for (LONG x = 0; x < width; x += 1 + width / 64) sum += image.GetPixelColor(x, y, true).rgbRed;

    // Large pictures only grow the memory stream for a long time, and teach
    // the writers nothing a small one would not.
    if (static_cast<uint64_t>(width) * height > (1u << 20)) return 0;
    BYTE* encoded = nullptr;
    long encodedSize = 0;
    if (image.Encode(encoded, encodedSize, image.GetType())) free(encoded);
    return static_cast<int>(sum & 0);
}
