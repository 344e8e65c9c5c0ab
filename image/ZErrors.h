// Every failure text the image library reports, in one place.
#pragma once

namespace zerr {

// Image object
inline constexpr char kMaxMemory[] = "ZIMAGE_MAX_MEMORY exceeded";
inline constexpr char kCreateNoMemory[] = "ZImage::Create can't allocate memory";

// Format dispatch
inline constexpr char kDecodeUnknown[] = "Decode: Unknown or wrong format";
inline constexpr char kEncodeUnknown[] = "Encode: Unknown format";
inline constexpr char kMultipageUnsupported[] = "Multipage Encode, Unsupported operation for this format";
inline constexpr char kNullFile[] = "null file handler";
inline constexpr char kNullImage[] = "null image!!!";
inline constexpr char kResourceLoad[] = "Unable to load resource!";

// Shared by the readers
inline constexpr char kCancelled[] = "Cancelled";

// BMP

// GIF

// ICO

// TGA

// PCX

// WBMP

// Metafiles

}  // namespace zerr
