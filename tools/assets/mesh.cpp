// Mesh building for the generator's scenes.
#include "tools/assets/mesh.h"

#include <algorithm>
#include <cmath>

#include "tools/assets/image.h"
#include "tools/assets/textures.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// Vertices are merged on a grid of 1/1000 model unit, texture vertices of 1/100000.
long long key(double v, double grid) { return std::llround(v * grid); }

}  // namespace

V3 operator+(const V3& a, const V3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(const V3& a, const V3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(const V3& a, double k) { return {a.x * k, a.y * k, a.z * k}; }
double dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(const V3& a, const V3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(const V3& a) { return std::sqrt(dot(a, a)); }
V3 normalised(const V3& a)
{
    const double l = length(a);
    return l > 0 ? a * (1.0 / l) : V3{0, 1, 0};
}
V3 turnY(const V3& a, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    return {a.x * c + a.z * s, a.y, -a.x * s + a.z * c};
}

void MeshNode::addTriangle(const V3& a, const V3& b, const V3& c, const UV& ta, const UV& tb, const UV& tc)
{
    const V3* corners[3] = {&a, &b, &c};
    const UV* texs[3] = {&ta, &tb, &tc};
    std::array<int, 3> face{}, tface{};
    for (int i = 0; i < 3; ++i) {
        const V3& p = *corners[i];
        const std::array<long long, 3> k = {key(p.x, 1000), key(p.y, 1000), key(p.z, 1000)};
        auto found = vertexIndex.find(k);
        if (found == vertexIndex.end()) {
            found = vertexIndex.emplace(k, static_cast<int>(vertices.size())).first;
            vertices.push_back(p);
        }
        face[i] = found->second;
        const UV& t = *texs[i];
        const std::array<long long, 2> kt = {key(t.u, 100000), key(t.v, 100000)};
        auto tfound = texIndex.find(kt);
        if (tfound == texIndex.end()) {
            tfound = texIndex.emplace(kt, static_cast<int>(texVertices.size())).first;
            texVertices.push_back(t);
        }
        tface[i] = tfound->second;
    }
    faces.push_back(face);
    texFaces.push_back(tface);
}

double faceLight(const Lighting& lighting, const V3& centre, const V3& normal)
{
    double light = lighting.ambient + lighting.sun * std::max(0.0, dot(normal, normalised(lighting.sunDirection)));
    if (lighting.point > 0) {
        const V3 toLight = lighting.pointPosition - centre;
        const double d = length(toLight);
        const double falloff = 1.0 / (1.0 + (d / lighting.pointRange) * (d / lighting.pointRange));
        light += lighting.point * falloff * std::max(0.0, dot(normal, normalised(toLight)));
    }
    return std::min(1.0, light);
}

int lightBand(double brightness)
{
    int best = 0;
    for (int i = 1; i < SHADE_BANDS; ++i)
        if (std::fabs(SHADE_LEVELS[i] - brightness) < std::fabs(SHADE_LEVELS[best] - brightness)) best = i;
    return best;
}

void SurfaceBuilder::triangle(const V3& a, const V3& b, const V3& c)
{
    V3 normal = normalised(cross(b - a, c - a));
    const V3 centre = (a + b + c) * (1.0 / 3.0);
    if (dot(normal, centre - inside) < 0) normal = normal * -1.0;
    // Planar mapping along the normal's main axis.
    const double ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    const V3* p[3] = {&a, &b, &c};
    UV t[3];
    for (int i = 0; i < 3; ++i) {
        if (ay >= ax && ay >= az)
            t[i] = {p[i]->x / look.repeat, p[i]->z / look.repeat};
        else if (ax >= az)
            t[i] = {p[i]->z / look.repeat, p[i]->y / look.repeat};
        else
            t[i] = {p[i]->x / look.repeat, p[i]->y / look.repeat};
    }
    const double uMin = std::floor(std::min({t[0].u, t[1].u, t[2].u}));
    for (UV& uv : t) uv.u -= uMin;
    if (look.banded) {
        // Fit the face's v into one band: start at the band's foot and squeeze
        // faces taller than one repeat.
        const double vMin = std::min({t[0].v, t[1].v, t[2].v});
        const double vSpan = std::max({t[0].v, t[1].v, t[2].v}) - vMin;
        const double squeeze = vSpan > 1.0 ? 1.0 / vSpan : 1.0;
        const int band = lightBand(faceLight(light, centre, normal));
        for (UV& uv : t) {
            const double local = (uv.v - vMin) * squeeze;
            uv.v = (band + SHADE_BAND_MARGIN + local * (1.0 - 2.0 * SHADE_BAND_MARGIN)) / SHADE_BANDS;
        }
    } else {
        const double vMin = std::floor(std::min({t[0].v, t[1].v, t[2].v}));
        for (UV& uv : t) uv.v -= vMin;
    }
    target.addTriangle(a, b, c, t[0], t[1], t[2]);
}

void SurfaceBuilder::quad(const V3& a, const V3& b, const V3& c, const V3& d)
{
    triangle(a, b, c);
    triangle(a, c, d);
}

void SurfaceBuilder::gridQuad(const V3& a, const V3& b, const V3& c, const V3& d, double maxEdge)
{
    const int nu = std::max(1, static_cast<int>(std::ceil(std::max(length(b - a), length(c - d)) / maxEdge)));
    const int nv = std::max(1, static_cast<int>(std::ceil(std::max(length(d - a), length(c - b)) / maxEdge)));
    auto at = [&](int i, int j) {
        const double s = static_cast<double>(i) / nu, t = static_cast<double>(j) / nv;
        const V3 bottom = a + (b - a) * s, top = d + (c - d) * s;
        return bottom + (top - bottom) * t;
    };
    for (int j = 0; j < nv; ++j)
        for (int i = 0; i < nu; ++i) quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
}

void addBox(SurfaceBuilder& b, const V3& centre, const V3& half, double turn, double maxEdge)
{
    V3 corner[8];
    for (int i = 0; i < 8; ++i) {
        const V3 local = {(i & 1) ? half.x : -half.x, (i & 2) ? half.y : -half.y, (i & 4) ? half.z : -half.z};
        corner[i] = centre + turnY(local, turn);
    }
    b.setInside(centre);
    static const int sides[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    for (const auto& s : sides) b.gridQuad(corner[s[0]], corner[s[1]], corner[s[2]], corner[s[3]], maxEdge);
}

void addColumn(SurfaceBuilder& b, const V3& base, double bottomRadius, double topRadius, double height, int sides,
               int rings, double turn)
{
    b.setInside(base + V3{0, height * 0.5, 0});
    auto at = [&](int i, int j) {
        const double a = turn + 2 * PI * i / sides;
        const double t = static_cast<double>(j) / rings;
        const double r = bottomRadius + (topRadius - bottomRadius) * t;
        return base + V3{std::cos(a) * r, height * t, std::sin(a) * r};
    };
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < sides; ++i) b.quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
    const V3 top = base + V3{0, height, 0};
    for (int i = 0; i < sides; ++i) {
        b.triangle(top, at(i + 1, rings), at(i, rings));
        b.triangle(base, at(i, 0), at(i + 1, 0));
    }
}

void addBoulder(SurfaceBuilder& b, const V3& centre, double radius, double squash, unsigned seed)
{
    constexpr int RINGS = 8, SIDES = 12;
    b.setInside(centre);
    auto at = [&](int i, int j) {
        const double lat = -PI / 2 + PI * j / RINGS, lon = 2 * PI * (i % SIDES) / SIDES;
        const V3 dir = {std::cos(lat) * std::cos(lon), std::sin(lat), std::cos(lat) * std::sin(lon)};
        const float n = fbm(static_cast<float>(dir.x * 1.7 + 3), static_cast<float>(dir.z * 1.7 + dir.y * 0.9 + 3), 64, 3,
                            0.5f, seed);
        const double r = radius * (0.7 + 0.6 * n);
        return centre + V3{dir.x * r, dir.y * r * squash, dir.z * r};
    };
    for (int j = 0; j < RINGS; ++j)
        for (int i = 0; i < SIDES; ++i) {
            if (j == 0)
                b.triangle(at(i, 0), at(i + 1, 1), at(i, 1));
            else if (j == RINGS - 1)
                b.triangle(at(i, j), at(i + 1, j), at(i, j + 1));
            else
                b.quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
        }
}

void addArch(SurfaceBuilder& b, const V3& centre, const V3& axis, double radius, double thickness, int segments)
{
    const V3 along = normalised(axis);
    const V3 depth = normalised(cross(along, V3{0, 1, 0})) * (thickness * 0.5);
    const double inner = radius - thickness * 0.5, outer = radius + thickness * 0.5;
    for (int i = 0; i < segments; ++i) {
        const double a0 = PI * i / segments, a1 = PI * (i + 1) / segments;
        auto point = [&](double a, double r, double side) {
            return centre + along * (std::cos(a) * r) + V3{0, std::sin(a) * r, 0} + depth * side;
        };
        b.setInside(centre + along * (std::cos((a0 + a1) * 0.5) * radius) + V3{0, std::sin((a0 + a1) * 0.5) * radius, 0});
        b.quad(point(a0, outer, -1), point(a1, outer, -1), point(a1, outer, 1), point(a0, outer, 1));
        b.quad(point(a0, inner, 1), point(a1, inner, 1), point(a1, inner, -1), point(a0, inner, -1));
        b.quad(point(a0, inner, -1), point(a1, inner, -1), point(a1, outer, -1), point(a0, outer, -1));
        b.quad(point(a0, outer, 1), point(a1, outer, 1), point(a1, inner, 1), point(a0, inner, 1));
    }
}

void addRing(SurfaceBuilder& b, const V3& centre, const V3& across, double radius, double tube, int segments, int sides)
{
    const V3 x = normalised(across), y = {0, 1, 0};
    const V3 z = normalised(cross(x, y));
    auto at = [&](int i, int j) {
        const double a = 2 * PI * i / segments, c = 2 * PI * j / sides;
        const V3 spoke = x * std::cos(a) + y * std::sin(a);
        return centre + spoke * (radius + tube * std::cos(c)) + z * (tube * std::sin(c));
    };
    for (int i = 0; i < segments; ++i) {
        const double a = 2 * PI * (i + 0.5) / segments;
        b.setInside(centre + (x * std::cos(a) + y * std::sin(a)) * radius);
        for (int j = 0; j < sides; ++j) b.quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
    }
}
