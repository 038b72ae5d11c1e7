// Hostile asset files: node and material keywords hidden behind another token
// on their line, counts that claim more than any scene holds, many materials
// naming bitmaps, special files named as assets, paths written on another
// system, a comma locale and memory that runs out. Each loads what it says in
// time proportional to its size, or is refused with the reader's own code.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "assets/ase.h"
#include "assets/ase_scan.h"
#include "assets/tga.h"
#include "render/overlay.h"
#include "tests/support/support.h"

namespace {

std::string fixture(const std::string& name) { return std::string(VANTREL_SOURCE_DIR) + "/tests/fixtures/ase/" + name; }

std::string readText(const std::string& path)
{
    const std::vector<unsigned char> raw = readBinaryFile(path);
    return std::string(raw.begin(), raw.end());
}

// A scene loaded from a file or from memory, freed at the end of the test.
struct Loaded {
    AseScene scene{};
    int result = 0;
    explicit Loaded(const std::string& path) { result = loadAseScene(path.c_str(), &scene); }
    explicit Loaded(const std::string& text, bool) { result = loadAseSceneFromMemory(text.data(), text.size(), &scene); }
    ~Loaded() { freeAseScene(&scene); }
};

const char* const HEADER = "*3DSMAX_ASCIIEXPORT\t200\n*SCENE {\n\t*SCENE_TICKSPERFRAME 160\n}\n";

// This thread's processor time in seconds: unlike the wall clock it does not
// count the time other processes of a busy machine take the processor away.
double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Processor seconds of the fastest of five loads of text from memory.
double fastestLoad(const std::string& text)
{
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        AseScene scene{};
        const double start = threadSeconds();
        loadAseSceneFromMemory(text.data(), text.size(), &scene);
        const double took = threadSeconds() - start;
        freeAseScene(&scene);
        best = std::min(best, took);
    }
    return best;
}

// Loads text with the address space capped a little above what is mapped now,
// then exits: 0 when the load failed with an empty scene.
[[noreturn, maybe_unused]] void loadUnderAddressLimit(const std::string& text)
{
    // The address space left: what is mapped now and a little more.
    long pages = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1) std::_Exit(2);
    std::fclose(statm);
    const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (2u << 20);
    const rlimit cap{limit, limit};
    if (setrlimit(RLIMIT_AS, &cap) != 0) std::_Exit(3);
    AseScene scene{};
    const int result = loadAseSceneFromMemory(text.data(), text.size(), &scene);
    const bool empty = scene.numObjects == 0 && scene.objects == nullptr && scene.materials == nullptr;
    std::_Exit(result == 0 && empty ? 0 : 4);
}

}  // namespace

