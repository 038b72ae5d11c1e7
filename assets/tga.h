// The TGA texture loader: uncompressed true-colour images of 24 or 32 bits with
// power-of-two sides from 2 to 512, uploaded as 2D textures under a texture name
// the caller chooses.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int TGA_OK = 1;            // loaded and uploaded
constexpr int TGA_CANNOT_OPEN = 13;  // the file could not be opened
constexpr int TGA_BAD_TYPE = 14;     // colour-mapped, not type 2, or shorter than its header
constexpr int TGA_BAD_SIZE = 15;     // a side is not a power of two from 2 to 512
constexpr int TGA_BAD_DEPTH = 16;    // neither 24 nor 32 bits per pixel
constexpr int TGA_BAD_PIXELS = 17;   // the pixels could not be allocated or are incomplete

constexpr int TGA_HEADER_SIZE = 18;

// Loads path and uploads it under textureName; returns one of the codes above.
// A path that is not a regular file (a FIFO, a device, a directory) is not opened.
int loadTgaTexture(const char* path, unsigned textureName);
// Checks the header of the file at path without loading it: TGA_OK with the
// bytes its pixels take, or the code loadTgaTexture would return for it.
int tgaPixelBytes(const char* path, size_t* bytes);
// The same from a file already in memory.
int loadTgaTextureFromMemory(const unsigned char* data, size_t size, unsigned textureName);
