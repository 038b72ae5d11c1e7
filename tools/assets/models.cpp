// The fire scene's landscape and fire model, and writeModels.
//
// Scene 2 looks at the origin from a base camera 70 units out along -x, and
// its shots circle within about 20 units of the origin at heights from -10 to
// 17, one rising to 100. So the fire stands at the origin on a stepped dais
// whose top lies below every eye; a ring of columns, gates and a broken wall
// surround it, with hills, standing stones and boulders further out and a sky
// dome over everything, so that every direction a shot looks holds something.
// The base camera's approach along the -x axis is kept clear.
#include "tools/assets/models.h"

#include <cmath>

#include "tools/assets/generator.h"
#include "tools/assets/image.h"
#include "tools/assets/textures.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// Landscape, model units.
constexpr double GROUND_Y = -25.0;        // the plain under the fire
constexpr double TERRAIN_EXTENT = 1100.0; // half side of the height field
constexpr int TERRAIN_CELLS = 60;         // per side
constexpr double SLOPE_RADIUS = 380.0;    // beyond this the ground is rock
constexpr double SKY_RADIUS = 1500.0;
constexpr double DAIS_TOP = -16.0;        // below the lowest eye (-10)
constexpr double COLUMN_RING = 55.0;
constexpr int COLUMN_COUNT = 14;
constexpr double APPROACH_CLEAR = 22.0 * PI / 180.0;  // no column within this angle of -x
constexpr double WALL_RING = 140.0;
constexpr double GATE_RING = 95.0;

float terrainNoise(double x, double z, unsigned seed, double size)
{
    return fbm(static_cast<float>(x / size + 64.0), static_cast<float>(z / size + 64.0), 4096, 5, 0.5f, seed);
}

double landscapeHeight(double x, double z)
{
    const double r = std::hypot(x, z);
    const double hills = std::pow(smoothstep(150.0f, 900.0f, static_cast<float>(r)), 1.4) * 420.0 *
                         (0.35 + terrainNoise(x, z, 201u, 300.0));
    const double ripple = 3.0 * terrainNoise(x, z, 202u, 40.0) * smoothstep(40.0f, 90.0f, static_cast<float>(r));
    return GROUND_Y + hills + ripple;
}

// Angle of a point around the origin measured from -x, 0..pi.
double angleFromApproach(double x, double z) { return std::fabs(std::atan2(z, -x)); }

unsigned seedOf(int i, unsigned salt) { return static_cast<unsigned>(i) * 7919u + salt; }
double hashed(int i, unsigned salt) { return hash01(static_cast<uint32_t>(i), salt, 301u); }

bool beyondThePlain(double x, double z) { return std::hypot(x, z) > SLOPE_RADIUS; }

const MaterialDesc PACK_MATERIALS[PACK_MATERIAL_COUNT] = {
    {"Roca", "maps/roca.tga", {0.6f, 0.5f, 0.45f}},  {"Suelo", "maps/suelo.tga", {0.5f, 0.4f, 0.35f}},
    {"Muro", "maps/muro.tga", {0.6f, 0.5f, 0.4f}},   {"Cielo", "maps/cielo.tga", {0.8f, 0.3f, 0.1f}},
    {"Fuego", "maps/fuego.tga", {1.0f, 0.6f, 0.2f}},
};

}  // namespace

const MaterialDesc& packMaterial(PackMaterial which) { return PACK_MATERIALS[which]; }

std::vector<MaterialDesc> packMaterials(int count) { return std::vector<MaterialDesc>(PACK_MATERIALS, PACK_MATERIALS + count); }

void addHeightField(SurfaceBuilder& plain, SurfaceBuilder& rock, double extent, int cells, double (*height)(double, double),
                    bool (*rocky)(double, double))
{
    const double cell = 2 * extent / cells;
    auto ground = [&](int i, int j) {
        const double x = -extent + i * cell, z = -extent + j * cell;
        return V3{x, height(x, z), z};
    };
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i) {
            const double cx = -extent + (i + 0.5) * cell, cz = -extent + (j + 0.5) * cell;
            SurfaceBuilder& faces = rocky(cx, cz) ? rock : plain;
            faces.quad(ground(i, j), ground(i, j + 1), ground(i + 1, j + 1), ground(i + 1, j));
        }
}

