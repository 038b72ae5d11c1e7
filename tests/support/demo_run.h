// The whole demo on the headless layer, watched at every buffer swap: GL
// errors, the frames that ended a scene, the loading image and pictures at
// chosen moments.
#pragma once

#include <GL/gl.h>

#include <string>
#include <vector>

#include "tests/support/support.h"

struct DemoRunLog {
    std::vector<double> snapshotTimes;  // demo seconds to read a frame at (set before the run), ascending
    long swaps = 0;
    long errorSwaps = 0;                // swaps at which glGetError reported something
    GLenum firstError = GL_NO_ERROR;
    double firstErrorTime = -1.0;       // demo seconds
    std::vector<double> endFrames;      // demo seconds of every swapped frame that set sceneDone
    double lastTime = 0.0;              // demo seconds of the last swap
    Frame loadingFrame;                 // the first swap: the loading image
    std::vector<Frame> snapshots;       // the first frame at or after each snapshot time
};

// The swap callback that fills a DemoRunLog (user points to it).
void recordDemoSwap(void* user);

// Runs demoMain in a directory at a frame rate, calling onSwap(user) at every
// swap (recordDemoSwap and its log by default), and checks that the window
// and its context are closed at the end. Returns the exit status.
int runWholeDemo(const std::string& workingDirectory, int framesPerSecond, DemoRunLog* log,
                 void (*onSwap)(void*) = recordDemoSwap, void* user = nullptr);

// No GL error at any swap, and each scene ended by the first frame at or past
// its end time, the last of them the last frame of the run.
void expectScenesEndedOnTime(const DemoRunLog& log, int framesPerSecond);
