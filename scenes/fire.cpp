// Scene 2, from the end of the titles to 50 s: a loaded model with an additive
// fire model drawn twice over it, seen through nine camera shots that cut at
// fixed demo times, and in front of everything a layer of 500 faint clouds.
// Flashes and fades through black mark the cuts.
#include "scenes/fire.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "assets/tga.h"
#include "render/model.h"
#include "render/overlay.h"
#include "shell/timeline.h"
#include "scenes/scenes.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "shell/random.h"

namespace {

constexpr int CLOUD_TEXTURE_COUNT = 4;
const char* const CLOUD_TEXTURE_PATHS[CLOUD_TEXTURE_COUNT] = {
    "maps/nube1.tga", "maps/nube2.tga", "maps/nube3.tga", "maps/nube4.tga",
};
constexpr int CLOUDS_PER_TEXTURE = CLOUD_COUNT / CLOUD_TEXTURE_COUNT;  // 125 particles share a texture

// Base camera of every shot, in eye units and degrees.
constexpr float CAMERA_X = -0.02f;
constexpr float CAMERA_Y = -0.02f;
constexpr float CAMERA_Z = -0.7f;
constexpr float CAMERA_TURN = 90.0f;  // about the y axis

// Shot projections: near and far planes in eye units.
constexpr double SHOT_NEAR = 0.01;
constexpr double SHOT_FAR = 1000.0;

constexpr float MODEL_SCALE = 0.01f;       // model units to eye units
constexpr float FLAME_ALPHA = 0.8f;        // both fire passes, added over the main model
constexpr float FLAME_TURN = 100.0f;       // degrees per unit of shotPhase0, second fire pass
constexpr float FLAME_LIFT = 0.01f;        // model units, second fire pass

// Cloud particles.
constexpr float CLOUD_DEPTH = -0.015f;         // eye units: just beyond the standard near plane
constexpr float CLOUD_HALF_SIZE = 0.0015f;     // eye units
constexpr float CLOUD_ALPHA = 0.45f;
constexpr float CLOUD_BRIGHTNESS = 1.0f / 5.0f;  // brightness per unit of life
constexpr double CLOUD_DRIFT = 50000.0;        // each frame moves a particle by 1 / this
constexpr int START_SPREAD = 500;              // first positions: (r mod 500 - 250) / 30000
constexpr int START_CENTRE = 250;
constexpr float START_SCALE = 30000.0f;
constexpr int FADE_SPREAD = 50;                // fades: (r mod 50 - 25) / 600000 life per frame
constexpr int FADE_CENTRE = 25;
constexpr float FADE_SCALE = 600000.0f;
constexpr float REBIRTH_SCALE = 1000.0f;       // reborn positions: (r mod 500 - 250) / 1000

// One camera shot; shot k shows from FIRE_SHOT_BOUNDS[k - 1], exclusive, to
// FIRE_SHOT_BOUNDS[k], inclusive, and shot 0 from whenever the scene starts.
struct FireShot {
    double (*fieldOfView)();  // vertical, degrees
    void (*transform)();    // applied after the base camera
    float* phase;           // accumulator advanced while the shot is on screen, or none
    float rate;             // accumulator units per demo second
};

double shot0Fov() { return 120.0 + 20.0 * shotPhase0; }
double shot2Fov() { return 120.0 + 15.0 * std::sin(0.01 * shotPhase2); }
double shot3Fov() { return 120.0 - 15.0 * std::sin(0.01 * shotPhase3); }
double shot4Fov() { return 120.0 + 10.0 * std::cos(0.01 * shotPhase4); }
double shot5Fov() { return 80.0; }
double shot6Fov() { return 130.0; }
double shot7Fov() { return 100.0; }
double shot8Fov() { return 120.0 + 10.0 * std::cos(0.01 * shotPhase5); }

void shot0Transform()
{
    glRotatef(100.0f * shotPhase0, 1.0f, -0.05f, 0.0f);
    glTranslatef(-shotPhase0, 0.0f, 0.0f);
}
void shot1Transform()
{
    shot0Transform();  // shot 1 carries on from shot 0's final pose
    glRotatef(100.0f * shotPhase1, 1.0f, 0.0f, 0.0f);
    glRotatef(300.0f * shotPhase1, 0.0f, -1.0f, 0.0f);
    glRotatef(200.0f * shotPhase1, 0.0f, 0.0f, -1.0f);
    glTranslatef(0.0f, -shotPhase1, 0.0f);
}
void shot2Transform()
{
    glTranslatef(-0.6f, 0.0f, 0.0f);
    glRotatef(100.0f * shotPhase2, 0.0f, 1.0f, 1.0f);
}
void shot3Transform()
{
    glTranslatef(-0.6f, -0.15f, 0.02f);
    glRotatef(80.0f * shotPhase3, 0.0f, 1.0f, -0.8f);
}
void shot4Transform()
{
    glTranslatef(-0.6f, -0.15f, 0.02f);
    glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(80.0f * shotPhase4, 0.0f, 1.0f, 1.0f);
}
void shot5Transform()
{
    glTranslatef(-0.6f, -0.2f, 0.02f);
    glRotatef(60.0f, 0.5f, 1.0f, 0.5f);
}
void shot6Transform()
{
    glTranslatef(-0.6f, -0.2f, 0.02f);
    glRotatef(60.0f, 0.5f, -1.0f, 0.0f);
}
void shot7Transform()
{
    glTranslatef(-0.6f, -0.2f, 0.02f);
    glRotatef(60.0f, 0.5f, 1.0f, 0.0f);
}
void shot8Transform()
{
    glTranslatef(-0.6f, -0.15f, 0.02f);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(80.0f * shotPhase5, 0.0f, 1.0f, 1.0f);
}

const FireShot FIRE_SHOTS[FIRE_SHOT_COUNT] = {
    {shot0Fov, shot0Transform, &shotPhase0, 0.06f},
    {shot0Fov, shot1Transform, &shotPhase1, 0.08f},
    {shot2Fov, shot2Transform, &shotPhase2, 1.0f},
    {shot3Fov, shot3Transform, &shotPhase3, 0.8f},
    {shot4Fov, shot4Transform, &shotPhase4, 0.8f},
    {shot5Fov, shot5Transform, nullptr, 0.0f},
    {shot6Fov, shot6Transform, nullptr, 0.0f},
    {shot7Fov, shot7Transform, nullptr, 0.0f},
    {shot8Fov, shot8Transform, &shotPhase5, 0.8f},
};

// The main model, then the fire model twice added over it, in the shot's matrices.
void drawModels()
{
    glScalef(MODEL_SCALE, MODEL_SCALE, MODEL_SCALE);
    drawAseScene(&fireMainScene);
    glPushMatrix();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1.0f, 1.0f, 1.0f, FLAME_ALPHA);  // the renderer sends no colour, so this tints the fire
    drawAseScene(&fireFlameScene);
    glRotatef(FLAME_TURN * shotPhase0, 0.0f, 1.0f, 0.0f);
    glTranslatef(0.0f, FLAME_LIFT, 0.0f);
    drawAseScene(&fireFlameScene);
    glPopMatrix();
}

