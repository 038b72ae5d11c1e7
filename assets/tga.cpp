// The TGA texture loader. The header is checked from memory; the pixels go into
// one buffer of exactly their size, read (or copied) in one piece, turned from
// blue-green-red into red-green-blue in place and uploaded under the caller's
// texture name. Rows are uploaded in file order whatever origin the file
// declares: the file's first row becomes texture row t = 0.
#include "assets/tga.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

// Header bytes that the loader reads.
constexpr size_t TGA_ID_LENGTH = 0;      // length of the image ID field that follows the header
constexpr size_t TGA_COLOUR_MAP = 1;     // colour-map type: 0, none
constexpr size_t TGA_IMAGE_TYPE = 2;     // 2: uncompressed true colour
constexpr size_t TGA_WIDTH = 12;         // little-endian 16 bits, pixels
constexpr size_t TGA_HEIGHT = 14;        // little-endian 16 bits, pixels
constexpr size_t TGA_BITS = 16;          // bits per pixel

constexpr unsigned TGA_TRUE_COLOUR = 2;
constexpr unsigned TGA_MIN_SIDE = 2;     // pixels
constexpr unsigned TGA_MAX_SIDE = 512;   // pixels

// What the header says about the pixels that follow it.
struct TgaLayout {
    size_t pixelOffset;    // bytes from the start of the file to the first pixel
    size_t pixelBytes;     // width x height x bytes per pixel
    unsigned width;        // pixels
    unsigned height;       // pixels
    unsigned bytesPerPixel;  // 3 or 4
};

unsigned readLittle16(const unsigned char* bytes) { return bytes[0] | (bytes[1] << 8); }

bool validSide(unsigned side)
{
    for (unsigned allowed = TGA_MIN_SIDE; allowed <= TGA_MAX_SIDE; allowed *= 2)
        if (side == allowed) return true;
    return false;
}

// Checks a header of size bytes (fewer than a whole header counts as a wrong
// type) and fills layout; returns TGA_OK or the code of the first failed check.
int parseTgaHeader(const unsigned char* header, size_t size, TgaLayout* layout)
{
    if (header == nullptr || size < TGA_HEADER_SIZE) return TGA_BAD_TYPE;
    if (header[TGA_COLOUR_MAP] != 0 || header[TGA_IMAGE_TYPE] != TGA_TRUE_COLOUR) return TGA_BAD_TYPE;
    const unsigned width = readLittle16(header + TGA_WIDTH);
    const unsigned height = readLittle16(header + TGA_HEIGHT);
    if (!validSide(width) || !validSide(height)) return TGA_BAD_SIZE;
    const unsigned bits = header[TGA_BITS];
    if (bits != 24 && bits != 32) return TGA_BAD_DEPTH;
    layout->width = width;
    layout->height = height;
    layout->bytesPerPixel = bits / 8;
    layout->pixelBytes = static_cast<size_t>(width) * height * layout->bytesPerPixel;
    // The image ID field sits between the header and the pixels.
    layout->pixelOffset = TGA_HEADER_SIZE + header[TGA_ID_LENGTH];
    return TGA_OK;
}

// Swaps blue and red of every pixel, uploads the buffer under textureName and
// frees it. The texture stays bound, the unpack alignment stays 1 and the
// environment mode stays GL_MODULATE.
int uploadTgaPixels(unsigned char* pixels, const TgaLayout& layout, unsigned textureName)
{
    for (size_t i = 0; i < layout.pixelBytes; i += layout.bytesPerPixel) {
        const unsigned char blue = pixels[i];
        pixels[i] = pixels[i + 2];
        pixels[i + 2] = blue;
    }
    const GLenum format = layout.bytesPerPixel == 4 ? GL_RGBA : GL_RGB;
    glBindTexture(GL_TEXTURE_2D, textureName);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), static_cast<GLsizei>(layout.width),
                 static_cast<GLsizei>(layout.height), 0, format, GL_UNSIGNED_BYTE, pixels);
    std::free(pixels);
    return TGA_OK;
}

}  // namespace

int loadTgaTextureFromMemory(const unsigned char* data, size_t size, unsigned textureName)
{
    TgaLayout layout{};
    const int header = parseTgaHeader(data, size, &layout);
    if (header != TGA_OK) return header;
    if (layout.pixelOffset > size || size - layout.pixelOffset < layout.pixelBytes) return TGA_BAD_PIXELS;
    unsigned char* pixels = static_cast<unsigned char*>(std::malloc(layout.pixelBytes));
    if (pixels == nullptr) return TGA_BAD_PIXELS;
    std::memcpy(pixels, data + layout.pixelOffset, layout.pixelBytes);
    return uploadTgaPixels(pixels, layout, textureName);
}

namespace {

// Opens a texture file and reads and checks its header. Returns TGA_OK with the
// file open at the end of the header, or the failure code with no file open.
int openTga(const char* path, std::FILE** file, TgaLayout* layout)
{
    // Read-only: asset files may be installed without write permission. Only
    // regular files: a FIFO, a device or a directory counts as not opened.
    *file = platformOpenRegularFile(path, nullptr);
    if (*file == nullptr) return TGA_CANNOT_OPEN;
    unsigned char header[TGA_HEADER_SIZE] = {};
    const size_t headerBytes = std::fread(header, 1, sizeof header, *file);
    const int result = parseTgaHeader(header, headerBytes, layout);
    if (result != TGA_OK) {
        std::fclose(*file);
        *file = nullptr;
    }
    return result;
}

}  // namespace

int tgaPixelBytes(const char* path, size_t* bytes)
{
    std::FILE* file = nullptr;
    TgaLayout layout{};
    const int result = openTga(path, &file, &layout);
    if (result != TGA_OK) return result;
    std::fclose(file);
    *bytes = layout.pixelBytes;
    return TGA_OK;
}

int loadTgaTexture(const char* path, unsigned textureName)
{
    std::FILE* file = nullptr;
    TgaLayout layout{};
    int result = openTga(path, &file, &layout);
    if (result != TGA_OK) return result;
    unsigned char* pixels = static_cast<unsigned char*>(std::malloc(layout.pixelBytes));
    const bool atPixels = std::fseek(file, static_cast<long>(layout.pixelOffset), SEEK_SET) == 0;
    if (pixels == nullptr || !atPixels || std::fread(pixels, 1, layout.pixelBytes, file) != layout.pixelBytes) {
        std::free(pixels);
        pixels = nullptr;
        result = TGA_BAD_PIXELS;
    }
    std::fclose(file);
    if (result != TGA_OK) return result;
    return uploadTgaPixels(pixels, layout, textureName);
}
