// Loading speed of the ASE reader (reported as bytes per second) on generated
// scenes of 200 textured, animated nodes with normals, 10 MB and 12 MB, and on
// 1 MB hostile files: node, material, light and camera keywords hidden behind
// another token on their line, maximal mesh counts, counts at the scene's mesh
// budget, many materials naming one bitmap, far-apart keys. For every hostile
// form it also reports the peak memory of one load above that of an empty
// scene (getrusage) and the time to draw one frame of what was loaded.
//
// Runs on the headless layer, so it needs an X display (scripts/with-xvfb.sh).
// --write_twelve_megabyte_scene=PATH writes the 12 MB scene to PATH and exits;
// --load_scene=PATH loads PATH once, prints its counts and exits: a whole
// process to time against other importers on the same file.
#include <benchmark/benchmark.h>
#include <GL/gl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "assets/ase.h"
#include "platform/headless.h"
#include "render/model.h"
#include "shell/window.h"
#include "tools/assets/ase_write.h"
#include "tools/assets/tga_write.h"

namespace {

constexpr int NODES = 200;                        // geometry nodes in the generated scenes
constexpr size_t TEN_MEGABYTES = 10u << 20;       // realistic scene size, at least
constexpr size_t TWELVE_MEGABYTES = 12u << 20;    // the scene added to the pack, at least
constexpr size_t HOSTILE_BYTES = 1u << 20;        // size of every hostile file, at least
constexpr int KEYS_PER_TRACK = 20;                // position and rotation samples per node
constexpr int TICKS_PER_KEY = 800;                // five frames of 160 ticks between keys
constexpr int MAXIMAL_COUNT_NODES = 8;            // nodes claiming counts as large as the file
constexpr int HOSTILE_MATERIALS = ASE_MAX_MATERIALS;  // materials of the one-bitmap form
constexpr int FAR_KEY_FRAMES = 1000000;           // frames between the two keys of a far track
const char* const BITMAP_PATH = "maps/one.tga";   // the bitmap every material of that form names
constexpr int BITMAP_SIDE = 256;                  // pixels

const char* const SCENE_HEADER = "*3DSMAX_ASCIIEXPORT\t200\n*SCENE {\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 100\n"
                                 "\t*SCENE_FRAMESPEED 30\n\t*SCENE_TICKSPERFRAME 160\n}\n";

// One exporter-style geometry node with v vertices and 2v faces, textured,
// with normals and sampled position and rotation tracks.
MeshNode realisticNode(int n, int v)
{
    MeshNode node;
    node.name = "Node" + std::to_string(n);
    node.material = n % 4;
    node.wireColour = {{0.5f, 0.25f, 0.125f}};
    node.pivot = V3{static_cast<double>(n), 0.5 * n, static_cast<double>(n)};
    for (int i = 0; i < v; ++i) {
        node.vertices.push_back(V3{i * 0.731 - 20.0, (i % 17) * 3.25, i * 1.37 - n});
        node.texVertices.push_back(UV{i / double(v), 1.0 - i / double(v)});
    }
    for (int i = 0; i < 2 * v; ++i) {
        node.faces.push_back({{i % v, (i + 1) % v, (i + 2) % v}});
        node.texFaces.push_back({{i % v, (i + 1) % v, (i + 2) % v}});
    }
    return node;
}

NodeAnimationDesc realisticAnimation(int n)
{
    NodeAnimationDesc animation;
    for (int k = 0; k < KEYS_PER_TRACK; ++k) {
        animation.positions.push_back({k * TICKS_PER_KEY, V3{k * 1.5, -k * 0.5, n * 1.0}});
        animation.rotations.push_back({k * TICKS_PER_KEY, V3{0.0, 0.0, 1.0}, k * 0.1});
    }
    return animation;
}

// NODES realistic nodes of the given size over four materials whose bitmaps
// are missing (the load tries each once), written by the generator's writer.
std::string generateScene(int verticesPerNode)
{
    SceneDesc scene;
    scene.fileName = "bench.max";
    for (int m = 0; m < 4; ++m) {
        MaterialDesc material{"Material" + std::to_string(m), "maps/missing" + std::to_string(m) + ".tga", {0.5f, 0.5f, 0.5f}};
        material.uTiling = 2.0f;
        scene.materials.push_back(material);
    }
    for (int n = 0; n < NODES; ++n) {
        scene.nodes.push_back(realisticNode(n, verticesPerNode));
        scene.animations.push_back(realisticAnimation(n));
    }
    return aseText(scene);
}

// The smallest realistic scene of NODES nodes that reaches the given size.
std::string sceneOfAtLeast(size_t bytes)
{
    int v = 8;
    std::string s = generateScene(v);
    while (s.size() < bytes) {
        v = static_cast<int>(v * (static_cast<double>(bytes) / s.size()) + 1);
        s = generateScene(v);
    }
    return s;
}

const std::string& tenMegabyteScene()
{
    static const std::string scene = sceneOfAtLeast(TEN_MEGABYTES);
    return scene;
}

const std::string& twelveMegabyteScene()
{
    static const std::string scene = sceneOfAtLeast(TWELVE_MEGABYTES);
    return scene;
}

// Repeats a block after a head until the text reaches HOSTILE_BYTES.
std::string repeated(const std::string& head, const std::string& block, const std::string& tail = "")
{
    std::string out = head;
    while (out.size() + tail.size() < HOSTILE_BYTES) out += block;
    return out + tail;
}

// The hostile forms, each about 1 MB.
std::string hiddenNodes()
{
    return repeated(SCENE_HEADER, "*COMMENT *GEOMOBJECT {\n\t*MESH {\n\t\t*MESH_NUMVERTEX 3\n\t\t*MESH_NUMFACES 1\n"
                                  "\t\t*MESH_VERTEX 0\t1.0\t2.0\t3.0\n\t}\n}\n");
}
std::string hiddenMaterials()
{
    return repeated(std::string(SCENE_HEADER) + "*MATERIAL_LIST {\n\t*MATERIAL_COUNT " + std::to_string(HOSTILE_MATERIALS) + "\n",
                    "\t} *MATERIAL 0 {\n\t\t*MATERIAL_NAME \"M\"\n\t\t*BITMAP \"" + std::string(BITMAP_PATH) + "\"\n", "}\n");
}
std::string hiddenLights()
{
    return repeated(SCENE_HEADER, "} *LIGHTOBJECT {\n\t*NODE_TM {\n\t\t*TM_POS 1.0\t2.0\t3.0\n\t}\n\t*LIGHT_INTENS 1.0\n");
}
std::string hiddenCameras()
{
    return repeated(SCENE_HEADER, "} *CAMERAOBJECT {\n\t*NODE_TM {\n\t\t*TM_POS 1.0\t2.0\t3.0\n\t}\n\t*CAMERA_FOV 0.5\n");
}
// A few nodes each claiming as many vertices (with normals), faces and texture
// vertices as the file has bytes, and a material table of the largest size.
std::string maximalCounts()
{
    const std::string n = std::to_string(HOSTILE_BYTES);
    std::string head = std::string(SCENE_HEADER) + "*MATERIAL_LIST {\n\t*MATERIAL_COUNT " + std::to_string(HOSTILE_MATERIALS) + "\n}\n";
    for (int i = 0; i < MAXIMAL_COUNT_NODES; ++i)
        head += "*GEOMOBJECT {\n\t*MESH {\n\t\t*MESH_NUMVERTEX " + n + "\n\t\t*MESH_NUMFACES " + n + "\n\t\t*MESH_NUMTVERTEX " +
                n + "\n\t\t*MESH_NORMALS {\n\t\t}\n\t}\n}\n";
    return repeated(head, "*COMMENT filler\n");
}
// One node claiming the whole mesh budget in faces, then nodes claiming more.
std::string countsAtTheBudget()
{
    std::string head = std::string(SCENE_HEADER) + "*GEOMOBJECT {\n\t*MESH {\n\t\t*MESH_NUMVERTEX 1\n\t\t*MESH_NUMFACES " +
                       std::to_string(ASE_MAX_SCENE_MESH_ELEMENTS - 1) + "\n\t}\n}\n";
    return repeated(head, "*GEOMOBJECT {\n\t*MESH {\n\t\t*MESH_NUMVERTEX 1000\n\t\t*MESH_NUMFACES 1000\n\t}\n}\n");
}
std::string materialsNamingOneBitmap()
{
    std::string head = std::string(SCENE_HEADER) + "*MATERIAL_LIST {\n\t*MATERIAL_COUNT " + std::to_string(HOSTILE_MATERIALS) + "\n";
    for (int i = 0; i < HOSTILE_MATERIALS; ++i)
        head += "\t*MATERIAL " + std::to_string(i) + " {\n\t\t*BITMAP \"" + BITMAP_PATH + "\"\n\t}\n";
    return repeated(head + "}\n", "*COMMENT filler\n");
}
std::string farApartKeys()
{
    return repeated(std::string(SCENE_HEADER) + "*SCENE {\n\t*SCENE_TICKSPERFRAME 1\n}\n",
                    "*GEOMOBJECT {\n\t*TM_ANIMATION {\n\t\t*NODE_NAME \"Far\"\n\t\t*CONTROL_POS_SAMPLE 0\t0.0\t0.0\t0.0\n\t\t*CONTROL_POS_SAMPLE " +
                        std::to_string(FAR_KEY_FRAMES) + "\t1.0\t0.0\t0.0\n\t\t*CONTROL_ROT_SAMPLE 0\t0.0\t0.0\t1.0\t0.0\n"
                        "\t\t*CONTROL_ROT_SAMPLE " + std::to_string(FAR_KEY_FRAMES) + "\t0.0\t0.0\t1.0\t1.0\n\t}\n}\n");
}

// The process's peak resident memory in bytes (getrusage).
double peakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

// Mapped memory of the process in bytes (/proc/self/statm): what a scene's
// tables claim, whether or not their pages were touched.
double mappedBytes()
{
    long pages = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return 0.0;
    if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
    std::fclose(f);
    return static_cast<double>(pages) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// Starts a new peak at the current resident size (Linux: clear_refs 5), after
// handing the heap's free memory back, so that a load's peak counts the pages
// it needs rather than ones freed by earlier loads.
void resetPeak()
{
    malloc_trim(0);
    FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (f == nullptr) return;
    std::fputs("5", f);
    std::fclose(f);
}

// A working directory with the one bitmap, and the headless window, for the
// whole run: material bitmaps load and scenes draw as in the demo.
struct BenchWorld {
    std::string dir;
    bool ready = false;
    BenchWorld()
    {
        char pattern[] = "/tmp/vantrel-ase-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) return;
        dir = pattern;
        const std::string maps = dir + "/maps";
        if (mkdir(maps.c_str(), 0700) != 0 || chdir(dir.c_str()) != 0) return;
        Image grey(BITMAP_SIDE, BITMAP_SIDE);
        for (float& channel : grey.rgba) channel = 0.375f;
        if (!writeTga(BITMAP_PATH, grey, 24)) return;
        HeadlessConfig config;
        config.quiet = 1;
        headlessConfigure(config);
        ready = openMainWindow("Vantrel by Skarvel", 800, 600, 16, 1) == 1;
    }
};

BenchWorld& world()
{
    static BenchWorld w;
    return w;
}

std::string writeTemporary(const std::string& text)
{
    char path[] = "/tmp/vantrel-ase-scene-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return "";
    FILE* file = fdopen(fd, "w");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return path;
}

// Milliseconds to draw one frame of a scene: clear, the scene through a
// perspective camera as the scenes set one up, and wait for the result.
double drawMilliseconds(const AseScene& scene)
{
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.1, 0.1, -0.075, 0.075, 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -50.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glFinish();
    const auto start = std::chrono::steady_clock::now();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawAseScene(&scene);
    glFinish();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return took.count();
}

// Loads one file again and again; reports bytes per second, and, when asked,
// the peak memory of one load above that of an empty scene and one frame's
// drawing time of the result.
void loadFile(benchmark::State& state, const std::string& text, bool hostile)
{
    if (!world().ready) {
        state.SkipWithError("no headless window (run with an X display)");
        return;
    }
    const std::string path = writeTemporary(text);
    if (path.empty()) {
        state.SkipWithError("no temporary file");
        return;
    }
    if (hostile) {
        AseScene empty{};
        loadAseSceneFromMemory("", 0, &empty);
        freeAseScene(&empty);
        resetPeak();
        const double before = peakResidentBytes();
        const double mappedBefore = mappedBytes();
        AseScene scene{};
        loadAseScene(path.c_str(), &scene);
        state.counters["peak_MB_above_empty"] = (peakResidentBytes() - before) / 1e6;
        state.counters["mapped_MB_held"] = (mappedBytes() - mappedBefore) / 1e6;
        int64_t faces = 0;
        for (int i = 0; i < scene.numObjects; ++i) faces += scene.objects[i].numFaces;
        state.counters["faces"] = static_cast<double>(faces);
        state.counters["draw_ms"] = drawMilliseconds(scene);
        freeAseScene(&scene);
    }
    for (auto _ : state) {
        AseScene scene{};
        loadAseScene(path.c_str(), &scene);
        benchmark::DoNotOptimize(scene.objects);
        freeAseScene(&scene);
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["file_MB"] = static_cast<double>(text.size()) / (1 << 20);
}

void BM_LoadTenMegabyteSceneFromMemory(benchmark::State& state)
{
    const std::string& text = tenMegabyteScene();
    for (auto _ : state) {
        AseScene scene{};
        loadAseSceneFromMemory(text.data(), text.size(), &scene);
        benchmark::DoNotOptimize(scene.objects);
        if (scene.numObjects != NODES) state.SkipWithError("wrong node count");
        freeAseScene(&scene);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["file_MB"] = static_cast<double>(text.size()) / (1 << 20);
}
BENCHMARK(BM_LoadTenMegabyteSceneFromMemory)->Unit(benchmark::kMillisecond);

void BM_LoadTenMegabyteSceneFromFile(benchmark::State& state) { loadFile(state, tenMegabyteScene(), false); }
BENCHMARK(BM_LoadTenMegabyteSceneFromFile)->Unit(benchmark::kMillisecond);

void BM_LoadTwelveMegabyteSceneFromFile(benchmark::State& state) { loadFile(state, twelveMegabyteScene(), false); }
BENCHMARK(BM_LoadTwelveMegabyteSceneFromFile)->Unit(benchmark::kMillisecond);

// The hostile forms, loaded from a file as the demo loads its scenes.
void BM_HostileForm(benchmark::State& state, std::string (*make)())
{
    static std::string text;
    text = make();
    loadFile(state, text, true);
}
BENCHMARK_CAPTURE(BM_HostileForm, HiddenNodeOpeners, hiddenNodes)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostileForm, HiddenMaterialOpeners, hiddenMaterials)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostileForm, HiddenLightOpeners, hiddenLights)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostileForm, HiddenCameraOpeners, hiddenCameras)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostileForm, MaximalCounts, maximalCounts)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostileForm, CountsAtTheMeshBudget, countsAtTheBudget)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostileForm, MaterialsNamingOneBitmap, materialsNamingOneBitmap)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HostileForm, FarApartKeys, farApartKeys)->Unit(benchmark::kMillisecond);

