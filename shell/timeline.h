// The demo's timeline, in demo seconds: when each scene ends, the cuts inside
// the scenes that cut (shot bounds, tower phases), and the flash and fade
// windows every scene draws over its frames. The scenes draw from these
// tables, the soundtrack generator puts its sections and accents on them and
// the tests read them: no other place writes these times, so retiming a cut
// here moves the picture and the music together.
#pragma once

#include <cstddef>

#include "render/overlay.h"

// A white flash: from start to end, added white rising to peak at the midpoint.
struct FlashWindow {
    float start;  // demo seconds
    float end;    // demo seconds
    float peak;   // white level added at the midpoint, 0..1
};

// A fade through black: from start to end, the frame multiplied by a level
// rising from 0 to 1 (FADE_IN) or falling from 1 to 0 (FADE_OUT).
struct FadeWindow {
    int mode;     // FADE_IN or FADE_OUT
    float start;  // demo seconds
    float end;    // demo seconds
};

constexpr float FLASH_PEAK = 0.9f;  // the white level of every flash of the demo

// ---------------------------------------------------------------------------
// The scenes in play order and the demo times at which they end. Scene k
// starts where scene k - 1 ends (the titles at 0, when the music starts).

constexpr int SCENE_COUNT = 6;
enum SceneIndex { SCENE_TITLES, SCENE_FIRE, SCENE_TOWER, SCENE_FLYTHROUGH, SCENE_GREETINGS, SCENE_SPHERES };

constexpr float TITLES_END = 12.0f;
constexpr float FIRE_END = 50.0f;
constexpr float TOWER_END = 118.7f;
constexpr float FLYTHROUGH_END = 162.5f;
constexpr float GREETINGS_END = 175.8f;
constexpr float SPHERES_END = 192.0f;  // and with it the demo

// ---------------------------------------------------------------------------
// Scene 2, fire and clouds: nine camera shots, shot k showing from bound k - 1
// (exclusive) to bound k (inclusive), shot 0 from the scene's start.

constexpr int FIRE_SHOT_COUNT = 9;
inline constexpr float FIRE_SHOT_BOUNDS[FIRE_SHOT_COUNT] = {25.0f, 38.0f, 40.0f, 42.0f, 44.0f,
                                                            44.2f, 44.4f, 44.6f, FIRE_END};
inline constexpr FlashWindow FIRE_FLASHES[] = {
    {12.5f, 13.0f, FLASH_PEAK}, {25.5f, 26.0f, FLASH_PEAK}, {38.0f, 39.0f, FLASH_PEAK}, {42.0f, 42.5f, FLASH_PEAK},
    {44.0f, 44.1f, FLASH_PEAK}, {44.2f, 44.3f, FLASH_PEAK}, {44.4f, 44.5f, FLASH_PEAK}, {44.6f, 44.7f, FLASH_PEAK},
};
inline constexpr FadeWindow FIRE_FADES[] = {
    {FADE_IN, 12.0f, 13.0f},  {FADE_OUT, 24.0f, 25.0f}, {FADE_IN, 25.0f, 26.0f},
    {FADE_OUT, 37.5f, 38.0f}, {FADE_IN, 38.0f, 38.2f},  {FADE_OUT, 48.0f, FIRE_END},
};

// ---------------------------------------------------------------------------
// Scene 3, the cube tower: five phases, phase k running from end k - 1
// (inclusive) to end k (exclusive); the last ends with the scene.

constexpr int TOWER_PHASE_COUNT = 5;
inline constexpr float TOWER_PHASE_ENDS[TOWER_PHASE_COUNT] = {57.0f, 61.0f, 76.0f, 92.0f, TOWER_END};
inline constexpr FlashWindow TOWER_FLASHES[] = {{76.0f, 76.5f, FLASH_PEAK}, {92.8f, 93.3f, FLASH_PEAK}};
constexpr float TOWER_BOX_START = TOWER_PHASE_ENDS[2];  // the glowing box is drawn strictly after this, with the fourth phase
inline constexpr FadeWindow TOWER_FADES[] = {{FADE_IN, FIRE_END, 52.0f}};