void drawShot(const FireShot& shot, float t)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // The aspect is the integer quotient of the window's sides, 1 at 800 x 600.
    const double aspect = static_cast<double>(screenWidth / screenHeight);
    gluPerspective(shot.fieldOfView(), aspect, SHOT_NEAR, SHOT_FAR);
    glMatrixMode(GL_MODELVIEW);
    shot.transform();
    drawModels();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    if (shot.phase) *shot.phase += (t - lastFrameTime) * shot.rate;
}

// Drift living particles by a fixed step per frame; give dead ones a new place far out.
void updateClouds()
{
    for (int i = 0; i < CLOUD_COUNT; ++i) {
        CloudParticle& p = cloudParticles[i];
        if (p.life > 0.0f) {
            p.life -= p.fade;
            p.x = static_cast<float>(p.x + std::sin(static_cast<double>(i)) / CLOUD_DRIFT);
            p.y = static_cast<float>(p.y - std::cos(static_cast<double>(i)) / CLOUD_DRIFT);
        } else {
            const int rx = demoRand();  // x takes the first draw
            p.x = (rx % START_SPREAD - START_CENTRE) / REBIRTH_SCALE;
            const int ry = demoRand();
            p.y = (ry % START_SPREAD - START_CENTRE) / REBIRTH_SCALE;
            p.life = 1.0f;
        }
    }
}

