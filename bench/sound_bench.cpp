// Opening the pack's soundtrack as the demo opens it (soundStreamCreateFile on
// the headless layer's silent device): the time the call takes, and how much the
// process's resident memory grows while the stream is open, right after the
// open and after the mixer has pulled PLAY_SECONDS of it, seeks included.
//
// --soundtrack=PATH opens another file (default: the pack in this build).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/common/sound_device.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t DEVICE_RATE = 44100;     // Hz, as the demo opens the device
constexpr int PLAY_SECONDS = 5;             // pulled from the mixer after the open
constexpr int PULL_FRAMES = 1024;           // device frames a pull, as the SDL device's buffer
constexpr double MEGABYTE = 1024.0 * 1024.0;

std::string soundtrack = VANTREL_BINARY_DIR "/data/Halvo.mp3";

// Resident memory of the process in bytes (/proc/self/statm).
double residentBytes()
{
    long pages = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return 0.0;
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// Pulls seconds of device output from the mixer.
void pull(int seconds)
{
    std::vector<int16_t> buffer(PULL_FRAMES * 2);
    for (uint32_t done = 0; done < seconds * DEVICE_RATE; done += PULL_FRAMES) soundMixOutput(buffer.data(), PULL_FRAMES);
}

void BM_OpenSoundtrack(benchmark::State& state)
{
    HeadlessConfig config;
    config.quiet = 1;
    headlessConfigure(config);
    if (!soundInit(-1, DEVICE_RATE, 16) || !soundStart()) {
        state.SkipWithError("no sound output");
        return;
    }
    double openGrowth = 0.0, playingGrowth = 0.0;
    for (auto _ : state) {
        const double before = residentBytes();
        const auto start = std::chrono::steady_clock::now();
        const uint32_t stream = soundStreamCreateFile(soundtrack.c_str());
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (stream == 0) {
            state.SkipWithError(("cannot open " + soundtrack).c_str());
            break;
        }
        openGrowth = std::max(openGrowth, residentBytes() - before);
        soundStreamPlay(stream);
        pull(PLAY_SECONDS / 2);
        soundChannelSetPosition(stream, soundStreamGetLength(stream) / 2);  // a seek, as the keys make
        pull(PLAY_SECONDS - PLAY_SECONDS / 2);
        playingGrowth = std::max(playingGrowth, residentBytes() - before);
        soundStreamFree(stream);
    }
    soundFree();
    state.counters["resident_open_MB"] = openGrowth / MEGABYTE;
    state.counters["resident_playing_MB"] = playingGrowth / MEGABYTE;
}

BENCHMARK(BM_OpenSoundtrack)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv)
{
    const char* flag = "--soundtrack=";
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) soundtrack = argv[i] + std::strlen(flag);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
