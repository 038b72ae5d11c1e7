// Scene 4's place to fly through: a walled temple court.
//
// The fourteen shots fly at heights from 12 to 190 over a court about 900 by
// 500 units: two long passes along z = -231 and z = +252 at a height of about
// 50, a sideways pass along x = 382, and ten shorter flights and turns over
// the western half, at x from -440 to 30. The court is laid out around those
// flights: rows of gates span the three passes so the camera flies through
// them, the western half holds only ruins lower than the flights, a stepped
// pyramid stands low enough at the centre, a hall of columns fills the east
// where no flight goes, and crenellated walls, towers, obelisks, a great ring
// and hills stand beyond, under a dome of burning sky.
#include <cmath>

#include "tools/assets/image.h"
#include "tools/assets/models.h"

namespace {

constexpr double PI = 3.14159265358979323846;

constexpr double TERRAIN_EXTENT = 1500.0;  // half side of the height field
constexpr int TERRAIN_CELLS = 44;
constexpr double SLOPE_RADIUS = 720.0;     // rock beyond this
constexpr double SKY_RADIUS = 2600.0;
constexpr double WALL_NORTH = -430.0, WALL_SOUTH = 430.0, WALL_WEST = -640.0, WALL_EAST = 600.0;
constexpr double WALL_HEIGHT = 120.0, WALL_HALF_THICKNESS = 10.0;
// The passes the gates span: a line, its height, and where along it gates stand.
constexpr double PASS_NORTH_Z = -231.0, PASS_SOUTH_Z = 252.0, PASS_EAST_X = 382.0;
constexpr double GATE_HALF_SPAN = 60.0;    // centre to pier
constexpr double GATE_PIER_HEIGHT = 90.0;  // the opening reaches 90 + 60 - 8

float noiseAt(double x, double z, unsigned seed, double size)
{
    return fbm(static_cast<float>(x / size + 32.0), static_cast<float>(z / size + 32.0), 4096, 5, 0.5f, seed);
}

double courtHeight(double x, double z)
{
    const double r = std::hypot(x * 0.85, z * 1.2);
    const double hills = std::pow(smoothstep(700.0f, 1300.0f, static_cast<float>(r)), 1.3) * 700.0 * (0.4 + noiseAt(x, z, 401u, 400.0));
    return -2.0 + 3.0 * noiseAt(x, z, 402u, 60.0) + hills;
}

double hashed(int i, unsigned salt) { return hash01(static_cast<uint32_t>(i), salt, 501u); }

// The court's plain is an ellipse, longer along x.
bool beyondTheCourt(double x, double z) { return std::hypot(x * 0.85, z * 1.2) > SLOPE_RADIUS; }

// A gate: two piers and an arch spanning `along`, centred on `centre` at ground level.
void addGate(SurfaceBuilder& b, const V3& centre, const V3& along)
{
    const V3 dir = normalised(along);
    const double turn = std::atan2(-dir.z, dir.x);
    for (double side : {-1.0, 1.0})
        addBox(b, centre + dir * (side * GATE_HALF_SPAN) + V3{0, GATE_PIER_HEIGHT * 0.5, 0}, {12, GATE_PIER_HEIGHT * 0.5, 12},
               turn, 30);
    addArch(b, centre + V3{0, GATE_PIER_HEIGHT, 0}, dir, GATE_HALF_SPAN, 16, 16);
    addBox(b, centre + V3{0, GATE_PIER_HEIGHT + GATE_HALF_SPAN + 14, 0}, {GATE_HALF_SPAN + 14, 6, 10}, turn, 30);
}

// A straight crenellated wall from a to b (on the ground).
void addWall(SurfaceBuilder& b, const V3& a, const V3& c)
{
    const V3 dir = normalised(c - a);
    const double turn = std::atan2(-dir.z, dir.x);
    const double half = length(c - a) * 0.5;
    const V3 mid = (a + c) * 0.5;
    addBox(b, mid + V3{0, WALL_HEIGHT * 0.5 - 10, 0}, {half, WALL_HEIGHT * 0.5 + 10, WALL_HALF_THICKNESS}, turn, 60);
    const int merlons = static_cast<int>(half * 2 / 30);
    for (int i = 0; i < merlons; ++i) {
        const V3 at = a + dir * ((i + 0.5) * half * 2 / merlons);
        addBox(b, at + V3{0, WALL_HEIGHT + 6, 0}, {7, 6, WALL_HALF_THICKNESS + 1}, turn, 30);
    }
}

void addTower(SurfaceBuilder& b, const V3& base)
{
    addColumn(b, base + V3{0, -10, 0}, 38, 34, 190, 16, 5);
    addColumn(b, base + V3{0, 180, 0}, 42, 42, 14, 16, 1);
    for (int i = 0; i < 8; ++i) {
        const double a = 2 * PI * i / 8;
        addBox(b, base + V3{std::cos(a) * 38, 202, std::sin(a) * 38}, {7, 8, 7}, -a, 30);
    }
}

// A fire bowl on a foot, with its flames.
void addBrazier(SurfaceBuilder& stone, MeshNode& flames, const V3& base, double size)
{
    addColumn(stone, base, 0.5 * size, 0.35 * size, 0.9 * size, 12, 1);
    addColumn(stone, base + V3{0, 0.9 * size, 0}, 0.35 * size, size, 0.6 * size, 16, 1);
    for (int i = 0; i < 4; ++i) {
        const double a = PI * i / 4;
        addFlameTongue(flames, base + V3{0, 1.1 * size, 0}, {std::cos(a), 0, std::sin(a)}, 2.2 * size, 4.5 * size);
    }
}

}  // namespace

