// The spheres' state: the orbit phases, the render target of the zoom blur and
// the size of its copy.
#pragma once

#include "scenes/scenes.h"

constexpr int SPHERE_COUNT = 6;           // drawn in table order
constexpr int SPHERE_TARGET_SIZE = 128;   // texels per side of the render target and of its frame copy
constexpr int SPHERE_BLUR_PASSES = 25;    // magnified copies in the zoom blur
constexpr float SPHERE_BLUR_SPREAD = 0.02f;  // texture coordinates cropped per pass and side

constexpr unsigned TEX_PENTAGRAM = TEX_SPHERES_FIRST;  // models/pentagrama.tga

// Orbit phases in radians, 0 at program start, never reset; each drawn frame
// adds 0.05, 0.055 and 0.06.
extern float spherePhase1;
extern float spherePhase2;
extern float spherePhase3;

extern unsigned sphereRenderTarget;  // texture name from glGenTextures at set-up; 0 after the clean-up

// The pentagram picture and the zoom blur over the frame: passes full-screen
// copies of the render target, each spread further into its centre and fainter
// (alpha from 0.2 down by 0.2 / passes), added unlit in grey.
void spheresPentagramAndBlur(int passes, float spread);
