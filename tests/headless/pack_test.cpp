// The generated asset pack: every file the demo reads is there and loads,
// textures are in the loader's subset with real alpha where the scenes blend,
// scenes parse and reference only bitmaps that exist, faces stay inside their
// light band, the output is the same on every run, and every camera shot of
// the fire scene and the fly-through shows the scene, not an empty screen.
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "assets/ase.h"
#include "assets/tga.h"
#include "scenes/fire.h"
#include "scenes/flythrough.h"
#include "scenes/scenes.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "tests/support/support.h"
#include "tools/assets/generator.h"
#include "tools/assets/textures.h"
#include "tools/assets/tga_write.h"

namespace fs = std::filesystem;

namespace {

// Every texture the demo reads, and whether a scene blends it by its alpha.
struct PackTexture {
    const char* path;
    bool blended;  // drawn with GL_SRC_ALPHA: must carry an alpha channel
};
const PackTexture DEMO_TEXTURES[] = {
    {"maps/loading-vantrel.tga", false},
    {"maps/star.tga", true},          {"maps/skarvel_presents.tga", true}, {"maps/pain.tga", true},
    {"maps/ass.tga", true},           {"maps/deadline.tga", true},         {"maps/vantrel.tga", true},
    {"maps/just_for_fun.tga", true},  {"maps/incio.tga", false},           {"maps/inicio2.tga", true},
    {"maps/nube1.tga", true},         {"maps/nube2.tga", true},            {"maps/nube3.tga", true},
    {"maps/nube4.tga", true},
    {"maps/k.tga", false},            {"maps/d.tga", false},               {"maps/everything.tga", true},
    {"maps/txt_2.tga", true},         {"maps/txt_3.tga", true},            {"maps/txt_4.tga", true},
    {"maps/txt_5.tga", true},         {"maps/txt_6.tga", true},            {"maps/txt_7.tga", true},
    {"maps/txt_8.tga", true},         {"maps/txt_9.tga", true},            {"maps/txt_10.tga", true},
    {"maps/txt_11.tga", true},        {"maps/txt_12.tga", true},           {"maps/txt_13.tga", true},
    {"maps/txt_14.tga", true},        {"maps/txt_15.tga", true},           {"maps/txt_16.tga", true},
    {"maps/txt_17.tga", true},        {"maps/txt_20.tga", true},           {"maps/txt_21.tga", true},
    {"maps/jorvi.tga", false},
    {"maps/feln.tga", true},          {"maps/nwel.tga", true},             {"maps/zemra.tga", true},
    {"maps/ulvat.tga", true},         {"maps/vorla.tga", true},            {"maps/brume.tga", true},
    {"maps/oskel.tga", true},         {"maps/tulmo.tga", true},            {"maps/praxa.tga", true},
    {"maps/kettri.tga", true},
    {"models/pentagrama.tga", true},
};
const char* const DEMO_SCENES[] = {"models/escena01.ase", "models/fuegoscn01.ase", "models/escena02.ase"};

// Sprites drawn as quads: anything but a clear border would show the quad's edge.
bool isSprite(const std::string& path)
{
    return path != "maps/loading-vantrel.tga" && path != "maps/incio.tga" && path != "maps/jorvi.tga" &&
           path != "maps/k.tga" && path != "maps/d.tga";
}

// Writes the textures and scenes of the pack below dir, as the generator's entry does.
bool generatePack(const std::string& dir)
{
    fs::create_directories(dir + "/maps");
    fs::create_directories(dir + "/models");
    return writeTextures(dir) == 1 && writeModels(dir) == 1;
}

struct TgaFile {
    int width = 0, height = 0, bits = 0, type = -1, colourMap = -1, idLength = -1;
    std::vector<unsigned char> pixels;
};
TgaFile readTga(const std::string& path)
{
    TgaFile tga;
    const std::vector<unsigned char> bytes = readBinaryFile(path);
    if (bytes.size() < 18) return tga;
    tga.idLength = bytes[0];
    tga.colourMap = bytes[1];
    tga.type = bytes[2];
    tga.width = bytes[12] | bytes[13] << 8;
    tga.height = bytes[14] | bytes[15] << 8;
    tga.bits = bytes[16];
    tga.pixels.assign(bytes.begin() + 18, bytes.end());
    return tga;
}

// Fraction of pixels that are pure black: what the clear colour leaves where nothing was drawn.
double blackFraction(const Frame& frame)
{
    size_t black = 0;
    for (size_t i = 0; i < frame.rgb.size(); i += 3)
        if (frame.rgb[i] == 0 && frame.rgb[i + 1] == 0 && frame.rgb[i + 2] == 0) ++black;
    return static_cast<double>(black) / (frame.rgb.size() / 3);
}

void saveFrame(const Frame& frame, const std::string& name)
{
    keepFrame(frame, "pack/" + name);
}

// Tests of the pack the build made; they only read it.
class PackTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(packIsThere()); }
    std::string file(const std::string& name) const { return packDir() + "/" + name; }
};

