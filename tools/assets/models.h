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
// A dome of sky (plain tiling of its texture) from below the horizon to the zenith.
void addSkyDome(MeshNode& node, double radius, double horizonY, int sides, int rings);
// A tongue of flame: a strip standing in the vertical plane through base along
// `across`, following the flame texture's outline.
void addFlameTongue(MeshNode& node, const V3& base, const V3& across, double width, double height);
