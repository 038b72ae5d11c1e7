// Between the shared sound layer (MP3 streams and the mixer) and the output
// device of each platform variant: SDL audio in platform/sdl, the silent device
// in platform/headless. The device plays interleaved 16-bit stereo at the rate
// it was opened with and asks the mixer for every sample it consumes.
#pragma once

#include <cstdint>

// Opens the output device at frequency Hz, stereo, 16-bit, with output stopped.
// Returns 0 when no device can be opened.
int soundDeviceOpen(uint32_t frequency);
void soundDeviceClose();
// 1: the device consumes samples (asking soundMixOutput for them); 0: it consumes nothing.
void soundDeviceRun(int running);
// The device's clock in device frames: how many frames of time have passed since
// it opened, by the real clock, while it runs (buffers handed over play at that
// pace, the first from the moment the device asked for it). -1 while it is
// stopped, and always on a device whose samples are heard the moment they are
// taken: then everything handed over counts as heard. Called with the lock held.
int64_t soundDeviceClock();
// Held around every change to what the mixer reads; the device holds it while it mixes.
void soundDeviceLock();
void soundDeviceUnlock();

// Fills frames sample frames (2 x 16-bit each) of device output with the playing
// stream, silence where nothing plays. Called by the device with its lock held.
void soundMixOutput(int16_t* output, int frames);

// The version soundGetVersion reports from now on (tests show a mismatch with it).
void soundSetReportedVersion(uint32_t version);
