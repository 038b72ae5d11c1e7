// The greetings' state: the fountain's 500 particles and the texture names of
// the ten logos and the backdrop.
#pragma once

#include "scenes/scenes.h"

constexpr int GREETING_PARTICLE_COUNT = 500;  // drawn in index order
constexpr int GREETING_LOGO_COUNT = 10;       // entries of the logo list
constexpr int GREETING_LOGO_REBIND = 20;      // the logo is rebound at every 20th particle only
constexpr int GREETING_LOGO_SPAN = 50;        // ...to entry particle / 50

// Logo entry k of the list (maps/feln.tga first) has texture name TEX_GREETING_LOGO_FIRST + k.
constexpr unsigned TEX_GREETING_LOGO_FIRST = TEX_GREETINGS_FIRST;
constexpr unsigned TEX_GREETING_BACKDROP = TEX_GREETINGS_FIRST + GREETING_LOGO_COUNT;  // maps/jorvi.tga

struct GreetingParticle {
    float life;       // 1 at (re)birth; falls by fade each frame; reborn at the origin once 0 or less
    float fade;       // life lost per frame; 0 never dies
    float x, y;       // offset from the fountain's origin, eye units
    float xSpeed;     // added to x per frame
    float fallSpeed;  // subtracted from y per frame
};

// Set once by the loader from 1500 draws of the demo's generator; moved per drawn frame.
extern GreetingParticle greetingParticles[GREETING_PARTICLE_COUNT];
