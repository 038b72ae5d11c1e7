// The orbiting spheres: where light 0 ends up after the greetings, the render
// target and its frame copy, the zoom blur, texturing left on by the fades,
// the phases, pausing and the black last frame.
#include <GL/gl.h>

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "scenes/greetings.h"
#include "scenes/scenes.h"
#include "scenes/spheres.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "tests/support/support.h"

namespace {

constexpr float QUIET_TIME = 180.0f;  // no fade open

void expectLightAt(float x, float y, float z)
{
    GLfloat position[4] = {};
    glGetLightfv(GL_LIGHT0, GL_POSITION, position);
    EXPECT_NEAR(position[0], x, 1e-4f);
    EXPECT_NEAR(position[1], y, 1e-4f);
    EXPECT_NEAR(position[2], z, 1e-4f);
    EXPECT_NEAR(position[3], 1.0f, 1e-6f);
}

GLint targetParameter(GLenum parameter) { return textureLevel(sphereRenderTarget, parameter); }

// Mean of red minus blue over a 30 x 30 box around (x, y).
double redOverBlue(const Frame& frame, int x, int y)
{
    double sum = 0.0;
    for (int j = y - 15; j < y + 15; ++j)
        for (int i = x - 15; i < x + 15; ++i) sum += frame.at(i, j)[0] - frame.at(i, j)[2];
    return sum / 900.0;
}

class Spheres : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        spherePhase1 = spherePhase2 = spherePhase3 = 0.0f;
        solidTexture(TEX_PENTAGRAM, 0, 0, 0);  // a black pentagram adds nothing
    }
    void save(const Frame& frame, const std::string& name) { keepFrame(frame, name); }

};

}  // namespace

// The greetings' last frame after their normal end leaves only the camera in
// the modelview matrix, a translation by -35 in z, and the set-up's light
// position (0, 2, 5) is transformed by it.
TEST_F(Spheres, LightSitsBehindTheSpheresAfterTheGreetingsEnd)
{
    ASSERT_EQ(greetingsLoad(), 1);
    greetingsSetup();
    greetingsDraw(175.0f);
    greetingsDraw(GREETINGS_END);
    ASSERT_EQ(sceneDone, 1);
    sceneDone = 0;
    ASSERT_EQ(spheresSetup(), 1);
    expectLightAt(0.0f, 2.0f, -30.0f);
    // The set-up loads the identity only after placing the light.
    GLfloat matrix[16] = {};
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(matrix[i], i % 5 == 0 ? 1.0f : 0.0f) << "element " << i;
    // Nothing re-specifies it during the scene.
    spheresDraw(QUIET_TIME);
    spheresDraw(QUIET_TIME + 0.1f);
    expectLightAt(0.0f, 2.0f, -30.0f);
    spheresCleanup();
}

// Space pressed while the fountain was drawn: its translation (0, 11, 18) is
// still in the matrix, so the light lands at (0, 13, -12).
TEST_F(Spheres, SpaceSkipDuringTheFountainMovesTheLight)
{
    config.framesPerSecond = 10;
    GLTest::TearDown();
    GLTest::SetUp();
    ASSERT_EQ(greetingsLoad(), 1);
    startDemoClock();
    while (headlessDemoSeconds() < 170.0) platformSwapBuffers();
    headlessScheduleKey(170.45, VK_SPACE, 0.05);
    const int64_t swaps = headlessSwapCount();
    runScene(sceneSequence[4]);
    EXPECT_GE(headlessSwapCount() - swaps, 4);  // some fountain frames were drawn
    EXPECT_LE(headlessSwapCount() - swaps, 6);
    ASSERT_EQ(sceneDone, 0);
    ASSERT_EQ(spheresSetup(), 1);
    expectLightAt(0.0f, 13.0f, -12.0f);
    spheresCleanup();
}

