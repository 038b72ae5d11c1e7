// The demo's spine on the headless layer: the scene sequence, the loop, the pump,
// the window and its GL state, and the clock.
#include <GL/gl.h>

#include <cmath>
#include <string>
#include <vector>

#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "shell/window.h"
#include "tests/support/support.h"

namespace {

// A log of scene calls, filled by the recording scenes below.
std::vector<std::string> calls;
std::vector<float> drawTimes;
float recordEnd = 1.0f;  // demo seconds at which a recording scene ends itself

template <int N>
int recordSetup()
{
    calls.push_back("setup" + std::to_string(N));
    return 1;
}
template <int N>
int recordDraw(float t)
{
    calls.push_back("draw" + std::to_string(N));
    drawTimes.push_back(t);
    if (t >= recordEnd * N) sceneDone = 1;
    return 1;
}
template <int N>
void recordCleanup()
{
    calls.push_back("cleanup" + std::to_string(N));
}
template <int N>
Scene recordingScene()
{
    return Scene{recordSetup<N>, recordDraw<N>, recordCleanup<N>, 0};
}

int countCalls(const std::string& name)
{
    int n = 0;
    for (const auto& c : calls) n += c == name;
    return n;
}

}  // namespace

TEST(Spine, WholeDemoPlaysAllSixScenesAndExitsZero)
{
    HeadlessConfig config;
    config.framesPerSecond = 10;
    config.quiet = 1;
    headlessConfigure(config);
    TempDir dir;  // no assets: every scene draws on empty textures
    ScopedChdir cd(dir.path());
    EXPECT_EQ(demoMain(), 0);
    // 192 s at 10 fps, plus the frames that end each scene.
    EXPECT_GE(headlessSwapCount(), 1920);
    EXPECT_LE(headlessSwapCount(), 1935);
    EXPECT_EQ(windowOpen, 0);
}
