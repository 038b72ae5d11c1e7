// Files anyone can replace: every asset the demo reads damaged in the same way
// at once (empty, cut to half, cut to 17 bytes, random bytes), the soundtrack
// replaced by an image, and ASE scenes at the extremes of their counts,
// indices, line lengths and endings. Whatever the files hold, the demo plays
// all six scenes without a GL error and exits 0; the readers keep inside
// their arrays (the suite also runs under the address sanitizer).
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "assets/ase.h"
#include "assets/tga.h"
#include "render/model.h"
#include "scenes/fire.h"
#include "scenes/flythrough.h"
#include "scenes/scenes.h"
#include "scenes/spheres.h"
#include "shell/demo.h"
#include "shell/music.h"
#include "tests/support/demo_run.h"
#include "tests/support/mp3.h"
#include "tests/support/scene_calls.h"
#include "tests/support/support.h"
#include "tools/assets/ase_write.h"

namespace {

// ---------------------------------------------------------------------------
// Whole-demo runs.

constexpr int DAMAGED_FPS = 1;  // frames per second: the whole show in few frames, every scene still gets several
constexpr int INTACT_FPS = 1;
constexpr int SOUNDTRACK_RATE = 44100;  // Hz
constexpr int SOUNDTRACK_FRAMES = 4 * SOUNDTRACK_RATE;  // a short soundtrack stands in for the real one
constexpr unsigned LAST_FIXED_TEXTURE = TEX_SPHERES_FIRST;  // fixed texture names run 0 .. this
constexpr int DEMO_TEXTURE_FILES = 47;  // TGA paths the scenes and the loading phase name, each under a fixed name

// One moment inside each scene, to look at.
struct Snapshot {
    double time;  // demo seconds
    const char* name;
};
constexpr Snapshot SNAPSHOTS[SCENE_COUNT] = {{6.0, "titles"},      {30.0, "fire"},       {100.0, "tower"},
                                             {140.0, "flythrough"}, {170.0, "greetings"}, {185.0, "spheres"}};

// How many texture names in [first, last] hold an image, leaving the binding as it was.
// The zoom blur's render target is not one of the demo's files and is not counted.
int texturesWithImages(unsigned first, unsigned last)
{
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    int count = 0;
    for (unsigned name = first; name <= last && name >= first; ++name) {
        if (name == sphereRenderTarget && name != 0) continue;
        count += textureLevel(name, GL_TEXTURE_WIDTH) > 0 ? 1 : 0;  // name 0 included: the loading image
    }
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    return count;
}

// The run's log and what the last frame finds loaded.
struct RunLog : DemoRunLog {
    int fixedTextures = -1;     // fixed names holding an image, counted at the last frame
    int materialTextures = -1;  // material names holding an image, counted at the last frame
};

void recordSwap(void* user)
{
    RunLog& log = *static_cast<RunLog*>(user);
    recordDemoSwap(&log);
    if (sceneDone && sceneCalls.current == SCENE_COUNT - 1) {
        // Everything is loaded by now; the spheres' clean-up comes next.
        log.fixedTextures = texturesWithImages(TEX_LOADING, LAST_FIXED_TEXTURE);
        log.materialTextures =
            aseNextTextureName > ASE_TEXTURE_NAME_BASE ? texturesWithImages(ASE_TEXTURE_NAME_BASE, aseNextTextureName - 1) : 0;
    }
}

// Runs the whole demo in a directory at a low frame rate, the scenes' calls
// counted; returns its exit status.
int runDemo(const std::string& workingDirectory, int framesPerSecond, RunLog& log)
{
    for (const Snapshot& s : SNAPSHOTS) log.snapshotTimes.push_back(s.time);
    installLoggedDemoScenes();
    return runWholeDemo(workingDirectory, framesPerSecond, &log, recordSwap, &log);
}

// Every scene set up, drawn and cleaned up once in order, each ended by the first
// frame at or past its end time, and no GL error at any swap.
void expectEverySceneRan(const RunLog& log, int framesPerSecond)
{
    expectScenesEndedOnTime(log, framesPerSecond);
    for (int k = 0; k < SCENE_COUNT; ++k) {
        SCOPED_TRACE(DEMO_TIMELINE[k].name);
        const std::string number = std::to_string(k + 1);
        EXPECT_EQ(sceneCalls.count("setup" + number), 1);
        EXPECT_EQ(sceneCalls.count("cleanup" + number), 1);
        const double seconds = DEMO_TIMELINE[k].end - sceneStartsAt(k);
        EXPECT_GE(sceneCalls.count("draw" + number), static_cast<int>(seconds * framesPerSecond));
        EXPECT_LE(sceneCalls.count("draw" + number), static_cast<int>(seconds * framesPerSecond) + 2);
    }
    EXPECT_GE(log.lastTime, SPHERES_END);
    ASSERT_EQ(log.snapshots.size(), static_cast<size_t>(SCENE_COUNT));
}

void keepFrames(const std::string& run, const RunLog& log)
{
    keepFrame(log.loadingFrame, "faults/" + run + "-loading.png");
    for (size_t k = 0; k < log.snapshots.size(); ++k)
        keepFrame(log.snapshots[k], "faults/" + run + "-" + SNAPSHOTS[k].name + ".png");
}

std::string soundErrorText(const char* text, int code) { return std::string(text) + "\n(error code: " + std::to_string(code) + ")"; }

// A copy of the pack (textures and scenes) with a short soundtrack, in a directory of its own.
bool writePack(const TempDir& dir)
{
    return copyPack(dir.path()) && !writeSweepMp3(dir.file("Halvo.mp3"), SOUNDTRACK_FRAMES, 2, SOUNDTRACK_RATE).empty();
}

// Replaces a file's bytes (an empty vector makes an empty file).
bool replaceFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

// A small generator of its own, so the random files are the same on every run.
uint32_t nextRandom(uint32_t* state)
{
    *state ^= *state << 13;
    *state ^= *state >> 17;
    *state ^= *state << 5;
    return *state;
}

std::vector<unsigned char> emptied(const std::vector<unsigned char>&, uint32_t) { return {}; }
std::vector<unsigned char> halved(const std::vector<unsigned char>& bytes, uint32_t)
{
    return std::vector<unsigned char>(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2));
}
std::vector<unsigned char> cutTo17(const std::vector<unsigned char>& bytes, uint32_t)
{
    return std::vector<unsigned char>(bytes.begin(), bytes.begin() + static_cast<long>(std::min<size_t>(17, bytes.size())));
}
std::vector<unsigned char> randomised(const std::vector<unsigned char>& bytes, uint32_t seed)
{
    std::vector<unsigned char> out(bytes.size());
    uint32_t state = seed;
    for (unsigned char& b : out) b = static_cast<unsigned char>(nextRandom(&state) >> 24);
    return out;
}

