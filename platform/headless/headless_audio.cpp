// The silent output device's record of what it consumed. Nothing plays until
// the sound layer has a stream to play.
#include "platform/headless.h"
#include "platform/headless/internal.h"

void headlessAudioAdvance(int64_t) {}
void headlessAudioReset() {}
int64_t headlessAudioFrames() { return 0; }
const int16_t* headlessAudioSamples() { return nullptr; }
