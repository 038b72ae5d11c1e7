// TGA encoding of the generator's pictures.
#include "tools/assets/tga_write.h"

#include "tools/assets/generator.h"

#include <cmath>
#include <cstdio>

namespace {

unsigned char toByte(float v) { return static_cast<unsigned char>(std::lround(clamp01(v) * 255.0f)); }

}  // namespace

bool isTgaSide(int n)
{
    for (int side = 2; side <= 512; side *= 2)
        if (n == side) return true;
    return false;
}

std::vector<unsigned char> encodeTga(const Image& image, int bits)
{
    const int channels = bits / 8;
    std::vector<unsigned char> out(18 + static_cast<size_t>(image.width) * image.height * channels, 0);
    out[2] = 2;  // uncompressed true colour
    out[12] = static_cast<unsigned char>(image.width & 0xff);
    out[13] = static_cast<unsigned char>(image.width >> 8);
    out[14] = static_cast<unsigned char>(image.height & 0xff);
    out[15] = static_cast<unsigned char>(image.height >> 8);
    out[16] = static_cast<unsigned char>(bits);
    out[17] = static_cast<unsigned char>(bits == 32 ? 8 : 0);  // alpha bits; origin bottom left
    size_t o = 18;
    for (int row = image.height - 1; row >= 0; --row)
        for (int x = 0; x < image.width; ++x) {
            const float* p = image.at(x, row);
            out[o++] = toByte(p[2]);
            out[o++] = toByte(p[1]);
            out[o++] = toByte(p[0]);
            if (channels == 4) out[o++] = toByte(p[3]);
        }
    return out;
}

int writeTga(const std::string& path, const Image& image, int bits)
{
    if ((bits != 24 && bits != 32) || !isTgaSide(image.width) || !isTgaSide(image.height)) {
        std::fprintf(stderr, "vantrel-assets: %s: %d x %d at %d bits is not a loadable texture\n", path.c_str(),
                     image.width, image.height, bits);
        return 0;
    }
    const std::vector<unsigned char> bytes = encodeTga(image, bits);
    return writeFileBytes(path, bytes.data(), bytes.size());
}
