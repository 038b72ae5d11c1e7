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

void appendf(std::string* out, const char* format, double a = 0, double b = 0, double c = 0, double d = 0)
{
    char line[256];
    std::snprintf(line, sizeof line, format, a, b, c, d);
    *out += line;
}

// One exporter-style geometry node with v vertices and 2v faces.
void appendNode(std::string* out, int n, int v)
{
    const int f = 2 * v;
    appendf(out, "*GEOMOBJECT {\n\t*NODE_NAME \"Node%.0f\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"Node%.0f\"\n", n, n);
    appendf(out, "\t\t*TM_POS %.4f\t%.4f\t%.4f\n\t}\n\t*MESH {\n\t\t*TIMEVALUE 0\n", n, -n, 0.5 * n);
    appendf(out, "\t\t*MESH_NUMVERTEX %.0f\n\t\t*MESH_NUMFACES %.0f\n\t\t*MESH_VERTEX_LIST {\n", v, f);
    for (int i = 0; i < v; ++i)
        appendf(out, "\t\t\t*MESH_VERTEX %4.0f\t%.4f\t%.4f\t%.4f\n", i, i * 0.731 - 20.0, i * -1.37 + n, (i % 17) * 3.25);
    *out += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
    for (int i = 0; i < f; ++i) {
        appendf(out, "\t\t\t*MESH_FACE %4.0f:    A: %4.0f B: %4.0f", i, i % v, (i + 1) % v);
        appendf(out, " C: %4.0f AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID %.0f\n", (i + 2) % v, i % 3);
    }
    appendf(out, "\t\t}\n\t\t*MESH_NUMTVERTEX %.0f\n\t\t*MESH_TVERTLIST {\n", v);
    for (int i = 0; i < v; ++i) appendf(out, "\t\t\t*MESH_TVERT %.0f\t%.4f\t%.4f\t0.0000\n", i, i / double(v), 1.0 - i / double(v));
    appendf(out, "\t\t}\n\t\t*MESH_NUMTVFACES %.0f\n\t\t*MESH_TFACELIST {\n", f);
    for (int i = 0; i < f; ++i) appendf(out, "\t\t\t*MESH_TFACE %.0f\t%.0f\t%.0f\t%.0f\n", i, i % v, (i + 1) % v, (i + 2) % v);
    *out += "\t\t}\n\t\t*MESH_NORMALS {\n";
    for (int i = 0; i < f; ++i) {
        appendf(out, "\t\t\t*MESH_FACENORMAL %.0f\t%.4f\t%.4f\t%.4f\n", i, 0.577, -0.577, 0.577);
        for (int c = 0; c < 3; ++c)
            appendf(out, "\t\t\t\t*MESH_VERTEXNORMAL %.0f\t%.4f\t%.4f\t%.4f\n", (i + c) % v, 0.0, c * 0.5, 0.8660);
    }
    appendf(out, "\t\t}\n\t}\n\t*MATERIAL_REF %.0f\n\t*WIREFRAME_COLOR 0.5000\t0.2500\t0.1250\n", n % 4);
    appendf(out, "\t*TM_ANIMATION {\n\t\t*NODE_NAME \"Node%.0f\"\n\t\t*CONTROL_POS_TRACK {\n", n);
    for (int k = 0; k < KEYS_PER_TRACK; ++k)
        appendf(out, "\t\t\t*CONTROL_POS_SAMPLE %.0f\t%.4f\t%.4f\t%.4f\n", k * TICKS_PER_KEY, k * 1.5, -k * 0.5, n * 1.0);
    *out += "\t\t}\n\t\t*CONTROL_ROT_TRACK {\n";
    for (int k = 0; k < KEYS_PER_TRACK; ++k)
        appendf(out, "\t\t\t*CONTROL_ROT_SAMPLE %.0f\t0.0000\t0.0000\t1.0000\t%.4f\n", k * TICKS_PER_KEY, k * 0.1);
    *out += "\t\t}\n\t}\n}\n";
}

std::string generateScene(int verticesPerNode)
{
    std::string out = std::string(SCENE_HEADER) + "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 4\n";
    for (int m = 0; m < 4; ++m) {
        appendf(&out, "\t*MATERIAL %.0f {\n\t\t*MATERIAL_NAME \"Material%.0f\"\n\t\t*MATERIAL_CLASS \"Standard\"\n", m, m);
        out += "\t\t*MATERIAL_DIFFUSE 0.5000\t0.5000\t0.5000\n\t\t*MAP_DIFFUSE {\n";
        appendf(&out, "\t\t\t*BITMAP \"maps/missing%.0f.tga\"\n\t\t\t*UVW_U_TILING 2.0000\n\t\t\t*UVW_V_TILING 1.0000\n", m);
        out += "\t\t}\n\t}\n";
    }
    out += "}\n";
    for (int n = 0; n < NODES; ++n) appendNode(&out, n, verticesPerNode);
    return out;
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
        std::string tga(18, '\0');
        tga[2] = 2;
        tga[12] = static_cast<char>(BITMAP_SIDE & 0xff);
        tga[13] = static_cast<char>(BITMAP_SIDE >> 8);
        tga[14] = tga[12];
        tga[15] = tga[13];
        tga[16] = 24;
        tga += std::string(static_cast<size_t>(BITMAP_SIDE) * BITMAP_SIDE * 3, '\x60');
        FILE* f = std::fopen(BITMAP_PATH, "wb");
        if (f == nullptr) return;
        std::fwrite(tga.data(), 1, tga.size(), f);
        std::fclose(f);
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
