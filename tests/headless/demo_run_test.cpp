// The whole demo on the headless layer at one frame per second of virtual
// time: from the loading image to the exit, every scene in order, no GL error
// at any buffer swap, the window closed at the end.
#include <string>

#include "shell/timeline.h"
#include "tests/support/demo_run.h"
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

DemoRunLog runAndCheck(const std::string& workingDirectory)
{
    DemoRunLog log;
    for (const Snapshot& s : SNAPSHOTS) log.snapshotTimes.push_back(s.time);
    EXPECT_EQ(runWholeDemo(workingDirectory, FRAMES_PER_SECOND, &log), 0);
    expectScenesEndedOnTime(log, FRAMES_PER_SECOND);
    // The last frame is the spheres' black one at the end of the demo.
    EXPECT_NEAR(log.lastTime, SPHERES_END, 1.0 / FRAMES_PER_SECOND + 1e-4);
    // The demo's length in frames, the loading image and one frame per scene end.
    EXPECT_GE(log.swaps, SPHERES_END * FRAMES_PER_SECOND);
    EXPECT_LE(log.swaps, SPHERES_END * FRAMES_PER_SECOND + 10);
    EXPECT_EQ(log.snapshots.size(), std::size(SNAPSHOTS));
    return log;
}

}  // namespace

// Without any asset every scene draws on empty textures and records, and the
// demo still runs from start to end.
TEST(DemoRun, WholeDemoWithoutAssetsRunsEveryScene)
{
    TempDir dir;
    const DemoRunLog log = runAndCheck(dir.path());
    for (size_t k = 0; k < log.snapshots.size(); ++k) {
        keepFrame(log.snapshots[k], std::string("demo-run/no-assets-") + SNAPSHOTS[k].name + ".png");
        EXPECT_FALSE(log.snapshots[k].uniform()) << SNAPSHOTS[k].name << " drew nothing";
    }
}

// The same with the pack the build generated.
TEST(DemoRun, WholeDemoWithTheGeneratedPack)
{
    ASSERT_TRUE(packIsThere());
    const DemoRunLog log = runAndCheck(packDir());
    for (size_t k = 0; k < log.snapshots.size(); ++k) {
        keepFrame(log.snapshots[k], std::string("demo-run/pack-") + SNAPSHOTS[k].name + ".png");
        EXPECT_FALSE(log.snapshots[k].uniform()) << SNAPSHOTS[k].name << " drew nothing";
        EXPECT_GT(log.snapshots[k].mean(0, 0, 800, 600), 5.0) << SNAPSHOTS[k].name;
    }
}
