// Loading speed of the ASE reader on a generated 10 MB scene of 200 textured,
// animated nodes with normals (reported as bytes per second).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "assets/ase.h"

namespace {

constexpr int NODES = 200;                 // geometry nodes in the generated scene
constexpr size_t TARGET_BYTES = 10u << 20;  // generated file size, at least
constexpr int KEYS_PER_TRACK = 20;         // position and rotation samples per node
constexpr int TICKS_PER_KEY = 800;         // five frames of 160 ticks between keys

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
    std::string out = "*3DSMAX_ASCIIEXPORT\t200\n*SCENE {\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 100\n"
                      "\t*SCENE_FRAMESPEED 30\n\t*SCENE_TICKSPERFRAME 160\n}\n*MATERIAL_LIST {\n\t*MATERIAL_COUNT 4\n";
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

// The 10 MB scene: the smallest node size that reaches the target.
const std::string& tenMegabyteScene()
{
    static const std::string scene = [] {
        int v = 8;
        std::string s = generateScene(v);
        while (s.size() < TARGET_BYTES) {
            v = static_cast<int>(v * (static_cast<double>(TARGET_BYTES) / s.size()) + 1);
            s = generateScene(v);
        }
        return s;
    }();
    return scene;
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

void BM_LoadTenMegabyteSceneFromFile(benchmark::State& state)
{
    const std::string& text = tenMegabyteScene();
    char path[] = "/tmp/vantrel-ase-bench-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        state.SkipWithError("no temporary file");
        return;
    }
    FILE* file = fdopen(fd, "w");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    for (auto _ : state) {
        AseScene scene{};
        loadAseScene(path, &scene);
        benchmark::DoNotOptimize(scene.objects);
        freeAseScene(&scene);
    }
    std::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LoadTenMegabyteSceneFromFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