// A node keyword hidden behind another token on its line still opens its node:
// the node before it stops there instead of reading the hidden node's lines,
// and the hidden node gets its own counts and geometry.
TEST(AseHostile, HiddenOpenersEndTheBlockBeforeThem)
{
    {
        Loaded l(fixture("hidden-node-opener.ase"));
        ASSERT_EQ(l.result, 1);
        ASSERT_EQ(l.scene.numObjects, 2);
        const GeomObject& first = l.scene.objects[0];
        EXPECT_STREQ(first.name, "First");
        ASSERT_EQ(first.numVertices, 3);
        for (int v = 0; v < 3; ++v) EXPECT_EQ(first.vertices[v].x, 1.0f) << v;
        const GeomObject& hidden = l.scene.objects[1];
        EXPECT_STREQ(hidden.name, "Hidden");
        ASSERT_EQ(hidden.numVertices, 5) << "the last count in its own block";
        EXPECT_EQ(hidden.vertices[2].x, 2.0f);
        EXPECT_EQ(hidden.faces[0].v[2], 2);
    }
    {
        Loaded l(fixture("hidden-material-opener.ase"));
        ASSERT_EQ(l.scene.numMaterials, 2);
        EXPECT_STREQ(l.scene.materials[0].name, "First");
        EXPECT_FLOAT_EQ(l.scene.materials[0].diffuse[2], 0.3f);
        EXPECT_STREQ(l.scene.materials[1].name, "Hidden");
        EXPECT_FLOAT_EQ(l.scene.materials[1].diffuse[2], 0.9f);
    }
    {
        Loaded l(fixture("hidden-light-opener.ase"));
        ASSERT_EQ(l.scene.numLights, 2);
        const AseLight& lamp = l.scene.lights[0];
        EXPECT_STREQ(lamp.name, "Lamp");
        EXPECT_EQ(lamp.hasTarget, 0) << "the hidden light's position is not taken for a target";
        EXPECT_FLOAT_EQ(lamp.intensity, 0.5f);
        EXPECT_FLOAT_EQ(l.scene.lights[1].position[0], 7.0f);
        EXPECT_FLOAT_EQ(l.scene.lights[1].intensity, 2.0f);
    }
    {
        Loaded l(fixture("hidden-camera-opener.ase"));
        ASSERT_EQ(l.scene.numCameras, 2);
        EXPECT_STREQ(l.scene.cameras[0].name, "Eye");
        EXPECT_FLOAT_EQ(l.scene.cameras[0].position.x, 1.0f);
        EXPECT_FLOAT_EQ(l.scene.cameras[0].fov, 0.5f);
        EXPECT_FLOAT_EQ(l.scene.cameras[1].fov, 1.5f);
    }
    {
        // The rotation key counted before the position key is not looked for
        // in the next node.
        Loaded l(fixture("rotation-keys-before-position-keys.ase"));
        ASSERT_EQ(l.scene.numObjects, 2);
        const NodeAnimation& a = l.scene.objects[0].animation;
        ASSERT_EQ(a.numRotKeys, 1);
        EXPECT_EQ(a.rotKeys[0].value[1], 0.0f) << "the next node's key was taken";
        EXPECT_EQ(a.rotKeys[0].angle, 0.0f);
        ASSERT_EQ(a.numPosKeys, 1);
        EXPECT_EQ(a.posKeys[0].value[0], 1.0f);
        const NodeAnimation& next = l.scene.objects[1].animation;
        ASSERT_EQ(next.numRotKeys, 1);
        EXPECT_FLOAT_EQ(next.rotKeys[0].angle, 0.25f);
        EXPECT_STREQ(l.scene.objects[1].name, "Next");
    }
}

// Every hostile form loads in time proportional to its size: a file eight
// times larger takes well under twenty times as long.
TEST(AseHostile, LoadTimeGrowsWithTheFileNotItsSquare)
{
    struct Form {
        const char* name;
        std::function<std::string(int)> text;  // the form with n repetitions
    };
    const Form forms[] = {
        {"hidden node openers",
         [](int n) {
             std::string t = HEADER;
             for (int i = 0; i < n; ++i)
                 t += "*COMMENT *GEOMOBJECT {\n\t*MESH {\n\t\t*MESH_NUMVERTEX 1\n\t\t*MESH_VERTEX 0\t1.0\t2.0\t3.0\n\t}\n}\n";
             return t;
         }},
        {"hidden material openers",
         [](int n) {
             std::string t = std::string(HEADER) + "*MATERIAL_LIST {\n\t*MATERIAL_COUNT " + std::to_string(n) + "\n";
             for (int i = 0; i < n; ++i) t += "\t} *MATERIAL 0 {\n\t\t*MATERIAL_NAME \"M\"\n\t\t*BITMAP \"maps/none.tga\"\n";
             return t + "}\n";
         }},
        {"hidden light openers",
         [](int n) {
             std::string t = HEADER;
             for (int i = 0; i < n; ++i) t += "} *LIGHTOBJECT {\n\t*NODE_TM {\n\t\t*TM_POS 1.0\t2.0\t3.0\n\t}\n";
             return t;
         }},
        {"hidden camera openers",
         [](int n) {
             std::string t = HEADER;
             for (int i = 0; i < n; ++i) t += "} *CAMERAOBJECT {\n\t*NODE_TM {\n\t\t*TM_POS 1.0\t2.0\t3.0\n\t}\n";
             return t;
         }},
        {"rotation keys before position keys",
         [](int n) {
             std::string t = HEADER;
             for (int i = 0; i < n; ++i)
                 t += "*GEOMOBJECT {\n\t*TM_ANIMATION {\n\t\t*CONTROL_ROT_SAMPLE 0\t0.0\t0.0\t1.0\t0.5\n"
                      "\t\t*CONTROL_POS_SAMPLE 0\t1.0\t0.0\t0.0\n\t}\n}\n";
             return t;
         }},
    };
    constexpr int BASE = 1000;  // repetitions of the 1x file, about 60 KB
    constexpr int GROWTH = 16;  // the larger file holds this many times the repetitions
    // Sixteen times the file takes sixteen times the time where the load is
    // linear and 256 times where it is quadratic; the limit between them leaves
    // room for what a loaded machine, the sanitizers and a larger file's cache
    // misses add.
    constexpr double MOST_RATIO = 80.0;
    for (const Form& f : forms) {
        SCOPED_TRACE(f.name);
        const std::string small = f.text(BASE);
        const std::string large = f.text(GROWTH * BASE);
        Loaded check(large, true);
        EXPECT_EQ(check.result, 1);
        const double ratio = fastestLoad(large) / std::max(fastestLoad(small), 1e-6);
        EXPECT_LT(ratio, MOST_RATIO) << small.size() << " bytes against " << large.size() << " bytes";
    }
}

