#include "shell/loading.h"

#include <GL/gl.h>

#include "assets/ase.h"
#include "assets/tga.h"
#include "platform/platform.h"
#include "scenes/fire.h"
#include "scenes/flythrough.h"
#include "scenes/scenes.h"

int loadingPreload = 1;

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
// The scene files those initialisers load, in the order they load them: parsed
// ahead on a second thread while this one draws the loading image and uploads
// the textures of the scenes before.
const char* const PRELOADED_SCENES[] = {FIRE_MAIN_SCENE_PATH, FIRE_FLAME_SCENE_PATH, FLY_MODEL_PATH};
constexpr int PRELOADED_SCENE_COUNT = sizeof PRELOADED_SCENES / sizeof PRELOADED_SCENES[0];

int runInitialisers()
{
    for (auto initialise : assetInitialisers)
        if (!initialise()) return 0;
    return 1;
}
}  // namespace

int runLoadingPhase()
{
    if (loadingPreload) asePreloadStart(PRELOADED_SCENES, PRELOADED_SCENE_COUNT);
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
    const int loaded = runInitialisers();
    asePreloadFinish();
    return loaded;
}