void addSkyDome(MeshNode& node, double radius, double horizonY, int sides, int rings)
{
    constexpr double BELOW = -12.0 * PI / 180.0;  // the dome starts under the horizon
    constexpr double REPEATS = 3.0;               // times the sky picture goes round
    auto at = [&](int i, int j) {
        const double e = BELOW + (PI / 2 - BELOW) * j / rings, a = 2 * PI * i / sides;
        return V3{std::cos(e) * std::cos(a) * radius, horizonY + std::sin(e) * radius, std::cos(e) * std::sin(a) * radius};
    };
    auto tex = [&](int i, int j) {
        const double e = BELOW + (PI / 2 - BELOW) * j / rings;
        const double v = e <= 0 ? 0.02 : 0.02 + 0.96 * std::pow(e / (PI / 2), 0.7);
        return UV{REPEATS * i / sides, v};
    };
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < sides; ++i) {
            node.addTriangle(at(i, j), at(i + 1, j), at(i + 1, j + 1), tex(i, j), tex(i + 1, j), tex(i + 1, j + 1));
            if (j < rings - 1) node.addTriangle(at(i, j), at(i + 1, j + 1), at(i, j + 1), tex(i, j), tex(i + 1, j + 1), tex(i, j + 1));
        }
}

void addFlameTongue(MeshNode& node, const V3& base, const V3& across, double width, double height)
{
    constexpr int ROWS = 8;
    constexpr double MARGIN = 0.04;  // u beyond the outline, for its soft edge
    const V3 side = normalised(across);
    auto edge = [&](int row, double sign) {
        const float v = static_cast<float>(row) / ROWS;
        const double reach = std::min(0.5, flameHalfWidth(v) + flameLean(v) + MARGIN);
        const double u = 0.5 + sign * reach;
        return std::make_pair(base + side * ((u - 0.5) * width) + V3{0, height * v, 0}, UV{u, v * 0.995 + 0.002});
    };
    for (int row = 0; row < ROWS; ++row) {
        const float v0 = static_cast<float>(row) / ROWS, v1 = static_cast<float>(row + 1) / ROWS;
        const auto l0 = edge(row, -1), r0 = edge(row, 1), l1 = edge(row + 1, -1), r1 = edge(row + 1, 1);
        const V3 c0 = base + V3{0, height * v0, 0}, c1 = base + V3{0, height * v1, 0};
        const UV tc0{0.5, v0 * 0.995 + 0.002}, tc1{0.5, v1 * 0.995 + 0.002};
        node.addTriangle(l0.first, c0, c1, l0.second, tc0, tc1);
        node.addTriangle(l0.first, c1, l1.first, l0.second, tc1, l1.second);
        node.addTriangle(c0, r0.first, r1.first, tc0, r0.second, r1.second);
        node.addTriangle(c0, r1.first, c1, tc0, r1.second, tc1);
    }
}

