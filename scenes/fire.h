// The fire scene's state: the two loaded models, the cloud particles, the shot
// accumulators and the shot on screen.
#pragma once

#include "assets/ase.h"
#include "shell/timeline.h"  // FIRE_SHOT_COUNT: camera shots 0..8

constexpr int CLOUD_COUNT = 500;      // cloud sprites, drawn in index order
constexpr int FIRE_NO_SHOT = -1;      // past the last shot bound: the scene is over

struct CloudParticle {
    float life;  // 1.0 when (re)born; drawn brightness is life / 5
    float fade;  // subtracted from life per drawn frame; 0 or less never dies
    float x;     // position in the cloud layer, eye units
    float y;
};

inline constexpr const char* FIRE_MAIN_SCENE_PATH = "models/escena01.ase";
inline constexpr const char* FIRE_FLAME_SCENE_PATH = "models/fuegoscn01.ase";

extern AseScene fireMainScene;   // models/escena01.ase; released by the clean-up
extern AseScene fireFlameScene;  // models/fuegoscn01.ase, drawn twice additively; kept to the end

extern CloudParticle cloudParticles[CLOUD_COUNT];  // first state from the loader, then per frame

// Shot accumulators: scene seconds spent in a shot times its rate; never reset.
extern float shotPhase0;  // shots 0 and 1 (frozen in shot 1), and the second fire model's turn
extern float shotPhase1;  // shot 1
extern float shotPhase2;  // shot 2
extern float shotPhase3;  // shot 3
extern float shotPhase4;  // shot 4
extern float shotPhase5;  // shot 8

extern int fireShot;  // shot of the last drawn frame, 0..8, or FIRE_NO_SHOT (also before the first)

// The shot that shows demo time t: the first whose bound is >= t, or FIRE_NO_SHOT past 50 s.
int fireShotAt(float t);