// The mesh arrays of one scene share one budget: nodes past it load without
// geometry, the ones before it keep every count.
TEST(AseHostile, MeshCountsPastTheSceneBudgetLeaveLaterNodesEmpty)
{
    Loaded l(fixture("mesh-counts-past-scene-budget.ase"));
    ASSERT_EQ(l.result, 1);
    ASSERT_EQ(l.scene.numObjects, 60);
    constexpr int64_t CLAIM = 4 * 6000;  // every node claims 6000 of each of the four counts
    const int withGeometry = static_cast<int>(ASE_MAX_SCENE_MESH_ELEMENTS / CLAIM);
    int64_t total = 0;
    for (int i = 0; i < l.scene.numObjects; ++i) {
        SCOPED_TRACE(i);
        const GeomObject& g = l.scene.objects[i];
        total += int64_t{g.numVertices} + g.numFaces + g.numTexVertices;
        if (i < withGeometry) {
            EXPECT_EQ(g.numVertices, 6000);
            EXPECT_EQ(g.numFaces, 6000);
            EXPECT_EQ(g.numTexVertices, 6000);
            EXPECT_NE(g.vertices, nullptr);
            EXPECT_NE(g.faces, nullptr);
        } else {
            EXPECT_EQ(g.numVertices, 0);
            EXPECT_EQ(g.numFaces, 0);
            EXPECT_EQ(g.numTexVertices, 0);
            EXPECT_EQ(g.vertices, nullptr);
            EXPECT_EQ(g.faces, nullptr);
            EXPECT_EQ(g.texVertices, nullptr);
        }
    }
    EXPECT_LE(total, ASE_MAX_SCENE_MESH_ELEMENTS);

    Loaded materials(fixture("material-count-past-limit.ase"));
    EXPECT_EQ(materials.result, 1);
    EXPECT_EQ(materials.scene.numMaterials, 0);
    EXPECT_EQ(materials.scene.materials, nullptr);
    ASSERT_EQ(materials.scene.numObjects, 1);
    EXPECT_EQ(materials.scene.objects[0].numVertices, 3) << "the rest of the scene is read";
}

// A FIFO, a device and a directory named as a scene or a texture are refused
// at once, with the reader's own code, instead of blocking or growing a buffer.
TEST(AseHostile, SpecialFilesAreRefusedAsScenesAndTextures)
{
    TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    alarm(60);  // a reader that blocks on the FIFO ends the test instead of hanging it
    for (const std::string& path : {fifo, std::string("/dev/zero"), dir.path()}) {
        SCOPED_TRACE(path);
        AseScene scene{};
        scene.numObjects = 3;
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(loadAseScene(path.c_str(), &scene), 0);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "# " + path + " not found!\n");
        EXPECT_EQ(scene.numObjects, 3) << "the record is left as it was";
        EXPECT_EQ(loadTgaTexture(path.c_str(), 7), TGA_CANNOT_OPEN);
        size_t bytes = 0;
        EXPECT_EQ(tgaPixelBytes(path.c_str(), &bytes), TGA_CANNOT_OPEN);
        // A material naming it: the scene loads, the bitmap does not.
        const std::string text = std::string(HEADER) + "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n\t\t*BITMAP \"" +
                                 path + "\"\n\t}\n}\n";
        Loaded l(text, true);
        EXPECT_EQ(l.result, 1);
        ASSERT_EQ(l.scene.numMaterials, 1);
        EXPECT_EQ(l.scene.materials[0].hasBitmap, 1);
    }
    alarm(0);
}

// Memory that runs out while the reader builds its tables gives the reader's
// failure and an empty scene, not an abort. The address sanitizer reserves far
// more address space at start-up than any limit that makes an allocation fail
// could allow, so the test is built without it only.
#if !defined(__SANITIZE_ADDRESS__)
TEST(AseHostile, MemoryRunningOutGivesAnEmptyScene)
{
    std::string text = HEADER;
    for (int i = 0; i < 400000; ++i) text += "*CONTROL_POS_SAMPLE 0\t0.0\t0.0\t0.0\n";
    EXPECT_EXIT(loadUnderAddressLimit(text), ::testing::ExitedWithCode(0), "");
}
#endif

