// Scene records and the ASE reader: the file is read into memory once and the
// reader's passes (assets/ase_read.h) run over an in-memory stream that gives
// the results of rewinding and rescanning the file for every node.
#include "assets/ase.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "assets/ase_read.h"
#include "assets/ase_scan.h"
#include "platform/platform.h"

unsigned aseNextTextureName = ASE_TEXTURE_NAME_BASE;
thread_local int64_t aseSceneFrameEntries = 0;
thread_local int64_t aseSceneMeshElements = 0;
thread_local int aseParsingAhead = 0;

namespace {

constexpr float PI_FLOAT = 3.1415927f;       // pi as a single-precision value
constexpr float HALF_TURN_DEGREES = 180.0f;  // degrees in pi radians

// A zeroed array of count elements, or none when count is 0, negative, larger
// than the file (no file that small can fill it) or not allocatable; *count
// becomes 0 in the last three cases.
template <class T>
T* allocateCounted(int32_t* count, size_t fileSize)
{
    if (*count <= 0 || static_cast<size_t>(*count) > fileSize) {
        *count = 0;
        return nullptr;
    }
    T* array = static_cast<T*>(std::calloc(static_cast<size_t>(*count), sizeof(T)));
    if (array == nullptr) *count = 0;
    return array;
}

// The frame numbers of a track's keys and its table size: 0 when no table can
// be built (no frame length, fewer than two keys, frames that do not increase,
// a table longer than ASE_MAX_FRAME_ENTRIES, or one the scene's budget of
// ASE_MAX_SCENE_FRAME_ENTRIES has no room left for). A table is charged to the budget.
int64_t trackFrames(const AnimKey* keys, int count, int32_t ticksPerFrame, std::vector<int64_t>* frames)
{
    if (ticksPerFrame == 0 || count < 2 || keys == nullptr) return 0;
    frames->resize(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        (*frames)[static_cast<size_t>(k)] = static_cast<int64_t>(keys[k].tick) / ticksPerFrame;
        if (k > 0 && (*frames)[static_cast<size_t>(k)] <= (*frames)[static_cast<size_t>(k - 1)]) return 0;
    }
    const int64_t entries = frames->back() - frames->front();
    if (entries > ASE_MAX_FRAME_ENTRIES || entries > ASE_MAX_SCENE_FRAME_ENTRIES - aseSceneFrameEntries) return 0;
    aseSceneFrameEntries += entries;
    return entries;
}

// One component of the walk: the previous key's value at step 0, otherwise
// the previous value plus the step's share of the segment, in single precision.
inline float interpolate(float from, float to, int64_t span, int64_t step)
{
    if (step == 0) return from;
    return from + (to - from) / static_cast<float>(span) * static_cast<float>(step);
}

inline float toDegrees(float radians) { return radians * HALF_TURN_DEGREES / PI_FLOAT; }

// Walks a track's segments, calling fill(entry, key l - 1, key l, span, step)
// for every entry. The step is reset to 0 at a key and advanced with the
// entry, so the first entry of every segment after the first has step 1.
template <class Fill>
void walkTrack(const std::vector<int64_t>& f, int count, Fill fill)
{
    int l = 1;
    int64_t p = f[0];
    int64_t q = f[1];
    int64_t s = 0;
    int64_t e = 0;
    for (;;) {
        fill(e, l, q - p, s);
        if (e == q - f[0] - 1) {
            p = q;
            ++l;
            s = 0;
            if (l == count) break;
            q = f[static_cast<size_t>(l)];
        }
        ++e;
        ++s;
    }
}

// The bitmap files one scene has loaded, so that materials naming the same
// file share one texture, and what the scene's texture budgets have left.
struct SceneTexture {
    char path[ASE_NAME_SIZE];  // the bitmap path with '/' for every '\\'
    unsigned textureName;      // the texture it was loaded under
};
SceneTexture sceneTextures[ASE_MAX_SCENE_TEXTURES];  // the first sceneTextureCount are in use
int sceneTextureCount = 0;
size_t sceneTexelBytes = 0;  // texel bytes uploaded for the scene so far

// Whether a path starts with a drive letter and a colon ("C:/...").
bool hasDrivePrefix(const std::string& path)
{
    const char c = path.empty() ? '\0' : path[0];
    return path.size() >= 2 && path[1] == ':' && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
}

// Reads a whole regular file into a buffer of its size. 1 and the bytes, or 0
// (nothing allocated) when it is not a regular file or cannot be read; -1 when
// the buffer cannot be allocated.
int readWholeFile(const char* path, char** bytes, size_t* size)
{
    size_t expected = 0;
    std::FILE* file = platformOpenRegularFile(path, &expected);
    if (file == nullptr) return 0;
    char* buffer = static_cast<char*>(std::malloc(expected > 0 ? expected : 1));
    if (buffer == nullptr) {
        std::fclose(file);
        return -1;
    }
    const size_t got = std::fread(buffer, 1, expected, file);
    const int failed = std::ferror(file);
    std::fclose(file);
    if (failed) {
        std::free(buffer);
        return 0;
    }
    *bytes = buffer;
    *size = got;
    return 1;
}

// The folder part of a path ("models/a.ase" gives "models"), or "".
std::string folderOf(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? std::string(path, static_cast<size_t>(slash - path)) : std::string();
}

// Reads a scene from memory. Memory that runs out while the stream is indexed
// leaves the scene as it was; while the scene is read, it leaves the scene
// empty (everything this load allocated is freed). Both give 0.
int readFromMemory(const char* data, size_t size, const char* sceneFolder, AseScene* scene)
{
    AseMemoryStream in;
    try {
        in.open(data, size);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    try {
        readAseScene(in, scene, sceneFolder);
        return 1;
    } catch (const std::bad_alloc&) {
        freeAseScene(scene);
        return 0;
    }
}

// Reads the scene file at path into scene: readFromMemory's result, with
// readWholeFile's in *read (the scene is untouched unless *read is 1).
int readSceneFile(const char* path, AseScene* scene, int* read)
{
    char* bytes = nullptr;
    size_t size = 0;
    *read = readWholeFile(path, &bytes, &size);
    if (*read != 1) return 0;
    const int result = readFromMemory(bytes, size, folderOf(path).c_str(), scene);
    std::free(bytes);
    return result;
}

void reportNotFound(const char* path)
{
    std::printf("# %s not found!\n", path);
}

}  // namespace

unsigned aseTakeTextureName() { return aseNextTextureName++; }

void aseBeginSceneTextures()
{
    sceneTextureCount = 0;
    sceneTexelBytes = 0;
}

void aseAllocateTables(AseScene* scene, size_t fileSize)
{
    // A new scene: its tables, meshes and textures start new budgets.
    aseSceneFrameEntries = 0;
    aseSceneMeshElements = 0;
    if (!aseParsingAhead) aseBeginSceneTextures();
    if (scene->numMaterials > ASE_MAX_MATERIALS) scene->numMaterials = 0;
    scene->materials = allocateCounted<AseMaterial>(&scene->numMaterials, fileSize);
    scene->objects = allocateCounted<GeomObject>(&scene->numObjects, fileSize);
    scene->lights = allocateCounted<AseLight>(&scene->numLights, fileSize);
    scene->cameras = allocateCounted<AseCamera>(&scene->numCameras, fileSize);
    // Materials and cameras are all zero by default; nodes and lights differ.
    for (int i = 0; i < scene->numObjects; ++i) {
        GeomObject* g = &scene->objects[i];
        g->materialRef = -1;
        g->wireColor[0] = g->wireColor[1] = g->wireColor[2] = 1.0f;
    }
    for (int i = 0; i < scene->numLights; ++i) scene->lights[i].color[3] = 1.0f;
}

void aseAllocateMeshArrays(GeomObject* node, size_t fileSize)
{
    // Counts no file this size can fill size nothing; the rest are charged to
    // the scene's mesh budget together, texture faces too (they are drawn).
    for (int32_t* count : {&node->numVertices, &node->numFaces, &node->numTexVertices})
        if (*count <= 0 || static_cast<size_t>(*count) > fileSize) *count = 0;
    const bool texFacesCount = node->numTexFaces > 0 && static_cast<size_t>(node->numTexFaces) <= fileSize;
    const int64_t claim = int64_t{node->numVertices} + node->numFaces + node->numTexVertices +
                          (texFacesCount ? node->numTexFaces : 0);
    if (claim > ASE_MAX_SCENE_MESH_ELEMENTS - aseSceneMeshElements) {
        node->numVertices = 0;
        node->numFaces = 0;
        node->numTexVertices = 0;
    } else {
        aseSceneMeshElements += claim;
    }
    node->vertices = allocateCounted<Vec3>(&node->numVertices, fileSize);
    if (node->hasNormals && node->numVertices > 0) {
        node->vertexNormals = static_cast<Vec3*>(std::calloc(static_cast<size_t>(node->numVertices), sizeof(Vec3)));
        if (node->vertexNormals == nullptr) {
            std::free(node->vertices);
            node->vertices = nullptr;
            node->numVertices = 0;
        }
    }
    node->faces = allocateCounted<MeshFace>(&node->numFaces, fileSize);
    node->texVertices = allocateCounted<TexVertex>(&node->numTexVertices, fileSize);
}

void aseAllocateKeys(NodeAnimation* animation, int posKeys, int rotKeys)
{
    std::free(animation->posKeys);
    std::free(animation->rotKeys);
    animation->numPosKeys = posKeys;
    animation->numRotKeys = rotKeys;
    // Every key is a token of the file, so the counts never pass its size.
    const size_t unbounded = static_cast<size_t>(-1);
    animation->posKeys = allocateCounted<AnimKey>(&animation->numPosKeys, unbounded);
    animation->rotKeys = allocateCounted<AnimKey>(&animation->numRotKeys, unbounded);
}

void buildFrameTables(const AseScene* scene, NodeAnimation* animation)
{
    std::vector<int64_t> frames;

    std::free(animation->posFrames);
    animation->posFrames = nullptr;
    animation->numPosFrames = 0;
    int64_t entries = trackFrames(animation->posKeys, animation->numPosKeys, scene->ticksPerFrame, &frames);
    if (entries > 0) {
        Vec3* table = static_cast<Vec3*>(std::calloc(static_cast<size_t>(entries), sizeof(Vec3)));
        if (table != nullptr) {
            const AnimKey* keys = animation->posKeys;
            walkTrack(frames, animation->numPosKeys, [&](int64_t e, int l, int64_t span, int64_t s) {
                const AnimKey& a = keys[l - 1];
                const AnimKey& b = keys[l];
                table[e] = Vec3{interpolate(a.value[0], b.value[0], span, s), interpolate(a.value[1], b.value[1], span, s),
                                interpolate(a.value[2], b.value[2], span, s)};
            });
            animation->posFrames = table;
            animation->numPosFrames = static_cast<int32_t>(entries);
        }
    }

    std::free(animation->rotFrames);
    animation->rotFrames = nullptr;
    animation->numRotFrames = 0;
    entries = trackFrames(animation->rotKeys, animation->numRotKeys, scene->ticksPerFrame, &frames);
    if (entries > 0) {
        float(*table)[4] = static_cast<float(*)[4]>(std::calloc(static_cast<size_t>(entries), sizeof(float[4])));
        if (table != nullptr) {
            const AnimKey* keys = animation->rotKeys;
            walkTrack(frames, animation->numRotKeys, [&](int64_t e, int l, int64_t span, int64_t s) {
                const AnimKey& a = keys[l - 1];
                const AnimKey& b = keys[l];
                table[e][0] = interpolate(a.value[0], b.value[0], span, s);
                table[e][1] = interpolate(a.value[1], b.value[1], span, s);
                table[e][2] = interpolate(a.value[2], b.value[2], span, s);
                table[e][3] = toDegrees(interpolate(a.angle, b.angle, span, s));
            });
            animation->rotFrames = table;
            animation->numRotFrames = static_cast<int32_t>(entries);
        }
    }
}

void aseHeaderPass(AseMemoryStream& in, AseScene* scene, AseNodeCounts* counts)
{
    const char* data = in.data;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    size_t from = 0;  // tokens before this offset were consumed by a header value
    for (const AseMark& mark : in.marks) {
        if (mark.start < from) continue;
        counts->count(mark.kind);
        if (!aseIsHeaderKeyword(mark.kind)) continue;
        in.seek(mark.end);
        AseKeyword k = mark.kind;
        for (;;) {
            aseReadHeaderValue(in, k, scene);
            if (in.eof()) return;
            const size_t c = in.tell();
            if (isSpace(data[c]) || isSpace(data[c - 1])) {
                from = c;  // at a whole token again
                break;
            }
            // The value stopped inside a token: the rest of it is the next token.
            AseToken rest{};
            in.token(&rest);
            k = aseKeyword(rest);
            counts->count(k);
            if (in.eof()) return;
            if (!aseIsHeaderKeyword(k)) {
                from = in.tell();
                break;
            }
        }
    }
}

void aseLoadMaterialTexture(AseScene* scene, int i, const char* sceneFolder)
{
    if (aseParsingAhead) return;
    AseMaterial* m = &scene->materials[i];
    if (m->bitmapPath[0] == '\0') return;
    std::string path(m->bitmapPath);
    for (char& c : path)
        if (c == '\\') c = '/';
    for (int t = 0; t < sceneTextureCount; ++t) {
        if (path == sceneTextures[t].path) {
            m->textureName = sceneTextures[t].textureName;
            return;
        }
    }
    if (sceneTextureCount == ASE_MAX_SCENE_TEXTURES) return;
    SceneTexture* entry = &sceneTextures[sceneTextureCount++];
    std::memcpy(entry->path, path.c_str(), path.size() + 1);
    entry->textureName = m->textureName;

    // A path with a drive prefix names a file on the exporter's machine: its
    // file name is looked for beside the scene and among the maps.
    std::vector<std::string> candidates;
    if (hasDrivePrefix(path)) {
        const std::string name = path.substr(path.rfind('/') + 1);
        const std::string folder = sceneFolder != nullptr ? sceneFolder : "";
        candidates.push_back(folder.empty() ? name : folder + "/" + name);
        candidates.push_back("maps/" + name);
    } else {
        candidates.push_back(path);
    }
    for (const std::string& candidate : candidates) {
        size_t bytes = 0;
        if (tgaPixelBytes(candidate.c_str(), &bytes) != TGA_OK) continue;
        if (bytes > ASE_MAX_SCENE_TEXEL_BYTES - sceneTexelBytes) return;
        if (loadTgaTexture(candidate.c_str(), m->textureName) == TGA_OK) sceneTexelBytes += bytes;
        return;
    }
}

namespace {

// One scene file parsed ahead.
struct PreloadedScene {
    std::string path;
    AseScene scene;  // parsed into a zeroed record, without texture names or uploads
    int read;        // readSceneFile's *read: 1, 0 (not a readable regular file), -1 (no memory)
    int result;      // readSceneFile's result
    int done;        // its thread is through with the file (guarded by preloadMutex)
    int taken;       // a load took it, or read the file itself after it
};

// A browser build without shared memory has no threads: every scene loads on the spot there.
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
constexpr int PRELOAD_THREADS = 0;
#else
constexpr int PRELOAD_THREADS = 1;
#endif

PreloadedScene preloaded[ASE_PRELOAD_MAX_SCENES];  // the first preloadedCount are in use
int preloadedCount = 0;
std::thread preloadThreads[ASE_PRELOAD_MAX_SCENES];  // thread i parses preloaded[i]; joinable until joined
std::mutex preloadMutex;                  // guards every entry's done
std::condition_variable preloadProgress;  // signalled as each entry is done

// The scene budgets and the parse flag are the thread's own, so scenes parse side by side.
void parseAhead(PreloadedScene* p)
{
    aseParsingAhead = 1;
    int read = 0;
    const int result = readSceneFile(p->path.c_str(), &p->scene, &read);
    const std::lock_guard<std::mutex> lock(preloadMutex);
    p->read = read;
    p->result = result;
    p->done = 1;
    preloadProgress.notify_all();
}

void waitForParsingAhead()
{
    for (std::thread& thread : preloadThreads)
        if (thread.joinable()) thread.join();
}

// Takes the parsed scene of path into *scene and gives its materials their
// texture names and textures, as readAseScene on the spot does material by
// material. 0 (taking nothing) when path was not parsed ahead, or when memory
// ran out there: the load on the spot then decides what is left.
int takePreloaded(const char* path, AseScene* scene, int* result)
{
    for (int i = 0; i < preloadedCount; ++i) {
        PreloadedScene& p = preloaded[i];
        if (p.taken || p.path != path) continue;
        {
            std::unique_lock<std::mutex> lock(preloadMutex);
            preloadProgress.wait(lock, [&p] { return p.done != 0; });
        }
        p.taken = 1;
        if (p.read == 0) reportNotFound(path);
        if (p.read != 1) {
            *result = 0;
            return 1;
        }
        if (p.result == 0) {
            freeAseScene(&p.scene);
            return 0;
        }
        *scene = p.scene;
        p.scene = AseScene{};
        aseBeginSceneTextures();
        const std::string folder = folderOf(path);
        for (int m = 0; m < scene->numMaterials; ++m) {
            AseMaterial* material = &scene->materials[m];
            if (material->hasBitmap && material->textureName == 0) material->textureName = aseTakeTextureName();
            aseLoadMaterialTexture(scene, m, folder.c_str());
        }
        *result = 1;
        return 1;
    }
    return 0;
}

}  // namespace

void asePreloadStart(const char* const* paths, int count)
{
    asePreloadFinish();
    if (!PRELOAD_THREADS) return;
    preloadedCount = count < ASE_PRELOAD_MAX_SCENES ? count : ASE_PRELOAD_MAX_SCENES;
    for (int i = 0; i < preloadedCount; ++i) {
        preloaded[i].path = paths[i];
        preloaded[i].done = 0;
        preloaded[i].taken = 0;
    }
    for (int i = 0; i < preloadedCount; ++i) {
        try {
            preloadThreads[i] = std::thread(parseAhead, &preloaded[i]);
        } catch (const std::system_error&) {
            preloadedCount = i;  // no more threads: the rest load on the spot
        }
    }
}

void asePreloadFinish()
{
    waitForParsingAhead();
    for (int i = 0; i < preloadedCount; ++i) {
        freeAseScene(&preloaded[i].scene);
        preloaded[i] = PreloadedScene{};
    }
    preloadedCount = 0;
}

int loadAseSceneFromMemory(const char* data, size_t size, AseScene* scene)
{
    return readFromMemory(data, size, "", scene);
}

int loadAseScene(const char* path, AseScene* scene)
{
    int preloadedResult = 0;
    if (takePreloaded(path, scene, &preloadedResult)) return preloadedResult;
    int read = 0;
    const int result = readSceneFile(path, scene, &read);
    if (read == 0) reportNotFound(path);
    return result;
}

void releaseAseScene(AseScene* scene)
{
    for (int i = 0; i < scene->numObjects && scene->objects != nullptr; ++i) {
        GeomObject* g = &scene->objects[i];
        std::free(g->vertices);
        std::free(g->faces);
        std::free(g->texVertices);
        std::free(g->vertexNormals);
        g->vertices = nullptr;
        g->faces = nullptr;
        g->texVertices = nullptr;
        g->vertexNormals = nullptr;
    }
    std::free(scene->materials);
    scene->materials = nullptr;
}

void freeAseScene(AseScene* scene)
{
    auto freeAnimation = [](NodeAnimation* a) {
        std::free(a->posKeys);
        std::free(a->rotKeys);
        std::free(a->posFrames);
        std::free(a->rotFrames);
    };
    for (int i = 0; i < scene->numObjects && scene->objects != nullptr; ++i) freeAnimation(&scene->objects[i].animation);
    for (int i = 0; i < scene->numLights && scene->lights != nullptr; ++i) freeAnimation(&scene->lights[i].animation);
    for (int i = 0; i < scene->numCameras && scene->cameras != nullptr; ++i) freeAnimation(&scene->cameras[i].animation);
    releaseAseScene(scene);
    std::free(scene->objects);
    std::free(scene->lights);
    std::free(scene->cameras);
    *scene = AseScene{};
}