// The render target is a name of its own, 128 x 128 RGBA with linear filters
// at set-up, redefined as luminance by every frame's copy, deleted at clean-up.
TEST_F(Spheres, RenderTargetIsRedefinedAsLuminanceEveryFrame)
{
    ASSERT_EQ(spheresSetup(), 1);
    const unsigned target = sphereRenderTarget;
    ASSERT_NE(target, 0u);
    EXPECT_TRUE(glIsTexture(target));
    EXPECT_NE(target, TEX_PENTAGRAM);
    EXPECT_EQ(targetParameter(GL_TEXTURE_WIDTH), 128);
    EXPECT_EQ(targetParameter(GL_TEXTURE_HEIGHT), 128);
    EXPECT_GT(targetParameter(GL_TEXTURE_RED_SIZE), 0);
    EXPECT_GT(targetParameter(GL_TEXTURE_ALPHA_SIZE), 0);
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    std::vector<unsigned char> texels(128 * 128 * 4, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    long sum = 0;
    for (unsigned char c : texels) sum += c;
    EXPECT_EQ(sum, 0);  // created from a zero-filled buffer

    spheresDraw(QUIET_TIME);
    EXPECT_EQ(targetParameter(GL_TEXTURE_INTERNAL_FORMAT), GL_LUMINANCE);
    EXPECT_EQ(targetParameter(GL_TEXTURE_WIDTH), 128);
    EXPECT_EQ(targetParameter(GL_TEXTURE_HEIGHT), 128);
    EXPECT_GT(targetParameter(GL_TEXTURE_LUMINANCE_SIZE), 0);
    EXPECT_EQ(targetParameter(GL_TEXTURE_RED_SIZE), 0);
    // The copy holds the small spheres: some texels lit, the corners black.
    std::vector<unsigned char> grey(128 * 128, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, grey.data());
    int lit = 0;
    for (unsigned char g : grey) lit += g > 20;
    EXPECT_GT(lit, 50);
    EXPECT_LT(lit, 128 * 128 / 4);
    EXPECT_EQ(grey[0], 0);
    EXPECT_EQ(grey[128 * 128 - 1], 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    spheresCleanup();
    EXPECT_FALSE(glIsTexture(target));
    EXPECT_EQ(sphereRenderTarget, 0u);
}

// Spheres 1, 2, 4 and 6 lined up at the centre of the view: the blur's
// magnified copies of the texture's centre spread a glow around them, while
// the corners, which only the least magnified copies reach, stay dark.
TEST_F(Spheres, BlurBrightensTheCentreMoreThanTheCorners)
{
    ASSERT_EQ(spheresSetup(), 1);
    spherePhase1 = 0.0f;
    spherePhase2 = static_cast<float>(M_PI / 2);
    spherePhase3 = 0.0f;
    spheresDraw(QUIET_TIME);
    const Frame frame = readFrame();
    save(frame, "spheres-centre.png");
    // The spheres' own outlines reach 37 pixels from the centre; sample 50 to 70 out.
    const double halo = (frame.mean(330, 290, 350, 310) + frame.mean(450, 290, 470, 310) +
                         frame.mean(390, 350, 410, 370)) / 3.0;
    const double corners = (frame.mean(0, 0, 40, 40) + frame.mean(760, 0, 800, 40) + frame.mean(0, 560, 40, 600) +
                            frame.mean(760, 560, 800, 600)) / 4.0;
    EXPECT_GT(halo, 40.0);
    EXPECT_LT(corners, 2.0);
    // The glow falls off outwards.
    EXPECT_GT(frame.mean(450, 290, 470, 310), frame.mean(520, 290, 540, 310));
    spheresCleanup();
}

// The blur over a render target of one grey level, with the lighting and the
// material the sphere drawing leaves (the last sphere's, alpha 1): unlit, each
// pass adds the level times its own alpha, and the sum is that grey times the
// sum of the alpha ramp. Lit, every pass would take the material's colour at
// alpha 1, and 25 of them saturate to a colour that is not grey.
TEST_F(Spheres, ZoomBlurIsUnlitGreyByItsAlphaRamp)
{
    constexpr unsigned char LEVEL = 40;  // render target grey, 0..255
    ASSERT_EQ(spheresSetup(), 1);
    const std::vector<unsigned char> grey(static_cast<size_t>(SPHERE_TARGET_SIZE) * SPHERE_TARGET_SIZE, LEVEL);
    glBindTexture(GL_TEXTURE_2D, sphereRenderTarget);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, SPHERE_TARGET_SIZE, SPHERE_TARGET_SIZE, 0, GL_LUMINANCE,
                 GL_UNSIGNED_BYTE, grey.data());
    const GLfloat lastSphere[4] = {0.4f, 0.8f, 0.8f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, lastSphere);
    ASSERT_TRUE(glIsEnabled(GL_LIGHTING));
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    spheresPentagramAndBlur(SPHERE_BLUR_PASSES, SPHERE_BLUR_SPREAD);
    const Frame frame = readFrame();
    save(frame, "spheres-blur-uniform.png");

    float alpha = 0.2f;
    double ramp = 0.0;  // sum of the passes' alphas
    for (int i = 0; i < SPHERE_BLUR_PASSES; ++i) {
        ramp += alpha;
        alpha -= 0.2f / static_cast<float>(SPHERE_BLUR_PASSES);
    }
    const double predicted = LEVEL * ramp;  // about 104
    // Each pass rounds to a whole level; over 25 passes that stays within a few.
    const double roundingAllowance = 4.0;
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{400, 300}, {100, 80}, {700, 520}}) {
        const unsigned char* p = frame.at(x, y);
        EXPECT_NEAR(p[0], predicted, roundingAllowance) << "at " << x << ", " << y;
        EXPECT_EQ(p[0], p[1]) << "at " << x << ", " << y;
        EXPECT_EQ(p[1], p[2]) << "at " << x << ", " << y;
    }
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));  // left on for the next frame's spheres
    spheresCleanup();
}