// One way of damaging every file of the pack, and what the soundtrack then does.
struct Damage {
    const char* name;
    std::vector<unsigned char> (*apply)(const std::vector<unsigned char>& bytes, uint32_t seed);
    int soundtrackError;  // the stream's creation fails with this code; SOUND_OK: it plays
};
const Damage DAMAGES[] = {
    {"empty", emptied, SOUND_ERROR_FORMAT},
    {"half", halved, SOUND_OK},
    {"seventeen_bytes", cutTo17, SOUND_ERROR_FORMAT},
    {"random", randomised, SOUND_ERROR_FORMAT},
};

// How many whole tokens of a file equal a keyword, as a token reader that stops
// each token at its first NUL sees them.
int countTokens(const std::vector<unsigned char>& bytes, const std::string& keyword)
{
    auto space = [](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    int count = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        while (i < bytes.size() && space(bytes[i])) ++i;
        const size_t start = i;
        while (i < bytes.size() && !space(bytes[i])) ++i;
        std::string token(bytes.begin() + static_cast<long>(start), bytes.begin() + static_cast<long>(i));
        token = token.substr(0, token.find('\0'));
        count += i > start && token == keyword ? 1 : 0;
    }
    return count;
}

// The three scene records the demo loads, with their files.
struct LoadedScene {
    const char* path;
    const AseScene* scene;
};
const LoadedScene LOADED_SCENES[] = {
    {"models/escena01.ase", &fireMainScene},
    {"models/fuegoscn01.ase", &fireFlameScene},
    {"models/escena02.ase", &flythroughModel},
};

void PrintTo(const Damage& damage, std::ostream* out) { *out << damage.name; }

class DamagedPack : public ::testing::TestWithParam<Damage> {};

}  // namespace

