#include "shell/clock.h"

#include "platform/platform.h"

DemoClock demoClock = {};

void startDemoClock()
{
    demoClock = DemoClock{};
    if (platformQueryPerformanceFrequency(&demoClock.frequency) && demoClock.frequency > 0) {
        platformQueryPerformanceCounter(&demoClock.counterStart);
        demoClock.highResolution = true;
        demoClock.resolution = static_cast<float>(1.0 / static_cast<double>(demoClock.frequency));
    } else {
        demoClock.highResolution = false;
        demoClock.millisecondStart = platformTimeGetTime();
        demoClock.resolution = 0.001f;
        demoClock.frequency = 1000;
    }
}

double demoTime()
{
    if (demoClock.highResolution) {
        int64_t now = 0;
        platformQueryPerformanceCounter(&now);
        const int64_t elapsed = now - demoClock.counterStart;
        return static_cast<double>(static_cast<long double>(elapsed) * demoClock.resolution);
    }
    // Unsigned subtraction keeps the difference right across the timer's wrap-around.
    const uint32_t elapsed = platformTimeGetTime() - demoClock.millisecondStart;
    return static_cast<double>(static_cast<long double>(elapsed) * demoClock.resolution);
}