// Numbers read the same under a locale whose decimal separator is a comma.
TEST(AseHostile, NumbersIgnoreTheLocale)
{
    TempDir dir;
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        // Not installed: build it from the locale sources into the test's directory.
        const std::string command = "localedef -i de_DE -f UTF-8 " + dir.file("de_DE.UTF-8") + " >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0) setenv("LOCPATH", dir.path().c_str(), 1);
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale (package locales)";
    }
    ASSERT_FLOAT_EQ(std::strtof("1,5", nullptr), 1.5f) << "the comma locale is in force";
    // Numbers of every form: plain, with an exponent, more digits than a float
    // holds exactly, hexadecimal, past the float range.
    const std::string text = std::string(HEADER) +
                             "*GEOMOBJECT {\n\t*MESH {\n\t\t*MESH_NUMVERTEX 3\n"
                             "\t\t*MESH_VERTEX 0\t1.5\t-2.25e-3\t123456789.125\n"
                             "\t\t*MESH_VERTEX 1\t0.12345678912\t0x1.8p1\t1e39\n"
                             "\t\t*MESH_VERTEX 2\t-1e-50\t3.4028235e38\t16777217.5\n\t}\n"
                             "\t*WIREFRAME_COLOR 0.5\t1.25E2\t0.0001\n}\n";
    AseScene comma{};
    ASSERT_EQ(loadAseSceneFromMemory(text.data(), text.size(), &comma), 1);
    std::setlocale(LC_ALL, "C");
    AseScene plain{};
    ASSERT_EQ(loadAseSceneFromMemory(text.data(), text.size(), &plain), 1);
    ASSERT_EQ(comma.numObjects, 1);
    ASSERT_EQ(comma.objects[0].numVertices, 3);
    EXPECT_EQ(std::memcmp(comma.objects[0].vertices, plain.objects[0].vertices, 3 * sizeof(Vec3)), 0);
    EXPECT_EQ(std::memcmp(comma.objects[0].wireColor, plain.objects[0].wireColor, sizeof plain.objects[0].wireColor), 0);
    EXPECT_FLOAT_EQ(plain.objects[0].vertices[0].x, 1.5f);
    EXPECT_FLOAT_EQ(plain.objects[0].vertices[0].y, 123456789.125f);  // file z
    EXPECT_FLOAT_EQ(plain.objects[0].vertices[1].z, -3.0f);           // minus file y
    EXPECT_TRUE(std::isinf(plain.objects[0].vertices[1].y));
    EXPECT_FLOAT_EQ(plain.objects[0].wireColor[1], 125.0f);
    freeAseScene(&comma);
    freeAseScene(&plain);
}

// The stream of a file given as no bytes at all reads nothing, whatever size
// comes with it.
TEST(AseHostile, StreamOverNoBytesReadsNothing)
{
    AseMemoryStream in;
    in.open(nullptr, 4096);
    EXPECT_EQ(in.size(), 0u);
    EXPECT_TRUE(in.marks.empty());
    AseToken token{};
    EXPECT_EQ(in.token(&token), 0);
    EXPECT_EQ(in.eof(), 1);
    AseScene scene{};
    EXPECT_EQ(loadAseSceneFromMemory(nullptr, 4096, &scene), 1);
    EXPECT_EQ(scene.numObjects, 0);
}

class AseHostileTextures : public GLTest {};

