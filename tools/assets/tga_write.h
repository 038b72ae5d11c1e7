// Writes pictures as the TGA files the demo's loader accepts: uncompressed
// true colour (type 2), 24 or 32 bits, no ID field and no colour map.
#pragma once

#include <string>
#include <vector>

#include "tools/assets/image.h"

// The file's bytes for an image. The loader uploads the file's first row as
// texture row t = 0, and every quad of the demo puts t = 0 at the bottom of the
// picture, so the bottom row is written first (the TGA bottom-left origin).
// 32 bits keep the coverage as alpha; 24 bits drop it. Channels are rounded
// from 0..1 to 0..255.
std::vector<unsigned char> encodeTga(const Image& image, int bits);
// Writes encodeTga's bytes to path; returns 1 on success, 0 on failure.
int writeTga(const std::string& path, const Image& image, int bits);
// Whether n is a side the loader accepts: a power of two from 2 to 512.
bool isTgaSide(int n);
