// Scene 1, 0 to 12 s: title images over a backdrop while four trails of star
// sprites circle through the picture.
#include <GL/gl.h>

#include <cmath>

#include "assets/tga.h"
#include "render/overlay.h"
#include "scenes/scenes.h"
#include "scenes/titles.h"
#include "shell/demo.h"
#include "shell/keys.h"

float starPhaseA = 0.0f;
float starPhaseB = 0.0f;

namespace {

constexpr float SCENE_END = 12.0f;          // demo seconds
constexpr float PHASE_A_STEP = 0.12f;       // per drawn frame
constexpr float PHASE_B_STEP = 0.09f;
constexpr int TRAIL_LENGTH = 50;            // sprites per trail
constexpr float STAR_HALF_SIZE = 0.5f;
constexpr float BACKDROP_HALF_SIZE = 45.0f;
constexpr float BACKDROP_DEPTH = -100.0f;   // the far plane

enum Texture { STAR, PRESENTS, LINE1, LINE2, LINE3, TITLE, LINE4, BACKDROP_CENTRE, BACKDROP_SIDE, TEXTURE_COUNT };

// Texture files in loading order; each under TEX_TITLES_FIRST + its index.
const char* const texturePaths[TEXTURE_COUNT] = {
    "maps/star.tga", "maps/skarvel_presents.tga", "maps/pain.tga", "maps/ass.tga", "maps/deadline.tga",
    "maps/vantrel.tga", "maps/just_for_fun.tga", "maps/incio.tga", "maps/inicio2.tga",
};

unsigned textureName(Texture t) { return TEX_TITLES_FIRST + static_cast<unsigned>(t); }

struct TitlePlacement {
    Texture texture;
    float from, until;              // demo seconds, closed below and open above
    float x, y, z;                  // translation
    float sx, sy, sz;               // scale
    float width, height;            // rectangle
};

const TitlePlacement titles[] = {
    {PRESENTS, 0.0f, 10.0f, -2.0f, 0.8f, -6.0f, 1.0f, 1.0f, 1.0f, 4.0f, 1.5f},
    {LINE1, 2.0f, 10.0f, -0.8f, -0.1f, -5.0f, 0.5f, 0.5f, 1.0f, 4.0f, 1.5f},
    {LINE2, 4.0f, 10.0f, -0.85f, -0.7f, -5.0f, 0.5f, 0.5f, 1.0f, 4.0f, 1.5f},
    {LINE3, 6.0f, 10.0f, -0.9f, -1.4f, -5.0f, 0.5f, 0.5f, 1.0f, 4.0f, 1.5f},
    {LINE4, 8.0f, 10.0f, -0.98f, -2.1f, -5.0f, 0.5f, 0.5f, 1.0f, 4.0f, 1.5f},
    {TITLE, 10.0f, 12.0f, -2.0f, -1.0f, -5.0f, 0.9f, 1.0f, 1.0f, 5.0f, 2.5f},
};

struct BackdropPanel {
    Texture texture;
    float x;
};
const BackdropPanel backdrop[] = {{BACKDROP_CENTRE, 0.0f}, {BACKDROP_SIDE, 20.0f}, {BACKDROP_SIDE, -20.0f}};

struct StarTrail {
    float r, g, b;
};
const StarTrail trails[4] = {{1.0f, 0.8f, 0.3f}, {1.0f, 0.5f, 0.5f}, {1.0f, 0.6f, 0.2f}, {1.0f, 1.0f, 1.0f}};

void drawBackdrop()
{
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    for (const BackdropPanel& panel : backdrop) {
        glPushMatrix();
        glBindTexture(GL_TEXTURE_2D, textureName(panel.texture));
        glTranslatef(panel.x, 0.0f, BACKDROP_DEPTH);
        drawCenteredSquare(BACKDROP_HALF_SIZE);
        glPopMatrix();
    }
}

void drawTitles(float t)
{
    for (const TitlePlacement& title : titles) {
        if (t < title.from || t >= title.until) continue;
        glBindTexture(GL_TEXTURE_2D, textureName(title.texture));
        glPushMatrix();
        glTranslatef(title.x, title.y, title.z);
        glScalef(title.sx, title.sy, title.sz);
        drawTexturedRect(title.width, title.height, 0.0f);
        glPopMatrix();
    }
}

void drawStar(double x, double y, const StarTrail& trail, float alpha)
{
    glPushMatrix();
    glTranslatef(static_cast<float>(x), static_cast<float>(y), -5.0f);
    glColor4f(trail.r, trail.g, trail.b, alpha);
    drawCenteredSquare(STAR_HALF_SIZE);
    glPopMatrix();
}

// Four trails, mirror images of one another through the centre of the picture.
void drawStarTrails()
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureName(STAR));
    for (int i = 0; i < TRAIL_LENGTH; ++i) {
        const float a = starPhaseA - 0.04f * static_cast<float>(i);
        const float b = starPhaseB - 0.03f * static_cast<float>(i);
        const float alpha = 1.0f - 0.02f * static_cast<float>(i);
        drawStar(1.5 * std::sin(a), -1.5 * std::cos(b), trails[0], alpha);
        drawStar(-1.5 * std::sin(a), 1.5 * std::cos(b), trails[1], alpha);
        drawStar(-1.5 * std::sin(b), 1.5 * std::cos(a), trails[2], alpha);
        drawStar(1.5 * std::sin(b), -1.5 * std::cos(a), trails[3], alpha);
    }
    glDisable(GL_TEXTURE_2D);
}

}  // namespace

int titlesSetup()
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glMatrixMode(GL_MODELVIEW);
    for (int i = 0; i < TEXTURE_COUNT; ++i) loadTgaTexture(texturePaths[i], textureName(static_cast<Texture>(i)));
    return 1;
}

int titlesDraw(float t)
{
    if (playState == PLAY_PAUSED) return 1;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawBackdrop();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);  // titles and sprites add to the picture by their alpha
    if (t >= SCENE_END) {
        sceneDone = 1;
    } else {
        drawTitles(t);
        drawStarTrails();
    }
    starPhaseA += PHASE_A_STEP;
    starPhaseB += PHASE_B_STEP;
    return 1;
}

void titlesCleanup() {}
