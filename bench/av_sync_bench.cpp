// Audio/video offset on real SDL audio: the soundtrack is started as the demo
// starts it, the demo clock right after, and for a run of RUN_SECONDS the music
// position the device reports is compared with where the scenes are (demo time
// plus the keys' music offset), as often as a free-running frame loop would. In
// the middle the viewer pauses and resumes with the keys, so the offset after a
// restart is measured too. Reported as the median and the largest offset in ms
// (positive: the sound is ahead of the picture).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "shell/music.h"
#include "tests/support/mp3.h"

namespace {

constexpr int RATE = 44100;              // Hz, as the demo opens the device
constexpr int MUSIC_SECONDS = 14;        // length of the generated soundtrack
constexpr double RUN_SECONDS = 10.0;     // demo seconds measured per run
constexpr double PAUSE_AT = 4.0;         // Down pressed, demo seconds
constexpr double RESUME_AT = 5.0;        // Up pressed and released
constexpr uint32_t SAMPLE_EVERY_MS = 1;  // between two readings, about a fast frame

constexpr double SETTLE_SECONDS = 0.1;   // after the start and the restart, before "steady" readings

struct Offsets {
    double medianMs;
    double maxMs;
    double maxSteadyMs;  // largest offset once the output has run SETTLE_SECONDS after a (re)start
    size_t samples;
};

// Plays the soundtrack in dir through the named SDL audio driver and measures the offsets.
int measure(const std::string& dir, const char* driver, Offsets* result)
{
    setenv("SDL_AUDIODRIVER", driver, 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    const std::string previous = std::filesystem::current_path().string();
    std::filesystem::current_path(dir);
    playState = resumePlayState = PLAY_RUNNING;
    musicOffset = pauseTime = 0.0f;
    soundEnabled = 1;
    if (!soundInit(-1, RATE, 16)) {
        std::filesystem::current_path(previous);
        return 0;
    }
    startSoundtrack();
    startDemoClock();
    std::vector<double> offsets;
    double maxSteady = 0.0;
    int paused = 0, resumed = 0;
    for (;;) {
        const double now = demoTime();
        if (now >= RUN_SECONDS) break;
        if (!paused && now >= PAUSE_AT) {
            mainWindowProc(WM_KEYDOWN, VK_DOWN, 0);
            mainWindowProc(WM_KEYUP, VK_DOWN, 0);
            paused = 1;
        }
        if (!resumed && now >= RESUME_AT) {
            mainWindowProc(WM_KEYDOWN, VK_UP, 0);
            mainWindowProc(WM_KEYUP, VK_UP, 0);
            resumed = 1;
        }
        if (playState == PLAY_RUNNING && musicSeconds > 0.0f) {
            const double bytesPerSecond = static_cast<double>(musicBytes) / musicSeconds;
            const double heard = soundChannelGetPosition(musicStream) / bytesPerSecond;
            const double shown = static_cast<float>(demoTime()) + musicOffset;
            const double offset = (heard - shown) * 1000.0;
            offsets.push_back(offset);
            const bool settling = now < SETTLE_SECONDS || (now >= RESUME_AT && now < RESUME_AT + SETTLE_SECONDS);
            if (!settling) maxSteady = std::max(maxSteady, std::fabs(offset));
        }
        SDL_Delay(SAMPLE_EVERY_MS);
    }
    soundStop();
    soundStreamFree(musicStream);
    soundFree();
    std::filesystem::current_path(previous);
    if (offsets.empty()) return 0;
    std::vector<double> sorted = offsets;
    std::sort(sorted.begin(), sorted.end());
    result->medianMs = sorted[sorted.size() / 2];
    result->maxMs = 0.0;
    for (double o : offsets) result->maxMs = std::max(result->maxMs, std::fabs(o));
    result->maxSteadyMs = maxSteady;
    result->samples = offsets.size();
    return 1;
}

std::string soundtrackDir()
{
    static std::string dir;
    if (!dir.empty()) return dir;
    char pattern[] = "/tmp/av-sync-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return {};
    dir = pattern;
    if (writeSweepMp3(dir + "/Halvo.mp3", MUSIC_SECONDS * RATE, 2, RATE).empty()) dir.clear();
    return dir;
}

void BM_AudioVideoOffset(benchmark::State& state, const char* driver)
{
    const std::string dir = soundtrackDir();
    if (dir.empty()) {
        state.SkipWithError("could not make the soundtrack");
        return;
    }
    Offsets offsets = {};
    for (auto _ : state) {
        if (!measure(dir, driver, &offsets)) {
            state.SkipWithError("no audio output through this driver");
            return;
        }
    }
    state.counters["median_ms"] = offsets.medianMs;
    state.counters["max_ms"] = offsets.maxMs;
    state.counters["max_steady_ms"] = offsets.maxSteadyMs;
    state.counters["readings"] = static_cast<double>(offsets.samples);
}

BENCHMARK_CAPTURE(BM_AudioVideoOffset, disk, "disk")->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_AudioVideoOffset, dummy, "dummy")->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
