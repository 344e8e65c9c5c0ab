// Pictures and files the benchmarks decode, generated here so every
// decoder reads the same bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "ZImage.h"

using Bytes = std::vector<uint8_t>;

constexpr int kBenchWidth = 1920;
constexpr int kBenchHeight = 1080;

// Smooth gradients with noise: little that compresses.
void MakePhoto24(ZImage& image);
// The photo in a 3-3-2 colour cube.
void MakePhoto8(ZImage& image);
// Large rectangles of sixteen colours: long runs.
void MakeFlat8(ZImage& image);

// Files written by hand (not by the library under test).
Bytes BmpRle8File(ZImage& flat8);
Bytes TgaFile(ZImage& rgb24, bool rle);
// Files written by giflib.
Bytes GiflibGifFile(ZImage& indexed8);
// Files written by the library's own encoders.
Bytes EncodeWithLibrary(ZImage& image, DWORD type);
