// The window procedure and the viewer's six keys: quit, skip the scene, pause,
// resume, seek back and seek forward in the soundtrack.
#pragma once

#include <cstdint>

constexpr int PLAY_PAUSED = 0;   // music paused: every draw returns at once
constexpr int PLAY_RUNNING = 1;
constexpr int PLAY_FORWARD = 2;  // seeking forward while the key is held
constexpr int PLAY_REWIND = 3;   // seeking back while the key is held

constexpr int KEY_COUNT = 256;     // size of keyDown, indexed by key code
extern int keyDown[KEY_COUNT];     // 1 while the key is held (Space, Up, Down are cleared after acting)

extern int playState;        // PLAY_PAUSED .. PLAY_REWIND; read by every scene's draw
extern int resumePlayState;  // state to return to when a seek or resume key is released
extern float musicOffset;    // seconds added to demo time when the music restarts
extern float pauseTime;      // demo seconds at which the music was paused

// Returns 0 for every message it handles, otherwise the default handling's result (0).
intptr_t mainWindowProc(unsigned message, uintptr_t wParam, intptr_t lParam);
