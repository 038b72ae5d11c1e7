#include "shell/demo.h"

#include <cstdio>

#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/keys.h"
#include "shell/loading.h"
#include "shell/music.h"
#include "shell/window.h"

int quitRequested = 0;
int sceneDone = 0;
int windowActive = 1;
int fullscreenMode = 1;
int soundEnabled = 1;
int screenWidth = 800;
int screenHeight = 600;
float lastFrameTime = 0.0f;
PlatformMessage lastMessage = {};

namespace {
constexpr int COLOUR_BITS = 16;            // requested colour depth of the display mode
constexpr int EXIT_FAILURE_STATUS = 1;     // start-up failed
const char* const WINDOW_TITLE = "Vantrel by Skarvel";
}  // namespace

Scene sceneSequence[SCENE_COUNT] = {
    {titlesSetup, titlesDraw, titlesCleanup, 0},
    {fireSceneSetup, fireSceneDraw, fireSceneCleanup, 1},
    {towerSceneSetup, towerSceneDraw, towerSceneCleanup, 0},
    {flythroughSetup, flythroughDraw, flythroughCleanup, 1},
    {greetingsSetup, greetingsDraw, greetingsCleanup, 0},
    {spheresSetup, spheresDraw, spheresCleanup, 0},
};

int pumpMessages()
{
    if (!platformPeekMessage(&lastMessage)) return 0;
    if (lastMessage.message == WM_QUIT) {
        quitRequested = 1;
        return 2;
    }
    mainWindowProc(lastMessage.message, lastMessage.wParam, lastMessage.lParam);
    return 1;
}

int runScene(const Scene& scene)
{
    scene.setup();
    if (scene.seedsLastFrameTime) lastFrameTime = static_cast<float>(demoTime());
    while (!quitRequested && !sceneDone) {
        if (pumpMessages() != 0) continue;  // drain the queue before drawing
        if (windowActive) {
            const float now = static_cast<float>(demoTime());
            if (scene.draw(now) == 0) {
                quitRequested = 1;
                continue;
            }
        }
        platformSwapBuffers();
    }
    scene.cleanup();
    sceneDone = 0;
    return 1;
}

int playScenes()
{
    for (const Scene& scene : sceneSequence) runScene(scene);
    return 1;
}

void reportSoundError(const char* text)
{
    char message[200];
    std::snprintf(message, sizeof message, "%s\n(error code: %d)", text, soundErrorGetCode());
    platformWindowMessageBox(message, "Error", MB_OK);  // owned by the window, so fullscreen does not hide it
}

int demoMain()
{
    fullscreenMode = 1;
    if (!openMainWindow(WINDOW_TITLE, screenWidth, screenHeight, COLOUR_BITS, fullscreenMode))
        return EXIT_FAILURE_STATUS;
    if (soundGetVersion() != SOUND_VERSION) {
        platformMessageBox("BASS version 0.8 was not loaded", "Incorrect BASS.DLL", MB_OK);
        closeMainWindow();
        return EXIT_FAILURE_STATUS;
    }
    if (!soundInit(-1, 44100, 16)) {
        reportSoundError("Can't initialize digital sound system");
        soundEnabled = 0;
    }
    platformAllowScreenSaver(0);
    if (!runLoadingPhase()) {
        soundFree();
        closeMainWindow();
        return EXIT_FAILURE_STATUS;
    }
    if (soundEnabled) startSoundtrack();
    startDemoClock();
    playScenes();
    soundStop();
    soundStreamFree(musicStream);
    soundFree();
    platformAllowScreenSaver(1);
    closeMainWindow();
    return 0;
}