class PackGLTest : public GLTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(packIsThere());
        GLTest::SetUp();
        cd = std::make_unique<ScopedChdir>(packDir());
        playState = PLAY_RUNNING;
    }
    void TearDown() override
    {
        cd.reset();
        GLTest::TearDown();
    }
    std::unique_ptr<ScopedChdir> cd;
};

}  // namespace

TEST(PackTga, BottomRowIsWrittenFirst)
{
    // The loader uploads the file's first row as t = 0, the bottom of every quad.
    Image image(2, 2);
    const float top[4] = {1, 0, 0, 1}, bottom[4] = {0, 0, 1, 0.5f};
    for (int x = 0; x < 2; ++x) {
        std::copy(top, top + 4, image.at(x, 0));
        std::copy(bottom, bottom + 4, image.at(x, 1));
    }
    const std::vector<unsigned char> bytes = encodeTga(image, 32);
    ASSERT_EQ(bytes.size(), 18u + 2 * 2 * 4);
    EXPECT_EQ(bytes[2], 2);
    EXPECT_EQ(bytes[12] | bytes[13] << 8, 2);
    EXPECT_EQ(bytes[16], 32);
    const unsigned char firstRow[4] = {255, 0, 0, 128};  // blue, green, red, alpha of the bottom row
    const unsigned char lastRow[4] = {0, 0, 255, 255};
    EXPECT_TRUE(std::equal(firstRow, firstRow + 4, &bytes[18]));
    EXPECT_TRUE(std::equal(lastRow, lastRow + 4, &bytes[18 + 8]));
    const std::vector<unsigned char> opaque = encodeTga(image, 24);
    EXPECT_EQ(opaque.size(), 18u + 2 * 2 * 3);
    EXPECT_EQ(opaque[18], 255);  // bottom row blue first
}

TEST(PackTga, RefusesSidesTheLoaderRejects)
{
    TempDir dir;
    EXPECT_EQ(writeTga(dir.file("wide.tga"), Image(640, 64), 32), 0);
    EXPECT_EQ(writeTga(dir.file("one.tga"), Image(1, 2), 24), 0);
    EXPECT_EQ(writeTga(dir.file("deep.tga"), Image(4, 4), 16), 0);
    EXPECT_FALSE(fs::exists(dir.file("wide.tga")));
    EXPECT_EQ(writeTga(dir.file("fine.tga"), Image(512, 2), 24), 1);
}

TEST_F(PackTest, EveryFileTheDemoReadsIsWritten)
{
    for (const PackTexture& t : DEMO_TEXTURES) EXPECT_TRUE(fs::is_regular_file(file(t.path))) << t.path;
    for (const char* scene : DEMO_SCENES) EXPECT_TRUE(fs::is_regular_file(file(scene))) << scene;
}

TEST_F(PackTest, TexturesAreInTheLoadersSubsetWithRealAlphaWhereBlended)
{
    for (const PackTexture& t : DEMO_TEXTURES) {
        SCOPED_TRACE(t.path);
        const TgaFile tga = readTga(file(t.path));
        EXPECT_EQ(tga.idLength, 0);
        EXPECT_EQ(tga.colourMap, 0);
        EXPECT_EQ(tga.type, 2);
        EXPECT_TRUE(isTgaSide(tga.width)) << tga.width;
        EXPECT_TRUE(isTgaSide(tga.height)) << tga.height;
        EXPECT_EQ(tga.bits, t.blended ? 32 : 24);
        const size_t channels = static_cast<size_t>(tga.bits / 8);
        ASSERT_EQ(tga.pixels.size(), static_cast<size_t>(tga.width) * tga.height * channels);
        if (!t.blended) continue;
        // A real alpha channel: clear somewhere, (nearly) solid somewhere else.
        int lowest = 255, highest = 0;
        for (size_t i = 3; i < tga.pixels.size(); i += 4) {
            lowest = std::min<int>(lowest, tga.pixels[i]);
            highest = std::max<int>(highest, tga.pixels[i]);
        }
        EXPECT_LE(lowest, 2);
        EXPECT_GE(highest, 150);
        if (!isSprite(t.path)) continue;
        int border = 0;
        for (int y = 0; y < tga.height; ++y)
            for (int x = 0; x < tga.width; ++x)
                if (x == 0 || y == 0 || x == tga.width - 1 || y == tga.height - 1)
                    border = std::max<int>(border, tga.pixels[(static_cast<size_t>(y) * tga.width + x) * 4 + 3]);
        EXPECT_LE(border, 3) << "the quad's edge would show";
    }
}