void drawClouds()
{
    for (int i = 0; i < CLOUD_COUNT; ++i) {
        const CloudParticle& p = cloudParticles[i];
        glBindTexture(GL_TEXTURE_2D, TEX_FIRE_FIRST + static_cast<unsigned>(i / CLOUDS_PER_TEXTURE));
        glPushMatrix();
        glTranslatef(p.x, p.y, 0.0f);
        const float brightness = p.life * CLOUD_BRIGHTNESS;
        glColor4f(brightness, brightness, brightness, CLOUD_ALPHA);
        drawCenteredSquare(CLOUD_HALF_SIZE);
        glPopMatrix();
    }
}

}  // namespace

AseScene fireMainScene = {};
AseScene fireFlameScene = {};
CloudParticle cloudParticles[CLOUD_COUNT] = {};
float shotPhase0 = 0.0f;
float shotPhase1 = 0.0f;
float shotPhase2 = 0.0f;
float shotPhase3 = 0.0f;
float shotPhase4 = 0.0f;
float shotPhase5 = 0.0f;
int fireShot = FIRE_NO_SHOT;

int fireShotAt(float t)
{
    for (int k = 0; k < FIRE_SHOT_COUNT; ++k)
        if (FIRE_SHOT_BOUNDS[k] >= t) return k;
    return FIRE_NO_SHOT;
}

int fireSceneLoad()
{
    loadAseScene(FIRE_MAIN_SCENE_PATH, &fireMainScene);  // a missing file leaves the record empty
    loadAseScene(FIRE_FLAME_SCENE_PATH, &fireFlameScene);
    // Three draws per particle, x, y and fade in that order: the first loader to
    // draw from the generator, so every run starts the clouds in the same places.
    for (CloudParticle& p : cloudParticles) {
        p.life = 1.0f;
        const int rx = demoRand();
        p.x = (rx % START_SPREAD - START_CENTRE) / START_SCALE;
        const int ry = demoRand();
        p.y = (ry % START_SPREAD - START_CENTRE) / START_SCALE;
        const int rf = demoRand();
        p.fade = (rf % FADE_SPREAD - FADE_CENTRE) / FADE_SCALE;
    }
    return 1;
}

int fireSceneSetup()
{
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_MODELVIEW);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    for (int i = 0; i < CLOUD_TEXTURE_COUNT; ++i)
        loadTgaTexture(CLOUD_TEXTURE_PATHS[i], TEX_FIRE_FIRST + static_cast<unsigned>(i));
    return 1;
}

int fireSceneDraw(float t)
{
    // Paused: nothing drawn and lastFrameTime kept, so the first frame after
    // resuming advances the shot by the whole pause.
    if (playState == PLAY_PAUSED) return 1;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glColor3f(1.0f, 1.0f, 1.0f);
    glPushMatrix();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTranslatef(CAMERA_X, CAMERA_Y, CAMERA_Z);
    glRotatef(CAMERA_TURN, 0.0f, 1.0f, 0.0f);

    fireShot = fireShotAt(t);
    if (fireShot == FIRE_NO_SHOT)
        sceneDone = 1;  // this last frame shows only the clouds
    else
        drawShot(FIRE_SHOTS[fireShot], t);

    // The cloud layer, in the standard projection again, covers the models.
    glPopMatrix();
    glDepthFunc(GL_LEQUAL);
    glTranslatef(0.0f, 0.0f, CLOUD_DEPTH);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glPushMatrix();
    updateClouds();
    drawClouds();
    glPopMatrix();

    for (const FlashWindow& flash : FIRE_FLASHES) flashOverlay(flash.start, flash.end, t, flash.peak);
    for (const FadeWindow& fade : FIRE_FADES) fadeOverlay(fade.mode, fade.start, fade.end, t);

    lastFrameTime = t;
    return 1;
}

void fireSceneCleanup()
{
    releaseAseScene(&fireMainScene);  // the fire model stays loaded
}