// Inside a fade window the overlay leaves texturing on, so the next frame's
// spheres are modulated by the render target at the last texture coordinate
// of the blur, the texture's centre, which is black when no sphere is there.
TEST_F(Spheres, TexturingLeftOnByAFadeDarkensTheSpheres)
{
    ASSERT_EQ(spheresSetup(), 1);
    spheresDraw(QUIET_TIME);  // outside the fades: the blur leaves texturing off
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    spherePhase1 = spherePhase2 = spherePhase3 = 0.0f;
    spheresDraw(QUIET_TIME);
    const Frame plain = readFrame();
    save(plain, "spheres-untextured.png");

    spheresDraw(191.25f);  // inside the fade out
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    spherePhase1 = spherePhase2 = spherePhase3 = 0.0f;
    spheresDraw(QUIET_TIME);
    const Frame modulated = readFrame();
    save(modulated, "spheres-modulated.png");

    // Sphere 1, red, sits at (0, -5.5, -22): 181 pixels below the centre. The
    // grey blur lies over both; only the untextured sphere keeps its colour.
    EXPECT_GT(redOverBlue(plain, 400, 481), 30.0);
    EXPECT_LT(std::fabs(redOverBlue(modulated, 400, 481)), 3.0);
    spheresCleanup();
}

// At 191.5 s the frame is drawn in full and then halved; at 192 s nothing is
// drawn, the frame is black and the scene, and with it the demo, ends.
TEST_F(Spheres, FadesOutAndEndsWithABlackFrameAt192)
{
    ASSERT_EQ(spheresSetup(), 1);
    spheresDraw(QUIET_TIME);
    const float p1 = spherePhase1, p2 = spherePhase2, p3 = spherePhase3;
    spheresDraw(QUIET_TIME);
    const Frame full = readFrame();
    spherePhase1 = p1;
    spherePhase2 = p2;
    spherePhase3 = p3;
    spheresDraw(191.5f);
    const Frame half = readFrame();
    save(half, "spheres-191.5.png");
    EXPECT_EQ(sceneDone, 0);
    EXPECT_GT(full.mean(0, 0, 800, 600), 5.0);
    EXPECT_NEAR(half.mean(0, 0, 800, 600), full.mean(0, 0, 800, 600) / 2.0, 1.0);

    const float phase = spherePhase1;
    spheresDraw(SPHERES_END);
    const Frame last = readFrame();
    save(last, "spheres-192.png");
    EXPECT_EQ(sceneDone, 1);
    EXPECT_TRUE(last.uniform());
    EXPECT_EQ(last.at(0, 0)[0] + last.at(0, 0)[1] + last.at(0, 0)[2], 0);
    EXPECT_EQ(spherePhase1, phase);
    spheresCleanup();
}

