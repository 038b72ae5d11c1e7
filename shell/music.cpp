#include "shell/music.h"

#include "platform/platform.h"
#include "shell/demo.h"

uint32_t musicStream = 0;
uint32_t musicBytes = 0;
float musicSeconds = 0.0f;

namespace {
const char* const SOUNDTRACK_PATH = "Halvo.mp3";
}

void startSoundtrack()
{
    soundStart();
    musicStream = soundStreamCreateFile(SOUNDTRACK_PATH);
    if (musicStream == 0) reportSoundError("Can't create stream");
    musicBytes = soundStreamGetLength(musicStream);
    uint32_t frequency = 0;
    soundChannelGetFrequency(musicStream, &frequency);
    const uint32_t flags = soundChannelGetFlags(musicStream);
    const uint32_t channels = (flags & SOUND_SAMPLE_MONO) ? 1 : 2;
    const uint32_t bytesPerSample = (flags & SOUND_SAMPLE_8BITS) ? 1 : 2;
    const uint32_t bytesPerSecond = frequency * channels * bytesPerSample;
    // Without a stream the rate reads 0: the length in seconds stays 0 instead of dividing by it.
    musicSeconds = bytesPerSecond != 0 ? static_cast<float>(musicBytes / bytesPerSecond) : 0.0f;
    if (!soundStreamPlay(musicStream)) reportSoundError("Can't play stream");
}
