// Pictures of the fire scene and the models: four cloud sprites, the banded
// rock, wall and ground of the models, the flame tongue and the sky; and the
// two faces of the tower's cubes.
#include <algorithm>
#include <cmath>

#include "tools/assets/textures.h"

const float SHADE_LEVELS[SHADE_BANDS] = {0.30f, 0.52f, 0.76f, 1.0f};

namespace {

void setPixel(Image& image, int x, int y, const Rgb& c, float a)
{
    float* p = image.at(x, y);
    p[0] = clamp01(c.r);
    p[1] = clamp01(c.g);
    p[2] = clamp01(c.b);
    p[3] = clamp01(a);
}

// A soft puff: alpha from a shape function of the centred coordinates
// (-1..1) times billowing noise, zero at the sprite's border.
template <typename Shape>
void paintCloud(Image& image, uint32_t seed, const Rgb& tint, Shape shape)
{
    const float half = image.width * 0.5f;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const float dx = (x + 0.5f - half) / half, dy = (y + 0.5f - half) / half;
            const float u = static_cast<float>(x) / image.width, v = static_cast<float>(y) / image.height;
            const float billow = fbm(u * 4.0f, v * 4.0f, 4, 5, 0.55f, seed);
            const float fine = fbm(u * 8.0f, v * 8.0f, 8, 3, 0.5f, seed + 7u);
            const float body = shape(dx, dy);
            const float border = smoothstep(1.0f, 0.86f, std::max(std::fabs(dx), std::fabs(dy)));
            const float density = clamp01((body * (0.45f + 0.9f * billow) - 0.18f) * 1.15f) * border;
            const float shade = 0.78f + 0.22f * fine;
            setPixel(image, x, y, scale(tint, shade), density * (0.7f + 0.3f * fine));
        }
}

float radial(float dx, float dy, float rx, float ry) { return std::sqrt((dx * dx) / (rx * rx) + (dy * dy) / (ry * ry)); }

// Fills the bands of a shaded texture: pattern(u, v) gives the surface's
// colour and how much of it glows by itself (unaffected by the band's light).
template <typename Pattern>
void paintBands(Image& image, Pattern pattern)
{
    const int bandHeight = image.height / SHADE_BANDS;
    for (int y = 0; y < image.height; ++y) {
        const int fromBottom = image.height - 1 - y;
        const int band = fromBottom / bandHeight;
        const float v = (fromBottom % bandHeight + 0.5f) / bandHeight;
        for (int x = 0; x < image.width; ++x) {
            const float u = (x + 0.5f) / image.width;
            float glow = 0.0f;
            const Rgb surface = pattern(u, v, &glow);
            const float light = SHADE_LEVELS[band];
            setPixel(image, x, y,
                     {surface.r * light + glow, surface.g * light + glow * 0.45f, surface.b * light + glow * 0.08f}, 1.0f);
        }
    }
}

// Distance from (u, v) to the nearest and second nearest of a tileable set of
// jittered points, cells per side n; used for cracks and cells.
void cellDistances(float u, float v, int n, uint32_t seed, float* nearest, float* second)
{
    const float x = u * n, y = v * n;
    const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    float d1 = 9.0f, d2 = 9.0f;
    for (int oy = -1; oy <= 1; ++oy)
        for (int ox = -1; ox <= 1; ++ox) {
            const int gx = cx + ox, gy = cy + oy;
            const uint32_t wx = static_cast<uint32_t>(((gx % n) + n) % n), wy = static_cast<uint32_t>(((gy % n) + n) % n);
            const float px = gx + 0.15f + 0.7f * hash01(wx, wy, seed), py = gy + 0.15f + 0.7f * hash01(wx, wy, seed + 1u);
            const float d = std::hypot(px - x, py - y);
            if (d < d1) {
                d2 = d1;
                d1 = d;
            } else if (d < d2) {
                d2 = d;
            }
        }
    *nearest = d1;
    *second = d2;
}

}  // namespace

// Clouds: round billow, long wisp, a cluster of lobes, a ragged smoke ring.
void paintCloud1(Image& image, const Fonts&)
{
    paintCloud(image, 41u, {1.0f, 0.93f, 0.86f}, [](float dx, float dy) { return smoothstep(0.95f, 0.15f, radial(dx, dy, 1, 1)); });
}

void paintCloud2(Image& image, const Fonts&)
{
    paintCloud(image, 42u, {0.95f, 0.88f, 0.84f}, [](float dx, float dy) {
        const float bend = dy + 0.18f * std::sin(dx * 2.6f);
        return smoothstep(0.95f, 0.2f, radial(dx, bend, 0.95f, 0.38f));
    });
}

void paintCloud3(Image& image, const Fonts&)
{
    paintCloud(image, 43u, {1.0f, 0.90f, 0.80f}, [](float dx, float dy) {
        const float lobes[4][3] = {{-0.35f, 0.12f, 0.45f}, {0.25f, 0.2f, 0.5f}, {0.0f, -0.25f, 0.5f}, {0.45f, -0.2f, 0.35f}};
        float body = 0.0f;
        for (const auto& l : lobes) body = std::max(body, smoothstep(1.0f, 0.25f, radial(dx - l[0], dy - l[1], l[2], l[2])));
        return body;
    });
}

