// Placeholder until the scene is built: clears to one colour and ends on time.
#include <GL/gl.h>

#include "scenes/scenes.h"
#include "shell/demo.h"
#include "shell/keys.h"

namespace {
constexpr float SCENE_END = 175.8f;  // demo seconds
}

int greetingsLoad() { return 1; }
int greetingsSetup() { return 1; }

int greetingsDraw(float t)
{
    if (playState == PLAY_PAUSED) return 1;
    glClearColor(0.4f, 0.1f, 0.4f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (t >= SCENE_END) sceneDone = 1;
    return 1;
}

void greetingsCleanup() {}
