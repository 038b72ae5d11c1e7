// Drawing routines the scenes share: a quad covering the view, the white flash
// and the fade through black built on it, a textured rectangle and a textured
// square centred on the origin.
#pragma once

// Untextured quad covering the view at eye depth 0.1; the current matrix is kept.
void drawScreenQuad();
// Inside [start, end], adds white rising from 0 to peak at the midpoint and back.
void flashOverlay(float start, float end, float time, float peak);
constexpr int FADE_IN = 0;   // level rises from 0 to 1
constexpr int FADE_OUT = 1;  // level falls from 1 to 0
// Inside [start, end], multiplies the frame by the fade level.
void fadeOverlay(int mode, float start, float end, float time);
// Textured quad from the local origin to (width, height) in the plane z = depth.
void drawTexturedRect(float width, float height, float depth);
// Textured square from (-s, -s) to (s, s) in the plane z = 0.
void drawCenteredSquare(float s);
