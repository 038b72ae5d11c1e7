// Writes scenes in the ASE text form the demo reads: the tab-indented layout
// of the ASCII scene exporter, with a scene block, a material list, geometry
// nodes (vertices, faces, texture vertices and faces, normals, animation
// samples), lights and cameras. The one writer of the project: the generator's
// pack, the tests' small models and the benchmark's large scenes all come from it.
#pragma once

#include <string>
#include <vector>

#include "tools/assets/mesh.h"

struct MaterialDesc {
    std::string name;    // one word
    std::string bitmap;  // path below the pack's root, one word; empty for none
    float diffuse[3];
    float uTiling = 1.0f;  // texture repeats across u and v, written with the bitmap
    float vTiling = 1.0f;
};

struct LightDesc {
    std::string name;
    V3 position;  // drawing axes
    float colour[3];
    float intensity;
};

struct CameraDesc {
    std::string name;
    V3 position;  // drawing axes
    float fov;    // radians, as the exporter writes it
};

// A geometry node's animation: samples every few frames, in the file's axes
// (the reader keeps keys as the file holds them).
struct PositionSample {
    int tick;
    V3 position;
};
struct RotationSample {
    int tick;
    V3 axis;
    double angle;  // radians
};
struct NodeAnimationDesc {
    std::vector<PositionSample> positions;
    std::vector<RotationSample> rotations;
};

struct SceneDesc {
    std::string fileName;  // written into the scene block
    std::vector<MaterialDesc> materials;
    std::vector<MeshNode> nodes;
    std::vector<NodeAnimationDesc> animations;  // per node, in node order; nodes past its end have none
    std::vector<LightDesc> lights;
    std::vector<CameraDesc> cameras;
};

// The file's text. Geometry in drawing axes (x, y, z) is written in the file's
// axes as (x, -z, y), which the reader turns back. Faces may name vertices that
// are not there (as damaged files do); they are written as given and left out
// of the vertex normals.
std::string aseText(const SceneDesc& scene);
// Writes aseText to path; returns 1 on success, 0 on failure.
int writeAse(const std::string& path, const SceneDesc& scene);
// Triangles in all nodes.
size_t triangleCount(const SceneDesc& scene);
