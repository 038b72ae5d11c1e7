// The fire scene on the virtual clock: shots and their bounds, accumulators,
// cloud particles, the last frame, pausing, and what the camera shows.
#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "scenes/fire.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "shell/random.h"
#include "tests/support/ase_mesh.h"
#include "tests/support/support.h"

namespace {

// A square in the plane x = 0, which the base camera (looking along the
// model's x axis) sees face-on.
Mesh squareFacingX(float half)
{
    Mesh mesh;
    mesh.vertices = {{0, -half, -half}, {0, half, -half}, {0, half, half}, {0, -half, half}};
    mesh.faces = {{0, 1, 2}, {0, 2, 3}};
    return mesh;
}

constexpr float CLEAN_SHOT0_TIME = 20.0f;  // shot 0, no flash or fade open

float after(float t) { return std::nextafter(t, 1e30f); }

class FireScene : public SceneTest {
protected:
    // Writes the main and fire models the loader will read.
    void writeModels(const std::string& mainText, const std::string& flameText)
    {
        if (!mainText.empty()) dir.write("models/escena01.ase", mainText);
        if (!flameText.empty()) dir.write("models/fuegoscn01.ase", flameText);
    }
    void loadAndSetUp()
    {
        ASSERT_EQ(fireSceneLoad(), 1);
        ASSERT_EQ(fireSceneSetup(), 1);
    }
    // Parks every cloud outside the view, alive for good, so frames show only the models.
    static void parkClouds()
    {
        for (CloudParticle& p : cloudParticles) {
            p.x = 1.0f;
            p.y = 1.0f;
            p.fade = 0.0f;
            p.life = 1.0f;
        }
    }
    static void resetPhases()
    {
        shotPhase0 = shotPhase1 = shotPhase2 = shotPhase3 = shotPhase4 = shotPhase5 = 0.0f;
    }
    // Draws frames from..to inclusive at fps, times as the runner hands them over.
    static int play(double from, double to, int fps)
    {
        int frames = 0;
        for (int i = 0;; ++i) {
            const float t = static_cast<float>(from + static_cast<double>(i) / fps);
            if (t > to) break;
            fireSceneDraw(t);
            ++frames;
        }
        return frames;
    }
    static void save(const Frame& frame, const std::string& name) { keepFrame(frame, name); }
    // Whether the reader has been built: a generated model loads.
};

}  // namespace

TEST_F(FireScene, ShotChosenByBoundsClosedAtTheTop)
{
    std::vector<ShotCase> cases = {{0.0f, 0}, {sceneStartsAt(SCENE_FIRE), 0}, {1.0e9f, FIRE_NO_SHOT}, {INFINITY, FIRE_NO_SHOT}};
    for (int k = 0; k < FIRE_SHOT_COUNT; ++k) {
        if (k > 0) cases.push_back({(FIRE_SHOT_BOUNDS[k - 1] + FIRE_SHOT_BOUNDS[k]) / 2.0f, k});
        cases.push_back({FIRE_SHOT_BOUNDS[k], k});
        cases.push_back({after(FIRE_SHOT_BOUNDS[k]), k + 1 < FIRE_SHOT_COUNT ? k + 1 : FIRE_NO_SHOT});
    }
    loadAndSetUp();
    expectShots(cases, fireShotAt, [](float t) { fireSceneDraw(t); }, fireShot, FIRE_NO_SHOT);
}

TEST_F(FireScene, ShortShotsLastTwoTenthsOfASecond)
{
    for (int shot = 5; shot <= 7; ++shot) {
        const float start = FIRE_SHOT_BOUNDS[shot - 1];
        EXPECT_NEAR(FIRE_SHOT_BOUNDS[shot] - start, 0.2f, 1e-5f) << "shot " << shot;
        EXPECT_EQ(fireShotAt(start), shot - 1);
        EXPECT_EQ(fireShotAt(start + 0.01f), shot);
        EXPECT_EQ(fireShotAt(start + 0.19f), shot);
        EXPECT_EQ(fireShotAt(start + 0.21f), shot + 1);
    }
}

