// The silent output device of the headless layer. It takes samples from the
// mixer at the pace of the virtual clock (the samples of the time each buffer
// swap moves the clock on by) and keeps everything it took, so a test can see
// what a listener would have heard. While output is paused or stopped it takes
// nothing, so the recording holds only what was played, in order.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/common/sound_device.h"
#include "platform/headless.h"
#include "platform/headless/internal.h"

namespace {

constexpr int CHANNELS = 2;  // the device plays stereo
constexpr int SCRATCH_FRAMES = 4096;  // frames mixed at a time when nothing is kept

int deviceOpen = 0;              // soundDeviceOpen succeeded, soundDeviceClose not yet called
int deviceRunning = 0;           // output running: samples are consumed
uint32_t deviceFrequency = 0;    // Hz
int64_t runningCounts = 0;       // counter counts that passed while the device ran
int64_t framesConsumed = 0;      // sample frames taken from the mixer since the device opened
int64_t framesHeard = 0;         // sample frames taken since the last reset, kept or not
std::vector<int16_t> heard;      // every sample taken, interleaved stereo (when they are kept)
int16_t scratch[SCRATCH_FRAMES * CHANNELS] = {};  // where unkept samples are mixed

}  // namespace

int soundDeviceOpen(uint32_t frequency)
{
    if (!headlessConfig().audioDeviceAvailable) return 0;
    deviceOpen = 1;
    deviceRunning = 0;
    deviceFrequency = frequency;
    runningCounts = 0;
    framesConsumed = 0;
    framesHeard = 0;
    heard.clear();
    return 1;
}

void soundDeviceClose()
{
    deviceOpen = 0;
    deviceRunning = 0;
}

void soundDeviceRun(int running)
{
    deviceRunning = deviceOpen && running;
}

// Samples are heard the moment they are taken.
int64_t soundDeviceClock() { return -1; }

// One thread: the mixer only runs inside headlessAudioAdvance, between the demo's calls.
void soundDeviceLock() {}
void soundDeviceUnlock() {}

void headlessAudioAdvance(int64_t counts)
{
    if (!deviceOpen || !deviceRunning || counts <= 0) return;
    runningCounts += counts;
    // Whole frames of the running time so far, so no fraction of a frame is lost between swaps.
    const int64_t target = runningCounts * deviceFrequency / HEADLESS_COUNTER_FREQUENCY;
    const int64_t frames = target - framesConsumed;
    if (frames <= 0) return;
    if (headlessConfig().keepHeardSamples) {
        const std::size_t start = heard.size();
        heard.resize(start + static_cast<std::size_t>(frames) * CHANNELS);
        soundMixOutput(heard.data() + start, static_cast<int>(frames));
    } else {
        // A whole demo's recording is tens of megabytes that a run keeping no
        // recording (the capture tool) would hold for nothing.
        for (int64_t done = 0; done < frames; done += SCRATCH_FRAMES) {
            const int64_t chunk = frames - done < SCRATCH_FRAMES ? frames - done : SCRATCH_FRAMES;
            soundMixOutput(scratch, static_cast<int>(chunk));
        }
    }
    framesHeard += frames;
    framesConsumed = target;
}

void headlessAudioReset()
{
    heard.clear();
    heard.shrink_to_fit();
    runningCounts = 0;
    framesConsumed = 0;
    framesHeard = 0;
    soundSetReportedVersion(SOUND_VERSION);
}

int64_t headlessAudioFrames()
{
    return framesHeard;
}

const int16_t* headlessAudioSamples()
{
    return heard.empty() ? nullptr : heard.data();
}

void headlessSetSoundVersion(uint32_t version)
{
    soundSetReportedVersion(version);
}
