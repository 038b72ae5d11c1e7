// Draws a loaded scene as filled, unlit triangles in immediate mode, textured
// with each node's material bitmap, at the current model-view matrix.
#pragma once

#include "assets/ase.h"

void drawAseScene(const AseScene* scene);
// Draws one node with its material (or none); textured: 0 or 1.
void drawGeomObject(const GeomObject* node, const AseMaterial* material, int textured);
