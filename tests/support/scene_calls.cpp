#include "tests/support/scene_calls.h"

#include "scenes/scenes.h"
#include "shell/demo.h"

SceneCallLog sceneCalls;

namespace {

float standInEnds[SCENE_COUNT] = {};   // demo seconds at which each stand-in ends
Scene demoScenes[SCENE_COUNT] = {};    // the demo's own scenes, once they have been wrapped
int demoScenesKept = 0;

void log(const char* call, int k) { sceneCalls.calls.push_back(call + std::to_string(k + 1)); }

template <int K>
int standInSetup()
{
    sceneCalls.current = K;
    log("setup", K);
    return 1;
}
template <int K>
int standInDraw(float t)
{
    log("draw", K);
    sceneCalls.drawTimes.push_back(t);
    if (t >= standInEnds[K]) sceneDone = 1;
    return 1;
}
template <int K>
void standInCleanup()
{
    log("cleanup", K);
}

template <int K>
int loggedSetup()
{
    sceneCalls.current = K;
    log("setup", K);
    return demoScenes[K].setup();
}
template <int K>
int loggedDraw(float t)
{
    log("draw", K);
    sceneCalls.drawTimes.push_back(t);
    return demoScenes[K].draw(t);
}
template <int K>
void loggedCleanup()
{
    log("cleanup", K);
    demoScenes[K].cleanup();
}

template <int K>
Scene standIn()
{
    return Scene{standInSetup<K>, standInDraw<K>, standInCleanup<K>, K == SCENE_FIRE || K == SCENE_FLYTHROUGH};
}
template <int K>
Scene logged()
{
    return Scene{loggedSetup<K>, loggedDraw<K>, loggedCleanup<K>, demoScenes[K].seedsLastFrameTime};
}

}  // namespace

int SceneCallLog::count(const std::string& call) const
{
    int n = 0;
    for (const std::string& c : calls) n += c == call;
    return n;
}

std::vector<std::string> SceneCallLog::setupsAndCleanups() const
{
    std::vector<std::string> out;
    for (const std::string& c : calls)
        if (c.rfind("draw", 0) != 0) out.push_back(c);
    return out;
}

const float (&timelineEnds())[SCENE_COUNT]
{
    static float ends[SCENE_COUNT] = {};
    for (int k = 0; k < SCENE_COUNT; ++k) ends[k] = DEMO_TIMELINE[k].end;
    return ends;
}

// Keeps the demo's own scenes before the sequence is first changed.
void keepDemoScenes()
{
    if (demoScenesKept) return;
    for (int k = 0; k < SCENE_COUNT; ++k) demoScenes[k] = sceneSequence[k];
    demoScenesKept = 1;
}

void installStandInScenes(const float (&ends)[SCENE_COUNT])
{
    keepDemoScenes();
    sceneCalls = SceneCallLog{};
    for (int k = 0; k < SCENE_COUNT; ++k) standInEnds[k] = ends[k];
    const Scene standIns[SCENE_COUNT] = {standIn<0>(), standIn<1>(), standIn<2>(), standIn<3>(), standIn<4>(), standIn<5>()};
    for (int k = 0; k < SCENE_COUNT; ++k) sceneSequence[k] = standIns[k];
}

void installLoggedDemoScenes()
{
    keepDemoScenes();
    sceneCalls = SceneCallLog{};
    const Scene wrapped[SCENE_COUNT] = {logged<0>(), logged<1>(), logged<2>(), logged<3>(), logged<4>(), logged<5>()};
    for (int k = 0; k < SCENE_COUNT; ++k) sceneSequence[k] = wrapped[k];
}
