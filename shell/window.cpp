#include "shell/window.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "platform/platform.h"
#include "shell/demo.h"

int windowOpen = 0;
int contextOpen = 0;
int displayChoice = DISPLAY_ASK;
int windowScale = 1;

namespace {
constexpr int DEPTH_BITS = 16;                    // depth buffer bits asked for
constexpr double FIELD_OF_VIEW = 45.0;            // vertical, degrees
constexpr double NEAR_PLANE = double(0.01f);      // the single-precision 0.01, widened
constexpr double FAR_PLANE = 100.0;
constexpr unsigned ERROR_BOX = MB_OK | MB_ICONEXCLAMATION;
constexpr unsigned SHUTDOWN_BOX = MB_OK | MB_ICONINFORMATION;

int fail(const char* text)
{
    closeMainWindow();
    platformMessageBox(text, "ERROR", ERROR_BOX);
    return 0;
}
}  // namespace

int openMainWindow(const char* title, int width, int height, int bits, int fullscreen)
{
    fullscreenMode = displayChoice == DISPLAY_WINDOWED ? 0 : fullscreen;
    if (!platformStartVideo()) return 0;  // no display: the layer has said so on stderr
    if (displayChoice == DISPLAY_ASK && fullscreenMode && !platformSetDisplayMode(width, height, bits)) {
        const int answer = platformMessageBox(
            "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
            "Orlund GL", MB_YESNO | MB_ICONEXCLAMATION);
        if (answer != IDYES) {
            platformMessageBox("Program Will Now Close.", "ERROR", MB_OK | MB_ICONSTOP);
            platformStopVideo();
            return 0;
        }
        fullscreenMode = 0;
    }
    if (fullscreenMode) platformShowCursor(0);
    // The pixel format is chosen before the window is made: where the window
    // system fixes a window's format when it creates it, a later choice has no effect.
    if (!platformChoosePixelFormat(bits, DEPTH_BITS)) return fail("Can't Find A Suitable PixelFormat.");
    int kind = fullscreenMode ? WINDOW_FULLSCREEN : WINDOW_FRAMED;
    if (fullscreenMode && displayChoice == DISPLAY_DESKTOP) kind = WINDOW_DESKTOP;
    if (!platformCreateWindow(title, width, height, kind, kind == WINDOW_FRAMED ? windowScale : 1))
        return fail("Window Creation Error.");
    windowOpen = 1;
    if (!platformCreateContext()) return fail("Can't Create A GL Rendering Context.");
    contextOpen = 1;
    if (!platformMakeCurrent(1)) return fail("Can't Activate The GL Rendering Context.");
    platformShowWindow();
    resizeViewport(width, height);
    setupGLState();
    return 1;
}

void closeMainWindow()
{
    if (fullscreenMode) {
        platformRestoreDisplayMode();
        platformShowCursor(1);
    }
    if (contextOpen) {
        if (!platformMakeCurrent(0)) platformMessageBox("Release Of DC And RC Failed.", "SHUTDOWN ERROR", SHUTDOWN_BOX);
        platformDestroyContext();
        contextOpen = 0;
    }
    if (windowOpen) {
        platformDestroyWindow();
        windowOpen = 0;
    }
    platformStopVideo();
}

void resizeViewport(int width, int height)
{
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FIELD_OF_VIEW, static_cast<double>(width) / static_cast<double>(height), NEAR_PLANE, FAR_PLANE);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

int setupGLState()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    return 1;
}