void paintCloud4(Image& image, const Fonts&)
{
    paintCloud(image, 44u, {0.92f, 0.90f, 0.88f}, [](float dx, float dy) {
        const float r = radial(dx, dy, 1, 0.8f);
        const float ring = std::exp(-std::pow((r - 0.55f) / 0.22f, 2.0f));
        return ring * smoothstep(1.0f, 0.7f, r);
    });
}

// Rock: fissured, weathered stone in dark warm greys; tiles across and in each band.
void paintRock(Image& image, const Fonts&)
{
    paintBands(image, [](float u, float v, float* glow) {
        const float blotch = fbm(u * 4.0f, v * 1.0f, 4, 6, 0.6f, 51u);
        const float grain = fbm(u * 32.0f, v * 8.0f, 32, 3, 0.5f, 53u);
        const float fissure = 1.0f - std::fabs(2.0f * fbm(u * 6.0f, v * 1.5f, 6, 5, 0.5f, 52u) - 1.0f);
        const float k = clamp01(0.2f + 0.7f * blotch + 0.25f * (grain - 0.5f) - 0.6f * std::pow(fissure, 8.0f));
        *glow = 0.25f * std::pow(fissure, 24.0f);  // embers caught in the deepest cracks
        return mix({0.07f, 0.05f, 0.045f}, {0.50f, 0.40f, 0.33f}, k);
    });
}

// Ground: ash-grey cells split by cracks that glow with the heat beneath.
void paintGround(Image& image, const Fonts&)
{
    paintBands(image, [](float u, float v, float* glow) {
        float d1 = 0.0f, d2 = 0.0f;
        cellDistances(u, v * 0.25f + 0.0f, 8, 61u, &d1, &d2);
        const float edge = d2 - d1;
        const float grain = fbm(u * 16.0f, v * 4.0f, 16, 4, 0.5f, 62u);
        const float crack = smoothstep(0.09f, 0.01f, edge);
        const float rim = smoothstep(0.2f, 0.05f, edge);
        *glow = crack * (0.55f + 0.45f * grain);
        const Rgb ash = mix({0.16f, 0.13f, 0.12f}, {0.42f, 0.36f, 0.32f}, grain);
        return scale(ash, 1.0f - 0.5f * rim);
    });
}

// Stone wall: courses of blocks of uneven length with dark joints.
void paintWall(Image& image, const Fonts&)
{
    paintBands(image, [](float u, float v, float* glow) {
        constexpr int COURSES = 2;  // rows of blocks per band
        const float row = v * COURSES;
        const int course = static_cast<int>(row);
        const float inRow = row - course;
        const float shift = hash01(static_cast<uint32_t>(course), 0, 71u) * 0.5f;
        const float along = (u + shift) * 4.0f;  // four blocks across
        const int block = static_cast<int>(std::floor(along));
        const float inBlock = along - std::floor(along);
        const float joint = std::min(std::min(inRow, 1.0f - inRow) * 5.0f, std::min(inBlock, 1.0f - inBlock) * 9.0f);
        const float mortar = smoothstep(0.05f, 0.35f, joint);
        const float tint = hash01(static_cast<uint32_t>(block & 3), static_cast<uint32_t>(course), 72u);
        const float grain = fbm(u * 16.0f, v * 4.0f, 16, 4, 0.5f, 73u);
        *glow = 0.0f;
        const Rgb stone = mix({0.20f, 0.13f, 0.10f}, {0.46f, 0.33f, 0.24f}, 0.4f * tint + 0.6f * grain);
        return mix({0.05f, 0.035f, 0.03f}, stone, mortar);
    });
}

float flameHalfWidth(float v)
{
    const float vc = clamp01(v);
    return 0.44f * std::sin(1.5707963f * std::min(1.0f, vc / 0.22f + 0.25f)) * std::pow(1.0f - vc, 0.7f);
}

float flameLean(float v) { return 0.05f * clamp01(v); }

// Flame tongue, upright: the base at the bottom. Alpha is the tongue's shape,
// white-hot at the root, licking into separate wisps towards the tip.
void paintFlame(Image& image, const Fonts&)
{
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const float u = (x + 0.5f) / image.width, v = 1.0f - (y + 0.5f) / image.height;  // v = 0 at the base
            const float lean = flameLean(v) * 2.0f * (fbm(v * 3.0f, 0.3f, 3, 3, 0.5f, 81u) - 0.5f);
            const float across = std::fabs(u - 0.5f - lean) / std::max(flameHalfWidth(v), 1e-4f);
            const float tongues = fbm(u * 5.0f, v * 2.0f, 5, 5, 0.55f, 82u);
            const float wisps = fbm(u * 9.0f, v * 3.0f, 9, 3, 0.5f, 83u);
            const float body = smoothstep(1.0f, 0.5f - 0.3f * tongues, across);
            const float split = 1.0f - v * v * smoothstep(0.35f, 0.7f, wisps) * 1.2f;
            const float heat = clamp01((1.0f - across * 0.85f) * (1.08f - v * 0.95f) + 0.35f * (tongues - 0.5f));
            const float fadeBase = smoothstep(0.0f, 0.07f, v);
            setPixel(image, x, y, fireRamp(0.3f + 0.7f * heat),
                     body * clamp01(split) * fadeBase * (0.5f + 0.5f * heat));
        }
    fillClearColour(image, {0.5f, 0.08f, 0.01f});
}