TEST_F(PackTest, ScenesParseWithGeometryMaterialsLightsAndCameras)
{
    ScopedChdir cd(packDir());
    struct Expect {
        const char* path;
        int minFaces;  // over all nodes
    };
    const Expect scenes[] = {{"models/escena01.ase", 5000}, {"models/fuegoscn01.ase", 500}, {"models/escena02.ase", 5000}};
    for (const Expect& e : scenes) {
        SCOPED_TRACE(e.path);
        AseScene scene = {};
        ASSERT_EQ(loadAseScene(e.path, &scene), 1);
        EXPECT_GT(scene.numObjects, 0);
        EXPECT_GT(scene.numMaterials, 0);
        EXPECT_GE(scene.numLights, 1);
        EXPECT_GE(scene.numCameras, 1);
        EXPECT_EQ(scene.ticksPerFrame, 160);
        int faces = 0;
        for (int i = 0; i < scene.numObjects; ++i) {
            const GeomObject& node = scene.objects[i];
            SCOPED_TRACE(node.name);
            EXPECT_GT(node.numFaces, 0);
            EXPECT_GT(node.numVertices, 0);
            EXPECT_GT(node.numTexVertices, 0);
            EXPECT_EQ(node.numTexFaces, node.numFaces);
            EXPECT_EQ(node.hasNormals, 1);
            ASSERT_GE(node.materialRef, 0);
            ASSERT_LT(node.materialRef, scene.numMaterials);
            faces += node.numFaces;
            for (int f = 0; f < node.numFaces; ++f)
                for (int c = 0; c < 3; ++c) {
                    ASSERT_GE(node.faces[f].v[c], 0);
                    ASSERT_LT(node.faces[f].v[c], node.numVertices);
                    ASSERT_GE(node.faces[f].t[c], 0);
                    ASSERT_LT(node.faces[f].t[c], node.numTexVertices);
                }
        }
        EXPECT_GE(faces, e.minFaces);
        for (int m = 0; m < scene.numMaterials; ++m) {
            EXPECT_EQ(scene.materials[m].hasBitmap, 1);
            EXPECT_TRUE(fs::is_regular_file(scene.materials[m].bitmapPath)) << scene.materials[m].bitmapPath;
        }
        freeAseScene(&scene);
    }
}

