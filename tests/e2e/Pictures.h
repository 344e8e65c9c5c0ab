// Image files with known pixels, made with the image library, and the check
// that a skin bitmap on disk shows such a picture.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

namespace e2e {

// Every pixel follows from the size and the seed; an indexed picture has a
// 16-colour palette.
struct Picture {
    DWORD width;
    DWORD height;
    BYTE seed;
    bool indexed;
};

// Writes picture in the format (FORMAT_BMP, FORMAT_GIF, ...); an indexed
// picture for GIF, a 24-bit one for the others.
void WritePicture(const std::string& path, const Picture& picture, DWORD format);

// A file that no reader accepts.
void WriteUndecodable(const std::string& path);

// The file decodes as a BMP of the picture's size with its every pixel.
::testing::AssertionResult BitmapShows(const std::string& path, const Picture& picture);

}  // namespace e2e
