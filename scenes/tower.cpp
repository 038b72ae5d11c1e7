// Scene 3, from the end of the fire scene to 118.7 s: a camera circles and flies
// through a spiral tower of textured cubes. From 57 s the tower is drawn as a
// trail of ten fading copies, in some phases added instead of blended; from
// 76 s a huge tumbling box, seen from inside, glows over everything, and from
// 77.2 s nineteen text pages appear in front of the viewer and fly away.
#include "scenes/tower.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "assets/tga.h"
#include "render/overlay.h"
#include "shell/timeline.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/keys.h"

float sceneStart = 0.0f;
float previousSceneTime = 0.0f;
float towerSpin = 0.0f;
float cameraZoom = 0.0f;
float cameraRoll = 0.0f;
float cameraOrbit = 0.0f;
float boxSpin = 0.0f;
float pageDistance[TOWER_PAGE_COUNT] = {};

namespace {


// Loading order; texture name TEX_TOWER_FIRST + index.
constexpr int TOWER_TEXTURE_COUNT = 2 + TOWER_PAGE_COUNT;
const char* const TOWER_TEXTURE_PATHS[TOWER_TEXTURE_COUNT] = {
    "maps/k.tga",      "maps/d.tga",      "maps/everything.tga", "maps/txt_2.tga",  "maps/txt_3.tga",
    "maps/txt_4.tga",  "maps/txt_5.tga",  "maps/txt_6.tga",      "maps/txt_7.tga",  "maps/txt_8.tga",
    "maps/txt_9.tga",  "maps/txt_10.tga", "maps/txt_11.tga",     "maps/txt_12.tga", "maps/txt_13.tga",
    "maps/txt_14.tga", "maps/txt_15.tga", "maps/txt_16.tga",     "maps/txt_17.tga", "maps/txt_20.tga",
    "maps/txt_21.tga",
};

// Camera, in eye units: the eye circles around (EYE_X, 0) and moves in z with cameraZoom.
constexpr double EYE_X = 7.0;
constexpr double EYE_X_SWING = 3.0;
constexpr double EYE_Y_SWING = -4.0;
constexpr float EYE_Z = 70.0f;
constexpr float ZOOM_DIVISOR = 10.0f;

constexpr float STEP_PER_SECOND = 40.0f;  // tower units of d per second of scene time

// Tower geometry.
constexpr int TOWER_ROWS = 25;
constexpr float ROW_SPACING = 2.0f;     // eye units between rows
constexpr float BOTTOM_ROW_Y = -22.0f;
constexpr float ROW_TURN = 22.5f;       // degrees per row
constexpr float ROW_GREY_DIVISOR = 24.0f;  // row i is grey i / 24: the bottom black, the top white

struct RowCube {
    float x;     // centre along the row, eye units
    float half;  // half edge
};
constexpr int ROW_CUBES = 7;
constexpr RowCube ROW[ROW_CUBES] = {
    {-15.0f, 1.0f}, {-10.0f, 0.5f}, {-5.0f, 0.5f}, {0.0f, 0.5f}, {5.0f, 0.5f}, {10.0f, 0.5f}, {15.0f, 1.0f},
};

// One face of the cube: turned by angle degrees about the axis, then pushed out by s.
struct CubeFace {
    float angle;
    float x, y, z;
};
constexpr CubeFace K_FACES[3] = {{180.0f, 0, 1, 0}, {0.0f, 0, 0, 0}, {90.0f, 1, 0, 0}};     // back, front, bottom
constexpr CubeFace D_FACES[3] = {{-90.0f, 1, 0, 0}, {90.0f, 0, 1, 0}, {-90.0f, 0, 1, 0}};   // top, right, left

// Tower phases. Phase k holds from TOWER_PHASE_ENDS[k - 1], inclusive, to
// TOWER_PHASE_ENDS[k], exclusive. The motion rates are multiples of the step d.
struct TowerPhase {
    int additive;       // 1: glBlendFunc(GL_SRC_ALPHA, GL_ONE); 0: the standard blend of step 2
    int trail;          // 1: ten turned, fading copies; 0: one tower at alpha 1
    double zoomRate;    // cameraZoom += zoomRate x d
    double spinRate;    // towerSpin += spinRate x d
    double rollRate;    // cameraRoll += rollRate x d
    double orbitRate;   // cameraOrbit += orbitRate x d
};
constexpr TowerPhase TOWER_PHASES[TOWER_PHASE_COUNT] = {
    {0, 0, -1.0, -1.0, 0.0, 0.0},
    {0, 1, -1.0, -1.0, 0.01, 0.0},
    {1, 1, -1.0, -1.0, 0.01, 0.1},
    {0, 1, -0.5, -1.0, 0.01, 0.0},
    {1, 1, 0.5, -3.0, 0.1, 0.12},
};

constexpr float TRAIL_ALPHA_STEP = 0.1f;  // alpha lost and degree turned per copy

// The glowing box, drawn from its own centre.
constexpr double BOX_FOV = 120.0;         // degrees, swinging by BOX_FOV_SWING
constexpr double BOX_FOV_SWING = 20.0;
constexpr double BOX_FOV_RATE = 0.02;     // radians of swing per degree of boxSpin
constexpr double BOX_NEAR = 0.01;
constexpr double BOX_FAR = 1000.0;
constexpr float BOX_HALF = 600.0f;        // eye units
constexpr float BOX_LAYER_GROWTH = 30.0f; // each extra layer is this much larger
constexpr float BOX_LAYER_TURN = 10.0f;   // degrees between layers
constexpr int BOX_EXTRA_LAYERS = 3;
constexpr float BOX_SPIN_RATE = 100.0f;   // degrees per second

// Text pages: 2.56 x 0.64 eye units, 2 units in front of the eye, receding 1.5
// units per second while their brightness falls from 1.3.
struct TextPage {
    float start;  // demo seconds; drawn strictly after
    float x, y;   // lower left corner, eye units
};
constexpr TextPage PAGES[TOWER_PAGE_COUNT] = {
    {77.2f, -1.4f, 0.3f}, {77.6f, -1.2f, -0.1f}, {78.0f, -1.0f, -0.5f}, {78.4f, -0.8f, -0.9f},
    {78.8f, -1.4f, 0.3f}, {79.2f, -1.2f, -0.1f}, {79.6f, -1.0f, -0.5f}, {80.0f, -0.8f, -0.9f},
    {82.4f, -1.4f, 0.3f}, {82.8f, -1.2f, -0.1f}, {83.2f, -1.0f, -0.5f}, {83.6f, -0.8f, -0.9f},
    {84.0f, -1.4f, 0.3f}, {84.4f, -1.2f, -0.1f}, {84.8f, -1.0f, -0.5f}, {85.2f, -0.8f, -0.9f},
    {85.6f, -1.4f, 0.3f}, {86.0f, -1.2f, -0.1f}, {86.4f, -1.0f, -0.5f},
};
constexpr float PAGE_WIDTH = 2.56f;
constexpr float PAGE_HEIGHT = 0.64f;
constexpr float PAGE_DEPTH = -2.0f;        // eye units at distance 0
constexpr float PAGE_DEPTH_SCALE = 3.0f;   // eye units per unit of pageDistance
constexpr double PAGE_BRIGHTNESS = 1.3;    // at distance 0; colours above 1 saturate
constexpr double PAGE_SPEED = 0.5;         // pageDistance per second


void drawFaces(const CubeFace (&faces)[3], float s)
{
    for (const CubeFace& face : faces) {
        glPushMatrix();
        if (face.angle != 0.0f) glRotatef(face.angle, face.x, face.y, face.z);
        glTranslatef(0.0f, 0.0f, s);
        drawCenteredSquare(s);
        glPopMatrix();
    }
}

void advance(float& value, double rate, float d)
{
    value = static_cast<float>(value + rate * d);
}

void drawTrail()
{
    float a = 0.0f;
    for (int j = 0; j < TOWER_TRAIL_COPIES; ++j) {
        glPushMatrix();
        glRotatef(static_cast<float>(j) + towerSpin, 0.0f, 1.0f, 0.0f);
        drawCubeTower(1.0f - a);
        glPopMatrix();
        // Each tower of the trail is finished before the next is sent: a
        // renderer that queues a whole frame's work (the software one keeps
        // every binned triangle of the trail's 10,500 faces until it draws
        // them) then holds one tower's at a time. What is drawn is the same.
        // With nothing drawn there is nothing to wait for.
        if (!platformDrawingDiscarded()) glFinish();
        a += TRAIL_ALPHA_STEP;
    }
}

void drawGlowingBox(float t)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // The aspect is the integer quotient of the window's sides, 1 at 800 x 600,
    // so the box is seen squeezed sideways.
    const double aspect = static_cast<double>(screenWidth / screenHeight);
    gluPerspective(BOX_FOV + BOX_FOV_SWING * std::sin(BOX_FOV_RATE * boxSpin), aspect, BOX_NEAR, BOX_FAR);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();  // the eye sits at the box's centre
    glRotatef(boxSpin, 1.0f, 1.0f, 0.2f);
    glColor4f(0.3f, 0.3f, 0.3f, 0.5f);
    drawTexturedCube(BOX_HALF);
    for (int j = 0; j < BOX_EXTRA_LAYERS; ++j) {
        glRotatef(BOX_LAYER_TURN, 1.0f, 1.0f, 0.2f);
        glColor4f(0.0f, 0.3f, 0.3f, 0.5f);
        drawTexturedCube(BOX_HALF + BOX_LAYER_GROWTH * static_cast<float>(j));
    }
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    boxSpin += (t - lastFrameTime) * BOX_SPIN_RATE;
}

