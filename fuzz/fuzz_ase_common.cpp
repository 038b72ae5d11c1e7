// One checked ASE load for the fuzz targets. Every array the scene holds is
// read from its first to its last element, so a table shorter than its count
// is an out-of-bounds read.
#include "fuzz/fuzz_ase_common.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "assets/ase.h"
#include "fuzz/gl_stub.h"

namespace {

volatile float fuzzSink = 0.0f;  // keeps the reads of the checks from being optimised away

[[noreturn]] void broken(const char* what, int index)
{
    std::fprintf(stderr, "ASE reader: %s (element %d)\n", what, index);
    std::abort();
}

template <class T, class Read>
void readAll(const T* array, int count, const char* what, Read read)
{
    if (count < 0) broken(what, count);
    if (count > 0 && array == nullptr) broken(what, count);
    float sum = 0.0f;
    for (int i = 0; i < count; ++i) sum += read(array[i]);
    fuzzSink = fuzzSink + sum;
}

void checkText(const char* text, size_t capacity, const char* what, int index)
{
    if (std::memchr(text, '\0', capacity) == nullptr) broken(what, index);
}

float sumOf(const Vec3& v) { return v.x + v.y + v.z; }

void checkAnimation(const NodeAnimation& a, int index)
{
    readAll(a.posKeys, a.numPosKeys, "position keys", [](const AnimKey& k) { return k.value[0] + k.angle; });
    readAll(a.rotKeys, a.numRotKeys, "rotation keys", [](const AnimKey& k) { return k.value[0] + k.angle; });
    if (a.numPosFrames > ASE_MAX_FRAME_ENTRIES || a.numRotFrames > ASE_MAX_FRAME_ENTRIES)
        broken("frame table longer than the limit", index);
    readAll(a.posFrames, a.numPosFrames, "position frames", sumOf);
    readAll(a.rotFrames, a.numRotFrames, "rotation frames", [](const float (&f)[4]) { return f[0] + f[3]; });
}

void checkScene(const AseScene& scene, size_t size)
{
    if (scene.numObjects < 0 || scene.numLights < 0 || scene.numCameras < 0 || scene.numMaterials < 0)
        broken("negative table count", 0);
    // Every node and material is a token of the file.
    if (static_cast<size_t>(scene.numObjects) > size || static_cast<size_t>(scene.numMaterials) > size)
        broken("table count larger than the file", 0);
    readAll(scene.materials, scene.numMaterials, "materials", [](const AseMaterial& m) { return m.diffuse[0]; });
    for (int i = 0; i < scene.numMaterials; ++i) {
        const AseMaterial& m = scene.materials[i];
        checkText(m.name, sizeof m.name, "material name not terminated", i);
        checkText(m.className, sizeof m.className, "material class not terminated", i);
        checkText(m.bitmapPath, sizeof m.bitmapPath, "bitmap path not terminated", i);
        if (m.hasBitmap && m.textureName < ASE_TEXTURE_NAME_BASE) broken("bitmap texture outside the reserved names", i);
    }
    if (scene.numMaterials > ASE_MAX_MATERIALS) broken("material table past its limit", scene.numMaterials);
    readAll(scene.objects, scene.numObjects, "objects", [](const GeomObject& g) { return g.pivot.x; });
    int64_t meshElements = 0;
    int64_t frameEntries = 0;
    for (int i = 0; i < scene.numObjects; ++i) {
        const GeomObject& g = scene.objects[i];
        meshElements += int64_t{g.numVertices} + g.numFaces + g.numTexVertices;
        frameEntries += int64_t{g.animation.numPosFrames} + g.animation.numRotFrames;
    }
    if (meshElements > ASE_MAX_SCENE_MESH_ELEMENTS) broken("mesh arrays past the scene budget", 0);
    for (int i = 0; i < scene.numLights; ++i)
        frameEntries += int64_t{scene.lights[i].animation.numPosFrames} + scene.lights[i].animation.numRotFrames;
    for (int i = 0; i < scene.numCameras; ++i)
        frameEntries += int64_t{scene.cameras[i].animation.numPosFrames} + scene.cameras[i].animation.numRotFrames;
    if (frameEntries > ASE_MAX_SCENE_FRAME_ENTRIES) broken("frame tables past the scene budget", 0);
    // Materials naming one file share its texture: no more uploads than the budget of files.
    if (stubUploadCount > ASE_MAX_SCENE_TEXTURES) broken("more bitmap files loaded than the scene budget", stubUploadCount);
    for (int i = 0; i < scene.numObjects; ++i) {
        const GeomObject& g = scene.objects[i];
        checkText(g.name, sizeof g.name, "node name not terminated", i);
        readAll(g.vertices, g.numVertices, "vertices", sumOf);
        if (g.hasNormals) readAll(g.vertexNormals, g.numVertices, "vertex normals", sumOf);
        readAll(g.faces, g.numFaces, "faces", [](const MeshFace& f) { return sumOf(f.normal) + f.v[2] + f.t[2]; });
        readAll(g.texVertices, g.numTexVertices, "texture vertices", [](const TexVertex& t) { return t.u + t.v; });
        checkAnimation(g.animation, i);
    }
    readAll(scene.lights, scene.numLights, "lights", [](const AseLight& l) { return l.color[3]; });
    for (int i = 0; i < scene.numLights; ++i) {
        checkText(scene.lights[i].name, sizeof scene.lights[i].name, "light name not terminated", i);
        checkAnimation(scene.lights[i].animation, i);
    }
    readAll(scene.cameras, scene.numCameras, "cameras", [](const AseCamera& c) { return c.fov; });
    for (int i = 0; i < scene.numCameras; ++i) {
        checkText(scene.cameras[i].name, sizeof scene.cameras[i].name, "camera name not terminated", i);
        checkAnimation(scene.cameras[i].animation, i);
    }
}

}  // namespace

void aseFuzzLoad(const char* data, size_t size)
{
    stubReset();
    aseNextTextureName = ASE_TEXTURE_NAME_BASE;  // every run names its textures the same way
    // A copy of exactly size bytes: a read one byte past the end is then out of bounds.
    char* copy = static_cast<char*>(std::malloc(size > 0 ? size : 1));
    if (copy == nullptr) return;
    if (size > 0) std::memcpy(copy, data, size);
    AseScene scene{};
    // A load fails only when memory runs out, and then leaves the scene empty.
    const int result = loadAseSceneFromMemory(size > 0 ? copy : nullptr, size, &scene);
    std::free(copy);
    if (result != 1 && (scene.numObjects != 0 || scene.objects != nullptr || scene.materials != nullptr))
        broken("a failed load left a scene behind", 0);
    checkScene(scene, size);
    freeAseScene(&scene);
}