// Every file the demo reads damaged the same way: no texture loads (each is cut
// inside its header or its pixels, or its header is noise), the scenes hold
// what is left of them, and the demo plays every scene on the white loading
// quad and empty textures to its end.
TEST_P(DamagedPack, EverySceneRunsAndTheDemoExitsNormally)
{
    const Damage& damage = GetParam();
    TempDir dir;
    ASSERT_TRUE(writePack(dir));
    const std::vector<std::string> files = listFiles(dir.path());
    ASSERT_GE(files.size(), 50u);  // textures, material bitmaps, three scenes, the soundtrack
    uint32_t seed = 0x9E3779B9u;
    for (const std::string& file : files) {
        seed += 0x6D2B79F5u;  // each file its own noise
        const std::vector<unsigned char> bytes = readBinaryFile(file);
        ASSERT_GT(bytes.size(), 34u) << file;
        ASSERT_TRUE(replaceFile(file, damage.apply(bytes, seed))) << file;
    }
    int nodesLeft[3] = {};
    for (int s = 0; s < 3; ++s) nodesLeft[s] = countTokens(readBinaryFile(dir.file(LOADED_SCENES[s].path)), "*GEOMOBJECT");
    RunLog log;
    EXPECT_EQ(runDemo(dir.path(), DAMAGED_FPS, log), 0);
    keepFrames(damage.name, log);
    expectEverySceneRan(log, DAMAGED_FPS);

    // The loading image did not load: a white quad fills the first frame.
    EXPECT_TRUE(log.loadingFrame.uniform());
    EXPECT_EQ(log.loadingFrame.at(400, 300)[0], 255);
    // No texture of any file has an image.
    EXPECT_EQ(log.fixedTextures, 0);
    EXPECT_EQ(log.materialTextures, 0);
    // Each scene record holds the nodes the damaged file still opens.
    for (int s = 0; s < 3; ++s) EXPECT_EQ(LOADED_SCENES[s].scene->numObjects, nodesLeft[s]) << LOADED_SCENES[s].path;
    if (damage.apply == halved) {
        EXPECT_GT(nodesLeft[0] + nodesLeft[1] + nodesLeft[2], 0);
    }
    // The frames still show what each scene draws without its pictures.
    for (int k : {2, 4, 5}) EXPECT_FALSE(log.snapshots[k].uniform()) << SNAPSHOTS[k].name << " drew nothing";

    if (damage.soundtrackError == SOUND_OK) {
        EXPECT_EQ(headlessMessageBoxCount(), 0);
        EXPECT_GT(musicBytes, 0u) << "half the file plays";
        EXPECT_LT(musicBytes, uint32_t(SOUNDTRACK_FRAMES) * 4);
    } else {
        EXPECT_TRUE(sawMessageBox("Error", soundErrorText("Can't create stream", damage.soundtrackError)));
        EXPECT_TRUE(sawMessageBox("Error", soundErrorText("Can't play stream", SOUND_ERROR_HANDLE)));
        EXPECT_EQ(headlessMessageBoxCount(), 2);
        EXPECT_EQ(musicStream, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFile, DamagedPack, ::testing::ValuesIn(DAMAGES),
                         [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

// The soundtrack replaced by a picture, everything else intact: the stream is
// refused as no MP3, both failures are shown, and the demo plays silently to
// its end with every picture loaded.
TEST(FaultySoundtrack, AnImageUnderTheSoundtracksNameIsReportedAndTheDemoPlaysOn)
{
    TempDir dir;
    ASSERT_TRUE(writePack(dir));
    ASSERT_TRUE(replaceFile(dir.file("Halvo.mp3"), readBinaryFile(dir.file("maps/loading-vantrel.tga"))));
    RunLog log;
    EXPECT_EQ(runDemo(dir.path(), INTACT_FPS, log), 0);
    keepFrames("soundtrack-is-an-image", log);
    expectEverySceneRan(log, INTACT_FPS);
    EXPECT_TRUE(sawMessageBox("Error", soundErrorText("Can't create stream", SOUND_ERROR_FORMAT)));
    EXPECT_TRUE(sawMessageBox("Error", soundErrorText("Can't play stream", SOUND_ERROR_HANDLE)));
    EXPECT_EQ(headlessMessageBoxCount(), 2);
    EXPECT_EQ(musicStream, 0u);
    EXPECT_EQ(musicSeconds, 0.0f);
    EXPECT_EQ(headlessAudioFrames() > 0 ? *std::max_element(headlessAudioSamples(), headlessAudioSamples() + 2 * headlessAudioFrames()) : 0, 0);
    // The pictures did load: the loading image shows, and the textures hold images.
    EXPECT_FALSE(log.loadingFrame.uniform());
    EXPECT_EQ(log.fixedTextures, DEMO_TEXTURE_FILES);
    EXPECT_GT(log.materialTextures, 0);
    for (const LoadedScene& s : LOADED_SCENES) EXPECT_GT(s.scene->numObjects, 0) << s.path;
}

// ---------------------------------------------------------------------------
// ASE scenes at the extremes.

namespace {

// A small sound scene, one material and one triangle node, as the generator's
// writer writes it. The triangle lies in the file's plane z = 6, so its normals
// point along the file's z (the drawing's y).
std::string soundScene()
{
    SceneDesc scene;
    scene.fileName = "sound.max";
    MaterialDesc stone{"Stone", "maps/stone.tga", {0.5f, 0.5f, 0.5f}};
    stone.uTiling = 2.0f;
    stone.vTiling = 4.0f;
    scene.materials.push_back(stone);
    MeshNode tri;
    tri.name = "Tri";
    tri.material = 0;
    // Drawing axes (x, y, z) of the file's (1, 2, 6), (4, 2, 6) and (1, 8, 6).
    tri.vertices = {{1.0, 6.0, -2.0}, {4.0, 6.0, -2.0}, {1.0, 6.0, -8.0}};
    tri.faces = {{{0, 1, 2}}};
    tri.texVertices = {{0.1, 0.2}, {0.3, 0.4}, {0.5, 0.6}};
    tri.texFaces = {{{0, 1, 2}}};
    scene.nodes.push_back(tri);
    return aseText(scene);
}

// The sound scene with the changes a case makes: values replaced as text and
// lines added, each at its place in the writer's text.
struct AseText {
    std::string materialCount = "1";
    std::string subMaterials;  // added at the end of the material block
    std::string numVertex = "3";
    std::string numFaces = "1";
    std::string numTVertex = "3";
    std::string numTVFaces = "1";
    std::string materialRef = "0";
    std::string moreFaceLines;     // after the face's line
    std::string faceLinesInstead;  // in place of the face's line, when set
    std::string vertexLines;       // after the three vertices
    std::string tvertLines;        // after the three texture vertices
    std::string moreTFaceLines;    // after the texture face's line
    std::string tfaceLinesInstead; // in place of the texture face's line, when set
    std::string normalLines;   // after the face's normals
    std::string nodeExtra;     // after the node's names, before its mesh
    std::string tail;          // after the node, at the end of the file

    std::string text() const
    {
        std::string t = soundScene();
        value(&t, "*MATERIAL_COUNT ", materialCount);
        value(&t, "*MESH_NUMVERTEX ", numVertex);
        value(&t, "*MESH_NUMFACES ", numFaces);
        value(&t, "*MESH_NUMTVERTEX ", numTVertex);
        value(&t, "*MESH_NUMTVFACES ", numTVFaces);
        value(&t, "*MATERIAL_REF ", materialRef);
        atEndOf(&t, "\t*MATERIAL 0 {\n", "\t}\n", subMaterials);
        atEndOf(&t, "*MESH_VERTEX_LIST {\n", "\t\t}\n", vertexLines);
        atEndOf(&t, "*MESH_TVERTLIST {\n", "\t\t}\n", tvertLines);
        atEndOf(&t, "*MESH_NORMALS {\n", "\t\t}\n", normalLines);
        atEndOf(&t, "*MESH_FACE_LIST {\n", "\t\t}\n", moreFaceLines);
        atEndOf(&t, "*MESH_TFACELIST {\n", "\t\t}\n", moreTFaceLines);
        if (!faceLinesInstead.empty()) replaceBlock(&t, "*MESH_FACE_LIST {\n", "\t\t}\n", faceLinesInstead);
        if (!tfaceLinesInstead.empty()) replaceBlock(&t, "*MESH_TFACELIST {\n", "\t\t}\n", tfaceLinesInstead);
        t.insert(t.find("\t*MESH {\n"), nodeExtra);
        return t + tail;
    }

private:
    // Replaces the value after the first keyword (up to the end of its line).
    static void value(std::string* t, const std::string& keyword, const std::string& text)
    {
        const size_t at = t->find(keyword) + keyword.size();
        t->replace(at, t->find('\n', at) - at, text);
    }
    // Where the first line that is exactly closer starts, after the first block that opens with opener.
    static size_t closingLine(const std::string& t, const std::string& opener, const std::string& closer)
    {
        const size_t open = t.find(opener) + opener.size();
        return t.find("\n" + closer, open - 1) + 1;
    }
    // Adds lines just before the closing line of the first block that opens with opener.
    static void atEndOf(std::string* t, const std::string& opener, const std::string& closer, const std::string& lines)
    {
        t->insert(closingLine(*t, opener, closer), lines);
    }
    // Puts lines in place of everything inside that block.
    static void replaceBlock(std::string* t, const std::string& opener, const std::string& closer, const std::string& lines)
    {
        const size_t open = t->find(opener) + opener.size();
        t->replace(open, closingLine(*t, opener, closer) - open, lines);
    }
};

constexpr const char* INT_MAX_TEXT = "2147483647";
constexpr const char* INT_MIN_TEXT = "-2147483648";
constexpr const char* PAST_INT_TEXT = "99999999999";  // the C library's %d stores this as -1

// The same bytes through the in-memory reader and through the file reader.
struct LoadedBoth {
    AseScene fromMemory{};
    AseScene fromFile{};
    int memoryResult = 0;
    int fileResult = 0;
    explicit LoadedBoth(const std::string& text)
    {
        memoryResult = loadAseSceneFromMemory(text.data(), text.size(), &fromMemory);
        TempDir dir;
        const std::string path = dir.write("scene.ase", text);
        fileResult = loadAseScene(path.c_str(), &fromFile);
    }
    ~LoadedBoth()
    {
        freeAseScene(&fromMemory);
        freeAseScene(&fromFile);
    }
};

// What a sound node holds; each check names what a case changes from it.
void expectSoundVertices(const GeomObject& g)
{
    ASSERT_EQ(g.numVertices, 3);
    ASSERT_NE(g.vertices, nullptr);
    EXPECT_FLOAT_EQ(g.vertices[0].x, 1.0f);
    EXPECT_FLOAT_EQ(g.vertices[1].y, 6.0f);  // file z
    EXPECT_FLOAT_EQ(g.vertices[2].z, -8.0f);  // minus file y
    ASSERT_NE(g.vertexNormals, nullptr);
    EXPECT_FLOAT_EQ(g.vertexNormals[0].y, 1.0f);
}
void expectSoundFace(const GeomObject& g)
{
    ASSERT_EQ(g.numFaces, 1);
    ASSERT_NE(g.faces, nullptr);
    EXPECT_EQ(g.faces[0].v[0], 0);
    EXPECT_EQ(g.faces[0].v[1], 1);
    EXPECT_EQ(g.faces[0].v[2], 2);
    EXPECT_EQ(g.faces[0].t[2], 2);
    EXPECT_FLOAT_EQ(g.faces[0].normal.y, 1.0f);
}
// tiling: the material's factors applied to the texture vertices, 1 when none applies.
void expectSoundTexVertices(const GeomObject& g, float uTiling, float vTiling)
{
    ASSERT_EQ(g.numTexVertices, 3);
    ASSERT_NE(g.texVertices, nullptr);
    EXPECT_FLOAT_EQ(g.texVertices[0].u, 0.1f * uTiling);
    EXPECT_FLOAT_EQ(g.texVertices[2].v, 0.6f * vTiling);
}

struct AseCase {
    const char* name;
    void (*edit)(AseText& text);
    void (*check)(const AseScene& scene);
};

void checkBoth(const AseCase& c)
{
    SCOPED_TRACE(c.name);
    AseText text;
    c.edit(text);
    LoadedBoth l(text.text());
    EXPECT_EQ(l.memoryResult, 1);
    EXPECT_EQ(l.fileResult, 1);
    {
        SCOPED_TRACE("from memory");
        c.check(l.fromMemory);
    }
    {
        SCOPED_TRACE("from the file");
        c.check(l.fromFile);
    }
}

// A node whose vertex count the file cannot fill: no vertex or normal array, the rest read.
void checkNoVertices(const AseScene& s)
{
    ASSERT_EQ(s.numObjects, 1);
    const GeomObject& g = s.objects[0];
    EXPECT_EQ(g.numVertices, 0);
    EXPECT_EQ(g.vertices, nullptr);
    EXPECT_EQ(g.vertexNormals, nullptr);
    expectSoundFace(g);
    expectSoundTexVertices(g, 2.0f, 4.0f);
}
void checkNoFaces(const AseScene& s)
{
    ASSERT_EQ(s.numObjects, 1);
    const GeomObject& g = s.objects[0];
    EXPECT_EQ(g.numFaces, 0);
    EXPECT_EQ(g.faces, nullptr);
    expectSoundVertices(g);
    expectSoundTexVertices(g, 2.0f, 4.0f);
}
void checkNoTexVertices(const AseScene& s)
{
    ASSERT_EQ(s.numObjects, 1);
    const GeomObject& g = s.objects[0];
    EXPECT_EQ(g.numTexVertices, 0);
    EXPECT_EQ(g.texVertices, nullptr);
    expectSoundVertices(g);
    expectSoundFace(g);
}
// No material table: the node's texture vertices are stored as read.
void checkNoMaterials(const AseScene& s)
{
    EXPECT_EQ(s.numMaterials, 0);
    EXPECT_EQ(s.materials, nullptr);
    ASSERT_EQ(s.numObjects, 1);
    EXPECT_EQ(s.objects[0].materialRef, 0);
    expectSoundVertices(s.objects[0]);
    expectSoundTexVertices(s.objects[0], 1.0f, 1.0f);
}
// Everything as in the sound scene.
void checkSound(const AseScene& s)
{
    ASSERT_EQ(s.numMaterials, 1);
    EXPECT_STREQ(s.materials[0].name, "Stone");
    ASSERT_GE(s.numObjects, 1);  // cases may add nodes after it
    const GeomObject& g = s.objects[0];
    EXPECT_STREQ(g.name, "Tri");
    expectSoundVertices(g);
    expectSoundFace(g);
    expectSoundTexVertices(g, 2.0f, 4.0f);
}

}  // namespace

// Every count field at the limits of int, below zero and past int: a table
// that no file that size can fill is not allocated and its count becomes 0;
// the counts that size nothing are kept; the rest of the scene is read.
TEST(AseExtremes, CountsAtAndPastTheLimitsOfInt)
{
    const AseCase cases[] = {
        {"the sound scene", [](AseText&) {}, checkSound},
        {"vertex count INT_MAX", [](AseText& t) { t.numVertex = INT_MAX_TEXT; }, checkNoVertices},
        {"vertex count INT_MIN", [](AseText& t) { t.numVertex = INT_MIN_TEXT; }, checkNoVertices},
        {"vertex count -1", [](AseText& t) { t.numVertex = "-1"; }, checkNoVertices},
        {"vertex count past int", [](AseText& t) { t.numVertex = PAST_INT_TEXT; }, checkNoVertices},
        {"face count INT_MAX", [](AseText& t) { t.numFaces = INT_MAX_TEXT; }, checkNoFaces},
        {"face count INT_MIN", [](AseText& t) { t.numFaces = INT_MIN_TEXT; }, checkNoFaces},
        {"face count -1", [](AseText& t) { t.numFaces = "-1"; }, checkNoFaces},
        {"face count past int", [](AseText& t) { t.numFaces = PAST_INT_TEXT; }, checkNoFaces},
        {"texture vertex count INT_MAX", [](AseText& t) { t.numTVertex = INT_MAX_TEXT; }, checkNoTexVertices},
        {"texture vertex count INT_MIN", [](AseText& t) { t.numTVertex = INT_MIN_TEXT; }, checkNoTexVertices},
        {"texture vertex count -7", [](AseText& t) { t.numTVertex = "-7"; }, checkNoTexVertices},
        {"material count INT_MAX", [](AseText& t) { t.materialCount = INT_MAX_TEXT; }, checkNoMaterials},
        {"material count INT_MIN", [](AseText& t) { t.materialCount = INT_MIN_TEXT; }, checkNoMaterials},
        {"material count -1", [](AseText& t) { t.materialCount = "-1"; }, checkNoMaterials},
        {"material count past int", [](AseText& t) { t.materialCount = PAST_INT_TEXT; }, checkNoMaterials},
        {"texture face count INT_MAX",
         [](AseText& t) { t.numTVFaces = INT_MAX_TEXT; },
         [](const AseScene& s) {
             checkSound(s);
             EXPECT_EQ(s.objects[0].numTexFaces, 2147483647);  // kept: no array is sized by it
         }},
        {"texture face count INT_MIN",
         [](AseText& t) { t.numTVFaces = INT_MIN_TEXT; },
         [](const AseScene& s) {
             checkSound(s);
             EXPECT_EQ(s.objects[0].numTexFaces, -2147483647 - 1);
         }},
        {"sub-material count INT_MAX, its block read into the material",
         [](AseText& t) {
             t.subMaterials = "\t\t*NUMSUBMTLS 2147483647\n\t\t*SUBMATERIAL 0 {\n\t\t\t*MATERIAL_NAME \"Inner\"\n"
                              "\t\t\t*UVW_U_TILING 3.0000\n\t\t}\n";
         },
         [](const AseScene& s) {
             ASSERT_EQ(s.numMaterials, 1);
             EXPECT_STREQ(s.materials[0].name, "Inner");  // the last name before the next *MATERIAL
             ASSERT_EQ(s.numObjects, 1);
             expectSoundTexVertices(s.objects[0], 3.0f, 4.0f);
         }},
        {"sub-material count -1",
         [](AseText& t) { t.subMaterials = "\t\t*NUMSUBMTLS -1\n"; },
         checkSound},
        {"material count 3 with one material block",
         [](AseText& t) { t.materialCount = "3"; },
         [](const AseScene& s) {
             ASSERT_EQ(s.numMaterials, 3);
             EXPECT_STREQ(s.materials[0].name, "Stone");
             EXPECT_STREQ(s.materials[2].name, "");
             EXPECT_EQ(s.materials[2].hasBitmap, 0);
             expectSoundTexVertices(s.objects[0], 2.0f, 4.0f);
         }},
    };
    for (const AseCase& c : cases) checkBoth(c);
}

// Element indices past every array and below zero: lines that address an
// element outside their array are ignored; indices a face holds are kept as
// read (the renderer skips faces that reach outside their arrays); material
// references outside the table leave the node without a material.
TEST(AseExtremes, IndicesPastEveryArray)
{
    const AseCase cases[] = {
        {"vertex lines at INT_MAX, INT_MIN and the count",
         [](AseText& t) {
             t.vertexLines = "\t\t\t*MESH_VERTEX 2147483647\t9.0\t9.0\t9.0\n\t\t\t*MESH_VERTEX -2147483648\t9.0\t9.0\t9.0\n"
                             "\t\t\t*MESH_VERTEX 3\t9.0\t9.0\t9.0\n\t\t\t*MESH_VERTEX 99999999999\t9.0\t9.0\t9.0\n";
         },
         checkSound},
        {"texture vertex lines past the array",
         [](AseText& t) {
             t.tvertLines = "\t\t\t*MESH_TVERT 2147483647\t9.0\t9.0\t0.0\n\t\t\t*MESH_TVERT -1\t9.0\t9.0\t0.0\n"
                            "\t\t\t*MESH_TVERT 3\t9.0\t9.0\t0.0\n";
         },
         checkSound},
        {"normal lines past the arrays",
         [](AseText& t) {
             t.normalLines = "\t\t\t*MESH_FACENORMAL 2147483647\t9.0\t9.0\t9.0\n\t\t\t*MESH_FACENORMAL -1\t9.0\t9.0\t9.0\n"
                             "\t\t\t\t*MESH_VERTEXNORMAL 2147483647\t9.0\t9.0\t9.0\n"
                             "\t\t\t\t*MESH_VERTEXNORMAL -2147483648\t9.0\t9.0\t9.0\n"
                             "\t\t\t\t*MESH_VERTEXNORMAL 3\t9.0\t9.0\t9.0\n";
         },
         checkSound},
        {"face lines past the array",
         [](AseText& t) {
             t.moreFaceLines = "\t\t\t*MESH_FACE 2147483647: A: 9 B: 9 C: 9 AB: 1 BC: 1 CA: 1\t *MESH_SMOOTHING 1 \t*MESH_MTLID 9\n"
                            "\t\t\t*MESH_FACE -1: A: 9 B: 9 C: 9 AB: 1 BC: 1 CA: 1\t *MESH_SMOOTHING 1 \t*MESH_MTLID 9\n"
                            "\t\t\t*MESH_FACE 1: A: 9 B: 9 C: 9 AB: 1 BC: 1 CA: 1\t *MESH_SMOOTHING 1 \t*MESH_MTLID 9\n";
             t.moreTFaceLines = "\t\t\t*MESH_TFACE 2147483647\t9\t9\t9\n\t\t\t*MESH_TFACE -2147483648\t9\t9\t9\n"
                             "\t\t\t*MESH_TFACE 1\t9\t9\t9\n";
         },
         [](const AseScene& s) {
             checkSound(s);
             EXPECT_EQ(s.objects[0].faces[0].materialId, 0);
         }},
        {"a face's vertex and texture indices past their arrays",
         [](AseText& t) {
             t.faceLinesInstead = "\t\t\t*MESH_FACE 0: A: 2147483647 B: -1 C: 3 AB: 1 BC: 1 CA: 1\t *MESH_SMOOTHING 1 "
                           "\t*MESH_MTLID 2147483647\n";
             t.tfaceLinesInstead = "\t\t\t*MESH_TFACE 0\t-2147483648\t3\t2147483647\n";
         },
         [](const AseScene& s) {
             ASSERT_EQ(s.numObjects, 1);
             const GeomObject& g = s.objects[0];
             expectSoundVertices(g);
             ASSERT_EQ(g.numFaces, 1);
             EXPECT_EQ(g.faces[0].v[0], 2147483647);
             EXPECT_EQ(g.faces[0].v[1], -1);
             EXPECT_EQ(g.faces[0].v[2], 3);
             EXPECT_EQ(g.faces[0].t[0], -2147483647 - 1);
             EXPECT_EQ(g.faces[0].t[2], 2147483647);
             EXPECT_EQ(g.faces[0].materialId, 2147483647);
         }},
        {"material reference INT_MAX",
         [](AseText& t) { t.materialRef = INT_MAX_TEXT; },
         [](const AseScene& s) {
             ASSERT_EQ(s.numObjects, 1);
             EXPECT_EQ(s.objects[0].materialRef, 2147483647);
             expectSoundTexVertices(s.objects[0], 1.0f, 1.0f);
         }},
        {"material reference INT_MIN",
         [](AseText& t) { t.materialRef = INT_MIN_TEXT; },
         [](const AseScene& s) {
             ASSERT_EQ(s.numObjects, 1);
             EXPECT_EQ(s.objects[0].materialRef, -2147483647 - 1);
             expectSoundTexVertices(s.objects[0], 1.0f, 1.0f);
         }},
        {"material reference equal to the count",
         [](AseText& t) { t.materialRef = "1"; },
         [](const AseScene& s) {
             ASSERT_EQ(s.numObjects, 1);
             expectSoundTexVertices(s.objects[0], 1.0f, 1.0f);
         }},
    };
    for (const AseCase& c : cases) checkBoth(c);
}

// Lines and tokens of 100 000 characters: a long line is skipped 254
// characters at a time, a long token is one unknown word, a long number
// saturates, a long name is cut to its field.
TEST(AseExtremes, HundredThousandCharacterLinesAndTokens)
{
    constexpr size_t LONG = 100000;
    static const std::string longWord(LONG, 'x');
    static std::string shortWords;
    for (size_t i = 0; shortWords.size() < LONG; ++i) shortWords += " w";
    static const std::string longDigits(LONG, '9');
    static const std::string longZeros = "0." + std::string(LONG - 2, '0');
    static const std::string longKeyword = "*MESH_NUMVERTEX" + std::string(LONG - 15, 'X');
    const AseCase cases[] = {
        {"a line of one long word",
         [](AseText& t) { t.nodeExtra = "\t*COMMENT " + longWord + "\n"; },
         checkSound},
        {"a line of many short words",
         [](AseText& t) { t.nodeExtra = "\t*COMMENT" + shortWords + "\n"; },
         checkSound},
        {"a long word alone on its line",
         [](AseText& t) { t.nodeExtra = longWord + "\n"; },
         checkSound},
        {"a long keyword-like token",
         [](AseText& t) { t.nodeExtra = "\t" + longKeyword + " 77\n"; },
         checkSound},
        {"a long vertex count",
         [](AseText& t) { t.numVertex = longDigits; },
         checkNoVertices},
        {"a long material count",
         [](AseText& t) { t.materialCount = "-" + longDigits; },
         checkNoMaterials},
        {"a long number as a coordinate",
         [](AseText& t) { t.vertexLines = "\t\t\t*MESH_VERTEX 1\t" + longDigits + "\t" + longZeros + "\t-" + longDigits + "\n"; },
         [](const AseScene& s) {
             ASSERT_EQ(s.numObjects, 1);
             const GeomObject& g = s.objects[0];
             ASSERT_EQ(g.numVertices, 3);
             EXPECT_TRUE(std::isinf(g.vertices[1].x) && g.vertices[1].x > 0);
             EXPECT_EQ(g.vertices[1].z, 0.0f);  // minus file y
             EXPECT_TRUE(std::isinf(g.vertices[1].y) && g.vertices[1].y < 0);
             expectSoundFace(g);
         }},
        {"a long node name",
         [](AseText& t) { t.nodeExtra = "\t*NODE_NAME \"" + longWord + "\"\n"; },
         [](const AseScene& s) {
             ASSERT_EQ(s.numObjects, 1);
             EXPECT_EQ(std::string(s.objects[0].name), std::string(ASE_NAME_SIZE - 1, 'x'));
             expectSoundVertices(s.objects[0]);
         }},
        {"a long bitmap path",
         [](AseText& t) { t.subMaterials = "\t\t*BITMAP \"" + longWord + "\"\n"; },
         [](const AseScene& s) {
             ASSERT_EQ(s.numMaterials, 1);
             EXPECT_EQ(s.materials[0].hasBitmap, 1);
             EXPECT_EQ(std::string(s.materials[0].bitmapPath), std::string(ASE_NAME_SIZE - 1, 'x'));
             expectSoundTexVertices(s.objects[0], 2.0f, 4.0f);
         }},
    };
    for (const AseCase& c : cases) checkBoth(c);
}

// Files that end without a newline, in the middle of a line, or right after
// a keyword that expects more: what was read is kept.
TEST(AseExtremes, FilesThatEndAbruptly)
{
    const AseCase cases[] = {
        {"no newline after a vertex line",
         [](AseText& t) { t.tail = "*GEOMOBJECT {\n\t*MESH {\n\t\t*MESH_NUMVERTEX 3\n\t\t*MESH_VERTEX 2\t7.0\t8.0\t9.0"; },
         [](const AseScene& s) {
             ASSERT_EQ(s.numObjects, 2);
             checkSound(s);
             const GeomObject& g = s.objects[1];
             ASSERT_EQ(g.numVertices, 3);
             EXPECT_FLOAT_EQ(g.vertices[2].x, 7.0f);
             EXPECT_FLOAT_EQ(g.vertices[2].y, 9.0f);
             EXPECT_FLOAT_EQ(g.vertices[2].z, -8.0f);
         }},
        {"inside a face line",
         [](AseText& t) { t.tail = "*GEOMOBJECT {\n\t*MESH_NUMVERTEX 3\n\t*MESH_NUMFACES 1\n\t*MESH_FACE 0: A: 1 B: 2"; },
         [](const AseScene& s) {
             ASSERT_EQ(s.numObjects, 2);
             const GeomObject& g = s.objects[1];
             ASSERT_EQ(g.numFaces, 1);
             EXPECT_EQ(g.faces[0].v[0], 1);
             EXPECT_EQ(g.faces[0].v[1], 2);
             EXPECT_EQ(g.faces[0].v[2], 0);
         }},
        {"inside a number",
         [](AseText& t) { t.tail = "*GEOMOBJECT {\n\t*MESH_NUMVERTEX 1\n\t*MESH_VERTEX 0 1.5 -2."; },
         [](const AseScene& s) {
             ASSERT_EQ(s.numObjects, 2);
             const GeomObject& g = s.objects[1];
             ASSERT_EQ(g.numVertices, 1);
             EXPECT_FLOAT_EQ(g.vertices[0].x, 1.5f);
             EXPECT_FLOAT_EQ(g.vertices[0].z, 2.0f);
             EXPECT_FLOAT_EQ(g.vertices[0].y, 0.0f);
         }},
        {"inside a quoted name",
         [](AseText& t) { t.tail = "*GEOMOBJECT {\n\t*NODE_NAME \"Unfinished"; },
         [](const AseScene& s) {
             ASSERT_EQ(s.numObjects, 2);
             EXPECT_STREQ(s.objects[1].name, "Unfinishe");
         }},
        {"after a keyword that expects a value",
         [](AseText& t) { t.tail = "*GEOMOBJECT {\n\t*NODE_NAME \"Last\"\n\t*MESH_NUMVERTEX"; },
         [](const AseScene& s) {
             ASSERT_EQ(s.numObjects, 2);
             EXPECT_STREQ(s.objects[1].name, "Last");
             EXPECT_EQ(s.objects[1].numVertices, 0);
             EXPECT_EQ(s.objects[1].vertices, nullptr);
         }},
        {"after a count of materials",
         [](AseText& t) { t.tail = "*MATERIAL_COUNT"; },
         checkSound},
    };
    for (const AseCase& c : cases) checkBoth(c);
}

// *TM_ANIMATION as the last token of the file, with nothing, a blank, its
// brace or a key without values after it, in a geometry node, a light and a
// camera: the node keeps what it had, with no keys beyond those counted and
// no tables.
TEST(AseExtremes, AnimationBlockAtTheVeryEnd)
{
    struct Case {
        const char* tail;
        int posKeys;
    };
    const Case tails[] = {
        {"*TM_ANIMATION", 0},
        {"*TM_ANIMATION\n", 0},
        {"*TM_ANIMATION {", 0},
        {"*TM_ANIMATION {\n\t*NODE_NAME \"Tri\"\n\t*CONTROL_POS_TRACK {\n\t\t*CONTROL_POS_SAMPLE", 1},
        {"*TM_ANIMATION {\n\t*NODE_NAME \"Tri\"\n\t*CONTROL_POS_TRACK {\n\t\t*CONTROL_POS_SAMPLE 0", 1},
        {"*TM_ANIMATION {\n\t*NODE_NAME \"Tri\"\n\t*CONTROL_ROT_TRACK {\n\t\t*CONTROL_ROT_KEY 160 1", 0},
    };
    const char* const owners[] = {"", "*LIGHTOBJECT {\n\t*NODE_NAME \"Lamp\"\n", "*CAMERAOBJECT {\n\t*NODE_NAME \"Eye\"\n"};
    for (const Case& c : tails) {
        for (int owner = 0; owner < 3; ++owner) {
            SCOPED_TRACE(std::string(owners[owner]) + c.tail);
            AseText text;
            if (owner == 0) {
                // The node's own block is left open: the animation ends the node and the file.
                std::string t = text.text();
                t.resize(t.rfind("}\n"));
                t += c.tail;
                LoadedBoth l(t);
                for (const AseScene* s : {&l.fromMemory, &l.fromFile}) {
                    checkSound(*s);
                    const NodeAnimation& a = s->objects[0].animation;
                    EXPECT_EQ(a.numPosKeys, c.posKeys);
                    EXPECT_EQ(a.posFrames, nullptr);
                    EXPECT_EQ(a.rotFrames, nullptr);
                    EXPECT_EQ(a.numPosFrames + a.numRotFrames, 0);
                }
                continue;
            }
            text.tail = std::string(owners[owner]) + c.tail;
            LoadedBoth l(text.text());
            for (const AseScene* s : {&l.fromMemory, &l.fromFile}) {
                checkSound(*s);
                const NodeAnimation* a = nullptr;
                if (owner == 1) {
                    ASSERT_EQ(s->numLights, 1);
                    EXPECT_STREQ(s->lights[0].name, "Lamp");
                    a = &s->lights[0].animation;
                } else {
                    ASSERT_EQ(s->numCameras, 1);
                    EXPECT_STREQ(s->cameras[0].name, "Eye");
                    a = &s->cameras[0].animation;
                }
                EXPECT_EQ(a->numPosKeys, c.posKeys);
                EXPECT_EQ(a->numPosFrames + a->numRotFrames, 0);
            }
        }
    }
}

namespace {

class AseExtremesDrawn : public GLTest {};

}  // namespace

// A loaded scene whose faces reach past their arrays and whose node names a
// material far past the table draws exactly its sound faces: the node with
// the absurd reference untextured in the current colour, the textured node's
// sound face with its bitmap, the faces out of range not at all.
TEST_F(AseExtremesDrawn, OnlyTheSoundFacesAreDrawn)
{
    TempDir dir;
    ScopedChdir cd(dir.path());
    dir.write("maps/grey.tga", tgaFile(4, 128));
    // Vertices in drawing axes at z = 0: on screen at pixel (x, y) under the projection below.
    SceneDesc desc;
    desc.materials.push_back(MaterialDesc{"Grey", "maps/grey.tga", {1.0f, 1.0f, 1.0f}});
    // Left: untextured, its material reference far past the table.
    MeshNode left;
    left.name = "Left";
    left.material = 2147483647;
    left.vertices = {{50, 100, 0}, {250, 100, 0}, {50, 500, 0}};
    left.faces = {{{0, 1, 2}}, {{0, 1, 2147483647}}, {{-1, 1, 2}}};
    left.texVertices = {{0.5, 0.5}};
    left.texFaces = {{{0, 0, 0}}};
    // Middle and right: textured; the right face's texture corners lie past the texture vertices.
    MeshNode textured;
    textured.name = "Textured";
    textured.material = 0;
    textured.vertices = {{300, 100, 0}, {500, 100, 0}, {300, 500, 0}, {550, 100, 0}, {750, 100, 0}, {550, 500, 0}};
    textured.faces = {{{0, 1, 2}}, {{3, 4, 5}}};
    textured.texVertices = {{0.5, 0.5}};
    textured.texFaces = {{{0, 0, 0}}, {{0, 2147483647, -2147483647 - 1}}};
    desc.nodes = {left, textured};
    const std::string text = aseText(desc);
    const std::string path = dir.write("models/extremes.ase", text);
    AseScene scene{};
    ASSERT_EQ(loadAseScene(path.c_str(), &scene), 1);
    ASSERT_EQ(scene.numObjects, 2);
    ASSERT_EQ(scene.numMaterials, 1);
    EXPECT_EQ(textureWidth(scene.materials[0].textureName), 4);

    pixelExactView();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1.0f, 1.0f, 1.0f);
    drawAseScene(&scene);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const Frame frame = readFrame();
    keepFrame(frame, "faults/ase-extremes.png");

    unsigned char rgb[3] = {};
    glPixel(100, 200, rgb);  // inside the left face
    EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 3 * 255);
    glPixel(350, 200, rgb);  // inside the textured face: the grey bitmap
    EXPECT_NEAR(rgb[0], 128, 2);
    EXPECT_NEAR(rgb[2], 128, 2);
    glPixel(600, 200, rgb);  // where the face with texture corners out of range would be
    EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
    // Nothing else: the frame has the two triangles and black.
    EXPECT_NEAR(frame.mean(525, 0, 800, 600), 0.0, 1e-9);
    freeAseScene(&scene);
}
