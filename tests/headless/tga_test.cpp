// The TGA loader: accepted subset, result codes, texels uploaded, the state left.
#include <GL/gl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <utility>
#include <string>
#include <vector>

#include "assets/tga.h"
#include "tests/support/support.h"

namespace {

struct TgaFields {
    int idLength = 0;
    int colourMapType = 0;
    int imageType = 2;
    int width = 4;
    int height = 2;
    int bits = 24;
    int pixelBytesMissing = 0;
    int descriptor = 0;  // byte 17: 0x20 declares the first row as the top one
};

// A TGA file whose pixel i has channels (i, 2i, 3i, 255 - i) as red, green, blue, alpha.
std::vector<unsigned char> makeTga(const TgaFields& s)
{
    std::vector<unsigned char> f(18, 0);
    f[0] = static_cast<unsigned char>(s.idLength);
    f[1] = static_cast<unsigned char>(s.colourMapType);
    f[2] = static_cast<unsigned char>(s.imageType);
    f[12] = static_cast<unsigned char>(s.width & 0xFF);
    f[13] = static_cast<unsigned char>(s.width >> 8);
    f[14] = static_cast<unsigned char>(s.height & 0xFF);
    f[15] = static_cast<unsigned char>(s.height >> 8);
    f[16] = static_cast<unsigned char>(s.bits);
    f[17] = static_cast<unsigned char>(s.descriptor);
    for (int i = 0; i < s.idLength; ++i) f.push_back(0xEE);
    const int bpp = s.bits / 8;
    const long count = static_cast<long>(s.width) * s.height;
    for (long i = 0; i < count; ++i) {
        const unsigned char r = static_cast<unsigned char>(i), g = static_cast<unsigned char>(2 * i),
                            b = static_cast<unsigned char>(3 * i), a = static_cast<unsigned char>(255 - i);
        f.push_back(b);
        f.push_back(g);
        if (bpp >= 3) f.push_back(r);
        if (bpp == 4) f.push_back(a);
    }
    f.resize(f.size() - static_cast<size_t>(s.pixelBytesMissing));
    return f;
}

std::vector<unsigned char> texels(unsigned name, GLenum format, int count)
{
    std::vector<unsigned char> out(static_cast<size_t>(count) * (format == GL_RGBA ? 4 : 3));
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    return out;
}

// What the loader must answer for a file, worked out from its bytes alone.
int expectedCode(const std::vector<unsigned char>& f)
{
    if (f.size() < 18) return TGA_BAD_TYPE;
    if (f[1] != 0 || f[2] != 2) return TGA_BAD_TYPE;
    const int w = f[12] | (f[13] << 8), h = f[14] | (f[15] << 8);
    auto side = [](int n) { return n >= 2 && n <= 512 && (n & (n - 1)) == 0; };
    if (!side(w) || !side(h)) return TGA_BAD_SIZE;
    if (f[16] != 24 && f[16] != 32) return TGA_BAD_DEPTH;
    if (f.size() < 18u + f[0] + static_cast<size_t>(w) * h * (f[16] / 8)) return TGA_BAD_PIXELS;
    return TGA_OK;
}

// Takes CAP_DAC_OVERRIDE out of the effective set for its lifetime, so that file
// modes hold for root too; the permitted set keeps it, so it comes back after.
class ScopedFileModesEnforced {
public:
    ScopedFileModesEnforced()
    {
        syscall(SYS_capget, &header, saved);
        __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
        reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        syscall(SYS_capset, &header, reduced);
    }
    ~ScopedFileModesEnforced() { syscall(SYS_capset, &header, saved); }

private:
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2] = {};
};

class Tga : public GLTest {};

}  // namespace

