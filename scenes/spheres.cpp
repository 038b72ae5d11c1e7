// Placeholder until the scene is built: clears to one colour and ends on time.
#include <GL/gl.h>

#include "scenes/scenes.h"
#include "shell/demo.h"
#include "shell/keys.h"

namespace {
constexpr float SCENE_END = 192.0f;  // demo seconds
}

int spheresLoad() { return 1; }
int spheresSetup() { return 1; }

int spheresDraw(float t)
{
    if (playState == PLAY_PAUSED) return 1;
    glClearColor(0.1f, 0.4f, 0.4f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (t >= SCENE_END) sceneDone = 1;
    return 1;
}

void spheresCleanup() {}
