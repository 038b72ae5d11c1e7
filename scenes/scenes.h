// The six scenes. Each has an asset initialiser where it loads ahead of time
// (called by the loading phase), a set-up, a per-frame draw and a clean-up.
// Draws take the demo time in seconds and return 1 to go on.
#pragma once

// Fixed texture names, one range per owner so names in use at the same time
// differ. Name 0 holds the loading image; material textures of loaded scenes
// use ASE_TEXTURE_NAME_BASE and up.
constexpr unsigned TEX_LOADING = 0;
constexpr unsigned TEX_TITLES_FIRST = 1;      // 9 names: star, titles, backdrop panels
constexpr unsigned TEX_FIRE_FIRST = 20;       // 4 names: cloud sprites
constexpr unsigned TEX_TOWER_FIRST = 30;      // 21 names: two cube faces, nineteen text pages
constexpr unsigned TEX_GREETINGS_FIRST = 60;  // 11 names: ten logos, the backdrop
constexpr unsigned TEX_SPHERES_FIRST = 80;    // 1 name: the pentagram

// Scene 1, 0 to 12 s: opening titles over a backdrop with four star trails.
int titlesSetup();
int titlesDraw(float t);
void titlesCleanup();

// Scene 2, 12 to 50 s: a model and an additive fire model through nine shots, cloud sprites.
int fireSceneLoad();
int fireSceneSetup();
int fireSceneDraw(float t);
void fireSceneCleanup();

// Scene 3, 50 to 118.7 s: the cube tower, its trails, the glowing box and the text pages.
int towerSceneLoad();
int towerSceneSetup();
int towerSceneDraw(float t);
void towerSceneCleanup();

// Scene 4, to 162.5 s: a model through fourteen shots.
int flythroughLoad();
int flythroughSetup();
int flythroughDraw(float t);
void flythroughCleanup();

// Scene 5, to 175.8 s: a fountain of greeting logos over a backdrop.
int greetingsLoad();
int greetingsSetup();
int greetingsDraw(float t);
void greetingsCleanup();

// Scene 6, to 192 s: lit spheres, the pentagram and a zoom blur from a frame copy.
int spheresLoad();
int spheresSetup();
int spheresDraw(float t);
void spheresCleanup();
