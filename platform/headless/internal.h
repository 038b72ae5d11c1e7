// Between the headless window code and the headless sound device.
#pragma once

#include <cstdint>

// The virtual clock moved on by counts (of HEADLESS_COUNTER_FREQUENCY per second):
// the silent device consumes the samples of that time.
void headlessAudioAdvance(int64_t counts);
// Forgets everything the silent device consumed.
void headlessAudioReset();