TEST_F(FireScene, FirstFrameAfterTwentyFiveIsShotOne)
{
    loadAndSetUp();
    lastFrameTime = 24.9f;
    int previous = -2;
    float firstOfShotOne = 0.0f;
    for (int i = 0; i <= 12; ++i) {
        const float t = static_cast<float>(24.9 + i / 60.0);
        fireSceneDraw(t);
        if (fireShot == 1 && previous == 0) firstOfShotOne = t;
        previous = fireShot;
    }
    EXPECT_GT(firstOfShotOne, 25.0f);
    EXPECT_LT(firstOfShotOne, 25.0f + 1.0f / 60.0f + 1e-5f);
}

TEST_F(FireScene, AccumulatorsFollowDemoTimeNotFrameRate)
{
    struct Expected {
        const float* phase;
        float value;
    };
    // From 12 s to 45 s: rate times the seconds spent in each shot.
    const Expected expected[] = {
        {&shotPhase0, 0.06f * 13.0f}, {&shotPhase1, 0.08f * 13.0f}, {&shotPhase2, 1.0f * 2.0f},
        {&shotPhase3, 0.8f * 2.0f},   {&shotPhase4, 0.8f * 2.0f},   {&shotPhase5, 0.8f * 0.4f},
    };
    loadAndSetUp();
    ScopedRasterDiscard stateOnly;
    const float cloudStart = cloudParticles[1].x;
    std::vector<float> drift;
    for (int fps : {10, 25, 60}) {
        resetPhases();
        for (CloudParticle& p : cloudParticles) p.x = cloudStart;
        lastFrameTime = 12.0f;
        const int frames = play(12.0, 45.0, fps);
        for (const Expected& e : expected) EXPECT_NEAR(*e.phase, e.value, 2e-4f) << fps << " fps";
        // The clouds, unlike the camera, drift by a fixed step per frame.
        EXPECT_NEAR(cloudParticles[1].x - cloudStart, frames * std::sin(1.0) / 50000.0, 1e-5) << fps << " fps";
        drift.push_back(cloudParticles[1].x - cloudStart);
    }
    EXPECT_GT(drift[2], drift[0] * 5.0f);
}

// Under the scene runner from demo time 0 at 10 frames per second: the runner
// seeds lastFrameTime, every shot accumulates its own window and the scene
// ends at the first frame past 50 s.
TEST_F(FireScene, RunnerPlaysTheWholeSceneAndEndsAfterFifty)
{
    config.framesPerSecond = 10;
    GLTest::TearDown();
    GLTest::SetUp();
    startDemoClock();
    const int64_t swapsBefore = headlessSwapCount();
    runScene(sceneSequence[1]);
    const int64_t swaps = headlessSwapCount() - swapsBefore;
    EXPECT_GE(swaps, 501);  // frames 0, 0.1, ..., 50 and the first frame past 50
    EXPECT_LE(swaps, 502);
    EXPECT_EQ(sceneDone, 0);
    EXPECT_EQ(fireShot, FIRE_NO_SHOT);
    EXPECT_GT(lastFrameTime, 50.0f);
    EXPECT_LT(lastFrameTime, 50.2f);
    EXPECT_NEAR(shotPhase0, 0.06f * 25.0f, 1e-3f);
    EXPECT_NEAR(shotPhase1, 0.08f * 13.0f, 1e-3f);
    EXPECT_NEAR(shotPhase2, 2.0f, 1e-3f);
    EXPECT_NEAR(shotPhase3, 1.6f, 1e-3f);
    EXPECT_NEAR(shotPhase4, 1.6f, 1e-3f);
    EXPECT_NEAR(shotPhase5, 0.8f * 5.4f, 0.8f * 0.1f + 1e-3f);
}

