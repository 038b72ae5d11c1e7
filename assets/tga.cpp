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

struct TgaHeader {
    size_t pixelOffset;  // bytes before the pixels: the header and the image ID field
    int width, height;   // pixels
    int bits;            // 24 or 32
    size_t pixelBytes;   // width x height x bits / 8
};

// Checks the first 18 bytes; returns TGA_OK or the code that rejects the file.
int parseHeader(const unsigned char* data, size_t size, TgaHeader* header)
{
    // A file too short for its header has no image type to read.
    if (data == nullptr || size < static_cast<size_t>(TGA_HEADER_SIZE)) return TGA_BAD_TYPE;
    const unsigned colourMapType = data[1];
    const unsigned imageType = data[2];
    header->pixelOffset = static_cast<size_t>(TGA_HEADER_SIZE) + data[0];
    header->width = data[12] | (data[13] << 8);
    header->height = data[14] | (data[15] << 8);
    header->bits = data[16];
    if (colourMapType != 0 || imageType != TGA_TRUE_COLOUR) return TGA_BAD_TYPE;
    if (!validSide(header->width) || !validSide(header->height)) return TGA_BAD_SIZE;
    if (header->bits != 24 && header->bits != 32) return TGA_BAD_DEPTH;
    header->pixelBytes = static_cast<size_t>(header->width) * static_cast<size_t>(header->height) *
                         static_cast<size_t>(header->bits / 8);
    return TGA_OK;
}

// Swaps blue and red in place and uploads; frees the pixels.
int upload(const TgaHeader& header, unsigned char* pixels, unsigned textureName)
{
    const size_t bytesPerPixel = static_cast<size_t>(header.bits / 8);
    // Blue-green-red to red-green-blue; a 32-bit pixel keeps its alpha last.
    for (size_t i = 0; i < header.pixelBytes; i += bytesPerPixel) {
        const unsigned char blue = pixels[i];
        pixels[i] = pixels[i + 2];
        pixels[i + 2] = blue;
    }
    const GLenum format = header.bits == 24 ? GL_RGB : GL_RGBA;
    glBindTexture(GL_TEXTURE_2D, textureName);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), header.width, header.height, 0, format,
                 GL_UNSIGNED_BYTE, pixels);
    std::free(pixels);
    return TGA_OK;
}

}  // namespace

int loadTgaTextureFromMemory(const unsigned char* data, size_t size, unsigned textureName)
{
    TgaHeader header = {};
    const int code = parseHeader(data, size, &header);
    if (code != TGA_OK) return code;
    if (header.pixelOffset > size || size - header.pixelOffset < header.pixelBytes) return TGA_BAD_PIXELS;
    unsigned char* pixels = static_cast<unsigned char*>(std::malloc(header.pixelBytes));
    if (pixels == nullptr) return TGA_BAD_PIXELS;
    std::memcpy(pixels, data + header.pixelOffset, header.pixelBytes);
    return upload(header, pixels, textureName);
}

int loadTgaTexture(const char* path, unsigned textureName)
{
    // Read-only: installed asset files need not be writable.
    std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) return TGA_CANNOT_OPEN;
    unsigned char head[TGA_HEADER_SIZE] = {};
    const size_t got = std::fread(head, 1, sizeof head, file);
    TgaHeader header = {};
    int code = parseHeader(head, got, &header);
    // One allocation of exactly the pixels, filled by one read after the ID field.
    unsigned char* pixels = nullptr;
    if (code == TGA_OK) {
        pixels = std::fseek(file, static_cast<long>(header.pixelOffset), SEEK_SET) == 0
                     ? static_cast<unsigned char*>(std::malloc(header.pixelBytes))
                     : nullptr;
        if (pixels == nullptr || std::fread(pixels, 1, header.pixelBytes, file) != header.pixelBytes) {
            std::free(pixels);
            pixels = nullptr;
            code = TGA_BAD_PIXELS;
        }
    }
    std::fclose(file);
    return pixels != nullptr ? upload(header, pixels, textureName) : code;
}
