// The sound device of the web build. On the real clock it is a Web Audio
// graph: a ScriptProcessorNode of BUFFER_FRAMES frames whose callback asks
// the mixer for every sample (the page runs one thread, so the mixer never runs
// while the demo's code does, and the lock has nothing to hold). The audio
// context is made by the page on the viewer's first click or key, as browsers
// allow sound to start only then; the device's clock is the context's own
// clock, so the position the demo reads is what is being heard. On the test
// clock it is silent and takes the samples of the virtual time that passes,
// as the headless layer's device does.
#include <emscripten.h>

#include <cstdint>
#include <vector>

#include "platform/common/sound_device.h"
#include "platform/web/internal.h"

namespace {

constexpr int CHANNELS = 2;          // the device plays stereo
constexpr int BUFFER_FRAMES = 1024;  // frames per callback: 23 ms at 44.1 kHz

int deviceOpen = 0;
int deviceRunning = 0;
uint32_t deviceFrequency = 0;        // Hz
int64_t virtualCounts = 0;           // test clock counts that passed while the device ran
int64_t virtualFrames = 0;           // frames taken on the test clock
std::vector<int16_t> mixBuffer;      // one callback's samples

// Opens the page's audio graph at a rate; 0 where the page has no audio context.
EM_JS(int, audioOpen, (int frequency, int frames), {
    var audio = Module.vantrelAudio;
    if (!audio || audio.sampleRate != frequency) return 0;
    var node = audio.createScriptProcessor(frames, 0, 2);
    node.onaudioprocess = function(event) {
        var left = event.outputBuffer.getChannelData(0);
        var right = event.outputBuffer.getChannelData(1);
        if (!Module.vantrelAudioRunning) {
            left.fill(0);
            right.fill(0);
            return;
        }
        Module.vantrelPlaybackTime = event.playbackTime;
        var samples = Module._webSoundFill(left.length) >> 1;
        Module.vantrelPlaybackTime = -1;
        for (var i = 0; i < left.length; ++i) {
            left[i] = HEAP16[samples + 2 * i] / 32768;
            right[i] = HEAP16[samples + 2 * i + 1] / 32768;
        }
    };
    node.connect(audio.destination);
    Module.vantrelAudioNode = node;
    Module.vantrelAudioOpenedAt = audio.currentTime;
    Module.vantrelPlaybackTime = -1;
    Module.vantrelAudioRunning = false;
    return 1;
});
EM_JS(void, audioClose, (), {
    if (Module.vantrelAudioNode) Module.vantrelAudioNode.disconnect();
    Module.vantrelAudioNode = null;
    Module.vantrelAudioRunning = false;
});
EM_JS(void, audioRun, (int running), { Module.vantrelAudioRunning = !!running; });
// Seconds of the context's clock since the device opened: inside a callback,
// when the buffer being filled starts to play; otherwise, now.
EM_JS(double, audioSeconds, (), {
    var at = Module.vantrelPlaybackTime >= 0 ? Module.vantrelPlaybackTime : Module.vantrelAudio.currentTime;
    return at - Module.vantrelAudioOpenedAt;
});

}  // namespace

// Fills one callback's buffer from the mixer; returns its address.
extern "C" EMSCRIPTEN_KEEPALIVE int16_t* webSoundFill(int frames)
{
    mixBuffer.assign(static_cast<size_t>(frames) * CHANNELS, 0);
    soundMixOutput(mixBuffer.data(), frames);
    return mixBuffer.data();
}

int soundDeviceOpen(uint32_t frequency)
{
    if (deviceOpen) return 0;
    if (!webVirtualClock() && !audioOpen(static_cast<int>(frequency), BUFFER_FRAMES)) return 0;
    deviceOpen = 1;
    deviceRunning = 0;
    deviceFrequency = frequency;
    virtualCounts = 0;
    virtualFrames = 0;
    return 1;
}

void soundDeviceClose()
{
    if (!deviceOpen) return;
    if (!webVirtualClock()) audioClose();
    deviceOpen = 0;
    deviceRunning = 0;
}

void soundDeviceRun(int running)
{
    deviceRunning = deviceOpen && running;
    if (deviceOpen && !webVirtualClock()) audioRun(deviceRunning);
}

int64_t soundDeviceClock()
{
    // On the test clock samples are heard the moment they are taken.
    if (!deviceOpen || !deviceRunning || webVirtualClock()) return -1;
    return static_cast<int64_t>(audioSeconds() * deviceFrequency);
}

void soundDeviceLock() {}
void soundDeviceUnlock() {}

void webAudioAdvance(int64_t counts)
{
    if (!deviceOpen || !deviceRunning || counts <= 0) return;
    virtualCounts += counts;
    // Whole frames of the running time so far, so no fraction of a frame is lost between swaps.
    const int64_t target = virtualCounts * deviceFrequency / WEB_VIRTUAL_FREQUENCY;
    const int64_t frames = target - virtualFrames;
    if (frames <= 0) return;
    mixBuffer.assign(static_cast<size_t>(frames) * CHANNELS, 0);
    soundMixOutput(mixBuffer.data(), static_cast<int>(frames));
    virtualFrames = target;
}
