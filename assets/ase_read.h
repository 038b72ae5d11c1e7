// The passes of the ASE reader, written once over a stream type so that the
// in-memory stream (assets/ase_scan.h) can be checked against the C library's
// own stream functions on the same files.
//
// A stream offers: rewind(), eof(), size(), tell(), seek(pos), offset() (the
// cursor as a byte offset), token(&t),
// scan(format, ...), quoted(field, capacity), skipLine(), seekNth(keyword, n)
// (rewind and read tokens up to the (n+1)-th one equal to the keyword) and
// countKeys(&pos, &rot) (one token, then the key tokens up to the next node).
//
// The in-memory stream also knows from its index where every block ends, so
// its readers stop there ("fences") even when the next block's keyword is
// hidden behind another token on its line, and its header pass and line
// skipping readers go from one keyword they know to the next without reading
// the lines between. On a file whose keywords are all visible the results are
// those of the plain passes.
#pragma once

#include <cstdio>

#include "assets/ase.h"
#include "assets/ase_scan.h"
#include "assets/tga.h"

// Gives every element of the scene's four tables its defaults. The tables are
// allocated with the counts of the header pass; a count below zero or above
// fileSize (for materials, above ASE_MAX_MATERIALS), or one whose table cannot
// be allocated, becomes 0 with no table. Starts the scene's budgets.
void aseAllocateTables(AseScene* scene, size_t fileSize);
// Allocates a geometry node's mesh arrays from its counts, zeroed. A count that
// is negative, larger than fileSize or not allocatable becomes 0 with no array;
// a node whose counts pass what is left of the scene's mesh budget gets no
// geometry at all.
void aseAllocateMeshArrays(GeomObject* node, size_t fileSize);
// Loads the bitmap of the scene's material i, once per file for the scene:
// a material naming a file an earlier one loaded shares its texture. Paths
// written with backslashes, and absolute ones with a drive prefix (looked up
// by file name in sceneFolder and in maps/), are found on this platform. Files
// past the scene's texture budgets are not loaded.
void aseLoadMaterialTexture(AseScene* scene, int i, const char* sceneFolder);
// Gives an animation block fresh key arrays of the counted sizes (zeroed),
// freeing the ones an earlier block of the same node had.
void aseAllocateKeys(NodeAnimation* animation, int posKeys, int rotKeys);
// Builds the position and rotation tables of one node from its keys.
void buildFrameTables(const AseScene* scene, NodeAnimation* animation);
// The next texture name of the reserved range.
unsigned aseTakeTextureName();
// Starts the texture budgets of a new scene (aseAllocateTables does, but for a
// scene parsed ahead, whose textures are loaded when it is taken).
void aseBeginSceneTextures();
// 1 on the thread that parses scenes ahead: texture names and uploads are left
// to the thread that takes the scene.
extern thread_local int aseParsingAhead;

// The face form that follows a face's index on a *MESH_FACE line.
constexpr const char* ASE_FACE_FORM =
    "\tA:\t%d B:\t%d C:\t%d AB:    %i BC:    %i CA:    %i\t *MESH_SMOOTHING %i \t*MESH_MTLID %i";
// The ten values of a Bézier position key or a rotation key after its tick.
constexpr const char* ASE_TEN_VALUE_FORM = "\t%f\t%f\t%f\t%f\t%f\t%f\t%f\t%f\t%f\t%i";

// The forms the readers scan with, taken apart once.
inline constexpr AseScanForm ASE_SCAN_DECIMAL{"%d"};
inline constexpr AseScanForm ASE_SCAN_INTEGER{"%i"};
inline constexpr AseScanForm ASE_SCAN_INDEX_COLON{"%d:"};
inline constexpr AseScanForm ASE_SCAN_THREE{"%f %f %f"};
inline constexpr AseScanForm ASE_SCAN_TWO{"%f %f"};
inline constexpr AseScanForm ASE_SCAN_THREE_INDICES{"%d %d %d"};
inline constexpr AseScanForm ASE_SCAN_ONE_AFTER_SPACE{" %f"};
inline constexpr AseScanForm ASE_SCAN_COLOUR{" %f\t%f\t%f"};
inline constexpr AseScanForm ASE_SCAN_POSITION_SAMPLE{"\t%f\t%f\t%f"};
inline constexpr AseScanForm ASE_SCAN_ROTATION_SAMPLE{"\t%f\t%f\t%f\t%f"};
inline constexpr AseScanForm ASE_SCAN_FACE{ASE_FACE_FORM};
inline constexpr AseScanForm ASE_SCAN_TEN_VALUES{ASE_TEN_VALUE_FORM};