TEST_F(PackTest, ShadedFacesStayInsideOneLightBand)
{
    // The models are drawn unlit; a face whose texture coordinates crossed a
    // band would show a stripe of another brightness.
    ScopedChdir cd(packDir());
    const std::string banded[] = {"maps/roca.tga", "maps/suelo.tga", "maps/muro.tga"};
    for (const char* path : {"models/escena01.ase", "models/escena02.ase"}) {
        SCOPED_TRACE(path);
        AseScene scene = {};
        ASSERT_EQ(loadAseScene(path, &scene), 1);
        int checked = 0;
        for (int i = 0; i < scene.numObjects; ++i) {
            const GeomObject& node = scene.objects[i];
            const std::string bitmap = scene.materials[node.materialRef].bitmapPath;
            if (std::find(std::begin(banded), std::end(banded), bitmap) == std::end(banded)) continue;
            for (int f = 0; f < node.numFaces; ++f) {
                float lo = 2, hi = -1;
                for (int c = 0; c < 3; ++c) {
                    const float v = node.texVertices[node.faces[f].t[c]].v;
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
                const int band = static_cast<int>(lo * SHADE_BANDS);
                ASSERT_GE(band, 0) << node.name << " face " << f;
                ASSERT_LT(band, SHADE_BANDS) << node.name << " face " << f;
                EXPECT_LE(hi, (band + 1.0f) / SHADE_BANDS) << node.name << " face " << f;
                ++checked;
            }
        }
        EXPECT_GT(checked, 1000);
        freeAseScene(&scene);
    }
}

// The generator run again writes the very bytes of the pack the build made.
TEST_F(PackTest, SameBytesOnEveryRun)
{
    TempDir again;
    ASSERT_TRUE(generatePack(again.path()));
    std::vector<std::string> made = listFiles(packDir());
    made.erase(std::remove_if(made.begin(), made.end(), [](const std::string& f) {
                   const std::string name = fs::relative(f, packDir()).string();
                   return name == ".pack-stamp" || name == "Halvo.mp3";  // the build's mark; the soundtrack's own test
               }),
               made.end());
    const std::vector<std::string> rewritten = listFiles(again.path());
    ASSERT_EQ(made.size(), rewritten.size());
    ASSERT_GT(made.size(), 50u);
    for (size_t i = 0; i < made.size(); ++i) {
        const std::string name = fs::relative(made[i], packDir()).string();
        ASSERT_EQ(name, fs::relative(rewritten[i], again.path()).string());
        EXPECT_TRUE(readBinaryFile(made[i]) == readBinaryFile(rewritten[i])) << name << " differs between runs";
    }
}

TEST_F(PackGLTest, EveryTextureLoadsWithItsChannels)
{
    unsigned name = 500;
    for (const PackTexture& t : DEMO_TEXTURES) {
        SCOPED_TRACE(t.path);
        ASSERT_EQ(loadTgaTexture(t.path, name), TGA_OK);
        const TgaFile tga = readTga(t.path);
        GLint width = 0, height = 0, alpha = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha);
        EXPECT_EQ(width, tga.width);
        EXPECT_EQ(height, tga.height);
        EXPECT_EQ(alpha > 0, t.blended);
        ++name;
    }
}

namespace {

// Shot sample times keep clear of every flash and fade, so the frame shows
// the scene as it is. Accumulators are set to what the scene would have
// reached by then.
struct FireSample {
    float t;
    float phase[6];  // shotPhase0..5
};
const FireSample FIRE_SAMPLES[] = {
    {14.0f, {0.12f, 0, 0, 0, 0, 0}},      {18.5f, {0.39f, 0, 0, 0, 0, 0}},     {23.5f, {0.69f, 0, 0, 0, 0, 0}},
    {27.0f, {0.78f, 0.16f, 0, 0, 0, 0}},  {31.5f, {0.78f, 0.52f, 0, 0, 0, 0}}, {37.2f, {0.78f, 0.976f, 0, 0, 0, 0}},
    {39.1f, {0.78f, 1.04f, 1.1f, 0, 0, 0}}, {39.5f, {0.78f, 1.04f, 1.5f, 0, 0, 0}}, {39.95f, {0.78f, 1.04f, 1.95f, 0, 0, 0}},
    {40.3f, {0.78f, 1.04f, 2, 0.24f, 0, 0}}, {41.0f, {0.78f, 1.04f, 2, 0.8f, 0, 0}}, {41.9f, {0.78f, 1.04f, 2, 1.52f, 0, 0}},
    {42.6f, {0.78f, 1.04f, 2, 1.6f, 0.48f, 0}}, {43.2f, {0.78f, 1.04f, 2, 1.6f, 0.96f, 0}}, {43.95f, {0.78f, 1.04f, 2, 1.6f, 1.56f, 0}},
    {44.15f, {0.78f, 1.04f, 2, 1.6f, 1.6f, 0}}, {44.35f, {0.78f, 1.04f, 2, 1.6f, 1.6f, 0}}, {44.55f, {0.78f, 1.04f, 2, 1.6f, 1.6f, 0}},
    {44.8f, {0.78f, 1.04f, 2, 1.6f, 1.6f, 0.16f}}, {46.3f, {0.78f, 1.04f, 2, 1.6f, 1.6f, 1.36f}},
    {47.9f, {0.78f, 1.04f, 2, 1.6f, 1.6f, 2.64f}},
};

struct FlySample {
    float t;
    int shot;
};
// Start and rate of each shot's accumulator (shot 1 starts when the scene does).
const float FLY_RATES[FLY_SHOT_COUNT] = {0.6f, 0.6f, 0.4f, 0.8f, 0.8f, 0.9f, 0.9f, 0.9f, 0.9f, 0.9f, 0.6f, 0.3f, 0.8f, 0.6f};
// Where shot k (1..14) starts: shot 1 when the scene does, the others at the bound before.
float flyShotStart(int shot) { return shot == 1 ? sceneStartsAt(SCENE_FLYTHROUGH) : FLY_SHOT_BOUNDS[shot - 2]; }
const FlySample FLY_SAMPLES[] = {
    {120.5f, 1},  {122.0f, 1},  {123.9f, 1},  {126.0f, 2},  {127.5f, 2},  {129.4f, 2},  {131.6f, 3},  {134.0f, 3},
    {135.9f, 3},  {137.6f, 4},  {138.3f, 4},  {138.95f, 4}, {139.6f, 5},  {140.3f, 5},  {140.95f, 5}, {141.6f, 6},
    {142.3f, 6},  {142.95f, 6}, {143.6f, 7},  {144.3f, 7},  {144.95f, 7}, {145.6f, 8},  {146.3f, 8},  {146.95f, 8},
    {147.6f, 9},  {148.3f, 9},  {148.95f, 9}, {149.6f, 10}, {150.3f, 10}, {150.95f, 10}, {151.3f, 11}, {152.2f, 11},
    {152.95f, 11}, {153.3f, 12}, {154.2f, 12}, {154.95f, 12}, {155.3f, 13}, {156.2f, 13}, {156.95f, 13}, {158.0f, 14},
    {160.0f, 14}, {162.4f, 14},
};

// The scene covers the view: next to nothing is left at the clear colour, and
// the picture is not one flat colour.
void expectSceneFillsView(const Frame& frame, const std::string& what)
{
    EXPECT_FALSE(frame.uniform()) << what;
    EXPECT_LT(blackFraction(frame), 0.02) << what << ": part of the view is empty";
    EXPECT_GT(frame.mean(0, 0, frame.width, frame.height), 8.0) << what << ": nearly black";
}

}  // namespace

