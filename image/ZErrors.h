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
// Bitmap data in a compression the reader does not know (BMP files and packed DIB blocks)
inline constexpr char kCompressionUnsupported[] = "compression type not supported";
inline constexpr char kUnknownCompression[] = "unknown compression";

// Packed DIB blocks (CreateFromHANDLE) and bitmap handles
inline constexpr char kDibTooShort[] = "DIB block too short";
inline constexpr char kDibHeader[] = "unsupported DIB header";
inline constexpr char kGetDIBitsFailed[] = "GetDIBits failed";

// BMP

// GIF

// ICO

// TGA

// PCX

// WBMP

// Metafiles
inline constexpr char kWmfCorrupted[] = "corrupted WMF";
inline constexpr char kWmfEmpty[] = "empty WMF";
inline constexpr char kWmfSaveUnsupported[] = "Save WMF not supported";
inline constexpr char kWmfNoRenderer[] = "WMF: metafiles can only be rendered on Windows";

}  // namespace zerr
