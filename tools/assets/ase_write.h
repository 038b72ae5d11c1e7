// Writes scenes in the ASE text form the demo reads: the tab-indented layout
// of the ASCII scene exporter, with a scene block, a material list, geometry
// nodes (vertices, faces, texture vertices and faces, normals), lights and cameras.
#pragma once

#include <string>
#include <vector>

#include "tools/assets/mesh.h"

struct MaterialDesc {
    std::string name;    // one word
    std::string bitmap;  // path below the pack's root, one word; empty for none
    float diffuse[3];
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

struct SceneDesc {
    std::string fileName;  // written into the scene block
    std::vector<MaterialDesc> materials;
    std::vector<MeshNode> nodes;
    std::vector<LightDesc> lights;
    std::vector<CameraDesc> cameras;
};

// The file's text. Geometry in drawing axes (x, y, z) is written in the file's
// axes as (x, -z, y), which the reader turns back.
std::string aseText(const SceneDesc& scene);
// Writes aseText to path; returns 1 on success, 0 on failure.
int writeAse(const std::string& path, const SceneDesc& scene);
// Triangles in all nodes.
size_t triangleCount(const SceneDesc& scene);
