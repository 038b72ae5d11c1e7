// Small ASE scenes for tests: triangle meshes written as geometry nodes.
#pragma once

#include <array>
#include <string>
#include <vector>

// A triangle mesh in drawing axes, model units.
struct Mesh {
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::array<int, 3>> faces;
};

// An axis-aligned cube around (x, y, z).
Mesh box(float x, float y, float z, float half);

// One ASE file with a geometry node per mesh and no materials, so every node
// is drawn untextured in the current colour.
std::string aseFile(const std::vector<Mesh>& meshes);

struct AseScene;
// Expects two loaded scenes to be the same, field by field and array element
// by element. Material texture names are compared for whether one was given;
// with sameTextureNames, for their values too.
void expectSameScene(const AseScene& a, const AseScene& b, bool sameTextureNames = false);
