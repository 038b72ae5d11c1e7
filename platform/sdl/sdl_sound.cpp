// The real output device: SDL audio at the rate asked for, stereo, 16-bit, with
// a buffer of 256 sample frames (5.8 ms at 44.1 kHz): a stream that starts or
// resumes is first heard in the next buffer the device asks for, so the buffer's
// length bounds how far the sound can start behind the picture. SDL converts to whatever
// the hardware wants; the callback takes every sample from the mixer.
#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/common/sound_device.h"

namespace {

constexpr int CHANNELS = 2;            // stereo
constexpr int FRAME_BYTES = CHANNELS * 2;
constexpr Uint16 BUFFER_FRAMES = 256;   // device buffer, sample frames

SDL_AudioDeviceID device = 0;  // 0 while no device is open
uint32_t deviceFrequency = 0;  // Hz
Uint64 openedAt = 0;           // performance counter when the device opened
int deviceRunning = 0;         // the device takes buffers

void SDLCALL fillBuffer(void*, Uint8* buffer, int bytes)
{
    const int frames = bytes / FRAME_BYTES;
    soundMixOutput(reinterpret_cast<int16_t*>(buffer), frames);
    std::memset(buffer + frames * FRAME_BYTES, 0, static_cast<size_t>(bytes - frames * FRAME_BYTES));
}

}  // namespace

int soundDeviceOpen(uint32_t frequency)
{
    if (device != 0) return 0;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "vantrel: no audio output (%s)\n", SDL_GetError());
        return 0;
    }
    SDL_AudioSpec wanted = {};
    wanted.freq = static_cast<int>(frequency);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = CHANNELS;
    wanted.samples = BUFFER_FRAMES;
    wanted.callback = fillBuffer;
    SDL_AudioSpec obtained = {};
    // No changes allowed: SDL converts to the hardware's format behind the callback.
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        std::fprintf(stderr, "vantrel: no audio output (%s)\n", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    deviceFrequency = static_cast<uint32_t>(obtained.freq);
    openedAt = SDL_GetPerformanceCounter();
    deviceRunning = 0;
    return 1;  // opened paused
}

void soundDeviceClose()
{
    if (device == 0) return;
    SDL_CloseAudioDevice(device);
    device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

// A buffer starts playing as the callback that fills it returns, and the device
// plays at its rate from then on, which the performance counter measures.
int64_t soundDeviceClock()
{
    if (device == 0 || !deviceRunning || deviceFrequency == 0) return -1;
    const double elapsed = static_cast<double>(SDL_GetPerformanceCounter() - openedAt) /
                           static_cast<double>(SDL_GetPerformanceFrequency());
    return static_cast<int64_t>(elapsed * deviceFrequency);
}

void soundDeviceRun(int running)
{
    if (device == 0) return;
    SDL_PauseAudioDevice(device, running ? 0 : 1);
    SDL_LockAudioDevice(device);
    deviceRunning = running;
    SDL_UnlockAudioDevice(device);
}

void soundDeviceLock()
{
    if (device != 0) SDL_LockAudioDevice(device);
}

void soundDeviceUnlock()
{
    if (device != 0) SDL_UnlockAudioDevice(device);
}
