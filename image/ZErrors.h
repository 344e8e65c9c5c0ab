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
inline constexpr char kBmpNotBmp[] = "Not a BMP";
inline constexpr char kBmpInfo[] = "Error reading BMP info";
inline constexpr char kBmpDimensions[] = "output dimensions returned";
inline constexpr char kBmpNoMemory[] = "Can't allocate memory";
inline constexpr char kBmpBufferNoMemory[] = "can't allocate memory";
inline constexpr char kBmpTruncated[] = "BMP pixel data beyond end of file";

// GIF
inline constexpr char kGifInvalidFilePointer[] = "invalid file pointer";
inline constexpr char kGifNoImages[] = "multipage GIF, no images!";
inline constexpr char kGifBadImagePointer[] = "Bad image pointer";
inline constexpr char kGifWriteError[] = "Write Error in GIF file";
inline constexpr char kGifFramesBeyondData[] = "GIF frames larger than the file's data could fill";
inline constexpr char kGifTooLargeToWrite[] = "GIF cannot hold this image size";
inline constexpr char kGifMultipageTrueColour[] = "multipage GIF: images must have 8 bits per pixel or fewer";

// ICO
inline constexpr char kIcoTooLarge[] = "Can't save this image as icon";

// TGA
inline constexpr char kTgaNotTga[] = "Not a TGA";
inline constexpr char kTgaUnknownType[] = "Unknown TGA image type";
inline constexpr char kTgaBadHeader[] = "bad TGA header";
inline constexpr char kTgaCreateFailed[] = "TGA Create failed";
inline constexpr char kTgaCorrupted[] = "corrupted TGA";
inline constexpr char kTgaBitDepth[] = "Bit depth must be 8 or 24";
inline constexpr char kTgaSize[] = "TGA cannot hold this image size";
inline constexpr char kTgaWrite[] = "cannot write TGA file";

// PCX
inline constexpr char kPcxRead[] = "Can't read PCX image";
inline constexpr char kPcxNotPcx[] = "Error: Not a PCX file";
inline constexpr char kPcxEncoding[] = "PCX file has unknown encoding scheme";
inline constexpr char kPcxPlanes[] = "Can't handle image with more than 4 planes";
inline constexpr char kPcxBadWindow[] = "bad PCX image window";
inline constexpr char kPcxShortLines[] = "PCX lines too short for the image width";
inline constexpr char kPcxCorrupted[] = "corrupted PCX";
inline constexpr char kPcxRepeatSpans[] = "repeat count spans end of image";
inline constexpr char kPcxColorMap[] = "bad color map signature";
inline constexpr char kPcxBitsPerPixel[] = "Can't handle more than 1 bit per pixel";
inline constexpr char kPcxSize[] = "PCX cannot hold this image size";
inline constexpr char kPcxWriteHeader[] = "cannot write PCX header";
inline constexpr char kPcxWriteData[] = "cannot write PCX data";

// WBMP
inline constexpr char kWbmpNotWbmp[] = "Not a WBMP";
inline constexpr char kWbmpType[] = "Unsupported WBMP type";
inline constexpr char kWbmpCorrupted[] = "Corrupted WBMP";
inline constexpr char kWbmpCreate[] = "WBMP Create failed";
inline constexpr char kWbmpCannotSave[] = "Can't save this image as WBMP";

// Metafiles
inline constexpr char kWmfCorrupted[] = "corrupted WMF";
inline constexpr char kWmfEmpty[] = "empty WMF";
inline constexpr char kWmfSaveUnsupported[] = "Save WMF not supported";
inline constexpr char kWmfNoRenderer[] = "WMF: metafiles can only be rendered on Windows";

}  // namespace zerr