// The realistic scene loaded and drawn, for the same measures as the hostile forms.
void BM_RealisticSceneMemoryAndDraw(benchmark::State& state) { loadFile(state, tenMegabyteScene(), true); }
BENCHMARK(BM_RealisticSceneMemoryAndDraw)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    const char* const WRITE_FLAG = "--write_twelve_megabyte_scene=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], WRITE_FLAG, std::strlen(WRITE_FLAG)) != 0) continue;
        const std::string& text = twelveMegabyteScene();
        FILE* f = std::fopen(argv[i] + std::strlen(WRITE_FLAG), "wb");
        if (f == nullptr) return 1;
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        return 0;
    }
    const char* const LOAD_FLAG = "--load_scene=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], LOAD_FLAG, std::strlen(LOAD_FLAG)) != 0) continue;
        AseScene scene{};
        const int result = loadAseScene(argv[i] + std::strlen(LOAD_FLAG), &scene);
        int64_t faces = 0;
        for (int n = 0; n < scene.numObjects; ++n) faces += scene.objects[n].numFaces;
        std::printf("loaded %d: %d nodes, %lld faces, %d materials\n", result, scene.numObjects,
                    static_cast<long long>(faces), scene.numMaterials);
        freeAseScene(&scene);
        return result == 1 ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