void drawPages(float t)
{
    for (int n = 0; n < TOWER_PAGE_COUNT; ++n) {
        const TextPage& page = PAGES[n];
        if (!(t > page.start)) continue;
        glPushMatrix();
        glDisable(GL_DEPTH_TEST);
        glLoadIdentity();
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        const float c = static_cast<float>(PAGE_BRIGHTNESS - pageDistance[n]);
        glColor4f(c, c, c, 1.0f);
        glBindTexture(GL_TEXTURE_2D, TEX_TOWER_PAGE_FIRST + static_cast<unsigned>(n));
        glTranslatef(page.x, page.y, PAGE_DEPTH - PAGE_DEPTH_SCALE * pageDistance[n]);
        drawTexturedRect(PAGE_WIDTH, PAGE_HEIGHT, 0.0f);
        glPopMatrix();
        // Pages keep flying while invisible; nothing removes them before the scene ends.
        pageDistance[n] = static_cast<float>(pageDistance[n] + (t - lastFrameTime) * PAGE_SPEED);
    }
}

}  // namespace

int towerPhaseAt(float t)
{
    for (int k = 0; k < TOWER_PHASE_COUNT; ++k)
        if (t < TOWER_PHASE_ENDS[k]) return k;
    return TOWER_NO_PHASE;
}