TEST_F(FireScene, ParticleWithFadeZeroOrBelowNeverDies)
{
    const float fades[] = {0.0f, -1.0e-6f, -0.25f};
    loadAndSetUp();
    ScopedRasterDiscard stateOnly;
    for (float fade : fades) {
        for (CloudParticle& p : cloudParticles) p.fade = 0.0f;
        cloudParticles[7].life = 1.0f;
        cloudParticles[7].fade = fade;
        const float x0 = cloudParticles[7].x;
        const uint32_t state = demoRandState;
        play(14.0, 16.0, 100);  // 201 frames
        EXPECT_GE(cloudParticles[7].life, 1.0f) << "fade " << fade;
        EXPECT_EQ(demoRandState, state) << "fade " << fade << ": a particle was reborn";
        EXPECT_NEAR(cloudParticles[7].x - x0, 201 * std::sin(7.0) / 50000.0, 1e-5) << "fade " << fade;
    }
}

TEST_F(FireScene, DyingParticleIsRebornWithTwoDrawsXFirst)
{
    loadAndSetUp();
    for (CloudParticle& p : cloudParticles) {
        p.fade = 0.0f;
        p.life = 1.0f;
    }
    cloudParticles[3] = {0.5f, 0.3f, 0.001f, 0.002f};  // life, fade, x, y
    cloudParticles[10] = {0.0f, 0.01f, 0.003f, 0.004f};  // life 0 counts as dead
    demoRandState = 1;

    fireSceneDraw(14.0f);  // particle 10 is reborn from draws 1 and 2; 3 fades to 0.2
    EXPECT_EQ(demoRandState, 2745024u * 214013u + 2531011u);  // exactly two draws
    EXPECT_FLOAT_EQ(cloudParticles[10].x, (41 % 500 - 250) / 1000.0f);
    EXPECT_FLOAT_EQ(cloudParticles[10].y, (18467 % 500 - 250) / 1000.0f);
    EXPECT_EQ(cloudParticles[10].life, 1.0f);
    EXPECT_EQ(cloudParticles[10].fade, 0.01f);
    EXPECT_FLOAT_EQ(cloudParticles[3].life, 0.2f);

    fireSceneDraw(14.1f);  // particle 3 falls below 0 but still drifts this frame
    EXPECT_LT(cloudParticles[3].life, 0.0f);
    EXPECT_NEAR(cloudParticles[3].x, 0.001 + 2 * std::sin(3.0) / 50000.0, 1e-7);

    fireSceneDraw(14.2f);  // and is reborn from draws 3 and 4, keeping its fade
    EXPECT_FLOAT_EQ(cloudParticles[3].x, (6334 % 500 - 250) / 1000.0f);
    EXPECT_FLOAT_EQ(cloudParticles[3].y, (26500 % 500 - 250) / 1000.0f);
    EXPECT_EQ(cloudParticles[3].life, 1.0f);
    EXPECT_EQ(cloudParticles[3].fade, 0.3f);
    EXPECT_EQ(demoRand(), 19169);  // the fifth value is still unused
}

TEST_F(FireScene, PausedFramesDrawNothingAndResumingJumpsByThePause)
{
    loadAndSetUp();
    lastFrameTime = 30.0f;
    fireSceneDraw(30.0f);
    const float phase = shotPhase1;
    const CloudParticle cloud = cloudParticles[42];

    expectPausedDrawsNothing(fireSceneDraw, {31.0f, 32.0f, 36.0f});
    EXPECT_EQ(lastFrameTime, 30.0f);
    EXPECT_EQ(shotPhase1, phase);
    EXPECT_EQ(cloudParticles[42].x, cloud.x);
    EXPECT_EQ(cloudParticles[42].life, cloud.life);

    playState = PLAY_RUNNING;
    fireSceneDraw(37.0f);
    EXPECT_NEAR(shotPhase1 - phase, 7.0f * 0.08f, 1e-5f);
    EXPECT_EQ(lastFrameTime, 37.0f);
}

