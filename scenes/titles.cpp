// Scene 1, the opening titles, demo seconds 0 to 12: title images appear over a
// fixed backdrop, one line every two seconds, then the production's title alone,
// while four trails of star sprites circle through the picture.
#include <GL/gl.h>

#include <cmath>

#include "assets/tga.h"
#include "render/overlay.h"
#include "shell/timeline.h"
#include "scenes/scenes.h"
#include "scenes/titles.h"
#include "shell/demo.h"
#include "shell/keys.h"

float starPhaseA = 0.0f;
float starPhaseB = 0.0f;

namespace {


// Textures in load order; each is loaded under TEX_TITLES_FIRST + its index.
enum TitlesTexture {
    STAR,
    PRESENTS,
    LINE_1,
    LINE_2,
    LINE_3,
    PRODUCTION,
    LINE_4,
    BACKDROP_CENTRE,
    BACKDROP_SIDES,
    TITLES_TEXTURE_COUNT
};
const char* const texturePaths[TITLES_TEXTURE_COUNT] = {
    "maps/star.tga",     "maps/skarvel_presents.tga", "maps/pain.tga",
    "maps/ass.tga",      "maps/deadline.tga",         "maps/vantrel.tga",
    "maps/just_for_fun.tga", "maps/incio.tga",        "maps/inicio2.tga",
};

unsigned textureName(TitlesTexture texture) { return TEX_TITLES_FIRST + static_cast<unsigned>(texture); }

// Where each title goes: translated, then scaled, then one rectangle from the
// local origin. Titles are drawn in the order of this table.
struct TitlePlacement {
    TitlesTexture texture;
    float translate[3];
    bool scaled;        // false: no scale is applied
    float scale[3];
    float rect[3];      // width, height, depth
};
enum TitleIndex { TITLE_PRESENTS, TITLE_LINE_1, TITLE_LINE_2, TITLE_LINE_3, TITLE_LINE_4, TITLE_PRODUCTION, TITLE_COUNT };
constexpr TitlePlacement titlePlacements[TITLE_COUNT] = {
    {PRESENTS, {-2.0f, 0.8f, -6.0f}, false, {1.0f, 1.0f, 1.0f}, {4.0f, 1.5f, 0.0f}},
    {LINE_1, {-0.8f, -0.1f, -5.0f}, true, {0.5f, 0.5f, 1.0f}, {4.0f, 1.5f, 0.0f}},
    {LINE_2, {-0.85f, -0.7f, -5.0f}, true, {0.5f, 0.5f, 1.0f}, {4.0f, 1.5f, 0.0f}},
    {LINE_3, {-0.9f, -1.4f, -5.0f}, true, {0.5f, 0.5f, 1.0f}, {4.0f, 1.5f, 0.0f}},
    {LINE_4, {-0.98f, -2.1f, -5.0f}, true, {0.5f, 0.5f, 1.0f}, {4.0f, 1.5f, 0.0f}},
    {PRODUCTION, {-2.0f, -1.0f, -5.0f}, true, {0.9f, 1.0f, 1.0f}, {5.0f, 2.5f, 0.0f}},
};

// The timeline: from each start time (seconds, closed below) until the next
// row's, the titles flagged in the row are drawn after the backdrop, with the
// star trails. From TITLES_END on only the backdrop is drawn.
struct TimelineRow {
    float start;
    bool shows[TITLE_COUNT];  // indexed by TitleIndex
};
constexpr TimelineRow timeline[] = {
    {0.0f, {true, false, false, false, false, false}},
    {2.0f, {true, true, false, false, false, false}},
    {4.0f, {true, true, true, false, false, false}},
    {6.0f, {true, true, true, true, false, false}},
    {8.0f, {true, true, true, true, true, false}},
    {10.0f, {false, false, false, false, false, true}},
};
constexpr int TIMELINE_ROWS = sizeof timeline / sizeof timeline[0];

// Backdrop: three squares in the far plane, blended over one another in this order.
constexpr float BACKDROP_HALF_SIZE = 45.0f;
struct BackdropPanel {
    TitlesTexture texture;
    float x, y, z;
};
constexpr BackdropPanel backdropPanels[] = {
    {BACKDROP_CENTRE, 0.0f, 0.0f, -100.0f},
    {BACKDROP_SIDES, 20.0f, 0.0f, -100.0f},
    {BACKDROP_SIDES, -20.0f, 0.0f, -100.0f},
};

// Star trails: 50 sprites per trail, each a little behind the one before on the
// same curve and fainter towards the tail.
constexpr int TRAIL_LENGTH = 50;
constexpr float TRAIL_STEP_A = 0.04f;        // radians of phase A between sprites
constexpr float TRAIL_STEP_B = 0.03f;        // radians of phase B between sprites
constexpr float TRAIL_ALPHA_STEP = 0.02f;    // alpha lost per sprite
constexpr float TRAIL_RADIUS = 1.5f;         // scene units
constexpr float TRAIL_DEPTH = -5.0f;         // eye space
constexpr float STAR_HALF_SIZE = 0.5f;       // scene units
constexpr float PHASE_A_STEP = 0.12f;        // radians per drawn frame
constexpr float PHASE_B_STEP = 0.09f;        // radians per drawn frame

// Each trail: x = xSign * R * (sin of xPhase), y = ySign * R * (cos of yPhase),
// where a phase is A or B; the four are mirror images through the centre.
struct TrailSprite {
    float xSign;
    bool xUsesB;   // false: sin a, true: sin b
    float ySign;
    bool yUsesB;   // false: cos a, true: cos b
    float colour[3];
};
constexpr TrailSprite trailSprites[] = {
    {1.0f, false, -1.0f, true, {1.0f, 0.8f, 0.3f}},
    {-1.0f, false, 1.0f, true, {1.0f, 0.5f, 0.5f}},
    {-1.0f, true, 1.0f, false, {1.0f, 0.6f, 0.2f}},
    {1.0f, true, -1.0f, false, {1.0f, 1.0f, 1.0f}},
};

void drawBackdrop()
{
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    for (const BackdropPanel& panel : backdropPanels) {
        glBindTexture(GL_TEXTURE_2D, textureName(panel.texture));
        glPushMatrix();
        glTranslatef(panel.x, panel.y, panel.z);
        drawCenteredSquare(BACKDROP_HALF_SIZE);
        glPopMatrix();
    }
}

// The row of the timeline that holds t (t below TITLES_END).
const TimelineRow& timelineRowAt(float t)
{
    int row = 0;
    while (row + 1 < TIMELINE_ROWS && t >= timeline[row + 1].start) ++row;
    return timeline[row];
}

void drawTitles(const TimelineRow& row)
{
    for (int i = 0; i < TITLE_COUNT; ++i) {
        if (!row.shows[i]) continue;
        const TitlePlacement& title = titlePlacements[i];
        glBindTexture(GL_TEXTURE_2D, textureName(title.texture));
        glPushMatrix();
        glTranslatef(title.translate[0], title.translate[1], title.translate[2]);
        if (title.scaled) glScalef(title.scale[0], title.scale[1], title.scale[2]);
        drawTexturedRect(title.rect[0], title.rect[1], title.rect[2]);
        glPopMatrix();
    }
}

void drawStarTrails()
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureName(STAR));
    for (int i = 0; i < TRAIL_LENGTH; ++i) {
        const float step = static_cast<float>(i);
        const float a = starPhaseA - TRAIL_STEP_A * step;
        const float b = starPhaseB - TRAIL_STEP_B * step;
        const float alpha = 1.0f - TRAIL_ALPHA_STEP * step;
        for (const TrailSprite& sprite : trailSprites) {
            const double x = sprite.xSign * TRAIL_RADIUS * std::sin(static_cast<double>(sprite.xUsesB ? b : a));
            const double y = sprite.ySign * TRAIL_RADIUS * std::cos(static_cast<double>(sprite.yUsesB ? b : a));
            glColor4f(sprite.colour[0], sprite.colour[1], sprite.colour[2], alpha);
            glPushMatrix();
            glTranslatef(static_cast<float>(x), static_cast<float>(y), TRAIL_DEPTH);
            drawCenteredSquare(STAR_HALF_SIZE);
            glPopMatrix();
        }
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
    // A missing file leaves its texture empty; the scene draws on regardless.
    for (int i = 0; i < TITLES_TEXTURE_COUNT; ++i) loadTgaTexture(texturePaths[i], textureName(static_cast<TitlesTexture>(i)));
    return 1;
}

int titlesDraw(float t)
{
    if (playState == PLAY_PAUSED) return 1;  // nothing drawn, the trails stand still
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawBackdrop();
    // Titles and stars are added to the picture, weighted by their alpha.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    if (t >= TITLES_END) {
        sceneDone = 1;
    } else {
        drawTitles(timelineRowAt(t));
        drawStarTrails();
    }
    starPhaseA += PHASE_A_STEP;
    starPhaseB += PHASE_B_STEP;
    return 1;
}

void titlesCleanup() {}
