// Placeholder until the scene is built: clears to one colour and ends on time.
#include <GL/gl.h>

#include "scenes/scenes.h"
#include "shell/demo.h"
#include "shell/keys.h"

namespace {
constexpr float SCENE_END = 50.0f;  // demo seconds
}

int fireSceneLoad() { return 1; }
int fireSceneSetup() { return 1; }

int fireSceneDraw(float t)
{
    if (playState == PLAY_PAUSED) return 1;
    glClearColor(0.5f, 0.3f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (t > SCENE_END) sceneDone = 1;
    return 1;
}

void fireSceneCleanup() {}
