// Painting tools of the asset generator.
#include "tools/assets/image.h"

#include <algorithm>
#include <cmath>

Image::Image(int w, int h) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4, 0.0f) {}

Mask::Mask(int w, int h) : width(w), height(h), v(static_cast<size_t>(w) * h, 0.0f) {}

float clamp01(float x) { return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x); }

float smoothstep(float edge0, float edge1, float x)
{
    const float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

Rgb mix(const Rgb& a, const Rgb& b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scale(const Rgb& c, float k) { return {c.r * k, c.g * k, c.b * k}; }

Rgb fireRamp(float heat)
{
    struct Stop {
        float at;
        Rgb colour;
    };
    static const Stop stops[] = {
        {0.00f, {0.00f, 0.00f, 0.00f}}, {0.25f, {0.45f, 0.04f, 0.01f}}, {0.50f, {0.90f, 0.30f, 0.03f}},
        {0.75f, {1.00f, 0.68f, 0.18f}}, {0.90f, {1.00f, 0.90f, 0.50f}}, {1.00f, {1.00f, 0.98f, 0.85f}},
    };
    const float h = clamp01(heat);
    for (size_t i = 1; i < sizeof stops / sizeof stops[0]; ++i)
        if (h <= stops[i].at)
            return mix(stops[i - 1].colour, stops[i].colour, (h - stops[i - 1].at) / (stops[i].at - stops[i - 1].at));
    return stops[5].colour;
}

float hash01(uint32_t a, uint32_t b, uint32_t seed)
{
    uint32_t h = a * 0x8da6b343u ^ b * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

namespace {

int wrap(int i, int period) { return ((i % period) + period) % period; }

}  // namespace

float valueNoise(float x, float y, int period, uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    const uint32_t x0 = static_cast<uint32_t>(wrap(ix, period)), x1 = static_cast<uint32_t>(wrap(ix + 1, period));
    const uint32_t y0 = static_cast<uint32_t>(wrap(iy, period)), y1 = static_cast<uint32_t>(wrap(iy + 1, period));
    const float a = hash01(x0, y0, seed), b = hash01(x1, y0, seed);
    const float c = hash01(x0, y1, seed), d = hash01(x1, y1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fbm(float x, float y, int period, int octaves, float gain, uint32_t seed)
{
    float sum = 0.0f, amplitude = 1.0f, total = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * valueNoise(x, y, period, seed + static_cast<uint32_t>(o) * 101u);
        total += amplitude;
        amplitude *= gain;
        x *= 2.0f;
        y *= 2.0f;
        period *= 2;
    }
    return sum / total;
}

namespace {

// One box pass along rows (step 1) or columns (step width), edges clamped.
void boxPass(std::vector<float>& v, int count, int lines, int stride, int lineStride, int radius)
{
    std::vector<float> line(static_cast<size_t>(count));
    const float norm = 1.0f / static_cast<float>(2 * radius + 1);
    for (int l = 0; l < lines; ++l) {
        float* base = &v[static_cast<size_t>(l) * lineStride];
        for (int i = 0; i < count; ++i) line[i] = base[static_cast<size_t>(i) * stride];
        float sum = 0.0f;
        for (int i = -radius; i <= radius; ++i) sum += line[std::clamp(i, 0, count - 1)];
        for (int i = 0; i < count; ++i) {
            base[static_cast<size_t>(i) * stride] = sum * norm;
            sum += line[std::clamp(i + radius + 1, 0, count - 1)] - line[std::clamp(i - radius, 0, count - 1)];
        }
    }
}

}  // namespace

void blur(Mask& mask, int radius)
{
    if (radius <= 0) return;
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(mask.v, mask.width, mask.height, 1, mask.width, radius);
        boxPass(mask.v, mask.height, mask.width, mask.width, 1, radius);
    }
}

void scaleMask(Mask& mask, float k)
{
    for (float& x : mask.v) x *= k;
}

void paintOver(Image& image, const Mask& mask, const Rgb& colour, float opacity)
{
    forEachPixel(image, [&](int x, int y, float* p) {
        const float a = clamp01(mask.at(x, y) * opacity);
        if (a <= 0.0f) return;
        const float outA = a + p[3] * (1.0f - a);
        const float keep = p[3] * (1.0f - a);
        p[0] = (colour.r * a + p[0] * keep) / outA;
        p[1] = (colour.g * a + p[1] * keep) / outA;
        p[2] = (colour.b * a + p[2] * keep) / outA;
        p[3] = outA;
    });
}

void paintUnder(Image& image, const Mask& mask, const Rgb& colour, float opacity)
{
    forEachPixel(image, [&](int x, int y, float* p) {
        const float a = clamp01(mask.at(x, y) * opacity);
        if (a <= 0.0f) return;
        const float add = a * (1.0f - p[3]);
        const float outA = p[3] + add;
        if (outA <= 0.0f) return;
        p[0] = (p[0] * p[3] + colour.r * add) / outA;
        p[1] = (p[1] * p[3] + colour.g * add) / outA;
        p[2] = (p[2] * p[3] + colour.b * add) / outA;
        p[3] = outA;
    });
}

void fillClearColour(Image& image, const Rgb& colour)
{
    forEachPixel(image, [&](int, int, float* p) {
        if (p[3] > 1.0f / 512.0f) return;
        p[0] = colour.r;
        p[1] = colour.g;
        p[2] = colour.b;
    });
}

void discMask(Mask& mask, float cx, float cy, float radius, float softness)
{
    const int x0 = std::max(0, static_cast<int>(cx - radius - softness - 1));
    const int x1 = std::min(mask.width - 1, static_cast<int>(cx + radius + softness + 1));
    const int y0 = std::max(0, static_cast<int>(cy - radius - softness - 1));
    const int y1 = std::min(mask.height - 1, static_cast<int>(cy + radius + softness + 1));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
            const float c = clamp01((radius + softness * 0.5f - d) / std::max(softness, 1e-3f));
            mask.at(x, y) = std::max(mask.at(x, y), c);
        }
}

void ringMask(Mask& mask, float cx, float cy, float radius, float halfWidth, float softness)
{
    const float reach = radius + halfWidth + softness + 1;
    const int x0 = std::max(0, static_cast<int>(cx - reach)), x1 = std::min(mask.width - 1, static_cast<int>(cx + reach));
    const int y0 = std::max(0, static_cast<int>(cy - reach)), y1 = std::min(mask.height - 1, static_cast<int>(cy + reach));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float d = std::fabs(std::hypot(x + 0.5f - cx, y + 0.5f - cy) - radius);
            const float c = clamp01((halfWidth + softness * 0.5f - d) / std::max(softness, 1e-3f));
            mask.at(x, y) = std::max(mask.at(x, y), c);
        }
}

void lineMask(Mask& mask, float ax, float ay, float bx, float by, float halfWidth, float softness)
{
    const float reach = halfWidth + softness + 1;
    const int x0 = std::max(0, static_cast<int>(std::min(ax, bx) - reach));
    const int x1 = std::min(mask.width - 1, static_cast<int>(std::max(ax, bx) + reach));
    const int y0 = std::max(0, static_cast<int>(std::min(ay, by) - reach));
    const int y1 = std::min(mask.height - 1, static_cast<int>(std::max(ay, by) + reach));
    const float dx = bx - ax, dy = by - ay;
    const float len2 = std::max(dx * dx + dy * dy, 1e-6f);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float px = x + 0.5f - ax, py = y + 0.5f - ay;
            const float t = clamp01((px * dx + py * dy) / len2);
            const float d = std::hypot(px - dx * t, py - dy * t);
            const float c = clamp01((halfWidth + softness * 0.5f - d) / std::max(softness, 1e-3f));
            mask.at(x, y) = std::max(mask.at(x, y), c);
        }
}