// ---------------------------------------------------------------------------
// Scene 4, the fly-through: fourteen camera shots, shot k covering bound k - 1
// (exclusive) to bound k (inclusive), shot 1 every time up to its bound.

constexpr int FLY_SHOT_COUNT = 14;
inline constexpr float FLY_SHOT_BOUNDS[FLY_SHOT_COUNT] = {124.6f, 130.5f, 137.0f, 139.0f, 141.0f, 143.0f, 145.0f,
                                                          147.0f, 149.0f, 151.0f, 153.0f, 155.0f, 157.0f, FLYTHROUGH_END};
inline constexpr FlashWindow FLY_FLASHES[] = {
    {124.6f, 125.1f, FLASH_PEAK}, {130.5f, 131.0f, FLASH_PEAK}, {137.0f, 137.2f, FLASH_PEAK},
    {139.0f, 139.2f, FLASH_PEAK}, {141.0f, 141.2f, FLASH_PEAK}, {143.0f, 143.2f, FLASH_PEAK},
    {145.0f, 145.2f, FLASH_PEAK}, {147.0f, 147.2f, FLASH_PEAK}, {149.0f, 149.2f, FLASH_PEAK},
};
inline constexpr FadeWindow FLY_FADES[] = {
    {FADE_IN, 118.0f, 120.0f},  {FADE_OUT, 124.0f, 124.6f}, {FADE_IN, 124.6f, 125.6f},
    {FADE_OUT, 129.5f, 130.5f}, {FADE_IN, 130.5f, 131.5f},  {FADE_OUT, 136.0f, 137.0f},
    {FADE_IN, 137.0f, 137.5f},
};

// ---------------------------------------------------------------------------
// Scenes 5 and 6, the greetings and the spheres: fades only.

inline constexpr FadeWindow GREETING_FADES[] = {{FADE_IN, FLYTHROUGH_END, 163.5f}, {FADE_OUT, 174.8f, 176.8f}};
inline constexpr FadeWindow SPHERE_FADES[] = {{FADE_IN, GREETINGS_END, 176.2f}, {FADE_OUT, 191.0f, SPHERES_END}};

// ---------------------------------------------------------------------------
// The whole timeline as one table, in play order, for whoever walks it.

struct SceneTimeline {
    const char* name;            // short name of the scene
    float end;                   // demo seconds at which it ends
    const float* cuts;           // its shot bounds or phase ends, ascending; none for a scene without cuts
    int cutCount;
    const FlashWindow* flashes;  // in the order the scene draws them
    int flashCount;
    const FadeWindow* fades;     // in the order the scene draws them
    int fadeCount;
};

template <class T, size_t N>
constexpr int countOf(const T (&)[N])
{
    return static_cast<int>(N);
}

inline constexpr SceneTimeline DEMO_TIMELINE[SCENE_COUNT] = {
    {"titles", TITLES_END, nullptr, 0, nullptr, 0, nullptr, 0},
    {"fire", FIRE_END, FIRE_SHOT_BOUNDS, FIRE_SHOT_COUNT, FIRE_FLASHES, countOf(FIRE_FLASHES), FIRE_FADES,
     countOf(FIRE_FADES)},
    {"tower", TOWER_END, TOWER_PHASE_ENDS, TOWER_PHASE_COUNT, TOWER_FLASHES, countOf(TOWER_FLASHES), TOWER_FADES,
     countOf(TOWER_FADES)},
    {"flythrough", FLYTHROUGH_END, FLY_SHOT_BOUNDS, FLY_SHOT_COUNT, FLY_FLASHES, countOf(FLY_FLASHES), FLY_FADES,
     countOf(FLY_FADES)},
    {"greetings", GREETINGS_END, nullptr, 0, nullptr, 0, GREETING_FADES, countOf(GREETING_FADES)},
    {"spheres", SPHERES_END, nullptr, 0, nullptr, 0, SPHERE_FADES, countOf(SPHERE_FADES)},
};

// Demo seconds at which a scene starts: 0 for the first, else where the one before ends.
constexpr float sceneStartsAt(int scene) { return scene == 0 ? 0.0f : DEMO_TIMELINE[scene - 1].end; }