TEST_F(Tga, ResultCodesOfTheSubset)
{
    struct Case {
        const char* name;
        TgaFields fields;
        int code;
    };
    const Case cases[] = {
        {"tga-24-bit", {0, 0, 2, 4, 2, 24, 0}, TGA_OK},
        {"tga-32-bit-256x128", {0, 0, 2, 256, 128, 32, 0}, TGA_OK},
        {"tga-512-square", {0, 0, 2, 512, 512, 24, 0}, TGA_OK},
        {"tga-640x480", {0, 0, 2, 640, 480, 24, 0}, TGA_BAD_SIZE},
        {"tga-1024-square", {0, 0, 2, 1024, 1024, 24, 0}, TGA_BAD_SIZE},
        {"tga-1x1", {0, 0, 2, 1, 1, 24, 0}, TGA_BAD_SIZE},
        {"tga-run-length", {0, 0, 10, 4, 2, 24, 0}, TGA_BAD_TYPE},
        {"tga-colour-mapped", {0, 1, 2, 4, 2, 24, 0}, TGA_BAD_TYPE},
        {"tga-16-bit", {0, 0, 2, 4, 2, 16, 0}, TGA_BAD_DEPTH},
        {"tga-one-byte-short", {0, 0, 2, 4, 2, 24, 1}, TGA_BAD_PIXELS},
        {"tga-claims-512-square-32-with-10-bytes", {0, 0, 2, 512, 512, 32, 512 * 512 * 4 - 10}, TGA_BAD_PIXELS},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::vector<unsigned char> bytes = makeTga(c.fields);
        const std::string path = dir.write(std::string(c.name) + ".tga", bytes);
        EXPECT_EQ(loadTgaTexture(path.c_str(), 5), c.code) << c.name;
        EXPECT_EQ(loadTgaTextureFromMemory(bytes.data(), bytes.size(), 5), c.code) << c.name << " from memory";
    }
    EXPECT_EQ(loadTgaTexture(dir.file("missing.tga").c_str(), 5), TGA_CANNOT_OPEN);
    EXPECT_EQ(loadTgaTexture(dir.path().c_str(), 5), TGA_CANNOT_OPEN);  // a directory
    EXPECT_EQ(loadTgaTexture(nullptr, 5), TGA_CANNOT_OPEN);
    // Shorter than the header: prefixes of a valid 24-bit file, so that only the
    // missing bytes can be the reason (a loader that reads past the end of the
    // header would take the 17-byte one for a file with short pixels).
    const std::vector<unsigned char> whole = makeTga({0, 0, 2, 2, 2, 24, 0});
    for (size_t n : {size_t(0), size_t(1), size_t(3), size_t(12), size_t(17)}) {
        const std::vector<unsigned char> prefix(whole.begin(), whole.begin() + static_cast<long>(n));
        const std::string path = dir.write("tga-shorter-than-header-" + std::to_string(n) + ".tga", prefix);
        EXPECT_EQ(loadTgaTexture(path.c_str(), 5), TGA_BAD_TYPE) << n << " bytes";
        EXPECT_EQ(loadTgaTextureFromMemory(prefix.data(), prefix.size(), 5), TGA_BAD_TYPE) << n << " bytes";
    }
    EXPECT_EQ(loadTgaTextureFromMemory(nullptr, 0, 5), TGA_BAD_TYPE);
}

TEST_F(Tga, ThirtyTwoBitFileUploadsItsTexelsAndAlphaAndLeavesTheState)
{
    TempDir dir;
    const std::string path = dir.write("a.tga", makeTga({0, 0, 2, 256, 128, 32, 0}));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    ASSERT_EQ(loadTgaTexture(path.c_str(), 7), TGA_OK);
    GLint bound = 0, align = 0, env = 0, w = 0, h = 0, alphaSize = 0, minFilter = 0, wrap = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &align);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alphaSize);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(bound, 7);
    EXPECT_EQ(align, 1);
    EXPECT_EQ(env, GL_MODULATE);
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 128);
    EXPECT_GT(alphaSize, 0);
    EXPECT_EQ(minFilter, GL_LINEAR);
    EXPECT_EQ(wrap, GL_REPEAT);
    const auto got = texels(7, GL_RGBA, 256 * 128);
    for (int i : {0, 1, 77, 256 * 128 - 1}) {  // file order, rows not flipped, blue and red swapped
        EXPECT_EQ(got[4 * i + 0], static_cast<unsigned char>(i));
        EXPECT_EQ(got[4 * i + 1], static_cast<unsigned char>(2 * i));
        EXPECT_EQ(got[4 * i + 2], static_cast<unsigned char>(3 * i));
        EXPECT_EQ(got[4 * i + 3], static_cast<unsigned char>(255 - i));
    }
}