// Fixed phase steps per drawn frame; paused frames neither draw nor move.
TEST_F(Spheres, PhasesStepPerFrameAndPausingFreezes)
{
    ASSERT_EQ(spheresSetup(), 1);
    for (int i = 0; i < 3; ++i) spheresDraw(QUIET_TIME + 5.0f * static_cast<float>(i));
    EXPECT_FLOAT_EQ(spherePhase1, 3 * 0.05f);
    EXPECT_FLOAT_EQ(spherePhase2, 3 * 0.055f);
    EXPECT_FLOAT_EQ(spherePhase3, 3 * 0.06f);

    expectPausedDrawsNothing(spheresDraw, {185.0f, 193.0f});
    EXPECT_FLOAT_EQ(spherePhase1, 3 * 0.05f);
    EXPECT_EQ(sceneDone, 0);

    // 192 s passed during the pause: the first frame after resuming ends the demo.
    playState = PLAY_RUNNING;
    spheresDraw(194.0f);
    EXPECT_EQ(sceneDone, 1);
    spheresCleanup();
}

TEST_F(Spheres, SetupLightsTheScene)
{
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glMatrixMode(GL_PROJECTION);
    ASSERT_EQ(spheresSetup(), 1);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    GLint value = 0;
    EXPECT_EQ(glInteger(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_EQ(glInteger(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_EQ(glInteger(GL_SHADE_MODEL), GL_SMOOTH);
    glGetMaterialiv(GL_FRONT, GL_SHININESS, &value);
    EXPECT_EQ(value, 128);
    struct Colour {
        const char* what;
        void (*get)(GLfloat*);
        GLfloat expected[4];
    };
    const Colour colours[] = {
        {"model ambient", [](GLfloat* c) { glGetFloatv(GL_LIGHT_MODEL_AMBIENT, c); }, {0.2f, 0.2f, 0.2f, 1.0f}},
        {"light ambient", [](GLfloat* c) { glGetLightfv(GL_LIGHT0, GL_AMBIENT, c); }, {0.2f, 0.2f, 0.2f, 1.0f}},
        {"light diffuse", [](GLfloat* c) { glGetLightfv(GL_LIGHT0, GL_DIFFUSE, c); }, {0.3f, 0.3f, 0.3f, 1.0f}},
        {"light specular", [](GLfloat* c) { glGetLightfv(GL_LIGHT0, GL_SPECULAR, c); }, {0.8f, 0.8f, 0.8f, 1.0f}},
        {"clear colour", [](GLfloat* c) { glGetFloatv(GL_COLOR_CLEAR_VALUE, c); }, {0.0f, 0.0f, 0.0f, 0.5f}},
    };
    for (const Colour& c : colours) {
        GLfloat got[4] = {-1, -1, -1, -1};
        c.get(got);
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(got[i], c.expected[i]) << c.what << " " << i;
    }
    expectLightAt(0.0f, 2.0f, 5.0f);  // the fixture's modelview was the identity
    spheresCleanup();
}
