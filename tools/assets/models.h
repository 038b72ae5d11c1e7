// The pack's three scenes, built in memory before they are written.
#pragma once

#include "tools/assets/ase_write.h"

// Scene 2's landscape: a ruin on a plain around a fire altar at the origin,
// under a dome of burning sky.
SceneDesc buildFireLandscape();
// Scene 2's fire: tongues of flame standing in the altar at the origin, made
// to be drawn additively.
SceneDesc buildFireModel();
// Scene 4's place to fly through: a walled temple court with gates, a hall of
// columns, a pyramid and monuments, under the same kind of sky.
SceneDesc buildFlythroughCourt();

// Shared by the builders.
// The materials the pack's scenes draw with, in the order of their tables.
enum PackMaterial { MAT_ROCK, MAT_GROUND, MAT_WALL, MAT_SKY, MAT_FLAME, PACK_MATERIAL_COUNT };
const MaterialDesc& packMaterial(PackMaterial which);
// The first count of them, as a scene's material table.
std::vector<MaterialDesc> packMaterials(int count);
// A square height field of cells x cells quads over [-extent, extent] in x and
// z, at the heights height(x, z) gives; a quad goes to the rock faces where
// rocky(x, z) holds at its centre, to the plain faces elsewhere.
void addHeightField(SurfaceBuilder& plain, SurfaceBuilder& rock, double extent, int cells, double (*height)(double, double),
                    bool (*rocky)(double, double));
// A dome of sky (plain tiling of its texture) from below the horizon to the zenith.
void addSkyDome(MeshNode& node, double radius, double horizonY, int sides, int rings);
// A tongue of flame: a strip standing in the vertical plane through base along
// `across`, following the flame texture's outline.
void addFlameTongue(MeshNode& node, const V3& base, const V3& across, double width, double height);