void polygonMask(Mask& mask, const std::vector<float>& xy)
{
    const size_t n = xy.size() / 2;
    if (n < 3) return;
    float minX = xy[0], maxX = xy[0], minY = xy[1], maxY = xy[1];
    for (size_t i = 0; i < n; ++i) {
        minX = std::min(minX, xy[2 * i]);
        maxX = std::max(maxX, xy[2 * i]);
        minY = std::min(minY, xy[2 * i + 1]);
        maxY = std::max(maxY, xy[2 * i + 1]);
    }
    const int x0 = std::max(0, static_cast<int>(minX) - 1), x1 = std::min(mask.width - 1, static_cast<int>(maxX) + 1);
    const int y0 = std::max(0, static_cast<int>(minY) - 1), y1 = std::min(mask.height - 1, static_cast<int>(maxY) + 1);
    constexpr int SUB = 4;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            int inside = 0;
            for (int sy = 0; sy < SUB; ++sy)
                for (int sx = 0; sx < SUB; ++sx) {
                    const float px = x + (sx + 0.5f) / SUB, py = y + (sy + 0.5f) / SUB;
                    int winding = 0;
                    for (size_t i = 0; i < n; ++i) {
                        const float ax = xy[2 * i], ay = xy[2 * i + 1];
                        const float bx = xy[2 * ((i + 1) % n)], by = xy[2 * ((i + 1) % n) + 1];
                        const float side = (bx - ax) * (py - ay) - (px - ax) * (by - ay);
                        if (ay <= py) {
                            if (by > py && side > 0) ++winding;
                        } else if (by <= py && side < 0) {
                            --winding;
                        }
                    }
                    if (winding != 0) ++inside;
                }
            const float c = static_cast<float>(inside) / (SUB * SUB);
            mask.at(x, y) = std::max(mask.at(x, y), c);
        }
}
