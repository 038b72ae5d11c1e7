// Sound layer without an output device: every stream call fails. Stands in until
// the MP3 stream and the audio devices exist.
#include "platform/platform.h"

namespace {
int lastError = SOUND_OK;  // code of the last failure
int fail(int code)
{
    lastError = code;
    return 0;
}
}  // namespace

uint32_t soundGetVersion() { return SOUND_VERSION; }
int soundInit(int, uint32_t, uint32_t) { return fail(SOUND_ERROR_DRIVER); }
int soundStart() { return fail(SOUND_ERROR_INIT); }
int soundPause() { return fail(SOUND_ERROR_INIT); }
int soundStop() { return fail(SOUND_ERROR_INIT); }
void soundFree() {}
uint32_t soundStreamCreateFile(const char*) { return static_cast<uint32_t>(fail(SOUND_ERROR_INIT)); }
uint32_t soundStreamGetLength(uint32_t) { return static_cast<uint32_t>(fail(SOUND_ERROR_HANDLE)); }
int soundChannelGetFrequency(uint32_t, uint32_t* frequency)
{
    if (frequency) *frequency = 0;
    return fail(SOUND_ERROR_HANDLE);
}
uint32_t soundChannelGetFlags(uint32_t) { return static_cast<uint32_t>(fail(SOUND_ERROR_HANDLE)); }
int soundStreamPlay(uint32_t) { return fail(SOUND_ERROR_HANDLE); }
int soundChannelSetPosition(uint32_t, uint32_t) { return fail(SOUND_ERROR_HANDLE); }
uint32_t soundChannelGetPosition(uint32_t) { return static_cast<uint32_t>(fail(SOUND_ERROR_HANDLE)); }
int soundStreamFree(uint32_t) { return fail(SOUND_ERROR_HANDLE); }
int soundErrorGetCode() { return lastError; }
