// Scene 5, from the end of the fly-through to 175.8 s: over a large backdrop, a
// fountain of 500 small quads pours down from just above the top of the view,
// each showing one of ten greeting logos, tinted orange and added to the frame.
// The particles move by a fixed step per drawn frame, not by elapsed time.
#include "scenes/greetings.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "assets/tga.h"
#include "render/overlay.h"
#include "shell/timeline.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "shell/random.h"

GreetingParticle greetingParticles[GREETING_PARTICLE_COUNT] = {};

namespace {


// The logo list, entry 0 first: the draw picks a logo by its place here.
const char* const LOGO_PATHS[GREETING_LOGO_COUNT] = {
    "maps/feln.tga",  "maps/nwel.tga",  "maps/zemra.tga", "maps/ulvat.tga", "maps/vorla.tga",
    "maps/brume.tga", "maps/oskel.tga", "maps/tulmo.tga", "maps/praxa.tga", "maps/kettri.tga",
};
const char* const BACKDROP_PATH = "maps/jorvi.tga";

// Loading order, each file under its fixed name.
struct GreetingTexture {
    const char* path;
    unsigned name;
};
constexpr unsigned logoName(int entry) { return TEX_GREETING_LOGO_FIRST + static_cast<unsigned>(entry); }
const GreetingTexture LOAD_ORDER[GREETING_LOGO_COUNT + 1] = {
    {LOGO_PATHS[2], logoName(2)}, {LOGO_PATHS[3], logoName(3)},   {LOGO_PATHS[0], logoName(0)},
    {LOGO_PATHS[1], logoName(1)}, {BACKDROP_PATH, TEX_GREETING_BACKDROP},
    {LOGO_PATHS[7], logoName(7)}, {LOGO_PATHS[8], logoName(8)},   {LOGO_PATHS[6], logoName(6)},
    {LOGO_PATHS[5], logoName(5)}, {LOGO_PATHS[9], logoName(9)},   {LOGO_PATHS[4], logoName(4)},
};

// Particle start values from the generator.
constexpr int FALL_RANGE = 5000;       // fall speed = (r mod 5000) / 90000 eye units per frame
constexpr float FALL_SCALE = 90000.0f;
constexpr int SPREAD_RANGE = 500;      // x speed = (r mod 500 - 250) x fall speed / 600
constexpr int SPREAD_CENTRE = 250;
constexpr float SPREAD_SCALE = 600.0f;
constexpr int FADE_RANGE = 50;         // fade = (r mod 50) / 4000 life per frame
constexpr float FADE_SCALE = 4000.0f;

// Camera and backdrop, eye units.
constexpr double EYE_Z = 35.0;
constexpr float BACKDROP_Y = -3.0f;
constexpr float BACKDROP_Z = -55.0f;   // 90 units from the eye: fills the view's height
constexpr float BACKDROP_HALF = 40.0f;

// The fountain.
constexpr float ORIGIN_X = 0.0f;       // just above the top edge of the view
constexpr float ORIGIN_Y = 11.0f;
constexpr float ORIGIN_Z = 18.0f;
constexpr float GROWTH_DEPTH = 30.0f;  // a particle is scaled by 1 - y / 30, so it grows as it falls
constexpr float PARTICLE_HALF = 0.8f;


void updateParticles()
{
    for (GreetingParticle& p : greetingParticles) {
        if (p.life > 0.0f) {
            p.life -= p.fade;
            p.x += p.xSpeed;
            p.y -= p.fallSpeed;
        } else {
            p.x = 0.0f;  // reborn at the origin with its speeds and fade
            p.y = 0.0f;
            p.life = 1.0f;
        }
    }
}

void drawParticles(float half)
{
    for (int i = 0; i < GREETING_PARTICLE_COUNT; ++i) {
        const GreetingParticle& p = greetingParticles[i];
        glPushMatrix();
        glTranslatef(p.x, p.y, 0.0f);
        const float grow = 1.0f - p.y / GROWTH_DEPTH;
        glScalef(grow, grow, 0.0f);
        glColor4f(1.0f, 0.5f, 0.3f, 0.95f);
        // Rebinding only at every 20th particle gives the even logos 60 particles
        // and the odd ones 40.
        if (i % GREETING_LOGO_REBIND == 0) glBindTexture(GL_TEXTURE_2D, logoName(i / GREETING_LOGO_SPAN));
        drawCenteredSquare(half);
        glPopMatrix();
    }
}

}  // namespace

int greetingsLoad()
{
    // Three draws per particle, fall speed, x speed and fade in that order,
    // taking the 1500 values after the fire scene's.
    for (GreetingParticle& p : greetingParticles) {
        p.fallSpeed = static_cast<float>(demoRand() % FALL_RANGE) / FALL_SCALE;
        p.xSpeed = static_cast<float>(demoRand() % SPREAD_RANGE - SPREAD_CENTRE) * p.fallSpeed / SPREAD_SCALE;
        p.fade = static_cast<float>(demoRand() % FADE_RANGE) / FADE_SCALE;
        p.life = 1.0f;
        p.x = 0.0f;
        p.y = 0.0f;
    }
    for (const GreetingTexture& texture : LOAD_ORDER) loadTgaTexture(texture.path, texture.name);  // failures ignored
    return 1;
}

int greetingsSetup()
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glMatrixMode(GL_MODELVIEW);
    return 1;
}

int greetingsDraw(float t)
{
    // Paused: the frame is neither cleared nor drawn and the particles stay put.
    if (playState == PLAY_PAUSED) return 1;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(0.0, 0.0, EYE_Z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);

    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, TEX_GREETING_BACKDROP);
    glDisable(GL_BLEND);
    glPushMatrix();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glTranslatef(0.0f, BACKDROP_Y, BACKDROP_Z);
    drawCenteredSquare(BACKDROP_HALF);
    glPopMatrix();

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);

    // The fountain's translation stays in the modelview matrix: the spheres'
    // set-up places its light with whatever matrix the last frame left.
    if (t < GREETINGS_END) {
        updateParticles();
        glTranslatef(ORIGIN_X, ORIGIN_Y, ORIGIN_Z);
        drawParticles(PARTICLE_HALF);
    } else {
        sceneDone = 1;
    }

    glDisable(GL_TEXTURE_2D);
    for (const FadeWindow& fade : GREETING_FADES) fadeOverlay(fade.mode, fade.start, fade.end, t);
    return 1;
}

void greetingsCleanup() {}