TEST_F(FireScene, PauseAcrossTheEndEndsInTheFirstFrameAfter)
{
    loadAndSetUp();
    lastFrameTime = 49.0f;
    fireSceneDraw(49.0f);
    const float phase = shotPhase5;
    playState = PLAY_PAUSED;
    fireSceneDraw(52.0f);
    EXPECT_EQ(sceneDone, 0);
    playState = PLAY_RUNNING;
    fireSceneDraw(55.0f);
    EXPECT_EQ(sceneDone, 1);
    EXPECT_EQ(shotPhase5, phase);  // no shot, no accumulator step
}

TEST_F(FireScene, SetupEnablesItsStateAndLoadsCloudsUnderItsNames)
{
    // Cloud textures of four different sizes show which name holds which file.
    const int sides[4] = {2, 4, 8, 16};
    for (int i = 0; i < 4; ++i) {
        dir.write("maps/nube" + std::to_string(i + 1) + ".tga", tgaFile(sides[i], 0x80));
    }
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glClearColor(1.0f, 0.5f, 0.25f, 1.0f);
    ASSERT_EQ(fireSceneSetup(), 1);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(glInteger(GL_MATRIX_MODE), GL_MODELVIEW);
    expectBlackClearColour();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(textureWidth(TEX_FIRE_FIRST + static_cast<unsigned>(i)), sides[i]) << "maps/nube" << i + 1 << ".tga";
}

// The last frame of the scene draws no model: a box around the camera fills
// every shot's view, and past 50 s with the clouds parked the frame is black.
TEST_F(FireScene, FrameAfterFiftyDrawsOnlyTheCloudsAndEnds)
{
    writeModels(aseFile({box(0.0f, 0.0f, 0.0f, 400.0f)}), "");
    loadAndSetUp();
    CloudParticle firstClouds[CLOUD_COUNT];
    std::copy(cloudParticles, cloudParticles + CLOUD_COUNT, firstClouds);
    parkClouds();
    lastFrameTime = 49.0f;
    fireSceneDraw(49.0f);  // fade out half way: the box shows at half brightness
    const Frame before = readFrame();
    save(before, "fire-49.png");
    EXPECT_GT(before.mean(0, 0, 800, 600), 100.0);
    EXPECT_EQ(sceneDone, 0);

    fireSceneDraw(after(50.0f));
    const Frame last = readFrame();
    save(last, "fire-after-50-parked.png");
    EXPECT_EQ(sceneDone, 1);
    EXPECT_TRUE(last.uniform());
    EXPECT_EQ(last.at(400, 300)[0], 0);

    // With the clouds back in their first places, the same frame shows them.
    sceneDone = 0;
    std::copy(firstClouds, firstClouds + CLOUD_COUNT, cloudParticles);
    fireSceneDraw(50.5f);
    const Frame clouds = readFrame();
    save(clouds, "fire-after-50-clouds.png");
    EXPECT_EQ(sceneDone, 1);
    EXPECT_GT(clouds.mean(300, 200, 500, 400), 20.0);
}

TEST_F(FireScene, ModelAtTheOriginIsVisibleInShotZero)
{
    writeModels(aseFile({box(0.0f, 0.0f, 0.0f, 20.0f)}), "");
    loadAndSetUp();
    parkClouds();
    lastFrameTime = CLEAN_SHOT0_TIME;
    fireSceneDraw(CLEAN_SHOT0_TIME);
    const Frame frame = readFrame();
    save(frame, "fire-shot0-origin.png");
    // The base camera puts the origin 0.7 ahead, a hair left of and below the centre.
    EXPECT_EQ(frame.mean(380, 290, 400, 310), 255.0);
    EXPECT_EQ(frame.mean(0, 0, 200, 150), 0.0);
    EXPECT_EQ(frame.mean(600, 450, 800, 600), 0.0);
    // The aspect is 1, not 4:3: the box is a third wider than it is high on screen.
    int wide = 0, high = 0;
    for (int x = 0; x < 800; ++x) wide += frame.at(x, 300)[0] > 128;
    for (int y = 0; y < 600; ++y) high += frame.at(390, y)[0] > 128;
    EXPECT_NEAR(static_cast<double>(wide) / high, 800.0 / 600.0, 0.05);
}

