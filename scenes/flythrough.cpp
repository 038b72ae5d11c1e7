// Scene 4, from the end of the cube tower to 162.5 s: one static, textured,
// unlit model seen through fourteen camera shots, each with its own very wide
// projection and drifting camera. Fades through black and flashes mark the cuts.
#include "scenes/flythrough.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

#include "render/model.h"
#include "render/overlay.h"
#include "shell/timeline.h"
#include "shell/demo.h"
#include "shell/keys.h"

namespace {

// Camera prefix of every shot, in eye units and degrees.
constexpr float CAMERA_X = -0.02f;
constexpr float CAMERA_Y = -0.02f;
constexpr float CAMERA_Z = -0.7f;
constexpr float CAMERA_TURN = 90.0f;  // about the y axis

constexpr double SHOT_NEAR = 0.01;  // eye units
constexpr double SHOT_FAR = 1000.0;
// The widest and narrowest field of view a shot is drawn with, degrees. A pause
// makes the first frame after it advance the shot by the whole pause, which can
// take a widening shot past 180 degrees or a narrowing one below 0, where the
// projection turns the picture upside down for the rest of the shot.
constexpr double WIDEST_FIELD_OF_VIEW = 179.0;
constexpr double NARROWEST_FIELD_OF_VIEW = 1.0;
constexpr float MODEL_SCALE = 0.01f;  // model units to eye units

// Accumulators the shots read: their own, and those of shots 2 and 9, which
// have finished by the time shots 4 and 11 read them.
float& own(int shot) { return flyShotPhase[shot - 1]; }
float a2() { return flyShotPhase[1]; }
float a9() { return flyShotPhase[8]; }

// One camera shot: shot k covers FLY_SHOT_BOUNDS[k - 2] < t <= FLY_SHOT_BOUNDS[k - 1];
// shot 1 every t up to its bound.
struct FlyShot {
    double (*fieldOfView)(float a);  // vertical, degrees, from the shot's own accumulator
    void (*transform)(float a);      // rotations and translation after the camera prefix
    float rate;               // accumulator units per demo second
};

void shot1(float a)
{
    glRotatef(75.0f, -0.05f, -1.0f, 0.0f);
    glRotatef(8.0f * a, -0.05f, -1.0f, 0.0f);
    glTranslatef(2.0f - a, -0.5f, 3.0f);
}
void shot2(float a)
{
    glRotatef(75.0f, -0.05f, 1.0f, 0.0f);
    glRotatef(8.0f * a, -0.05f, 1.0f, 0.0f);
    glTranslatef(2.0f - a, -0.5f, -3.2f);
}
void shot3(float a)
{
    glRotatef(8.0f * a, 0.0f, -0.05f, 0.0f);
    glTranslatef(-4.5f, -0.5f, 1.3f - a);
}
void shot4(float a)
{
    glRotatef(40.0f * a2(), -0.05f, 1.0f, 0.3f);
    glTranslatef(2.0f - a, -0.4f - 0.3f * a, -2.0f);
}
void shot5(float a)
{
    glRotatef(40.0f * a, 0.05f, 1.0f, 0.0f);
    glTranslatef(2.0f + a, -0.9f, 1.0f - a);
}
void shot6(float a)
{
    glRotatef(180.0f, 0.0f, 1.0f, 0.1f);
    glRotatef(40.0f * a, 0.05f, 1.0f, 0.0f);
    glTranslatef(2.0f + a, -0.9f, 1.0f - a);
}
void shot7(float a)
{
    glRotatef(45.0f, 0.0f, 1.0f, 0.1f);
    glRotatef(-40.0f * a, 0.05f, 1.0f, 0.0f);
    glTranslatef(2.0f + a, -0.9f, 1.0f - a);
}
void shot8(float a)
{
    glRotatef(45.0f, 0.0f, 1.0f, 0.1f);
    glRotatef(-40.0f * a, 0.05f, 1.0f, 0.2f);
    glTranslatef(1.0f + a, -0.9f, 1.0f - a);
}
void shot9(float a)
{
    glRotatef(-45.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(-40.0f * a, 0.05f, -1.0f, 0.5f);
    glTranslatef(2.0f - a, -0.9f, 1.0f - a);
}
void shot10(float a)
{
    glRotatef(-40.0f * a, 0.05f, 1.0f, 0.5f);
    glTranslatef(0.0f, -1.9f, 1.0f);
}
void shot11(float a)
{
    glRotatef(-45.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(-20.0f * a, 0.05f, 1.0f, 0.5f);
    glTranslatef(2.0f - a, -0.8f, 1.0f - a);
}
void shot12(float a)
{
    glRotatef(-20.0f * a, 0.05f, -1.0f, 0.5f);
    glTranslatef(1.0f - a, -0.9f - a, 0.0f);
}
void shot13(float a)
{
    glRotatef(40.0f * a, -0.4f, 1.0f, 0.8f);
    glTranslatef(2.0f - a, -0.4f - 0.3f * a, -0.5f);
}
void shot14(float a)
{
    glRotatef(20.0f * a, 0.7f, -1.0f, 1.0f);
    glTranslatef(1.0f - 0.5f * a, -0.1f - 0.25f * a, 0.0f);
}

double fov135(float) { return 135.0; }
double fovPlusA(float a) { return 120.0 + a; }
double fovPlus2A(float a) { return 120.0 + 2.0 * a; }
double fovPlus6A(float a) { return 120.0 + 6.0 * a; }
double fovPlus10A(float a) { return 120.0 + 10.0 * a; }
double fovPlus15A(float a) { return 120.0 + 15.0 * a; }
double fovPlus20A(float a) { return 120.0 + 20.0 * a; }
double fovPlus30A(float a) { return 120.0 + 30.0 * a; }
double fovMinus30A(float a) { return 120.0 - 30.0 * a; }
double fovPlus15A9(float) { return 120.0 + 15.0 * a9(); }  // shot 11 widens with shot 9's final value

const FlyShot FLY_SHOTS[FLY_SHOT_COUNT] = {
    {fov135, shot1, 0.6f},        {fov135, shot2, 0.6f},
    {fovPlusA, shot3, 0.4f},      {fovPlus20A, shot4, 0.8f},
    {fovPlus30A, shot5, 0.8f},    {fovPlus15A, shot6, 0.9f},
    {fovMinus30A, shot7, 0.9f},   {fovMinus30A, shot8, 0.9f},
    {fovPlus15A, shot9, 0.9f},    {fovPlus10A, shot10, 0.9f},
    {fovPlus15A9, shot11, 0.6f},  {fovPlus15A, shot12, 0.3f},
    {fovPlus2A, shot13, 0.8f},    {fovPlus6A, shot14, 0.6f},
};

void drawShot(int k)
{
    const FlyShot& shot = FLY_SHOTS[k - 1];
    const float a = own(k);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // The aspect is the integer quotient of the window's sides, 1 at 800 x 600.
    const double aspect = static_cast<double>(screenWidth / screenHeight);
    const double fovy = std::min(std::max(shot.fieldOfView(a), NARROWEST_FIELD_OF_VIEW), WIDEST_FIELD_OF_VIEW);
    gluPerspective(fovy, aspect, SHOT_NEAR, SHOT_FAR);
    glMatrixMode(GL_MODELVIEW);
    shot.transform(a);
    glScalef(MODEL_SCALE, MODEL_SCALE, MODEL_SCALE);
    drawAseScene(&flythroughModel);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace

AseScene flythroughModel = {};
float flyShotPhase[FLY_SHOT_COUNT] = {};
int flyShot = FLY_NO_SHOT;

int flyShotAt(float t)
{
    for (int k = 1; k <= FLY_SHOT_COUNT; ++k)
        if (FLY_SHOT_BOUNDS[k - 1] >= t) return k;
    return FLY_NO_SHOT;
}

int flythroughLoad()
{
    loadAseScene(FLY_MODEL_PATH, &flythroughModel);  // a missing file leaves the record empty: black frames
    return 1;
}

int flythroughSetup()
{
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_MODELVIEW);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    return 1;
}

int flythroughDraw(float t)
{
    // Paused: nothing cleared or drawn and lastFrameTime kept, so the first frame
    // after resuming advances the shot by the whole pause.
    if (playState == PLAY_PAUSED) return 1;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTranslatef(CAMERA_X, CAMERA_Y, CAMERA_Z);
    glRotatef(CAMERA_TURN, 0.0f, 1.0f, 0.0f);

    flyShot = flyShotAt(t);
    if (flyShot == FLY_NO_SHOT) {
        sceneDone = 1;  // this last frame is black but for the overlays
    } else {
        drawShot(flyShot);
        own(flyShot) += (t - lastFrameTime) * FLY_SHOTS[flyShot - 1].rate;
    }

    for (const FlashWindow& flash : FLY_FLASHES) flashOverlay(flash.start, flash.end, t, flash.peak);
    for (const FadeWindow& fade : FLY_FADES) fadeOverlay(fade.mode, fade.start, fade.end, t);

    lastFrameTime = t;
    return 1;
}

void flythroughCleanup()
{
    releaseAseScene(&flythroughModel);
}
