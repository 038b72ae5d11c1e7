// The fly-through's state: its model, the shot accumulators and the shot on screen.
#pragma once

#include "assets/ase.h"
#include "shell/timeline.h"  // FLY_SHOT_COUNT: camera shots 1..14

constexpr int FLY_NO_SHOT = 0;      // past the last shot bound: the scene is over

inline constexpr const char* FLY_MODEL_PATH = "models/escena02.ase";

extern AseScene flythroughModel;  // models/escena02.ase; released by the clean-up

// Per-shot accumulators, index k - 1 for shot k: scene seconds spent in the shot
// times its rate. Never reset, so a finished shot keeps its last value.
extern float flyShotPhase[FLY_SHOT_COUNT];

extern int flyShot;  // shot of the last drawn frame, 1..14, or FLY_NO_SHOT (also before the first)

// The shot that shows demo time t: the first k whose bound is >= t, or FLY_NO_SHOT past 162.5 s.
int flyShotAt(float t);
