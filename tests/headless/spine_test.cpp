// The demo's spine on the headless layer: the scene sequence, the loop, the pump,
// the window and its GL state, and the clock.
#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "shell/window.h"
#include "tests/support/scene_calls.h"
#include "tests/support/support.h"

namespace {

// Scene N of the stand-ins ends itself at demo second N.
constexpr float SCENE_ENDS_AT_THEIR_NUMBER[SCENE_COUNT] = {1, 2, 3, 4, 5, 6};

class SequenceTest : public GLTest {
protected:
    void SetUp() override
    {
        config.framesPerSecond = 10;
        GLTest::SetUp();
        installStandInScenes(SCENE_ENDS_AT_THEIR_NUMBER);
        startDemoClock();
    }
};

const std::vector<std::string> allSetupsAndCleanups = {
    "setup1", "cleanup1", "setup2", "cleanup2", "setup3", "cleanup3",
    "setup4", "cleanup4", "setup5", "cleanup5", "setup6", "cleanup6",
};

}  // namespace

TEST_F(SequenceTest, SixScenesRunInOrderEachEndingOnItsOwnTime)
{
    EXPECT_EQ(playScenes(), 1);
    EXPECT_EQ(sceneCalls.setupsAndCleanups(), allSetupsAndCleanups);
    // Each scene draws from where the previous one ended up to its own end (10 fps):
    // sceneDone is cleared between scenes, or later scenes would not draw at all.
    EXPECT_EQ(sceneCalls.count("draw1"), 11);
    for (int n = 2; n <= 6; ++n) EXPECT_EQ(sceneCalls.count("draw" + std::to_string(n)), 10) << "scene " << n;
    EXPECT_EQ(sceneDone, 0);
    EXPECT_NEAR(sceneCalls.drawTimes.back(), 6.0f, 1e-4f);
    // Draws see one frame's step of demo time each.
    for (size_t i = 1; i < sceneCalls.drawTimes.size(); ++i) EXPECT_NEAR(sceneCalls.drawTimes[i] - sceneCalls.drawTimes[i - 1], 0.1f, 1e-4f);
}

TEST_F(SequenceTest, EscapeDuringSceneTwoLeavesLaterScenesWithSetupAndCleanupOnly)
{
    headlessScheduleKey(1.5, VK_ESCAPE, 0.1);
    playScenes();
    EXPECT_EQ(quitRequested, 1);
    EXPECT_EQ(sceneCalls.setupsAndCleanups(), allSetupsAndCleanups);
    EXPECT_GT(sceneCalls.count("draw2"), 0);
    for (int n = 3; n <= 6; ++n) EXPECT_EQ(sceneCalls.count("draw" + std::to_string(n)), 0) << "scene " << n;
    EXPECT_LT(sceneCalls.drawTimes.back(), 1.5f);
}

TEST_F(SequenceTest, RunnersOfScenesTwoAndFourSeedLastFrameTime)
{
    lastFrameTime = -1.0f;
    runScene(sceneSequence[0]);
    EXPECT_EQ(lastFrameTime, -1.0f);  // scene 1's runner leaves it alone
    runScene(sceneSequence[1]);
    EXPECT_NEAR(lastFrameTime, 1.1f, 1e-4f);  // seeded after the set-up, at the first frame's time
}

TEST_F(SequenceTest, AMinimisedWindowSwapsWithoutDrawingAndTheSceneEndsAfterRestore)
{
    headlessScheduleMessage(0.5, WM_ACTIVATE, uintptr_t(1) << 16, 0);  // minimised
    headlessScheduleMessage(3.0, WM_ACTIVATE, 1, 0);                   // restored
    const int64_t swapsBefore = headlessSwapCount();
    runScene(sceneSequence[0]);
    ASSERT_FALSE(sceneCalls.drawTimes.empty());
    // Frames 0.0 .. 0.4 drawn, then nothing until the restore at 3.0, which ends the scene.
    EXPECT_EQ(sceneCalls.count("draw1"), 6);
    EXPECT_NEAR(sceneCalls.drawTimes[4], 0.4f, 1e-4f);
    EXPECT_NEAR(sceneCalls.drawTimes.back(), 3.0f, 1e-4f);
    EXPECT_EQ(headlessSwapCount() - swapsBefore, 31);  // every pass without a message swaps
}

