// The demo's spine: the entry, the fixed sequence of six scenes, the loop that
// runs one scene frame by frame and the message pump it calls.
#pragma once

#include "platform/platform.h"
#include "shell/timeline.h"  // SCENE_COUNT

// Flags, each 0 or 1, live for the whole run.
extern int quitRequested;   // set by a quit message, Escape, a closed window or a draw returning 0; never cleared
extern int sceneDone;       // set by a scene's draw at its end (or Space); cleared after each scene's clean-up
extern int windowActive;    // 0 while the window is minimised: frames are swapped but not drawn
extern int fullscreenMode;  // 1 while the display mode is changed and the window is a fullscreen popup
extern int soundEnabled;    // 0 when sound output could not be initialised

extern int screenWidth;     // window client width in pixels, 800
extern int screenHeight;    // window client height in pixels, 600

extern float lastFrameTime;  // demo seconds of the previous drawn frame (fire, tower and fly-through scenes)

extern PlatformMessage lastMessage;  // the last message the pump took

// A scene as the sequence sees it.
struct Scene {
    int (*setup)();             // result ignored
    int (*draw)(float time);    // demo seconds; nonzero to go on, 0 ends the program
    void (*cleanup)();
    int seedsLastFrameTime;     // 1: the runner stores the demo time in lastFrameTime after the set-up
};

extern Scene sceneSequence[SCENE_COUNT];  // the six scenes in play order (tests may put their own in)

// Runs the program from opening the window to closing it. Exit status: 0 after
// a normal end or a quit, 1 after a start-up failure.
int demoMain();
// Runs the six scenes in play order; returns 1.
int playScenes();
// Runs one scene: set-up, frames until sceneDone or quitRequested, clean-up; returns 1.
int runScene(const Scene& scene);
// Takes at most one message: 0 when none was pending, 1 when one was dispatched,
// 2 for the quit message (which sets quitRequested and is not dispatched).
int pumpMessages();
// Shows text with the sound layer's last error code in an "Error" box.
void reportSoundError(const char* text);
