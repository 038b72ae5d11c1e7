// Pictures for the asset pack: float RGBA images drawn top row first, with the
// few painting tools the textures need (gradients, value noise, soft shapes,
// blurs, glows). Everything is plain arithmetic on fixed inputs, so a picture
// comes out the same on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Rgb {
    float r, g, b;
};

// A colour layer plus coverage. Colours are straight (not premultiplied).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<float> rgba;  // 4 floats per pixel, row 0 at the top

    Image() = default;
    Image(int w, int h);
    float* at(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    const float* at(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// One float per pixel: coverage masks, heights, glows.
struct Mask {
    int width = 0;
    int height = 0;
    std::vector<float> v;

    Mask() = default;
    Mask(int w, int h);
    float& at(int x, int y) { return v[static_cast<size_t>(y) * width + x]; }
    float at(int x, int y) const { return v[static_cast<size_t>(y) * width + x]; }
};

float clamp01(float x);
float smoothstep(float edge0, float edge1, float x);
Rgb mix(const Rgb& a, const Rgb& b, float t);
Rgb scale(const Rgb& c, float k);

// The fire ramp: black, deep red, orange, yellow, near white as heat goes 0 to 1.
Rgb fireRamp(float heat);

// Lattice value noise in 0..1, tileable with the given period (in lattice cells),
// seeded so different textures get different patterns.
float valueNoise(float x, float y, int period, uint32_t seed);
// Sum of octaves of value noise, each twice the frequency and gain times the
// amplitude of the one before; normalised to 0..1. Tiles with period cells.
float fbm(float x, float y, int period, int octaves, float gain, uint32_t seed);
// A small deterministic hash of integers, 0..1.
float hash01(uint32_t a, uint32_t b, uint32_t seed);

// Blurs a mask in place with three box passes of the given radius (about a Gaussian).
void blur(Mask& mask, int radius);
// Multiplies every value by k.
void scaleMask(Mask& mask, float k);

// Calls f(x, y, pixel) for every pixel of the image, row by row from the top.
template <class F>
void forEachPixel(Image& image, F f)
{
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) f(x, y, image.at(x, y));
}

// Paints colour over the image with the mask as coverage (src-over, straight alpha).
void paintOver(Image& image, const Mask& mask, const Rgb& colour, float opacity = 1.0f);
// Lays a glow of the given colour under whatever the image already holds
// (dst-over), so text keeps its own colour and the halo shows around it.
void paintUnder(Image& image, const Mask& mask, const Rgb& colour, float opacity = 1.0f);
// Sets every pixel whose coverage is (nearly) zero to the given colour, so that
// linear filtering at the edge of a sprite blends towards it instead of black.
void fillClearColour(Image& image, const Rgb& colour);

// Soft disc, ring and line-segment coverage, drawn into a mask with max().
void discMask(Mask& mask, float cx, float cy, float radius, float softness);
void ringMask(Mask& mask, float cx, float cy, float radius, float halfWidth, float softness);
void lineMask(Mask& mask, float x0, float y0, float x1, float y1, float halfWidth, float softness);
// A filled polygon (non-zero winding, so a star drawn in one stroke is solid)
// with 4 x 4 supersampling, drawn with max().
void polygonMask(Mask& mask, const std::vector<float>& xy);
