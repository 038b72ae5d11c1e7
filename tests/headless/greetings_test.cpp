// The greetings: the particle table from the generator, the logo each particle
// shows, rebirth, the end at 175.8 s, pausing, the backdrop and the loader.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "assets/tga.h"
#include "scenes/greetings.h"
#include "scenes/scenes.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "shell/random.h"
#include "tests/support/support.h"

namespace {

constexpr float QUIET_TIME = 170.0f;  // no fade open

float before(float t) { return std::nextafter(t, -1e30f); }

// Red level of logo entry k's test texture.
unsigned char logoRed(int k) { return static_cast<unsigned char>(25 * (k + 1)); }

class Greetings : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        ASSERT_EQ(greetingsLoad(), 1);
        ASSERT_EQ(greetingsSetup(), 1);
    }
    // Every particle far outside the view, alive for good and still.
    static void parkAll()
    {
        for (GreetingParticle& p : greetingParticles) p = {1.0f, 0.0f, 1000.0f, 0.0f, 0.0f, 0.0f};
    }
    // A particle at the centre of the view: the fountain's origin is 11 above it.
    static void centre(int i) { greetingParticles[i] = {1.0f, 0.0f, 0.0f, -11.0f, 0.0f, 0.0f}; }
    void save(const Frame& frame, const std::string& name) { keepFrame(frame, name); }

};

}  // namespace

// The table takes draws 1501 to 3000: fall speed, x speed and fade for each particle.
TEST(GreetingsTable, TakesTheFifteenHundredDrawsAfterTheFireScene)
{
    TempDir dir;
    ScopedChdir cd(dir.path());
    demoRandState = referenceRandomState(1500);
    ASSERT_EQ(greetingsLoad(), 1);
    EXPECT_EQ(demoRandState, referenceRandomState(3000));
    for (int i : {0, 1, 250, 499}) {
        const GreetingParticle& p = greetingParticles[i];
        const int first = 1501 + 3 * i;
        const float fall = static_cast<float>(referenceRandomValue(first) % 5000) / 90000.0f;
        EXPECT_FLOAT_EQ(p.fallSpeed, fall) << "particle " << i;
        EXPECT_FLOAT_EQ(p.xSpeed, static_cast<float>(referenceRandomValue(first + 1) % 500 - 250) * fall / 600.0f)
            << "particle " << i;
        EXPECT_FLOAT_EQ(p.fade, static_cast<float>(referenceRandomValue(first + 2) % 50) / 4000.0f) << "particle " << i;
    }
    for (const GreetingParticle& p : greetingParticles) {
        EXPECT_EQ(p.life, 1.0f);
        EXPECT_EQ(p.x, 0.0f);
        EXPECT_EQ(p.y, 0.0f);
        EXPECT_GE(p.fallSpeed, 0.0f);
        EXPECT_LE(p.fallSpeed, 4999.0f / 90000.0f);
        EXPECT_LE(std::fabs(p.xSpeed), p.fallSpeed * 250.0f / 600.0f);
        EXPECT_GE(p.fade, 0.0f);
        EXPECT_LE(p.fade, 49.0f / 4000.0f);
    }
}

// The logo is rebound at every 20th particle to entry i / 50: even entries get
// 60 particles, odd ones 40.
TEST_F(Greetings, EachParticleShowsTheLogoOfItsShare)
{
    struct Share {
        int first, last, entry;
    };
    const Share shares[] = {
        {0, 59, 0},    {60, 99, 1},   {100, 159, 2}, {160, 199, 3}, {200, 259, 4},
        {260, 299, 5}, {300, 359, 6}, {360, 399, 7}, {400, 459, 8}, {460, 499, 9},
    };
    for (int k = 0; k < GREETING_LOGO_COUNT; ++k) solidTexture(TEX_GREETING_LOGO_FIRST + k, logoRed(k), 0, 0);
    solidTexture(TEX_GREETING_BACKDROP, 0, 0, 0);
    int counts[GREETING_LOGO_COUNT] = {};
    for (const Share& share : shares) {
        for (int i = share.first; i <= share.last; ++i) {
            parkAll();
            centre(i);
            greetingsDraw(QUIET_TIME);
            unsigned char rgb[3] = {};
            glPixel(400, 300, rgb);
            // Tinted (1, 0.5, 0.3) at alpha 0.95, added to a black backdrop.
            ASSERT_NEAR(rgb[0], 0.95 * logoRed(share.entry), 2.0) << "particle " << i;
            counts[share.entry]++;
        }
    }
    for (int k = 0; k < GREETING_LOGO_COUNT; ++k) EXPECT_EQ(counts[k], k % 2 ? 40 : 60) << "entry " << k;
}