// A formatted read: the stream's own scan with the form's text, or, on the
// in-memory stream, the form's steps as straight-line code.
template <const AseScanForm& F, class Stream, class... Targets>
int aseScan(Stream& in, Targets*... targets)
{
    return in.scan(F.text, targets...);
}
template <const AseScanForm& F, class... Targets>
int aseScan(AseMemoryStream& in, Targets*... targets)
{
    void* const list[] = {static_cast<void*>(targets)...};
    return in.scanSteps<F>(list);
}

// Fences: a node's reader stops once it has read or skipped past the next
// token that opens a node, a material's reader once past the next *MATERIAL
// (stopAt ASE_KW_GEOMOBJECT or ASE_KW_MATERIAL), even when a line skip hid
// that token from it. The fence is the offset just past that token, as a plain
// token walk from the reader's start finds it (the file's length when none).
template <class Stream>
size_t aseFence(Stream& in, AseKeyword stopAt)
{
    const auto start = in.tell();
    AseToken token{};
    while (!in.eof() && in.token(&token)) {
        const AseKeyword k = aseKeyword(token);
        if (stopAt == ASE_KW_MATERIAL ? k == ASE_KW_MATERIAL : aseOpensNode(k)) break;
    }
    const size_t fence = in.offset();
    in.seek(start);
    return fence;
}
// The in-memory stream's index knows the fence.
inline size_t aseFence(AseMemoryStream& in, AseKeyword stopAt) { return in.fenceAfterCursor(stopAt); }
// Whether the cursor has reached the fence.
template <class Stream>
bool asePastFence(const Stream& in, size_t fence)
{
    return in.offset() >= fence;
}

// Moves a line-skipping reader to the line of its next keyword, where the
// stream can tell which line that is.
template <class Stream>
void aseSkipToSet(Stream&, AseKeywordSet)
{
}
inline void aseSkipToSet(AseMemoryStream& in, AseKeywordSet set) { in.skipToSet(set); }

// Reads the value of a header keyword into the scene.
template <class Stream>
void aseReadHeaderValue(Stream& in, AseKeyword k, AseScene* scene)
{
    switch (k) {
    case ASE_KW_MATERIAL_COUNT: aseScan<ASE_SCAN_INTEGER>(in, &scene->numMaterials); break;
    case ASE_KW_SCENE_FIRSTFRAME: aseScan<ASE_SCAN_INTEGER>(in, &scene->firstFrame); break;
    case ASE_KW_SCENE_LASTFRAME: aseScan<ASE_SCAN_INTEGER>(in, &scene->lastFrame); break;
    case ASE_KW_SCENE_FRAMESPEED: aseScan<ASE_SCAN_INTEGER>(in, &scene->frameSpeed); break;
    case ASE_KW_SCENE_TICKSPERFRAME: aseScan<ASE_SCAN_INTEGER>(in, &scene->ticksPerFrame); break;
    default: break;
    }
}

// Node counts of the header pass, by the kind of node keyword.
struct AseNodeCounts {
    int geometry;
    int lights;
    int cameras;
    void count(AseKeyword k)
    {
        geometry += k == ASE_KW_GEOMOBJECT ? 1 : 0;
        lights += k == ASE_KW_LIGHTOBJECT ? 1 : 0;
        cameras += k == ASE_KW_CAMERAOBJECT ? 1 : 0;
    }
};

// Header pass: every token from the start of the file; node keywords counted,
// header keywords read.
template <class Stream>
void aseHeaderPass(Stream& in, AseScene* scene, AseNodeCounts* counts)
{
    AseToken token{};
    in.rewind();
    while (!in.eof() && in.token(&token)) {
        const AseKeyword k = aseKeyword(token);
        counts->count(k);
        aseReadHeaderValue(in, k, scene);
    }
}
// The same pass over the index of the in-memory stream: the tokens are the
// file's whole tokens except right after a header value, which may stop inside
// a token whose rest is then read as a token of its own.
void aseHeaderPass(AseMemoryStream& in, AseScene* scene, AseNodeCounts* counts);

