// The cube tower's state: camera and tower motion, the glowing box's turn and
// how far each text page has flown, plus the scene's drawing routines.
#pragma once

#include "scenes/scenes.h"
#include "shell/timeline.h"  // TOWER_PHASE_COUNT: tower phases before the end

constexpr int TOWER_PAGE_COUNT = 19;     // text pages, drawn in table order
constexpr int TOWER_TRAIL_COPIES = 10;   // towers in a trail, alpha 1 down to 0.1
constexpr int TOWER_NO_PHASE = -1;       // from 118.7 s: no tower, the scene is over

// Texture names: the two cube faces, then the pages in loading order.
constexpr unsigned TEX_TOWER_K = TEX_TOWER_FIRST; // maps/k.tga: back, front and bottom faces
constexpr unsigned TEX_TOWER_D = TEX_TOWER_FIRST + 1; // maps/d.tga: top, right and left faces
constexpr unsigned TEX_TOWER_PAGE_FIRST = TEX_TOWER_FIRST + 2;  // maps/everything.tga, then txt_2 .. txt_17, txt_20, txt_21

// All 0 at program start and never reset.
extern float sceneStart;          // demo seconds read by the set-up
extern float previousSceneTime;   // scene seconds (t - sceneStart) of the previous drawn frame
extern float towerSpin;           // tower turn about the vertical axis, degrees
extern float cameraZoom;          // distance term of the eye position; eye z = 70 + cameraZoom / 10
extern float cameraRoll;          // x component of the camera's up vector
extern float cameraOrbit;         // phase of the eye's circling, radians
extern float boxSpin;             // turn of the glowing box, degrees
extern float pageDistance[TOWER_PAGE_COUNT];  // how far each page has flown; depth -2 - 3 x this

// The tower phase in force at demo time t: 0..4, or TOWER_NO_PHASE from 118.7 s.
int towerPhaseAt(float t);

// A cube of edge 2s around the origin: k.tga on back, front and bottom, d.tga on top, right and left.
void drawTexturedCube(float s);
// Seven cubes along x: half size 1 at x = -15 and 15, 0.5 at -10, -5, 0, 5, 10.
void drawCubeRow();
// 25 rows, row i at y = 2i - 22, turned 22.5 i degrees, grey i / 24 with the given alpha.
void drawCubeTower(float alpha);
