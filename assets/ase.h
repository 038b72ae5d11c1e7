// In-memory 3D scenes and the reader of the ASE text format that fills them.
//
// Mesh geometry (vertices and normals) is stored in drawing axes: a file
// (x, y, z) becomes (x, z, -y). Pivots, light and camera positions, rotation
// axes and keys keep the file's axes. Key angles are radians; the per-frame
// rotation tables hold degrees. Texture vertices carry their material's tiling.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int ASE_NAME_SIZE = 256;           // node names and bitmap paths, NUL included
constexpr int ASE_MATERIAL_NAME_SIZE = 255;  // material names and classes, NUL included
// Material textures are named from this value upwards; no fixed texture name of
// the scenes lies in this range.
constexpr unsigned ASE_TEXTURE_NAME_BASE = 0x40000000u;
// A per-frame table longer than this (about 5 hours at 60 frames a second) is not built.
constexpr int64_t ASE_MAX_FRAME_ENTRIES = 1048576;
// All the per-frame tables of one scene together hold at most this many entries
// (at most 48 MiB): a small file of far-apart keys cannot ask for gigabytes.
constexpr int64_t ASE_MAX_SCENE_FRAME_ENTRIES = 3 * ASE_MAX_FRAME_ENTRIES;
// All the mesh arrays of one scene together hold at most this many vertices,
// faces, texture vertices and texture faces (at most 20 MiB, and as many
// triangles to draw a frame, about 30 ms on a software renderer); the largest
// real scene has about 72,000. A node whose counts pass what is left loads
// without geometry.
constexpr int64_t ASE_MAX_SCENE_MESH_ELEMENTS = 524288;
// A scene's material table has at most this many materials (real scenes have
// a handful); a larger *MATERIAL_COUNT gives no table, as a negative one does.
constexpr int ASE_MAX_MATERIALS = 4096;
// One scene loads at most this many distinct bitmap files (real scenes: up to
// 5) and at most this many bytes of texels from them; materials naming the same
// file share its texture.
constexpr int ASE_MAX_SCENE_TEXTURES = 64;
constexpr size_t ASE_MAX_SCENE_TEXEL_BYTES = 16u << 20;

// Per-frame table entries built so far for the scene this thread is loading.
extern thread_local int64_t aseSceneFrameEntries;
// Mesh elements allocated so far for the scene this thread is loading.
extern thread_local int64_t aseSceneMeshElements;
// Next texture name handed to a material bitmap; starts at ASE_TEXTURE_NAME_BASE and
// only grows, so every material of every scene loaded has a name of its own.
extern unsigned aseNextTextureName;

struct Vec3 {
    float x, y, z;
};

struct TexVertex {
    float u, v;
};

struct MeshFace {
    int32_t v[3];        // vertex indices A, B, C
    int32_t t[3];        // texture-vertex indices of the same corners
    Vec3 normal;         // face normal, drawing axes
    int32_t materialId;  // *MESH_MTLID; kept, not used for drawing
};

struct AnimKey {
    int32_t tick;
    float value[3];   // position, or rotation axis
    float extraA[3];  // values 7..9 of the ten-value form
    float angle;      // rotation angle in radians
    float extraB[2];  // values 5..6
    int32_t flags;    // value 10
};

struct NodeAnimation {
    int32_t numPosKeys;        // *CONTROL_BEZIER_POS_KEY and *CONTROL_POS_SAMPLE lines
    int32_t numRotKeys;        // *CONTROL_ROT_KEY, *CONTROL_ROT_SAMPLE and *CONTROL_TCB_ROT_KEY lines
    AnimKey* posKeys;          // in file order
    AnimKey* rotKeys;          // in file order
    Vec3* posFrames;           // position per frame from the first key's frame, file axes
    float (*rotFrames)[4];     // axis x, y, z and angle in degrees per frame
    int32_t numPosFrames;      // entries of posFrames (0: no table)
    int32_t numRotFrames;      // entries of rotFrames (0: no table)
};

struct AseMaterial {
    char name[ASE_MATERIAL_NAME_SIZE];
    char className[ASE_MATERIAL_NAME_SIZE];
    float shine;
    float shineStrength;
    float wireSize;
    float transparency;
    float selfIllum;
    float ambient[3];
    float diffuse[3];
    float specular[3];
    int32_t hasBitmap;
    char bitmapPath[ASE_NAME_SIZE];
    uint32_t textureName;
    float uTiling, vTiling;
    float uOffset, vOffset;
};

struct GeomObject {
    int32_t numVertices;
    int32_t numFaces;
    int32_t numTexFaces;
    int32_t numTexVertices;
    int32_t hasNormals;
    char name[ASE_NAME_SIZE];
    Vec3* vertices;
    TexVertex* texVertices;
    Vec3* vertexNormals;
    MeshFace* faces;
    int32_t materialRef;  // index into materials, -1 for none
    NodeAnimation animation;
    Vec3 pivot;           // *TM_POS, file axes
    float wireColor[3];
};

struct AseLight {
    int32_t hasTarget;
    float position[4];
    float target[4];
    float falloff;
    float color[4];
    float intensity;
    char name[ASE_NAME_SIZE];
    NodeAnimation animation;
};

struct AseCamera {
    char name[ASE_NAME_SIZE];
    Vec3 position;
    Vec3 rotAxis;
    float nearClip;
    float farClip;
    float fov;
    float targetDist;
    NodeAnimation animation;
};

struct AseScene {
    int32_t numObjects;
    int32_t numMaterials;
    int32_t numLights;
    int32_t numCameras;
    int32_t firstFrame;
    int32_t lastFrame;
    int32_t frameSpeed;
    int32_t ticksPerFrame;
    AseMaterial* materials;
    GeomObject* objects;
    AseLight* lights;
    AseCamera* cameras;
};

// Fills scene from the ASE file at path. Returns 1 when the file was read, 0
// when it could not be opened or is not a regular file ("# <path> not found!"
// on stdout; scene untouched), or when memory ran out (scene left empty, or
// untouched when it ran out before any of the scene was read).
// Material bitmaps with a drive prefix are looked up beside the scene file.
int loadAseScene(const char* path, AseScene* scene);
// The same from a file already in memory (bitmaps with a drive prefix are
// looked up in the working directory); 0 only when memory ran out.
int loadAseSceneFromMemory(const char* data, size_t size, AseScene* scene);
// Scene files parsed ahead. asePreloadStart reads and parses each of the files
// at paths (at most ASE_PRELOAD_MAX_SCENES) on a thread of its own, into a
// zeroed record; loadAseScene of one of those paths then waits for its
// parse and takes it instead of reading the file. What touches GL (the material
// textures) and the texture names are still done by loadAseScene, on the calling
// thread, in material order, so names, textures and records are those of a load
// on the spot into a zeroed record, in whatever order the scenes are taken.
constexpr int ASE_PRELOAD_MAX_SCENES = 8;
void asePreloadStart(const char* const* paths, int count);
// Waits for those threads and frees every parsed scene no load took.
void asePreloadFinish();

// Frees every node's mesh arrays and the material table; counts are kept.
void releaseAseScene(AseScene* scene);
// Frees everything a load allocated (node, light and camera tables and their
// keys too) and zeroes the record: for callers that load scenes again and again
// (tests, tools). The demo keeps those tables to its end.
void freeAseScene(AseScene* scene);
