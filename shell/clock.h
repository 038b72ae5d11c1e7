// The demo clock: seconds since startDemoClock, the single time base of every
// scene. Never reset, paused or moved.
#pragma once

#include <cstdint>

struct DemoClock {
    int64_t frequency;          // counts per second; 1000 for the millisecond timer
    float resolution;           // seconds per count
    uint32_t millisecondStart;  // millisecond timer at start (millisecond timer only)
    bool highResolution;        // 1: high-resolution counter, 0: millisecond timer
    int64_t counterStart;       // counter at start (high-resolution counter only)
};

extern DemoClock demoClock;  // zeroed by startDemoClock

// Chooses the time source and records the start.
void startDemoClock();
// Seconds since startDemoClock; callers store it in a 32-bit float.
double demoTime();
