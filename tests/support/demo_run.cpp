#include "tests/support/demo_run.h"

#include "platform/headless.h"
#include "shell/demo.h"
#include "shell/timeline.h"
#include "shell/window.h"

void recordDemoSwap(void* user)
{
    DemoRunLog& log = *static_cast<DemoRunLog*>(user);
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
    if (log.swaps == 1) log.loadingFrame = readFrame();
    if (sceneDone) log.endFrames.push_back(t);
    const size_t taken = log.snapshots.size();
    if (log.swaps > 1 && taken < log.snapshotTimes.size() && t >= log.snapshotTimes[taken]) log.snapshots.push_back(readFrame());
}

int runWholeDemo(const std::string& workingDirectory, int framesPerSecond, DemoRunLog* log, void (*onSwap)(void*),
                 void* user)
{
    HeadlessConfig config = quietConfig();
    config.framesPerSecond = framesPerSecond;
    config.onSwap = onSwap;
    config.onSwapUser = user != nullptr ? user : log;
    headlessConfigure(config);
    ScopedChdir cd(workingDirectory);
    const int status = demoMain();
    EXPECT_EQ(windowOpen, 0);
    EXPECT_EQ(contextOpen, 0);
    return status;
}

void expectScenesEndedOnTime(const DemoRunLog& log, int framesPerSecond)
{
    EXPECT_EQ(log.errorSwaps, 0) << "first GL error 0x" << std::hex << log.firstError << std::dec << " at "
                                 << log.firstErrorTime << " s";
    ASSERT_EQ(log.endFrames.size(), static_cast<size_t>(SCENE_COUNT));
    for (int k = 0; k < SCENE_COUNT; ++k) {
        EXPECT_GE(log.endFrames[k], DEMO_TIMELINE[k].end - 1e-4) << DEMO_TIMELINE[k].name;
        EXPECT_LT(log.endFrames[k], DEMO_TIMELINE[k].end + 1.0 / framesPerSecond + 1e-4) << DEMO_TIMELINE[k].name;
    }
    EXPECT_EQ(log.lastTime, log.endFrames.back());
}