// Once its life is used up a particle goes back to the origin; with a fade of
// 0 it never does and falls for as long as the scene runs.
TEST_F(Greetings, ParticleWithFadeZeroNeverReturns)
{
    struct Case {
        float fade;
        int firstRebirth;  // frame after which it is back at the origin; 0: never
    };
    const Case cases[] = {{0.0f, 0}, {0.5f, 3}, {0.25f, 5}, {1.0f, 2}};
    for (const Case& c : cases) {
        parkAll();
        greetingParticles[7] = {1.0f, c.fade, 0.0f, 0.0f, 0.001f, 0.02f};
        int rebirth = 0;
        float previousY = 0.0f;
        for (int frame = 1; frame <= 300; ++frame) {
            greetingsDraw(QUIET_TIME);
            const GreetingParticle& p = greetingParticles[7];
            if (p.y == 0.0f && p.x == 0.0f) {
                if (!rebirth) rebirth = frame;
                EXPECT_EQ(p.life, 1.0f);
            } else {
                EXPECT_LT(p.y, previousY) << "fade " << c.fade << " frame " << frame;
            }
            previousY = p.y;
        }
        EXPECT_EQ(rebirth, c.firstRebirth) << "fade " << c.fade;
        if (c.fade == 0.0f) {
            EXPECT_NEAR(greetingParticles[7].y, -300 * 0.02f, 1e-3f);
            EXPECT_NEAR(greetingParticles[7].x, 300 * 0.001f, 1e-4f);
            EXPECT_EQ(greetingParticles[7].life, 1.0f);
        }
        // Rebirth keeps the particle's speeds and fade.
        EXPECT_EQ(greetingParticles[7].fade, c.fade);
        EXPECT_EQ(greetingParticles[7].fallSpeed, 0.02f);
    }
}

// At 175.8 s exactly the particles are neither moved nor drawn and the scene
// ends; the fade out half way through shows the backdrop at half brightness.
TEST_F(Greetings, EndsAtOneSeventyFiveEightWithoutParticles)
{
    for (int k = 0; k < GREETING_LOGO_COUNT; ++k) solidTexture(TEX_GREETING_LOGO_FIRST + k, 255, 255, 255);
    solidTexture(TEX_GREETING_BACKDROP, 100, 100, 100);
    parkAll();
    centre(0);
    greetingParticles[0].fallSpeed = 0.0001f;

    greetingsDraw(before(GREETINGS_END));
    const Frame last = readFrame();
    save(last, "greetings-before-end.png");
    EXPECT_EQ(sceneDone, 0);
    EXPECT_LT(greetingParticles[0].y, -11.0f);
    // The particle adds (1, 0.5, 0.3) x 0.95 to the backdrop, all halved by the fade.
    EXPECT_NEAR(last.at(400, 300)[0], 255 / 2, 3.0);  // saturated before the fade
    EXPECT_NEAR(last.at(400, 300)[1], (100 + 255 * 0.5 * 0.95) / 2, 3.0);

    const GreetingParticle moved = greetingParticles[0];
    greetingsDraw(GREETINGS_END);
    const Frame end = readFrame();
    save(end, "greetings-end.png");
    EXPECT_EQ(sceneDone, 1);
    EXPECT_EQ(std::memcmp(&greetingParticles[0], &moved, sizeof moved), 0);
    EXPECT_NEAR(end.at(400, 300)[0], 50, 2);
    EXPECT_NEAR(end.mean(100, 100, 700, 500), 50, 1);
    EXPECT_EQ(end.mean(0, 0, 60, 600), 0.0);  // the backdrop leaves a black strip at either side
}

// While paused the frame is neither cleared nor drawn and no particle moves;
// the motion is per frame, so resuming moves them by one step.
TEST_F(Greetings, PausedFramesFreezeTheFountain)
{
    greetingsDraw(QUIET_TIME);
    GreetingParticle frozen[GREETING_PARTICLE_COUNT];
    std::memcpy(frozen, greetingParticles, sizeof frozen);

    expectPausedDrawsNothing(greetingsDraw, {171.0f, 172.0f, 176.0f});
    EXPECT_EQ(std::memcmp(frozen, greetingParticles, sizeof frozen), 0);
    EXPECT_EQ(sceneDone, 0);

    playState = PLAY_RUNNING;
    greetingsDraw(173.0f);
    for (int i : {0, 123, 499}) {
        if (frozen[i].life <= 0.0f) continue;
        EXPECT_FLOAT_EQ(greetingParticles[i].y, frozen[i].y - frozen[i].fallSpeed) << "particle " << i;
        EXPECT_FLOAT_EQ(greetingParticles[i].x, frozen[i].x + frozen[i].xSpeed) << "particle " << i;
    }
}

