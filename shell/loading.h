// The loading phase: one full-screen loading image, then the scenes' asset
// initialisers in their fixed order, before the music and the clock start.
#pragma once

extern int loadingPreload;  // 1: the scene files are parsed ahead on a second thread (0: on the spot)

// Returns 1 when every initialiser succeeded, 0 as soon as one returns 0.
int runLoadingPhase();