// Sky band of a dome: a horizon of fire at the bottom under rolling smoke,
// black towards the zenith at the top. Tiles around.
void paintSky(Image& image, const Fonts&)
{
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const float u = (x + 0.5f) / image.width, v = 1.0f - (y + 0.5f) / image.height;  // v = 0 at the horizon
            const float smoke = fbm(u * 8.0f, v * 3.0f, 8, 6, 0.55f, 91u);
            const float swirl = fbm(u * 16.0f + smoke * 2.0f, v * 5.0f, 16, 3, 0.5f, 92u);
            const float horizon = std::exp(-v * 5.0f);
            // Towards the zenith the dome's triangles meet in a point: keep that part plain.
            const float plain = 1.0f - smoothstep(0.55f, 0.92f, v);
            const float heat = clamp01(0.6f * horizon + (0.42f * smoke * smoke * (1.0f - 0.7f * v) + 0.12f * swirl * horizon) * plain);
            const Rgb c = fireRamp(heat * 0.85f);
            setPixel(image, x, y, {c.r + 0.02f, c.g + 0.008f, c.b + 0.012f}, 1.0f);
        }
}

// Cube face k: a dark bronze plate with a glowing frame and a sigil of two rings.
void paintCubeK(Image& image, const Fonts&)
{
    const float w = static_cast<float>(image.width);
    Mask lines(image.width, image.height);
    const float inset = w * 0.09f;
    lineMask(lines, inset, inset, w - inset, inset, 2.0f, 1.5f);
    lineMask(lines, w - inset, inset, w - inset, w - inset, 2.0f, 1.5f);
    lineMask(lines, w - inset, w - inset, inset, w - inset, 2.0f, 1.5f);
    lineMask(lines, inset, w - inset, inset, inset, 2.0f, 1.5f);
    ringMask(lines, w * 0.5f, w * 0.5f, w * 0.3f, 2.5f, 1.5f);
    ringMask(lines, w * 0.5f, w * 0.5f, w * 0.22f, 1.2f, 1.5f);
    for (int i = 0; i < 4; ++i) {
        const float a = 0.7853982f + i * 1.5707963f;
        lineMask(lines, w * 0.5f + std::cos(a) * w * 0.22f, w * 0.5f + std::sin(a) * w * 0.22f,
                 w * 0.5f + std::cos(a) * w * 0.41f, w * 0.5f + std::sin(a) * w * 0.41f, 1.6f, 1.5f);
    }
    discMask(lines, w * 0.5f, w * 0.5f, w * 0.06f, 2.0f);
    Mask glow = lines;
    blur(glow, 6);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const float u = (x + 0.5f) / w, v = (y + 0.5f) / w;
            const float metal = fbm(u * 8.0f, v * 8.0f, 8, 5, 0.5f, 101u);
            const float bevel = std::min(std::min(u, 1.0f - u), std::min(v, 1.0f - v));
            const float edge = smoothstep(0.0f, 0.04f, bevel);
            Rgb c = mix({0.06f, 0.04f, 0.03f}, {0.36f, 0.22f, 0.12f}, metal * edge);
            const float g = clamp01(glow.at(x, y) * 2.2f), l = lines.at(x, y);
            c = {c.r + g * 0.9f + l * 0.6f, c.g + g * 0.35f + l * 0.55f, c.b + g * 0.05f + l * 0.3f};
            setPixel(image, x, y, c, 1.0f);
        }
}

// Cube face d: black basalt split by molten veins, with a bright rim.
void paintCubeD(Image& image, const Fonts&)
{
    const float w = static_cast<float>(image.width);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const float u = (x + 0.5f) / w, v = (y + 0.5f) / w;
            float d1 = 0.0f, d2 = 0.0f;
            cellDistances(u, v, 5, 111u, &d1, &d2);
            const float vein = smoothstep(0.12f, 0.0f, d2 - d1);
            const float heat = fbm(u * 4.0f, v * 4.0f, 4, 4, 0.5f, 112u);
            const float rock = fbm(u * 16.0f, v * 16.0f, 16, 3, 0.5f, 113u);
            const float bevel = std::min(std::min(u, 1.0f - u), std::min(v, 1.0f - v));
            const float rim = smoothstep(0.035f, 0.0f, bevel);
            Rgb c = mix({0.03f, 0.025f, 0.025f}, {0.16f, 0.12f, 0.11f}, rock);
            const Rgb hot = fireRamp(0.55f + 0.4f * heat);
            c = mix(c, hot, clamp01(vein * (0.6f + 0.6f * heat) + rim * 0.9f));
            setPixel(image, x, y, c, 1.0f);
        }
}
