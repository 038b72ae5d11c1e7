// GL stand-ins for the fuzz targets: texture state kept just far enough to know
// how many bytes an upload reads, and a read of every one of them.
#include "fuzz/gl_stub.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

int stubUploadCount = 0;
StubUpload stubLastUpload = {};

namespace {

constexpr GLint DEFAULT_UNPACK_ALIGNMENT = 4;  // bytes, as in a fresh context

GLuint boundTexture = 0;                         // the 2D texture bound
GLint unpackAlignment = DEFAULT_UNPACK_ALIGNMENT;

[[noreturn]] void misuse(const char* what)
{
    std::fprintf(stderr, "GL stand-in: %s\n", what);
    std::abort();
}

}  // namespace

void stubReset()
{
    stubUploadCount = 0;
    stubLastUpload = StubUpload{};
    boundTexture = 0;
    unpackAlignment = DEFAULT_UNPACK_ALIGNMENT;
}

extern "C" {

void glBindTexture(GLenum target, GLuint texture)
{
    if (target != GL_TEXTURE_2D) misuse("glBindTexture: not GL_TEXTURE_2D");
    boundTexture = texture;
}

void glPixelStorei(GLenum pname, GLint param)
{
    if (pname == GL_UNPACK_ALIGNMENT) {
        if (param != 1 && param != 2 && param != 4 && param != 8) misuse("glPixelStorei: bad unpack alignment");
        unpackAlignment = param;
    }
}

void glTexParameteri(GLenum target, GLenum, GLint)
{
    if (target != GL_TEXTURE_2D) misuse("glTexParameteri: not GL_TEXTURE_2D");
}

void glTexEnvi(GLenum, GLenum, GLint) {}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels)
{
    if (target != GL_TEXTURE_2D || level != 0 || border != 0 || type != GL_UNSIGNED_BYTE)
        misuse("glTexImage2D: unexpected target, level, border or type");
    if (format != GL_RGB && format != GL_RGBA) misuse("glTexImage2D: unexpected format");
    if (internalFormat != static_cast<GLint>(format)) misuse("glTexImage2D: internal format differs from format");
    if (width <= 0 || height <= 0) misuse("glTexImage2D: empty image");
    if (pixels == nullptr) misuse("glTexImage2D: no pixels");
    const size_t pixelBytes = format == GL_RGBA ? 4 : 3;
    const size_t rowBytes = static_cast<size_t>(width) * pixelBytes;
    const size_t alignment = static_cast<size_t>(unpackAlignment);
    const size_t stride = (rowBytes + alignment - 1) / alignment * alignment;
    // GL reads every row but the last to its padded end, and the last row's pixels.
    const size_t total = stride * static_cast<size_t>(height - 1) + rowBytes;
    const unsigned char* bytes = static_cast<const unsigned char*>(pixels);
    uint64_t hash = 1469598103934665603ull;
    for (size_t i = 0; i < total; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
    ++stubUploadCount;
    stubLastUpload = StubUpload{boundTexture, width, height, format, hash};
}

}  // extern "C"