TEST_F(Tga, ReadOnlyFilesLoadAndTheIdFieldIsSkipped)
{
    TempDir dir;
    const std::string path = dir.write("tga-read-only-with-id-field.tga", makeTga({5, 0, 2, 4, 2, 24, 0}));
    chmod(path.c_str(), 0444);
    ScopedFileModesEnforced modes;
    // The fixture is only read-only if opening it for update fails here.
    std::FILE* update = std::fopen(path.c_str(), "r+b");
    const bool writable = update != nullptr;
    if (writable) std::fclose(update);
    ASSERT_FALSE(writable) << "the file can still be opened for writing";
    ASSERT_EQ(loadTgaTexture(path.c_str(), 8), TGA_OK);
    const auto got = texels(8, GL_RGB, 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(got[3 * i + 0], i);
        EXPECT_EQ(got[3 * i + 2], 3 * i);
    }
}

TEST_F(Tga, RowsAreUploadedInFileOrderWhateverOriginTheFileDeclares)
{
    // Byte 17 = 0x20 declares a top-left origin; the first row still becomes t = 0.
    for (int descriptor : {0x00, 0x20}) {
        const std::vector<unsigned char> bytes = makeTga({0, 0, 2, 2, 4, 32, 0, descriptor});
        ASSERT_EQ(loadTgaTextureFromMemory(bytes.data(), bytes.size(), 6), TGA_OK);
        const auto got = texels(6, GL_RGBA, 8);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(got[4 * i + 0], i) << descriptor;
            EXPECT_EQ(got[4 * i + 1], 2 * i) << descriptor;
            EXPECT_EQ(got[4 * i + 2], 3 * i) << descriptor;
            EXPECT_EQ(got[4 * i + 3], 255 - i) << descriptor;
        }
    }
}

TEST_F(Tga, ASecondLoadReplacesTheImageAndAFailureKeepsIt)
{
    TempDir dir;
    ASSERT_EQ(loadTgaTexture(dir.write("a.tga", makeTga({0, 0, 2, 4, 2, 24, 0})).c_str(), 9), TGA_OK);
    ASSERT_EQ(loadTgaTexture(dir.write("b.tga", makeTga({0, 0, 2, 8, 8, 32, 0})).c_str(), 9), TGA_OK);
    EXPECT_EQ(textureWidth(9), 8);
    EXPECT_EQ(loadTgaTexture(dir.write("c.tga", makeTga({0, 0, 2, 16, 16, 24, 3})).c_str(), 9), TGA_BAD_PIXELS);
    EXPECT_EQ(textureWidth(9), 8);
}

TEST_F(Tga, EveryCorpusFileLoadsOrIsRejectedWithItsCode)
{
    REQUIRE_CORPUS();
    int loaded = 0, rejected = 0;
    for (const std::string& path : listFiles(corpusDir() + "/tga")) {
        const auto file = readBinaryFile(path);
        const int expected = expectedCode(file);
        EXPECT_EQ(loadTgaTexture(path.c_str(), 11), expected) << path;
        EXPECT_EQ(loadTgaTextureFromMemory(file.data(), file.size(), 12), expected) << path << " from memory";
        if (expected != TGA_OK) {
            ++rejected;
            continue;
        }
        ++loaded;
        // Every texel is the file's pixel with blue and red swapped, in file order.
        const int w = file[12] | (file[13] << 8), h = file[14] | (file[15] << 8), bpp = file[16] / 8;
        const GLenum format = bpp == 4 ? GL_RGBA : GL_RGB;
        const size_t offset = 18 + file[0];
        std::vector<unsigned char> want(file.begin() + static_cast<long>(offset),
                                        file.begin() + static_cast<long>(offset) + static_cast<long>(w) * h * bpp);
        for (size_t i = 0; i < want.size(); i += static_cast<size_t>(bpp)) std::swap(want[i], want[i + 2]);
        EXPECT_EQ(texels(11, format, w * h), want) << path;
        EXPECT_EQ(texels(12, format, w * h), want) << path << " from memory";
    }
    EXPECT_GT(loaded, 0);
    EXPECT_GT(rejected, 10);
}
