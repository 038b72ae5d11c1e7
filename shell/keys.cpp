#include "shell/keys.h"

#include "platform/platform.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/music.h"
#include "shell/window.h"

int keyDown[KEY_COUNT] = {};
int playState = PLAY_RUNNING;
int resumePlayState = PLAY_RUNNING;
float musicOffset = 0.0f;
float pauseTime = 0.0f;

namespace {
constexpr float SEEK_BYTES = 100000.0f;     // one seek step is the playing time of this many decoded bytes
constexpr double MAX_POSITION = 4294967295.0;  // largest byte position the stream takes

// Seconds of one seek step; 0 when the stream has no length to measure it by.
float seekStep()
{
    if (musicBytes == 0 || musicSeconds <= 0.0f) return 0.0f;
    return musicSeconds / static_cast<float>(musicBytes) * SEEK_BYTES;
}

// Starts a seek in either direction: the music stops, and the state to come back to is kept.
void beginSeek(int direction)
{
    if (playState != PLAY_REWIND && playState != PLAY_FORWARD) {
        if (soundEnabled) soundPause();
        resumePlayState = playState;
    }
    playState = direction;
}

// Restarts the music at the demo time plus the accumulated offset. Without a
// stream of at least one second there is no byte rate to place it by: output
// just resumes where it stopped. A position before the start plays from the start.
void restartMusic()
{
    if (musicBytes != 0 && musicSeconds > 0.0f) {
        const float now = static_cast<float>(demoTime());
        const double bytesPerSecond = static_cast<double>(musicBytes) / musicSeconds;
        double position = (static_cast<double>(now) + musicOffset) * bytesPerSecond;
        if (position < 0.0) position = 0.0;
        if (position > MAX_POSITION) position = MAX_POSITION;  // the stream clamps it to its length
        soundChannelSetPosition(musicStream, static_cast<uint32_t>(position));
    }
    soundStart();
}

void onKeyDown(uintptr_t key)
{
    if (key < KEY_COUNT) keyDown[key] = 1;  // a code out of range holds no flag
    if (keyDown[VK_ESCAPE]) quitRequested = 1;
    if (keyDown[VK_SPACE]) {
        sceneDone = 1;
        keyDown[VK_SPACE] = 0;
    }
    if (keyDown[VK_LEFT]) {
        beginSeek(PLAY_REWIND);
        musicOffset -= seekStep();
    }
    if (keyDown[VK_RIGHT]) {
        beginSeek(PLAY_FORWARD);
        if (resumePlayState != PLAY_PAUSED) musicOffset += seekStep();
    }
    if (keyDown[VK_UP]) {
        if (playState == PLAY_PAUSED) musicOffset += pauseTime - static_cast<float>(demoTime());
        playState = PLAY_RUNNING;
        keyDown[VK_UP] = 0;
    }
    if (keyDown[VK_DOWN]) {
        if (soundEnabled) soundPause();
        if (playState != PLAY_PAUSED) pauseTime = static_cast<float>(demoTime());
        playState = PLAY_PAUSED;
        keyDown[VK_DOWN] = 0;
    }
}

void onKeyUp(uintptr_t key)
{
    if (key == VK_RIGHT || key == VK_LEFT || key == VK_UP) {
        playState = resumePlayState;
        if (playState == PLAY_RUNNING && soundEnabled) restartMusic();
    }
    if (key < KEY_COUNT) keyDown[key] = 0;
}
}  // namespace

intptr_t mainWindowProc(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case WM_ACTIVATE:
        windowActive = ((wParam >> 16) & 0xFFFF) == 0 ? 1 : 0;
        return 0;
    case WM_SYSCOMMAND:
        // The screen saver and monitor power-saving stay off while the demo runs.
        if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) return 0;
        return platformDefaultWindowProc(message, wParam, lParam);
    case WM_CLOSE:
        platformPostQuitMessage(0);
        quitRequested = 1;
        return 0;
    case WM_KEYDOWN:
        onKeyDown(wParam);
        return 0;
    case WM_KEYUP:
        onKeyUp(wParam);
        return 0;
    case WM_SIZE:
        resizeViewport(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
        return 0;
    default:
        return platformDefaultWindowProc(message, wParam, lParam);
    }
}