// The fire model is added twice at alpha 0.8; the second copy turns with
// shotPhase0. Shot 2's camera does not depend on shotPhase0, so a quarter turn
// moves only the second copy off the centre, where one pass of 0.8 remains.
TEST_F(FireScene, FireModelIsAddedTwiceAndItsSecondCopyTurns)
{
    writeModels("", aseFile({squareFacingX(5.0f)}));
    loadAndSetUp();
    parkClouds();
    const float t = 39.5f;  // shot 2, no flash or fade open
    fireSceneDraw(t);       // one frame first, so the depth function is the scene's own
    struct Case {
        float phase0;
        int level;
    };
    const Case cases[] = {{0.0f, 255}, {0.9f, 204}};  // 0.8 + 0.8 saturates; one pass is 0.8
    for (const Case& c : cases) {
        shotPhase0 = c.phase0;
        shotPhase2 = 0.0f;
        lastFrameTime = t;
        fireSceneDraw(t);
        const Frame frame = readFrame();
        save(frame, "fire-flame-" + std::to_string(c.level) + ".png");
        EXPECT_NEAR(frame.at(400, 300)[0], c.level, 2) << "shotPhase0 " << c.phase0;
        EXPECT_EQ(frame.at(10, 10)[0], 0);
    }
}

// The same demo time gives the same picture whatever the frame rate was.
TEST_F(FireScene, SamePoseAfterDifferentFrameRates)
{
    writeModels(aseFile({box(0.0f, 0.0f, 0.0f, 8.0f), box(0.0f, 25.0f, 15.0f, 5.0f)}), "");
    loadAndSetUp();
    std::vector<Frame> frames;
    for (int fps : {10, 60}) {
        resetPhases();
        parkClouds();
        lastFrameTime = 12.0f;
        play(12.0, 30.0, fps);  // through shot 0 into shot 1
        // A frame shows the pose its accumulator had before the frame's own
        // step, one frame behind; a second frame at 30 s shows the pose for 30 s.
        fireSceneDraw(30.0f);
        frames.push_back(readFrame());
        save(frames.back(), "fire-pose-" + std::to_string(fps) + "fps.png");
    }
    EXPECT_GT(frames[0].mean(0, 0, 800, 600), 1.0);  // something is on screen
    long differing = 0;
    for (size_t i = 0; i < frames[0].rgb.size(); ++i)
        differing += std::abs(frames[0].rgb[i] - frames[1].rgb[i]) > 8;
    EXPECT_LT(differing, 200);
}

TEST_F(FireScene, CleanupReleasesTheMainModelOnly)
{
    writeModels(aseFile({box(0.0f, 0.0f, 0.0f, 20.0f)}), aseFile({squareFacingX(5.0f)}));
    loadAndSetUp();
    ASSERT_EQ(fireMainScene.numObjects, 1);
    ASSERT_EQ(fireFlameScene.numObjects, 1);
    ASSERT_NE(fireMainScene.objects[0].vertices, nullptr);
    fireSceneCleanup();
    EXPECT_EQ(fireMainScene.objects[0].vertices, nullptr);
    EXPECT_EQ(fireMainScene.objects[0].faces, nullptr);
    ASSERT_NE(fireFlameScene.objects[0].vertices, nullptr);
    EXPECT_EQ(fireFlameScene.objects[0].vertices[2].x, 0.0f);
    EXPECT_EQ(fireFlameScene.objects[0].vertices[2].y, 5.0f);
    EXPECT_EQ(fireFlameScene.objects[0].vertices[2].z, 5.0f);
}
