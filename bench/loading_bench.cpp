// The loading phase of the shipped pack (build/data): the loading image, then
// every scene's asset initialiser in the demo's order, as the demo runs it on
// the headless layer. Reports the milliseconds of one phase and the process's
// peak resident memory after it. The soundtrack is opened after the phase, by
// the music start, and is not part of this figure (vantrel-capture --bench
// reports the whole start, the soundtrack included). It runs the phase as the
// demo does (scene files parsed ahead on other threads) and with every file
// read on the spot.
//
// Runs on the headless layer, so it needs an X display (scripts/with-xvfb.sh).
// --pack=DIR loads another pack.
#include <benchmark/benchmark.h>
#include <GL/gl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "assets/ase.h"
#include "platform/headless.h"
#include "scenes/fire.h"
#include "scenes/flythrough.h"
#include "shell/loading.h"
#include "shell/window.h"

namespace {

std::string packDir = VANTREL_PACK_DIR;  // where the loading phase runs

double peakResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The scene records the phase fills, emptied so that the next phase loads into
// empty records as the demo's one phase does.
void emptySceneRecords()
{
    for (AseScene* scene : {&fireMainScene, &fireFlameScene, &flythroughModel}) freeAseScene(scene);
}

// state.range(0): 1 parses the scene files ahead on other threads, as the
// demo does; 0 reads each on the spot, for the figure beside it.
void BM_LoadingPhase(benchmark::State& state)
{
    loadingPreload = static_cast<int>(state.range(0));
    if (chdir(packDir.c_str()) != 0) {
        state.SkipWithError(("no pack in " + packDir).c_str());
        return;
    }
    HeadlessConfig config;
    config.quiet = 1;
    headlessConfigure(config);
    if (openMainWindow("Vantrel by Skarvel", 800, 600, 16, 1) != 1) {
        state.SkipWithError("no headless window (run with an X display)");
        return;
    }
    for (auto _ : state) {
        if (!runLoadingPhase()) state.SkipWithError("the loading phase failed");
        glFinish();  // the uploads belong to the phase
        state.PauseTiming();
        emptySceneRecords();
        state.ResumeTiming();
    }
    state.counters["peak_RSS_MB"] = peakResidentMegabytes();
    closeMainWindow();
    loadingPreload = 1;
}
BENCHMARK(BM_LoadingPhase)->ArgName("parsed_ahead")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(false);

}  // namespace

int main(int argc, char** argv)
{
    const char* const PACK_FLAG = "--pack=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], PACK_FLAG, std::strlen(PACK_FLAG)) != 0) continue;
        packDir = argv[i] + std::strlen(PACK_FLAG);
        for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
        --argc;
        break;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
