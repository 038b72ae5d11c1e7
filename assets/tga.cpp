#include "assets/tga.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int TGA_TRUE_COLOUR = 2;  // uncompressed true-colour image type
constexpr int MIN_SIDE = 2;         // pixels
constexpr int MAX_SIDE = 512;

int validSide(int side)
{
    for (int s = MIN_SIDE; s <= MAX_SIDE; s *= 2)
        if (side == s) return 1;
    return 0;
}

}  // namespace

int loadTgaTextureFromMemory(const unsigned char* data, size_t size, unsigned textureName)
{
    // A file too short for its header has no image type to read.
    if (data == nullptr || size < static_cast<size_t>(TGA_HEADER_SIZE)) return TGA_BAD_TYPE;
    const unsigned idLength = data[0];
    const unsigned colourMapType = data[1];
    const unsigned imageType = data[2];
    const int width = data[12] | (data[13] << 8);
    const int height = data[14] | (data[15] << 8);
    const int bits = data[16];
    if (colourMapType != 0 || imageType != TGA_TRUE_COLOUR) return TGA_BAD_TYPE;
    if (!validSide(width) || !validSide(height)) return TGA_BAD_SIZE;
    if (bits != 24 && bits != 32) return TGA_BAD_DEPTH;

    const size_t bytesPerPixel = static_cast<size_t>(bits / 8);
    const size_t pixelBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * bytesPerPixel;
    // The pixels follow the header and the image ID field.
    const size_t offset = static_cast<size_t>(TGA_HEADER_SIZE) + idLength;
    if (offset > size || size - offset < pixelBytes) return TGA_BAD_PIXELS;
    unsigned char* pixels = static_cast<unsigned char*>(std::malloc(pixelBytes));
    if (pixels == nullptr) return TGA_BAD_PIXELS;
    std::memcpy(pixels, data + offset, pixelBytes);
    // Blue-green-red to red-green-blue; a 32-bit pixel keeps its alpha last.
    for (size_t i = 0; i < pixelBytes; i += bytesPerPixel) {
        const unsigned char blue = pixels[i];
        pixels[i] = pixels[i + 2];
        pixels[i + 2] = blue;
    }
    const GLenum format = bits == 24 ? GL_RGB : GL_RGBA;
    glBindTexture(GL_TEXTURE_2D, textureName);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
    std::free(pixels);
    return TGA_OK;
}

int loadTgaTexture(const char* path, unsigned textureName)
{
    // Read-only: installed asset files need not be writable.
    std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) return TGA_CANNOT_OPEN;
    // The largest image of the subset is 512 x 512 x 4 bytes after a header and an
    // ID field of at most 255 bytes; nothing past that is ever read.
    constexpr size_t MAX_FILE = TGA_HEADER_SIZE + 255 + 512 * 512 * 4;
    std::vector<unsigned char> bytes(MAX_FILE);
    const size_t got = std::fread(bytes.data(), 1, MAX_FILE, file);
    std::fclose(file);
    return loadTgaTextureFromMemory(bytes.data(), got, textureName);
}