TEST_F(SequenceTest, TheQuitMessageIsNeverDispatchedAndEndsTheLoop)
{
    // A close request goes to the window procedure, which posts the quit message;
    // the pump then takes that message itself.
    headlessScheduleMessage(0.0, WM_CLOSE, 0, 0);
    EXPECT_EQ(pumpMessages(), 1);
    EXPECT_EQ(lastMessage.message, WM_CLOSE);
    EXPECT_EQ(pumpMessages(), 2);
    EXPECT_EQ(lastMessage.message, WM_QUIT);
    EXPECT_EQ(quitRequested, 1);
    EXPECT_EQ(pumpMessages(), 0);
    runScene(sceneSequence[0]);
    EXPECT_EQ(sceneCalls.count("draw1"), 0);
}

TEST_F(SequenceTest, MessagesAreDrainedBeforeEachFrame)
{
    for (int i = 0; i < 5; ++i) headlessScheduleMessage(0.25, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    const int64_t swapsBefore = headlessSwapCount();
    runScene(sceneSequence[0]);
    EXPECT_EQ(sceneCalls.count("draw1"), 11);
    EXPECT_EQ(headlessSwapCount() - swapsBefore, 11);  // five messages, no extra frame and no lost one
}

TEST(Spine, StartUpFailuresAreShownAndExitNonZero)
{
    struct Case {
        int step;
        const char* text;
    };
    const Case cases[] = {
        {1, "Window Creation Error."},
        {2, "Can't Find A Suitable PixelFormat."},
        {3, "Can't Create A GL Rendering Context."},
        {4, "Can't Activate The GL Rendering Context."},
    };
    for (const Case& c : cases) {
        HeadlessConfig config = quietConfig();
        config.failWindowStep = c.step;
        headlessConfigure(config);
        EXPECT_NE(demoMain(), 0) << c.text;
        ASSERT_EQ(headlessMessageBoxCount(), 1) << c.text;
        EXPECT_STREQ(headlessMessageBoxAt(0).caption, "ERROR");
        EXPECT_STREQ(headlessMessageBoxAt(0).text, c.text);
        EXPECT_EQ(headlessMessageBoxAt(0).owned, 0);  // shown after the window has gone
        EXPECT_EQ(windowOpen, 0);
        EXPECT_EQ(contextOpen, 0);
    }
}

TEST(Window, FullscreenModeIsSetAndRestoredWithTheCursor)
{
    HeadlessConfig config = quietConfig();
    ASSERT_EQ(openHeadlessWindow(config), 1);
    EXPECT_EQ(fullscreenMode, 1);
    EXPECT_EQ(headlessDisplayModeChanged(), 1);
    EXPECT_EQ(headlessCursorHidden(), 1);
    EXPECT_EQ(headlessWindowFullscreen(), 1);
    EXPECT_EQ(headlessMessageBoxCount(), 0);
    closeMainWindow();
    EXPECT_EQ(headlessDisplayModeChanged(), 0);
    EXPECT_EQ(headlessDisplayModeRestores(), 1);
    EXPECT_EQ(headlessCursorHidden(), 0);
}

TEST(Window, AModeThatCannotBeSetAsksAndYesGivesAFramedWindow)
{
    HeadlessConfig config = quietConfig();
    config.displayModeAvailable = 0;
    config.messageBoxAnswer = IDYES;
    ASSERT_EQ(openHeadlessWindow(config), 1);
    ASSERT_EQ(headlessMessageBoxCount(), 1);
    EXPECT_STREQ(headlessMessageBoxAt(0).caption, "Orlund GL");
    EXPECT_STREQ(headlessMessageBoxAt(0).text,
                 "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?");
    EXPECT_EQ(headlessMessageBoxAt(0).type, MB_YESNO | MB_ICONEXCLAMATION);
    EXPECT_EQ(fullscreenMode, 0);
    EXPECT_EQ(headlessWindowFullscreen(), 0);
    EXPECT_EQ(headlessCursorHidden(), 0);
    EXPECT_EQ(headlessDisplayModeChanged(), 0);
    // Closing a windowed run leaves the display mode alone: it is never restored.
    closeMainWindow();
    EXPECT_EQ(headlessDisplayModeRestores(), 0);
    EXPECT_EQ(headlessCursorHidden(), 0);
}

TEST(Window, NoToTheQuestionClosesTheProgramWithANonZeroExit)
{
    HeadlessConfig config = quietConfig();
    config.displayModeAvailable = 0;
    config.messageBoxAnswer = IDNO;
    headlessConfigure(config);
    EXPECT_NE(demoMain(), 0);
    ASSERT_EQ(headlessMessageBoxCount(), 2);
    EXPECT_STREQ(headlessMessageBoxAt(1).caption, "ERROR");
    EXPECT_STREQ(headlessMessageBoxAt(1).text, "Program Will Now Close.");
    EXPECT_EQ(headlessMessageBoxAt(1).type, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(windowOpen, 0);
}

TEST_F(GLTest, ContextHasDepthAndNoAlphaAndDestinationAlphaReadsOne)
{
    GLint depth = 0, alpha = -1;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_ALPHA_BITS, &alpha);
    EXPECT_GE(depth, 16);
    EXPECT_EQ(alpha, 0);
    // With no alpha bits destination alpha reads 1: GL_DST_ALPHA blending adds the source whole.
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_ALPHA, GL_ONE);
    glColor4f(0.5f, 0.5f, 0.5f, 1.0f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRectf(-1, -1, 1, 1);
    unsigned char px[3] = {};
    glPixel(400, 300, px);
    EXPECT_NEAR(px[0], 128, 1);
}

TEST_F(GLTest, ViewportAndProjectionFollowTheClientSize)
{
    GLint viewport[4] = {};
    GLdouble projection[16] = {};
    resizeViewport(640, 0);  // a height of 0 counts as 1
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 1);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    EXPECT_NEAR(projection[0], f / 640.0, 1e-8);
    EXPECT_NEAR(projection[5], f, 1e-6);

    resizeViewport(800, 600);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    EXPECT_NEAR(projection[0], f * 0.75, 1e-6);
    // Near 0.01 (as a float), far 100.
    const double n = double(0.01f), fa = 100.0;
    EXPECT_NEAR(projection[10], (fa + n) / (n - fa), 1e-6);
    EXPECT_NEAR(projection[14], 2 * fa * n / (n - fa), 1e-6);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(GLTest, InitialStateIsSmoothShadingAndHalfAlphaClear)
{
    GLint shade = 0, hint = 0;
    GLfloat clear[4] = {};
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &hint);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(shade, GL_SMOOTH);
    EXPECT_EQ(hint, GL_NICEST);
    EXPECT_FLOAT_EQ(clear[3], 0.5f);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
}

