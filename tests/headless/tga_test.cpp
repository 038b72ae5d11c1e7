// The TGA loader: accepted subset, result codes, texels uploaded, the state left.
#include <GL/gl.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "assets/tga.h"
#include "tests/support/support.h"

namespace {

struct TgaSpec {
    int idLength = 0;
    int colourMapType = 0;
    int imageType = 2;
    int width = 4;
    int height = 2;
    int bits = 24;
    int pixelBytesMissing = 0;
};

// A TGA file whose pixel i has channels (i, 2i, 3i, 255 - i) as red, green, blue, alpha.
std::vector<unsigned char> makeTga(const TgaSpec& s)
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

class Tga : public GLTest {};

}  // namespace

TEST_F(Tga, ResultCodesOfTheSubset)
{
    struct Case {
        const char* name;
        TgaSpec spec;
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
        const std::string path = dir.write(std::string(c.name) + ".tga", makeTga(c.spec));
        EXPECT_EQ(loadTgaTexture(path.c_str(), 5), c.code) << c.name;
    }
    EXPECT_EQ(loadTgaTexture(dir.file("missing.tga").c_str(), 5), TGA_CANNOT_OPEN);
    for (size_t n : {size_t(0), size_t(1), size_t(17)}) {
        const std::string path = dir.write("tga-short-" + std::to_string(n) + ".tga", std::vector<unsigned char>(n, 0));
        EXPECT_EQ(loadTgaTexture(path.c_str(), 5), TGA_BAD_TYPE) << n << " bytes";
    }
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
    const std::string path = dir.write("id.tga", makeTga({5, 0, 2, 4, 2, 24, 0}));
    chmod(path.c_str(), 0444);
    ASSERT_EQ(loadTgaTexture(path.c_str(), 8), TGA_OK);
    const auto got = texels(8, GL_RGB, 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(got[3 * i + 0], i);
        EXPECT_EQ(got[3 * i + 2], 3 * i);
    }
}

TEST_F(Tga, ASecondLoadReplacesTheImageAndAFailureKeepsIt)
{
    TempDir dir;
    ASSERT_EQ(loadTgaTexture(dir.write("a.tga", makeTga({0, 0, 2, 4, 2, 24, 0})).c_str(), 9), TGA_OK);
    ASSERT_EQ(loadTgaTexture(dir.write("b.tga", makeTga({0, 0, 2, 8, 8, 32, 0})).c_str(), 9), TGA_OK);
    GLint w = 0;
    glBindTexture(GL_TEXTURE_2D, 9);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(loadTgaTexture(dir.write("c.tga", makeTga({0, 0, 2, 16, 16, 24, 3})).c_str(), 9), TGA_BAD_PIXELS);
    glBindTexture(GL_TEXTURE_2D, 9);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 8);
}

TEST_F(Tga, EveryCorpusFileLoadsOrIsRejectedWithItsCode)
{
    REQUIRE_CORPUS();
    int loaded = 0, rejected = 0;
    for (const std::string& path : listFiles(corpusDir() + "/tga")) {
        const int code = loadTgaTexture(path.c_str(), 11);
        EXPECT_TRUE(code == TGA_OK || (code >= TGA_CANNOT_OPEN && code <= TGA_BAD_PIXELS)) << path << " -> " << code;
        if (code != TGA_OK) {
            ++rejected;
            continue;
        }
        ++loaded;
        // The texels are the file's pixels with blue and red swapped.
        const auto file = readBinaryFile(path);
        const int w = file[12] | (file[13] << 8), h = file[14] | (file[15] << 8), bpp = file[16] / 8;
        const GLenum format = bpp == 4 ? GL_RGBA : GL_RGB;
        const auto got = texels(11, format, w * h);
        const size_t offset = 18 + file[0];
        for (int i : {0, w * h / 2, w * h - 1}) {
            EXPECT_EQ(got[static_cast<size_t>(bpp * i)], file[offset + static_cast<size_t>(bpp * i) + 2]) << path;
            EXPECT_EQ(got[static_cast<size_t>(bpp * i) + 2], file[offset + static_cast<size_t>(bpp * i)]) << path;
        }
    }
    EXPECT_GT(loaded + rejected, 10);
    EXPECT_GT(rejected, 0);
}