SceneDesc buildFlythroughCourt()
{
    SceneDesc scene;
    scene.fileName = "escena02.max";
    scene.materials = packMaterials(PACK_MATERIAL_COUNT);
    Lighting light;
    light.ambient = 0.27;
    light.sunDirection = {0.55, 0.45, 0.35};
    light.sun = 0.6;
    light.pointPosition = {0, 110, 0};
    light.point = 0.5;
    light.pointRange = 260.0;

    MeshNode plain, hills, walls, gates, pyramid, hall, monuments, ruins, sky, flames;
    plain.name = "Court", plain.material = MAT_GROUND;
    hills.name = "Hills", hills.material = MAT_ROCK;
    walls.name = "Walls", walls.material = MAT_WALL;
    gates.name = "Gates", gates.material = MAT_WALL;
    pyramid.name = "Pyramid", pyramid.material = MAT_WALL;
    hall.name = "Hall", hall.material = MAT_WALL;
    monuments.name = "Monuments", monuments.material = MAT_ROCK;
    ruins.name = "Ruins", ruins.material = MAT_ROCK;
    sky.name = "Sky", sky.material = MAT_SKY;
    flames.name = "Flames", flames.material = MAT_FLAME;

    const Surface groundLook{60.0, true}, rockLook{110.0, true}, stoneLook{60.0, true};
    SurfaceBuilder plainFaces(plain, light, groundLook), hillFaces(hills, light, rockLook);
    addHeightField(plainFaces, hillFaces, TERRAIN_EXTENT, TERRAIN_CELLS, courtHeight, beyondTheCourt);

    // The court's walls with towers at the corners and halfway along the long sides.
    SurfaceBuilder wallFaces(walls, light, stoneLook);
    const V3 nw{WALL_WEST, 0, WALL_NORTH}, ne{WALL_EAST, 0, WALL_NORTH}, sw{WALL_WEST, 0, WALL_SOUTH}, se{WALL_EAST, 0, WALL_SOUTH};
    addWall(wallFaces, nw, ne);
    addWall(wallFaces, sw, se);
    addWall(wallFaces, nw, sw);
    addWall(wallFaces, ne, se);
    for (const V3& corner : {nw, ne, sw, se}) addTower(wallFaces, corner);
    addTower(wallFaces, {-20, 0, WALL_NORTH});
    addTower(wallFaces, {-20, 0, WALL_SOUTH});

    // Rows of gates over the three passes.
    SurfaceBuilder gateFaces(gates, light, stoneLook);
    for (double x : {-300.0, -150.0, 0.0, 150.0}) {
        addGate(gateFaces, {x, 0, PASS_NORTH_Z}, {0, 0, 1});
        addGate(gateFaces, {x, 0, PASS_SOUTH_Z}, {0, 0, 1});
    }
    for (double z : {-60.0, 60.0}) addGate(gateFaces, {PASS_EAST_X, 0, z}, {1, 0, 0});

    // The stepped pyramid at the centre, its top fire below every flight over it.
    SurfaceBuilder pyramidFaces(pyramid, light, stoneLook);
    for (int step = 0; step < 5; ++step) {
        const double half = 90 - 18 * step;
        addBox(pyramidFaces, {0, 8 + 16.0 * step - (step == 0 ? 4 : 0), 0}, {half, step == 0 ? 12.0 : 8.0, half}, 0, 40);
    }
    addBrazier(pyramidFaces, flames, {0, 80, 0}, 10);

    // A hall of columns under beams in the east, where no flight passes.
    SurfaceBuilder hallFaces(hall, light, stoneLook);
    const double hallX[4] = {120, 180, 240, 300};
    const double hallZ[6] = {-150, -90, -30, 30, 90, 150};
    constexpr double HALL_HEIGHT = 170.0;
    for (double z : hallZ) {
        for (double x : hallX) {
            addBox(hallFaces, {x, 3, z}, {15, 5, 15}, 0, 30);
            addColumn(hallFaces, {x, 8, z}, 10, 8.5, HALL_HEIGHT - 8, 12, 5, 0.1);
            addBox(hallFaces, {x, HALL_HEIGHT + 4, z}, {14, 4, 14}, 0, 30);
        }
        addBox(hallFaces, {210, HALL_HEIGHT + 14, z}, {106, 6, 9}, 0, 40);
    }

    // Monuments beyond the flights: obelisks in the west, a great ring in the east.
    SurfaceBuilder monumentFaces(monuments, light, rockLook);
    for (int i = 0; i < 4; ++i) {
        const double z = -250 + 166.7 * i, x = -560;
        const double height = 220 + 60 * hashed(i, 1);
        addBox(monumentFaces, {x, 6, z}, {30, 10, 30}, 0, 40);
        addColumn(monumentFaces, {x, 16, z}, 17, 11, height, 4, 6, PI / 4);
        addColumn(monumentFaces, {x, 16 + height, z}, 11, 0.01, 26, 4, 1, PI / 4);
    }
    addBox(monumentFaces, {520, 14, 0}, {40, 16, 70}, 0, 40);
    addRing(monumentFaces, {520, 175, 0}, {0, 0, 1}, 135, 16, 48, 8);
    addBrazier(monumentFaces, flames, {470, 0, -110}, 9);
    addBrazier(monumentFaces, flames, {470, 0, 110}, 9);

    // Ruins in the west, lower than every flight over them: broken walls,
    // column stumps and boulders. The low start of shot 14 (x -170, z 2) stays clear.
    SurfaceBuilder ruinFaces(ruins, light, stoneLook);
    struct Ruin {
        double x0, z0, x1, z1;  // a wall's ends
    };
    const Ruin ruinWalls[] = {{-520, -140, -260, -140}, {-520, 160, -300, 160}, {-530, -100, -530, 120}, {-420, -20, -300, 40}};
    int block = 0;
    for (const Ruin& r : ruinWalls) {
        const V3 a{r.x0, 0, r.z0}, c{r.x1, 0, r.z1};
        const V3 dir = normalised(c - a);
        const double turn = std::atan2(-dir.z, dir.x);
        const int n = static_cast<int>(length(c - a) / 20);
        for (int i = 0; i < n; ++i, ++block) {
            if (hashed(block, 2) < 0.25) continue;
            const double height = 6 + 20 * hashed(block, 3);
            addBox(ruinFaces, a + dir * ((i + 0.5) * 20) + V3{0, height * 0.5 - 2, 0}, {10.2, height * 0.5 + 2, 5}, turn, 30);
        }
    }
    for (int i = 0; i < 14; ++i) {
        const double x = -480 + 330 * hashed(i, 4), z = -200 + 380 * hashed(i, 5);
        if (std::hypot(x + 170, z - 2) < 50) continue;
        addColumn(ruinFaces, {x, -2, z}, 9, 9, 6 + 16 * hashed(i, 6), 12, 2, hashed(i, 7));
    }
    SurfaceBuilder boulderFaces(ruins, light, rockLook);
    for (int i = 0; i < 14; ++i) {
        const double a = 2 * PI * hashed(i, 8), r = 760 + 500 * hashed(i, 9);
        const double x = std::cos(a) * r, z = std::sin(a) * r * 0.7;
        const double size = 30 + 50 * hashed(i, 10);
        addBoulder(boulderFaces, {x, courtHeight(x, z) + size * 0.2, z}, size, 0.6, 600u + static_cast<unsigned>(i));
    }

    addSkyDome(sky, SKY_RADIUS, -20, 32, 10);

    scene.nodes = {plain, hills, walls, gates, pyramid, hall, monuments, ruins, sky, flames};
    scene.lights = {{"Sol", {1500, 1200, -900}, {1.0f, 0.6f, 0.35f}, 0.8f}, {"Hoguera", {0, 110, 0}, {1.0f, 0.5f, 0.2f}, 1.0f}};
    scene.cameras = {{"Vuelo", {-216, 49, -232}, 2.356f}};
    return scene;
}