void drawTexturedCube(float s)
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, TEX_TOWER_K);
    drawFaces(K_FACES, s);
    glBindTexture(GL_TEXTURE_2D, TEX_TOWER_D);
    drawFaces(D_FACES, s);
    glDisable(GL_TEXTURE_2D);
}

void drawCubeRow()
{
    for (const RowCube& cube : ROW) {
        glPushMatrix();
        glTranslatef(cube.x, 0.0f, 0.0f);
        drawTexturedCube(cube.half);
        glPopMatrix();
    }
}

void drawCubeTower(float alpha)
{
    for (int i = 0; i < TOWER_ROWS; ++i) {
        glPushMatrix();
        const float grey = static_cast<float>(i) / ROW_GREY_DIVISOR;
        glColor4f(grey, grey, grey, alpha);
        glTranslatef(0.0f, ROW_SPACING * static_cast<float>(i) + BOTTOM_ROW_Y, 0.0f);
        glRotatef(ROW_TURN * static_cast<float>(i), 0.0f, 1.0f, 0.0f);
        drawCubeRow();
        glPopMatrix();
    }
}

int towerSceneLoad()
{
    for (int i = 0; i < TOWER_TEXTURE_COUNT; ++i)
        loadTgaTexture(TOWER_TEXTURE_PATHS[i], TEX_TOWER_FIRST + static_cast<unsigned>(i));  // failures ignored
    return 1;
}

int towerSceneSetup()
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glMatrixMode(GL_MODELVIEW);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glLoadIdentity();
    sceneStart = static_cast<float>(demoTime());
    return 1;
}

int towerSceneDraw(float t)
{
    // Paused: nothing drawn and no state advanced, so the first frame after
    // resuming moves everything by the whole pause.
    if (playState == PLAY_PAUSED) return 1;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float s = t - sceneStart;

    glLoadIdentity();
    const double orbit = static_cast<double>(cameraOrbit);  // sine and cosine in double precision
    gluLookAt(EYE_X + EYE_X_SWING * std::sin(orbit), EYE_Y_SWING * std::cos(orbit),
              EYE_Z + cameraZoom / ZOOM_DIVISOR, 0.0, 0.0, 0.0, cameraRoll, 1.0, 0.0);

    // The first frame's step covers the time since the set-up: previousSceneTime
    // is still 0 then.
    const float d = STEP_PER_SECOND * (s - previousSceneTime);
    glEnable(GL_DEPTH_TEST);

    const int phase = towerPhaseAt(t);
    if (phase == TOWER_NO_PHASE) {
        sceneDone = 1;  // the box and the long-faded pages are still drawn
    } else {
        const TowerPhase& p = TOWER_PHASES[phase];
        if (p.additive) glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        if (p.trail) {
            drawTrail();
        } else {
            glPushMatrix();
            glRotatef(towerSpin, 0.0f, 1.0f, 0.0f);
            drawCubeTower(1.0f);
            glPopMatrix();
        }
        advance(cameraZoom, p.zoomRate, d);
        advance(towerSpin, p.spinRate, d);
        advance(cameraRoll, p.rollRate, d);
        advance(cameraOrbit, p.orbitRate, d);
    }

    if (t > TOWER_BOX_START) drawGlowingBox(t);
    drawPages(t);

    for (const FlashWindow& flash : TOWER_FLASHES) flashOverlay(flash.start, flash.end, t, flash.peak);
    for (const FadeWindow& fade : TOWER_FADES) fadeOverlay(fade.mode, fade.start, fade.end, t);

    // The overlays leave lighting and texturing on and blending off; the next
    // frame expects the opposite.
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    lastFrameTime = t;
    previousSceneTime = s;
    return 1;
}

void towerSceneCleanup() {}