TEST_F(PackGLTest, EveryFireShotShowsTheScene)
{
    ASSERT_EQ(fireSceneLoad(), 1);
    ASSERT_EQ(fireSceneSetup(), 1);
    ASSERT_GT(fireMainScene.numObjects, 0);
    ASSERT_GT(fireFlameScene.numObjects, 0);
    for (CloudParticle& p : cloudParticles) {  // clouds parked outside the view: the models alone
        p.x = 1.0f;
        p.y = 1.0f;
        p.fade = 0.0f;
    }
    float* phases[6] = {&shotPhase0, &shotPhase1, &shotPhase2, &shotPhase3, &shotPhase4, &shotPhase5};
    for (const FireSample& s : FIRE_SAMPLES) {
        for (int i = 0; i < 6; ++i) *phases[i] = s.phase[i];
        lastFrameTime = s.t;  // no step: the accumulators stay as set
        fireSceneDraw(s.t);
        const Frame frame = readFrame();
        char name[64];
        std::snprintf(name, sizeof name, "fire-shot%d-%.2f.png", fireShot, s.t);
        saveFrame(frame, name);
        expectSceneFillsView(frame, name);
    }
    fireSceneCleanup();
}

TEST_F(PackGLTest, EveryFlythroughShotShowsTheScene)
{
    ASSERT_EQ(flythroughLoad(), 1);
    ASSERT_EQ(flythroughSetup(), 1);
    ASSERT_GT(flythroughModel.numObjects, 0);
    for (int shot = 1; shot <= FLY_SHOT_COUNT; ++shot) {
        bool seen = false;
        for (const FlySample& s : FLY_SAMPLES) seen = seen || s.shot == shot;
        EXPECT_TRUE(seen) << "shot " << shot << " has no sample";
    }
    for (const FlySample& s : FLY_SAMPLES) {
        // Earlier shots have run to their end, the current one to s.t.
        for (int k = 0; k < FLY_SHOT_COUNT; ++k)
            flyShotPhase[k] = k + 1 < s.shot ? (FLY_SHOT_BOUNDS[k] - flyShotStart(k + 1)) * FLY_RATES[k] : 0.0f;
        flyShotPhase[s.shot - 1] = (s.t - flyShotStart(s.shot)) * FLY_RATES[s.shot - 1];
        lastFrameTime = s.t;
        flythroughDraw(s.t);
        ASSERT_EQ(flyShot, s.shot) << "t = " << s.t;
        const Frame frame = readFrame();
        char name[64];
        std::snprintf(name, sizeof name, "fly-shot%02d-%.2f.png", s.shot, s.t);
        saveFrame(frame, name);
        expectSceneFillsView(frame, name);
    }
    flythroughCleanup();
}
