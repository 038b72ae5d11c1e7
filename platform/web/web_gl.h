// The GL 1.1 layer of the web build. WebGL has no fixed-function pipeline, so
// the GL 1.1 calls the demo makes are implemented here over WebGL 2: the
// matrix stacks, immediate mode, per-vertex lighting with materials, the
// texture environment GL_MODULATE, and the state calls that WebGL has too.
// Vertices are transformed and lit on the CPU as they arrive, exactly as the
// fixed-function pipeline defines it, and drawn in batches by one small shader
// that only interpolates colour and texture coordinate; a batch is sent
// whenever a state it depends on changes. What the demo never uses (texture
// generation, lines, points, fog, environment modes other than GL_MODULATE) is
// reported once on stderr when asked for, and otherwise left out.
#pragma once

// Creates the layer's shader and buffers on the context just made current and
// puts the GL 1.1 initial state in place. Returns 0 when WebGL refuses them.
int webGLStart();
// Releases what webGLStart created.
void webGLStop();
// Draws what is batched; called before the frame is shown.
void webGLFlush();
// 1: nothing drawn reaches the frame (rasterisation off, as the headless
// layer's frames that are run but not captured); 0: back to normal.
void webGLSetRasterDiscard(int discard);
int webGLRasterDiscarded();  // the last webGLSetRasterDiscard