SceneDesc buildFireLandscape()
{
    SceneDesc scene;
    scene.fileName = "escena01.max";
    scene.materials = packMaterials(MAT_SKY + 1);
    Lighting light;
    light.ambient = 0.24;
    light.sunDirection = {-0.4, 0.55, -0.6};
    light.sun = 0.32;
    light.pointPosition = {0, 8, 0};
    light.point = 0.95;
    light.pointRange = 110.0;

    MeshNode plain, slopes, dais, columns, gates, wall, stones, sky;
    plain.name = "Plain", plain.material = MAT_GROUND;
    slopes.name = "Hills", slopes.material = MAT_ROCK;
    dais.name = "Altar", dais.material = MAT_WALL;
    columns.name = "Columns", columns.material = MAT_WALL;
    gates.name = "Gates", gates.material = MAT_WALL;
    wall.name = "RuinWall", wall.material = MAT_WALL;
    stones.name = "Stones", stones.material = MAT_ROCK;
    sky.name = "Sky", sky.material = MAT_SKY;

    // The ground: a height field, rock beyond the plain.
    const Surface groundLook{48.0, true};
    const Surface rockLook{90.0, true};
    SurfaceBuilder plainFaces(plain, light, groundLook), slopeFaces(slopes, light, rockLook);
    addHeightField(plainFaces, slopeFaces, TERRAIN_EXTENT, TERRAIN_CELLS, landscapeHeight, beyondThePlain);

    // The stepped dais and the fire bowl at the origin.
    const Surface stoneLook{40.0, true};
    SurfaceBuilder daisFaces(dais, light, stoneLook);
    addColumn(daisFaces, {0, GROUND_Y - 4, 0}, 34, 34, 7, 24, 1);
    addColumn(daisFaces, {0, GROUND_Y + 3, 0}, 28, 28, 3, 24, 1);
    addColumn(daisFaces, {0, GROUND_Y + 6, 0}, 22, 22, 3, 24, 1);
    addColumn(daisFaces, {0, DAIS_TOP, 0}, 4.5, 3.5, 7, 12, 1);
    addColumn(daisFaces, {0, DAIS_TOP + 7, 0}, 3.5, 9.5, 5, 16, 1);
    addColumn(daisFaces, {0, DAIS_TOP + 11.5, 0}, 9.8, 10.4, 1.2, 16, 1);

    // A ring of columns, some whole under beams, some broken.
    SurfaceBuilder columnFaces(columns, light, stoneLook);
    std::vector<int> whole(COLUMN_COUNT, 0);
    for (int i = 0; i < COLUMN_COUNT; ++i) {
        const double a = 2 * PI * (i + 0.5) / COLUMN_COUNT;
        const double x = std::cos(a) * COLUMN_RING, z = std::sin(a) * COLUMN_RING;
        if (angleFromApproach(x, z) < APPROACH_CLEAR) continue;
        const bool broken = hashed(i, 1) < 0.4;
        const double height = broken ? 18 + 30 * hashed(i, 2) : 70;
        whole[i] = broken ? 0 : 1;
        addBox(columnFaces, {x, GROUND_Y + 2, z}, {5, 2, 5}, a, 30);
        addColumn(columnFaces, {x, GROUND_Y + 4, z}, 3.4, 3.0, height, 12, 4, a);
        if (!broken) addBox(columnFaces, {x, GROUND_Y + 4 + height + 1.5, z}, {4.6, 1.5, 4.6}, a, 30);
    }
    for (int i = 0; i < COLUMN_COUNT; ++i) {
        const int n = (i + 1) % COLUMN_COUNT;
        if (!whole[i] || !whole[n]) continue;
        const double a0 = 2 * PI * (i + 0.5) / COLUMN_COUNT, a1 = 2 * PI * (n + 0.5) / COLUMN_COUNT;
        const V3 p0{std::cos(a0) * COLUMN_RING, 0, std::sin(a0) * COLUMN_RING};
        const V3 p1{std::cos(a1) * COLUMN_RING, 0, std::sin(a1) * COLUMN_RING};
        const V3 mid = (p0 + p1) * 0.5;
        const double span = length(p1 - p0) * 0.5 + 4.5;
        const double turn = std::atan2(-(p1.z - p0.z), p1.x - p0.x);
        addBox(columnFaces, {mid.x, GROUND_Y + 4 + 70 + 5, mid.z}, {span, 2.5, 3.5}, turn, 30);
    }

    // Four gates on the diagonals, facing the fire.
    SurfaceBuilder gateFaces(gates, light, stoneLook);
    for (int g = 0; g < 4; ++g) {
        const double a = PI / 4 + g * PI / 2;
        const V3 centre{std::cos(a) * GATE_RING, GROUND_Y, std::sin(a) * GATE_RING};
        const V3 along{-std::sin(a), 0, std::cos(a)};
        const double turn = std::atan2(-along.z, along.x);
        for (double side : {-1.0, 1.0})
            addBox(gateFaces, centre + along * (side * 20) + V3{0, 22, 0}, {4, 22, 4}, turn, 20);
        addArch(gateFaces, centre + V3{0, 44, 0}, along, 20, 7, 12);
        addBox(gateFaces, centre + V3{0, 44 + 24, 0}, {27, 3, 4.5}, turn, 20);
    }

    // A broken wall further out: blocks along a circle, of uneven height, with gaps.
    SurfaceBuilder wallFaces(wall, light, stoneLook);
    constexpr int WALL_BLOCKS = 64;
    for (int i = 0; i < WALL_BLOCKS; ++i) {
        if (hashed(i, 3) < 0.22) continue;  // a gap
        const double a = 2 * PI * (i + 0.5) / WALL_BLOCKS;
        const double height = 8 + 34 * hashed(i, 4) * hashed(i, 5) + 10 * hashed(i, 6);
        const V3 centre{std::cos(a) * WALL_RING, GROUND_Y + height * 0.5 - 2, std::sin(a) * WALL_RING};
        const double turn = std::atan2(-std::cos(a), -std::sin(a));  // the block's length along the circle
        addBox(wallFaces, centre, {WALL_RING * PI / WALL_BLOCKS + 0.4, height * 0.5 + 2, 4}, turn, 24);
    }

    // Standing stones and boulders on the hills, obelisks nearer in.
    SurfaceBuilder stoneFaces(stones, light, rockLook);
    for (int i = 0; i < 6; ++i) {
        const double a = 2 * PI * (i + 0.25) / 6, r = 230 + 60 * hashed(i, 7);
        const double x = std::cos(a) * r, z = std::sin(a) * r, y = landscapeHeight(x, z) - 3;
        addColumn(stoneFaces, {x, y, z}, 9, 6, 110 + 40 * hashed(i, 8), 4, 4, a);
        addColumn(stoneFaces, {x, y + 110 + 40 * hashed(i, 8), z}, 6, 0.01, 12, 4, 1, a);
    }
    constexpr int BOULDERS = 34;
    for (int i = 0; i < BOULDERS; ++i) {
        const double a = 2 * PI * hashed(i, 9);
        const double r = i < 8 ? 70 + 40 * hashed(i, 10) : 170 + 550 * hashed(i, 10);
        const double x = std::cos(a) * r, z = std::sin(a) * r;
        if (r < 120 && angleFromApproach(x, z) < 0.5) continue;
        const double size = i < 8 ? 4 + 5 * hashed(i, 11) : 10 + 30 * hashed(i, 11);
        addBoulder(stoneFaces, {x, landscapeHeight(x, z) + size * 0.3, z}, size, 0.7, seedOf(i, 12u));
    }

    addSkyDome(sky, SKY_RADIUS, GROUND_Y, 32, 10);

    scene.nodes = {plain, slopes, dais, columns, gates, wall, stones, sky};
    scene.lights = {{"Fuego", {0, 8, 0}, {1.0f, 0.55f, 0.2f}, 1.2f}, {"Cielo", {-600, 800, -900}, {0.5f, 0.2f, 0.15f}, 0.4f}};
    scene.cameras = {{"Camara", {-70, 2, 2}, 2.0944f}};
    return scene;
}