// The backdrop is opaque, fills the view's height and about four fifths of its width.
TEST_F(Greetings, BackdropFillsTheHeightAndFourFifthsOfTheWidth)
{
    solidTexture(TEX_GREETING_BACKDROP, 200, 200, 200);
    parkAll();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    greetingsDraw(QUIET_TIME);
    const Frame frame = readFrame();
    save(frame, "greetings-backdrop.png");
    int wide = 0, high = 0;
    for (int x = 0; x < 800; ++x) wide += frame.at(x, 300)[0] == 200;
    for (int y = 0; y < 600; ++y) high += frame.at(400, y)[0] == 200;
    // Half size 40 at 90 units under a 45-degree view: 40 / (90 tan 22.5 x 4/3) of the width.
    EXPECT_NEAR(wide, 800.0 * 40.0 / (90.0 * std::tan(22.5 * M_PI / 180.0) * 4.0 / 3.0), 3.0);
    EXPECT_GE(high, 595);
}

// The fountain pours from just above the top edge: newly born particles are
// out of view, falling ones come into it.
TEST_F(Greetings, FountainPoursFromAboveTheTopEdge)
{
    for (int k = 0; k < GREETING_LOGO_COUNT; ++k) solidTexture(TEX_GREETING_LOGO_FIRST + k, 255, 255, 255);
    solidTexture(TEX_GREETING_BACKDROP, 0, 0, 0);
    parkAll();
    greetingParticles[0] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    greetingsDraw(QUIET_TIME);
    EXPECT_EQ(readFrame().mean(0, 0, 800, 600), 0.0);
    greetingParticles[0].y = -4.0f;
    greetingsDraw(QUIET_TIME);
    const Frame frame = readFrame();
    save(frame, "greetings-falling.png");
    EXPECT_GT(frame.mean(380, 0, 420, 30), 100.0);
    EXPECT_EQ(frame.mean(0, 100, 800, 600), 0.0);
}

TEST_F(Greetings, SetupState)
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDepthFunc(GL_LESS);
    glMatrixMode(GL_PROJECTION);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    ASSERT_EQ(greetingsSetup(), 1);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(glInteger(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_EQ(glInteger(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(glInteger(GL_BLEND_DST), GL_ONE);
    EXPECT_EQ(glInteger(GL_MATRIX_MODE), GL_MODELVIEW);
    expectBlackClearColour();
}

// Each file goes under the name of its place in the logo list, whatever the loading order.
TEST_F(Greetings, LoaderPutsEachLogoUnderItsEntry)
{
    struct File {
        const char* path;
        unsigned name;
    };
    const File files[] = {
        {"maps/feln.tga", TEX_GREETINGS_FIRST + 0},  {"maps/nwel.tga", TEX_GREETINGS_FIRST + 1},
        {"maps/zemra.tga", TEX_GREETINGS_FIRST + 2}, {"maps/ulvat.tga", TEX_GREETINGS_FIRST + 3},
        {"maps/vorla.tga", TEX_GREETINGS_FIRST + 4}, {"maps/brume.tga", TEX_GREETINGS_FIRST + 5},
        {"maps/oskel.tga", TEX_GREETINGS_FIRST + 6}, {"maps/tulmo.tga", TEX_GREETINGS_FIRST + 7},
        {"maps/praxa.tga", TEX_GREETINGS_FIRST + 8}, {"maps/kettri.tga", TEX_GREETINGS_FIRST + 9},
        {"maps/jorvi.tga", TEX_GREETINGS_FIRST + 10},
    };
    int level = 5;
    for (const File& f : files) {
        dir.write(f.path, tgaFile(2, static_cast<unsigned char>(level)));
        level += 20;
    }
    uint32_t expectedState = demoRandState;
    for (int i = 0; i < 1500; ++i) expectedState = expectedState * 214013u + 2531011u;
    ASSERT_EQ(greetingsLoad(), 1);
    EXPECT_EQ(demoRandState, expectedState);  // textures draw nothing from the generator
    level = 5;
    for (const File& f : files) {
        glBindTexture(GL_TEXTURE_2D, f.name);
        unsigned char texels[2 * 2 * 4] = {};
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        EXPECT_EQ(texels[0], level) << f.path;
        level += 20;
    }
}