// Reads an animation block, entered right after its *TM_ANIMATION token.
template <class Stream>
void readNodeAnimation(Stream& in, NodeAnimation* animation, size_t fence)
{
    const auto mark = in.tell();
    int posCount = 0;
    int rotCount = 0;
    in.countKeys(&posCount, &rotCount);
    aseAllocateKeys(animation, posCount, rotCount);
    in.seek(mark);
    AseToken token{};
    in.token(&token);
    in.token(&token);

    int read = 0;
    while (!in.eof() && !asePastFence(in, fence) && read < animation->numPosKeys) {
        if (!in.token(&token)) break;
        const AseKeyword k = aseKeyword(token);
        if (k == ASE_KW_CONTROL_POS_SAMPLE) {
            AnimKey* key = &animation->posKeys[read++];
            aseScan<ASE_SCAN_INTEGER>(in, &key->tick);
            aseScan<ASE_SCAN_POSITION_SAMPLE>(in, &key->value[0], &key->value[1], &key->value[2]);
        } else if (k == ASE_KW_CONTROL_BEZIER_POS_KEY) {
            AnimKey* key = &animation->posKeys[read++];
            aseScan<ASE_SCAN_INTEGER>(in, &key->tick);
            aseScan<ASE_SCAN_TEN_VALUES>(in, &key->value[0], &key->value[1], &key->value[2], &key->angle, &key->extraB[0],
                    &key->extraB[1], &key->extraA[0], &key->extraA[1], &key->extraA[2], &key->flags);
        }
    }

    in.token(&token);
    in.token(&token);

    read = 0;
    while (!in.eof() && !asePastFence(in, fence) && read < animation->numRotKeys) {
        if (!in.token(&token)) break;
        const AseKeyword k = aseKeyword(token);
        if (k == ASE_KW_CONTROL_ROT_SAMPLE) {
            AnimKey* key = &animation->rotKeys[read++];
            aseScan<ASE_SCAN_INTEGER>(in, &key->tick);
            aseScan<ASE_SCAN_ROTATION_SAMPLE>(in, &key->value[0], &key->value[1], &key->value[2], &key->angle);
        } else if (k == ASE_KW_CONTROL_ROT_KEY || k == ASE_KW_CONTROL_TCB_ROT_KEY) {
            AnimKey* key = &animation->rotKeys[read++];
            aseScan<ASE_SCAN_INTEGER>(in, &key->tick);
            aseScan<ASE_SCAN_TEN_VALUES>(in, &key->value[0], &key->value[1], &key->value[2], &key->angle, &key->extraB[0],
                    &key->extraB[1], &key->extraA[0], &key->extraA[1], &key->extraA[2], &key->flags);
        }
    }
}

// Stores three values read in file axes (x, y, z) as (x, z, -y); values the
// line did not give leave their fields as they were.
inline void aseStoreConverted(Vec3* target, int values, float x, float y, float z)
{
    if (values >= 1) target->x = x;
    if (values >= 2) target->z = -y;
    if (values >= 3) target->y = z;
}

inline bool aseInRange(int index, int count) { return index >= 0 && index < count; }

// Node-header walk of one geometry node, entered right after its *GEOMOBJECT:
// mesh counts, normals flag, material and name, up to the next node. A node's
// name is the last *NODE_NAME in its block.
template <class Stream>
void readNodeHeader(Stream& in, GeomObject* node, size_t fence)
{
    AseToken token{};
    while (!in.eof() && !asePastFence(in, fence)) {
        aseSkipToSet(in, ASE_SET_NODE_HEADER);
        if (!in.token(&token)) break;
        const AseKeyword k = aseKeyword(token);
        if (aseOpensNode(k)) break;
        switch (k) {
        case ASE_KW_MESH_NUMVERTEX: aseScan<ASE_SCAN_DECIMAL>(in, &node->numVertices); continue;
        case ASE_KW_MESH_NUMFACES: aseScan<ASE_SCAN_DECIMAL>(in, &node->numFaces); continue;
        case ASE_KW_MESH_NUMTVERTEX: aseScan<ASE_SCAN_DECIMAL>(in, &node->numTexVertices); continue;
        case ASE_KW_MESH_NUMTVFACES: aseScan<ASE_SCAN_DECIMAL>(in, &node->numTexFaces); continue;
        case ASE_KW_MESH_NORMALS: node->hasNormals = 1; continue;
        case ASE_KW_MATERIAL_REF: aseScan<ASE_SCAN_INTEGER>(in, &node->materialRef); continue;
        case ASE_KW_NODE_NAME: in.quoted(node->name, sizeof node->name); continue;
        default: break;
        }
        in.skipLine();
    }
}

