// The soundtrack: one MP3 stream played once from the start of the demo.
#pragma once

#include <cstdint>

extern uint32_t musicStream;  // stream handle, 0 = none
extern uint32_t musicBytes;   // length in bytes of decoded sample data
extern float musicSeconds;    // whole seconds of the stream

// Starts output, creates and measures the stream and plays it; failures are reported and the demo goes on.
void startSoundtrack();