SceneDesc buildFireModel()
{
    SceneDesc scene;
    scene.fileName = "fuegoscn01.max";
    scene.materials = {packMaterial(MAT_FLAME)};
    MeshNode core, tongues, sparks;
    core.name = "Llama", core.material = 0;
    tongues.name = "Lenguas", tongues.material = 0;
    sparks.name = "Chispas", sparks.material = 0;
    constexpr double BASE_Y = -6.0;  // inside the bowl, whose rim is at -4.5
    for (int i = 0; i < 8; ++i) {
        const double a = PI * i / 8;
        addFlameTongue(core, {0, BASE_Y, 0}, {std::cos(a), 0, std::sin(a)}, 24, 40);
    }
    for (int i = 0; i < 12; ++i) {
        const double a = 2 * PI * (i + 0.3 * hashed(i, 21)) / 12;
        const V3 at{std::cos(a) * 5.5, BASE_Y + 1, std::sin(a) * 5.5};
        addFlameTongue(tongues, at, {-std::sin(a), 0, std::cos(a)}, 15, 15 + 12 * hashed(i, 22));
    }
    for (int i = 0; i < 40; ++i) {
        const double a = 2 * PI * hashed(i, 23), r = 9 * hashed(i, 24);
        const V3 at{std::cos(a) * r, 12 + 50 * hashed(i, 25), std::sin(a) * r};
        const double turn = 2 * PI * hashed(i, 26);
        addFlameTongue(sparks, at, {std::cos(turn), 0, std::sin(turn)}, 1.8, 3.5);
    }
    scene.nodes = {core, tongues, sparks};
    scene.lights = {{"Brasa", {0, 10, 0}, {1.0f, 0.6f, 0.2f}, 1.0f}};
    scene.cameras = {{"Camara", {-70, 2, 2}, 2.0944f}};
    return scene;
}

int writeModels(const std::string& outDir)
{
    return writeAse(outDir + "/models/escena01.ase", buildFireLandscape()) &&
           writeAse(outDir + "/models/fuegoscn01.ase", buildFireModel()) &&
           writeAse(outDir + "/models/escena02.ase", buildFlythroughCourt());
}
