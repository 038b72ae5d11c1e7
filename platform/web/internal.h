// Shared inside the web platform layer.
#pragma once

#include <cstdint>

constexpr int64_t WEB_REAL_FREQUENCY = 1000000;        // counts per second of the real counter (microseconds)
constexpr int64_t WEB_VIRTUAL_FREQUENCY = 27720000;    // counts per second of the test clock, as the headless layer's

// Whether the page runs on the test clock (the query parameter fps=N): the
// counter then moves by 1 / N s at each buffer swap and nothing else, and the
// sound device takes samples at that pace without playing them.
int webVirtualClock();
// The test clock moved on by counts (of WEB_VIRTUAL_FREQUENCY per second).
void webAudioAdvance(int64_t counts);
