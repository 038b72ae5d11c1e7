// The whole demo on the headless layer at one frame per second of virtual
// time: from the loading image to the exit, every scene in order, no GL error
// at any buffer swap, the window closed at the end.
#include <GL/gl.h>

#include <string>
#include <vector>

#include "shell/demo.h"
#include "shell/window.h"
#include "tests/support/support.h"

namespace {

// One frame a second still draws every scene many times and ends each in the
// frame its end time falls in; more frames would only cost llvmpipe time.
constexpr int FRAMES_PER_SECOND = 1;


// Moments to look at: inside the tower, the greetings and the spheres.
struct Snapshot {
    double time;  // demo seconds
    const char* name;
};
constexpr Snapshot SNAPSHOTS[] = {{100.0, "tower"}, {170.0, "greetings"}, {185.0, "spheres"}};
constexpr int SNAPSHOT_COUNT = sizeof SNAPSHOTS / sizeof SNAPSHOTS[0];

struct RunLog {
    long swaps = 0;
    long errorSwaps = 0;           // swaps at which glGetError reported something
    GLenum firstError = GL_NO_ERROR;
    double firstErrorTime = -1.0;
    std::vector<double> endFrames;  // demo seconds of every swapped frame that set sceneDone
    double lastTime = 0.0;
    Frame snapshots[SNAPSHOT_COUNT];
    int taken = 0;
};

void recordSwap(void* user)
{
    RunLog& log = *static_cast<RunLog*>(user);
    ++log.swaps;
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        if (!log.errorSwaps) {
            log.firstError = error;
            log.firstErrorTime = headlessDemoSeconds();
        }
        ++log.errorSwaps;
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    const double t = headlessDemoSeconds();
    log.lastTime = t;
    if (sceneDone) log.endFrames.push_back(t);
    if (log.taken < SNAPSHOT_COUNT && t >= SNAPSHOTS[log.taken].time) log.snapshots[log.taken++] = readFrame();
}

void runWholeDemo(const std::string& workingDirectory, RunLog& log)
{
    HeadlessConfig config;
    config.framesPerSecond = FRAMES_PER_SECOND;
    config.quiet = 1;
    config.onSwap = recordSwap;
    config.onSwapUser = &log;
    headlessConfigure(config);
    ScopedChdir cd(workingDirectory);
    EXPECT_EQ(demoMain(), 0);
    EXPECT_EQ(windowOpen, 0);
    EXPECT_EQ(contextOpen, 0);
}

void expectAllScenesInOrder(const RunLog& log)
{
    EXPECT_EQ(log.errorSwaps, 0) << "first GL error 0x" << std::hex << log.firstError << std::dec << " at "
                                 << log.firstErrorTime << " s";
    // One ending frame per scene, the first frame at or past its end time.
    ASSERT_EQ(log.endFrames.size(), static_cast<size_t>(SCENE_COUNT));
    for (int k = 0; k < SCENE_COUNT; ++k) {
        EXPECT_GE(log.endFrames[k], DEMO_TIMELINE[k].end - 1e-4) << "scene " << k + 1;
        EXPECT_LT(log.endFrames[k], DEMO_TIMELINE[k].end + 1.0 / FRAMES_PER_SECOND + 1e-4) << "scene " << k + 1;
    }
    // The last frame is the spheres' black one at the end of the demo.
    EXPECT_NEAR(log.lastTime, SPHERES_END, 1.0 / FRAMES_PER_SECOND + 1e-4);
    EXPECT_EQ(log.lastTime, log.endFrames.back());
    // 192 s of frames, the loading image and one frame per scene end.
    EXPECT_GE(log.swaps, SPHERES_END * FRAMES_PER_SECOND);
    EXPECT_LE(log.swaps, SPHERES_END * FRAMES_PER_SECOND + 10);
    ASSERT_EQ(log.taken, SNAPSHOT_COUNT);
}

}  // namespace

// Without any asset every scene draws on empty textures and records, and the
// demo still runs from start to end.
TEST(DemoRun, WholeDemoWithoutAssetsRunsEveryScene)
{
    TempDir dir;
    RunLog log;
    runWholeDemo(dir.path(), log);
    expectAllScenesInOrder(log);
    for (int k = 0; k < log.taken; ++k) {
        writePng(dir.file(std::string("demo-") + SNAPSHOTS[k].name + ".png"), log.snapshots[k]);
        EXPECT_FALSE(log.snapshots[k].uniform()) << SNAPSHOTS[k].name << " drew nothing";
    }
}

// The same with the pack the build generated.
TEST(DemoRun, WholeDemoWithTheGeneratedPack)
{
    ASSERT_TRUE(packIsThere());
    RunLog log;
    runWholeDemo(packDir(), log);
    expectAllScenesInOrder(log);
    TempDir dir;
    for (int k = 0; k < log.taken; ++k) {
        writePng(dir.file(std::string("pack-") + SNAPSHOTS[k].name + ".png"), log.snapshots[k]);
        EXPECT_FALSE(log.snapshots[k].uniform()) << SNAPSHOTS[k].name << " drew nothing";
        EXPECT_GT(log.snapshots[k].mean(0, 0, 800, 600), 5.0) << SNAPSHOTS[k].name;
    }
}
