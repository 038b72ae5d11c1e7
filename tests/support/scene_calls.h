// The scene sequence watched or stood in for: a log of every call into the six
// scenes, and scenes that stand in for them, drawing nothing.
#pragma once

#include <string>
#include <vector>

#include "shell/timeline.h"

struct SceneCallLog {
    std::vector<std::string> calls;  // "setup3", "draw3", "cleanup3", ... in order; scenes counted from 1
    std::vector<float> drawTimes;    // demo seconds of every draw
    int current = -1;                // index of the scene whose set-up ran last

    int count(const std::string& call) const;
    // The calls with the draws left out, in order.
    std::vector<std::string> setupsAndCleanups() const;
};
extern SceneCallLog sceneCalls;  // emptied by each install below

// Puts stand-ins into the sequence: scene k draws nothing, logs its calls and
// ends in the first frame at or past ends[k]; the runners of scenes 2 and 4
// seed lastFrameTime, as the demo's do.
void installStandInScenes(const float (&ends)[SCENE_COUNT]);
// The scenes' end times of the demo's timeline, for installStandInScenes.
const float (&timelineEnds())[SCENE_COUNT];
// Puts the demo's own scenes into the sequence with their calls logged.
void installLoggedDemoScenes();