// Reads a geometry node's keywords up to the next node or the end of the file.
template <class Stream>
void readGeomNode(Stream& in, GeomObject* node, const AseMaterial* material, size_t fence)
{
    AseToken token{};
    while (!in.eof() && !asePastFence(in, fence) && in.token(&token)) {
        const AseKeyword k = aseKeyword(token);
        if (aseOpensNode(k)) break;
        int index = -1;
        float x = 0.0f, y = 0.0f, z = 0.0f;
        switch (k) {
        case ASE_KW_MESH_VERTEX: {
            aseScan<ASE_SCAN_DECIMAL>(in, &index);
            const int values = aseScan<ASE_SCAN_THREE>(in, &x, &y, &z);
            if (aseInRange(index, node->numVertices)) aseStoreConverted(&node->vertices[index], values, x, y, z);
            break;
        }
        case ASE_KW_MESH_TVERT: {
            aseScan<ASE_SCAN_DECIMAL>(in, &index);
            const int values = aseScan<ASE_SCAN_TWO>(in, &x, &y);
            if (node->texVertices != nullptr && aseInRange(index, node->numTexVertices)) {
                TexVertex* tv = &node->texVertices[index];
                if (values >= 1) tv->u = material != nullptr ? x * material->uTiling : x;
                if (values >= 2) tv->v = material != nullptr ? y * material->vTiling : y;
            }
            break;
        }
        case ASE_KW_MESH_VERTEXNORMAL: {
            aseScan<ASE_SCAN_DECIMAL>(in, &index);
            const int values = aseScan<ASE_SCAN_THREE>(in, &x, &y, &z);
            if (node->vertexNormals != nullptr && aseInRange(index, node->numVertices))
                aseStoreConverted(&node->vertexNormals[index], values, x, y, z);
            break;
        }
        case ASE_KW_MESH_FACENORMAL: {
            aseScan<ASE_SCAN_DECIMAL>(in, &index);
            const int values = aseScan<ASE_SCAN_THREE>(in, &x, &y, &z);
            if (aseInRange(index, node->numFaces)) aseStoreConverted(&node->faces[index].normal, values, x, y, z);
            break;
        }
        case ASE_KW_MESH_FACE: {
            aseScan<ASE_SCAN_INDEX_COLON>(in, &index);
            int v[3] = {0, 0, 0};
            int edges[3] = {0, 0, 0};
            int smoothing = 0;
            int materialId = 0;
            const int values = aseScan<ASE_SCAN_FACE>(in, &v[0], &v[1], &v[2], &edges[0], &edges[1], &edges[2], &smoothing,
                                       &materialId);
            if (aseInRange(index, node->numFaces)) {
                MeshFace* face = &node->faces[index];
                for (int c = 0; c < 3 && c < values; ++c) face->v[c] = v[c];
                if (values >= 8) face->materialId = materialId;
            }
            break;
        }
        case ASE_KW_MESH_TFACE: {
            aseScan<ASE_SCAN_INDEX_COLON>(in, &index);
            int t[3] = {0, 0, 0};
            const int values = aseScan<ASE_SCAN_THREE_INDICES>(in, &t[0], &t[1], &t[2]);
            if (aseInRange(index, node->numFaces))
                for (int c = 0; c < 3 && c < values; ++c) node->faces[index].t[c] = t[c];
            break;
        }
        case ASE_KW_TM_POS:
            aseScan<ASE_SCAN_THREE>(in, &node->pivot.x, &node->pivot.y, &node->pivot.z);
            break;
        case ASE_KW_WIREFRAME_COLOR:
            aseScan<ASE_SCAN_THREE>(in, &node->wireColor[0], &node->wireColor[1], &node->wireColor[2]);
            break;
        case ASE_KW_TM_ANIMATION:
            readNodeAnimation(in, &node->animation, fence);
            break;
        default:
            in.skipLine();
            break;
        }
    }
}