// Materials naming one file share its texture; a scene loads at most
// ASE_MAX_SCENE_TEXTURES distinct files and ASE_MAX_SCENE_TEXEL_BYTES of texels.
TEST_F(AseHostileTextures, MaterialsShareTexturesWithinTheSceneBudgets)
{
    TempDir dir;
    dir.write("maps/one.tga", tgaFile(4, 100));
    dir.write("maps/two.tga", tgaFile(8, 200));
    ScopedChdir here(dir.path());
    {
        Loaded l(fixture("materials-naming-one-bitmap.ase"));
        ASSERT_EQ(l.scene.numMaterials, 4);
        const AseMaterial* m = l.scene.materials;
        EXPECT_EQ(m[0].textureName, m[1].textureName);
        EXPECT_EQ(m[0].textureName, m[2].textureName);
        EXPECT_NE(m[0].textureName, m[3].textureName);
        EXPECT_EQ(textureWidth(m[0].textureName), 4);
        EXPECT_EQ(textureWidth(m[3].textureName), 8);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(m[i].hasBitmap, 1) << i;
    }

    // More distinct files than the budget: the first ones load, the rest not.
    const int files = ASE_MAX_SCENE_TEXTURES + 5;
    std::string text = std::string(HEADER) + "*MATERIAL_LIST {\n\t*MATERIAL_COUNT " + std::to_string(files) + "\n";
    for (int i = 0; i < files; ++i) {
        dir.write("maps/t" + std::to_string(i) + ".tga", tgaFile(2, 50));
        text += "\t*MATERIAL " + std::to_string(i) + " {\n\t\t*BITMAP \"maps/t" + std::to_string(i) + ".tga\"\n\t}\n";
    }
    {
        Loaded l(text + "}\n", true);
        ASSERT_EQ(l.scene.numMaterials, files);
        for (int i = 0; i < files; ++i)
            EXPECT_EQ(textureWidth(l.scene.materials[i].textureName), i < ASE_MAX_SCENE_TEXTURES ? 2 : 0) << i;
    }

    // Large files: loaded while their texels fit in what is left.
    const size_t bytesPerFile = 512u * 512u * 3u;
    const int fitting = static_cast<int>(ASE_MAX_SCENE_TEXEL_BYTES / bytesPerFile);
    text = std::string(HEADER) + "*MATERIAL_LIST {\n\t*MATERIAL_COUNT " + std::to_string(fitting + 2) + "\n";
    for (int i = 0; i < fitting + 2; ++i) {
        dir.write("maps/big" + std::to_string(i) + ".tga", tgaFile(512, 10));
        text += "\t*MATERIAL " + std::to_string(i) + " {\n\t\t*BITMAP \"maps/big" + std::to_string(i) + ".tga\"\n\t}\n";
    }
    {
        Loaded l(text + "}\n", true);
        for (int i = 0; i < fitting + 2; ++i)
            EXPECT_EQ(textureWidth(l.scene.materials[i].textureName), i < fitting ? 512 : 0) << i;
    }
}

// Bitmap paths written with backslashes are found; one with a drive prefix is
// looked up by its file name beside the scene, then among the maps.
TEST_F(AseHostileTextures, BackslashAndDrivePathsAreFound)
{
    TempDir dir;
    dir.write("maps/x.tga", tgaFile(4, 100));
    dir.write("maps/y.tga", tgaFile(8, 100));
    dir.write("models/bitmap-paths-with-backslashes.ase", readText(fixture("bitmap-paths-with-backslashes.ase")));
    ScopedChdir here(dir.path());
    {
        Loaded l(std::string("models/bitmap-paths-with-backslashes.ase"));
        ASSERT_EQ(l.scene.numMaterials, 2);
        EXPECT_STREQ(l.scene.materials[0].bitmapPath, "maps\\x.tga") << "the path is kept as written";
        EXPECT_EQ(textureWidth(l.scene.materials[0].textureName), 4);
        EXPECT_EQ(textureWidth(l.scene.materials[1].textureName), 8) << "found under maps/";
    }
    dir.write("models/y.tga", tgaFile(16, 100));
    {
        Loaded l(std::string("models/bitmap-paths-with-backslashes.ase"));
        EXPECT_EQ(textureWidth(l.scene.materials[1].textureName), 16) << "found beside the scene first";
    }
}

class AseHostileOverlay : public GLTest {};

// A flash or fade window whose start equals its end sets a real colour.
TEST_F(AseHostileOverlay, WindowsOfNoLengthSetAFiniteColour)
{
    struct Case {
        const char* name;
        std::function<void()> draw;
        float level;
    };
    const Case cases[] = {
        {"flash", [] { flashOverlay(2.0f, 2.0f, 2.0f, 0.75f); }, 0.75f},
        {"fade in", [] { fadeOverlay(FADE_IN, 2.0f, 2.0f, 2.0f); }, 1.0f},
        {"fade out", [] { fadeOverlay(FADE_OUT, 2.0f, 2.0f, 2.0f); }, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        glColor4f(0.3f, 0.3f, 0.3f, 1.0f);
        c.draw();
        GLfloat colour[4] = {};
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_FALSE(std::isnan(colour[0]));
        EXPECT_FLOAT_EQ(colour[0], c.level);
    }
}
