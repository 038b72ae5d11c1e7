#include "shell/loading.h"

#include <GL/gl.h>

#include "assets/tga.h"
#include "platform/platform.h"
#include "scenes/scenes.h"

namespace {
const char* const LOADING_IMAGE = "maps/loading-vantrel.tga";
constexpr float IMAGE_HALF_WIDTH = 2.0f;   // the quad overfills the 45-degree view a hair at this depth
constexpr float IMAGE_HALF_HEIGHT = 1.5f;
constexpr float IMAGE_DEPTH = -3.6f;

// The scenes' asset initialisers, in loading order. The fire scene's is first to
// draw from the random generator, the greetings' next.
int (*const assetInitialisers[])() = {
    fireSceneLoad, flythroughLoad, greetingsLoad, towerSceneLoad, spheresLoad,
};
}  // namespace

int runLoadingPhase()
{
    loadTgaTexture(LOADING_IMAGE, TEX_LOADING);  // a missing image leaves the quad plain white
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_MODELVIEW);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, TEX_LOADING);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-IMAGE_HALF_WIDTH, -IMAGE_HALF_HEIGHT, IMAGE_DEPTH);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(IMAGE_HALF_WIDTH, -IMAGE_HALF_HEIGHT, IMAGE_DEPTH);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(IMAGE_HALF_WIDTH, IMAGE_HALF_HEIGHT, IMAGE_DEPTH);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-IMAGE_HALF_WIDTH, IMAGE_HALF_HEIGHT, IMAGE_DEPTH);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    platformSwapBuffers();
    for (auto initialise : assetInitialisers)
        if (!initialise()) return 0;
    return 1;
}