// Reads a material's keywords up to the next *MATERIAL token or the end of the file.
template <class Stream>
void readMaterial(Stream& in, AseMaterial* m, size_t fence)
{
    AseToken token{};
    while (!in.eof() && !asePastFence(in, fence)) {
        aseSkipToSet(in, ASE_SET_MATERIAL);
        if (!in.token(&token)) break;
        const AseKeyword k = aseKeyword(token);
        if (k == ASE_KW_MATERIAL) break;
        switch (k) {
        case ASE_KW_MATERIAL_NAME: in.quoted(m->name, sizeof m->name); break;
        case ASE_KW_MATERIAL_CLASS: in.quoted(m->className, sizeof m->className); break;
        case ASE_KW_MATERIAL_AMBIENT: aseScan<ASE_SCAN_COLOUR>(in, &m->ambient[0], &m->ambient[1], &m->ambient[2]); break;
        case ASE_KW_MATERIAL_DIFFUSE: aseScan<ASE_SCAN_COLOUR>(in, &m->diffuse[0], &m->diffuse[1], &m->diffuse[2]); break;
        case ASE_KW_MATERIAL_SPECULAR:
            aseScan<ASE_SCAN_COLOUR>(in, &m->specular[0], &m->specular[1], &m->specular[2]);
            break;
        case ASE_KW_MATERIAL_SHINE: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &m->shine); break;
        case ASE_KW_MATERIAL_SHINESTRENGTH: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &m->shineStrength); break;
        case ASE_KW_MATERIAL_TRANSPARENCY: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &m->transparency); break;
        case ASE_KW_MATERIAL_WIRESIZE: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &m->wireSize); break;
        case ASE_KW_MATERIAL_SELFILLUM: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &m->selfIllum); break;
        case ASE_KW_BITMAP:
            // The material's texture name is its own from its first bitmap on.
            if (m->textureName == 0 && !aseParsingAhead) m->textureName = aseTakeTextureName();
            m->hasBitmap = 1;
            in.quoted(m->bitmapPath, sizeof m->bitmapPath);
            break;
        case ASE_KW_UVW_U_TILING: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &m->uTiling); break;
        case ASE_KW_UVW_V_TILING: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &m->vTiling); break;
        case ASE_KW_UVW_U_OFFSET: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &m->uOffset); break;
        case ASE_KW_UVW_V_OFFSET: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &m->vOffset); break;
        default: in.skipLine(); break;
        }
    }
}

// Reads a light's keywords up to the next node or the end of the file.
template <class Stream>
void readLight(Stream& in, AseLight* light, size_t fence)
{
    AseToken token{};
    int positionRead = 0;  // the first *TM_POS is the light's own, later ones its target's
    while (!in.eof() && !asePastFence(in, fence) && in.token(&token)) {
        const AseKeyword k = aseKeyword(token);
        if (aseOpensNode(k)) break;
        switch (k) {
        case ASE_KW_NODE_NAME: in.quoted(light->name, sizeof light->name); break;
        case ASE_KW_TM_POS:
            if (!positionRead) {
                positionRead = 1;
                aseScan<ASE_SCAN_THREE>(in, &light->position[0], &light->position[1], &light->position[2]);
            } else {
                aseScan<ASE_SCAN_THREE>(in, &light->target[0], &light->target[1], &light->target[2]);
                light->hasTarget = 1;
            }
            break;
        case ASE_KW_LIGHT_COLOR: aseScan<ASE_SCAN_THREE>(in, &light->color[0], &light->color[1], &light->color[2]); break;
        case ASE_KW_LIGHT_INTENS: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &light->intensity); break;
        case ASE_KW_LIGHT_FALLOFF: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &light->falloff); break;
        case ASE_KW_TM_ANIMATION: readNodeAnimation(in, &light->animation, fence); break;
        default: in.skipLine(); break;
        }
    }
}