// With rasterisation discarded neither a clear nor a quad reaches the target,
// and no GL error comes of it; switched back, both draw again.
TEST_F(GLTest, RasterDiscardKeepsTheFrameAsItWas)
{
    auto drawRedQuad = [] {
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1.0f, 0.0f, 0.0f);
        glBegin(GL_QUADS);
        glVertex3f(-1.0f, -1.0f, -2.0f);
        glVertex3f(1.0f, -1.0f, -2.0f);
        glVertex3f(1.0f, 1.0f, -2.0f);
        glVertex3f(-1.0f, 1.0f, -2.0f);
        glEnd();
    };
    glClearColor(0.0f, 0.5f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    {
        ScopedRasterDiscard stateOnly;
        drawRedQuad();
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    unsigned char centre[3] = {}, corner[3] = {};
    glPixel(400, 300, centre);
    glPixel(2, 2, corner);
    EXPECT_EQ(centre[0], 0);
    EXPECT_EQ(centre[1], 128);
    EXPECT_EQ(corner[1], 128);
    drawRedQuad();
    glPixel(400, 300, centre);
    glPixel(2, 2, corner);
    EXPECT_EQ(centre[0], 255);
    EXPECT_EQ(corner[2], 255);
}

// Frames read back through the pixel buffers come out in the order they were
// started, each as it was when started (the next frame already drawn over it),
// with the same bytes as a direct read; a full set of slots refuses another
// start, and finishing with none pending says so.
TEST_F(GLTest, FrameReadsComeOutInOrderAsDrawn)
{
    EXPECT_TRUE(headlessReadsThroughPixelBuffers()) << "Mesa's contexts have GL_ARB_pixel_buffer_object";
    const GLfloat colours[HEADLESS_READ_SLOTS + 1][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};
    auto drawFrame = [](const GLfloat* colour) {
        glClearColor(colour[0], colour[1], colour[2], 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        pixelExactView();
        glColor3f(1.0f, 1.0f, 1.0f);
        glBegin(GL_QUADS);  // a white band over the top rows only, so a frame upside down shows
        glVertex2f(0.0f, 500.0f);
        glVertex2f(800.0f, 500.0f);
        glVertex2f(800.0f, 600.0f);
        glVertex2f(0.0f, 600.0f);
        glEnd();
    };
    std::vector<Frame> direct;
    for (int i = 0; i < HEADLESS_READ_SLOTS; ++i) {
        drawFrame(colours[i]);
        direct.push_back(readFrame());
        ASSERT_TRUE(headlessStartFrameRead()) << "slot " << i;
    }
    EXPECT_EQ(headlessPendingFrameReads(), HEADLESS_READ_SLOTS);
    drawFrame(colours[HEADLESS_READ_SLOTS]);
    EXPECT_FALSE(headlessStartFrameRead()) << "every slot is taken";
    for (int i = 0; i < HEADLESS_READ_SLOTS; ++i) {
        Frame read;
        read.rgb.resize(direct[static_cast<size_t>(i)].rgb.size());
        ASSERT_TRUE(headlessFinishFrameRead(read.rgb.data())) << "slot " << i;
        EXPECT_EQ(read.at(400, 50)[0], 255) << "frame " << i << ": the white band is at the top";
        EXPECT_EQ(read.at(400, 300)[i], 255) << "frame " << i << " is its own colour";
        EXPECT_TRUE(read.rgb == direct[static_cast<size_t>(i)].rgb) << "frame " << i << " differs from a direct read";
    }
    unsigned char spare[3] = {};
    EXPECT_FALSE(headlessFinishFrameRead(spare));
    EXPECT_EQ(headlessPendingFrameReads(), 0);
    EXPECT_EQ(glInteger(GL_PIXEL_PACK_BUFFER_BINDING), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Clock, HighResolutionCounterGivesSeconds)
{
    HeadlessConfig config;
    config.framesPerSecond = 60;
    headlessConfigure(config);
    startDemoClock();
    EXPECT_TRUE(demoClock.highResolution);
    EXPECT_NEAR(demoTime(), 0.0, 1e-6);
    for (int i = 0; i < 60; ++i) platformSwapBuffers();
    EXPECT_NEAR(demoTime(), 1.0, 1e-5);
    // Frame k of a run sits at k / fps to within the float resolution.
    for (int i = 0; i < 60 * 99; ++i) platformSwapBuffers();
    EXPECT_NEAR(static_cast<float>(demoTime()), 100.0f, 1e-4f);
}

TEST(Clock, MillisecondTimerGivesSecondsAcrossItsWrapAround)
{
    HeadlessConfig config;
    config.framesPerSecond = 10;
    config.hasPerformanceCounter = 0;
    config.millisecondStart = 0xFFFFFFFFu - 500;  // wraps half a second in
    headlessConfigure(config);
    startDemoClock();
    EXPECT_FALSE(demoClock.highResolution);
    EXPECT_EQ(demoClock.frequency, 1000);
    EXPECT_NEAR(demoTime(), 0.0, 1e-6);
    for (int i = 0; i < 10; ++i) platformSwapBuffers();
    EXPECT_NEAR(demoTime(), 1.0, 1e-3);
}