// Reads a camera's keywords up to the next node or the end of the file.
template <class Stream>
void readCamera(Stream& in, AseCamera* camera, size_t fence)
{
    AseToken token{};
    while (!in.eof() && !asePastFence(in, fence) && in.token(&token)) {
        const AseKeyword k = aseKeyword(token);
        if (aseOpensNode(k)) break;
        switch (k) {
        case ASE_KW_NODE_NAME: in.quoted(camera->name, sizeof camera->name); break;
        case ASE_KW_TM_POS: aseScan<ASE_SCAN_THREE>(in, &camera->position.x, &camera->position.y, &camera->position.z); break;
        case ASE_KW_TM_ROTAXIS: aseScan<ASE_SCAN_THREE>(in, &camera->rotAxis.x, &camera->rotAxis.y, &camera->rotAxis.z); break;
        case ASE_KW_CAMERA_NEAR: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &camera->nearClip); break;
        case ASE_KW_CAMERA_FAR: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &camera->farClip); break;
        case ASE_KW_CAMERA_FOV: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &camera->fov); break;
        case ASE_KW_CAMERA_TDIST: aseScan<ASE_SCAN_ONE_AFTER_SPACE>(in, &camera->targetDist); break;
        case ASE_KW_TM_ANIMATION: readNodeAnimation(in, &camera->animation, fence); break;
        default: in.skipLine(); break;
        }
    }
}

// Fills scene from an opened stream, pass by pass. Material bitmaps with a
// drive prefix are looked up in sceneFolder ("" for the working directory).
template <class Stream>
void readAseScene(Stream& in, AseScene* scene, const char* sceneFolder = "")
{
    // Header pass: node counts, material count and scene timing.
    scene->numObjects = 0;
    scene->numMaterials = 0;
    scene->numLights = 0;
    scene->materials = nullptr;
    scene->objects = nullptr;
    scene->lights = nullptr;
    scene->cameras = nullptr;
    AseNodeCounts counts{};
    aseHeaderPass(in, scene, &counts);
    scene->numObjects = counts.geometry;
    scene->numLights = counts.lights;
    scene->numCameras = counts.cameras;
    aseAllocateTables(scene, in.size());

    // Materials, each found by its opening *MATERIAL token.
    for (int i = 0; i < scene->numMaterials; ++i) {
        if (in.seekNth(ASE_KW_MATERIAL, i)) readMaterial(in, &scene->materials[i], aseFence(in, ASE_KW_MATERIAL));
        aseLoadMaterialTexture(scene, i, sceneFolder);
    }

    // Geometry nodes: the node-header walk gives the counts that size the
    // arrays, then the node is read. Materials are complete, so their tiling
    // applies to the texture vertices.
    for (int i = 0; i < scene->numObjects; ++i) {
        GeomObject* g = &scene->objects[i];
        if (in.seekNth(ASE_KW_GEOMOBJECT, i)) readNodeHeader(in, g, aseFence(in, ASE_KW_GEOMOBJECT));
        aseAllocateMeshArrays(g, in.size());
        const AseMaterial* material =
            aseInRange(g->materialRef, scene->numMaterials) ? &scene->materials[g->materialRef] : nullptr;
        if (in.seekNth(ASE_KW_GEOMOBJECT, i)) readGeomNode(in, g, material, aseFence(in, ASE_KW_GEOMOBJECT));
        buildFrameTables(scene, &g->animation);
    }

    for (int i = 0; i < scene->numLights; ++i) {
        AseLight* light = &scene->lights[i];
        if (in.seekNth(ASE_KW_LIGHTOBJECT, i)) readLight(in, light, aseFence(in, ASE_KW_LIGHTOBJECT));
        buildFrameTables(scene, &light->animation);
    }

    for (int i = 0; i < scene->numCameras; ++i) {
        AseCamera* camera = &scene->cameras[i];
        if (in.seekNth(ASE_KW_CAMERAOBJECT, i)) readCamera(in, camera, aseFence(in, ASE_KW_CAMERAOBJECT));
        buildFrameTables(scene, &camera->animation);
    }
}
