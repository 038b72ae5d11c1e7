// The program's one window with its OpenGL context: opening (fullscreen at the
// requested mode, or windowed if the viewer agrees), the viewport and
// projection, the initial GL state, and closing in reverse order.
#pragma once

// How the window is opened.
constexpr int DISPLAY_ASK = 0;       // fullscreen at the requested mode, or a window if the viewer agrees
constexpr int DISPLAY_WINDOWED = 1;  // a framed window, no question, no display-mode change
constexpr int DISPLAY_DESKTOP = 2;   // the whole desktop at its own mode, the picture scaled to fit

extern int displayChoice;  // DISPLAY_*; DISPLAY_ASK unless the command line says otherwise
extern int windowScale;    // a framed window shows the picture this many times its size (1..8)

// Opens the window and makes its context current. Returns 1 when ready, 0 after
// a failure that has been shown to the viewer.
int openMainWindow(const char* title, int width, int height, int bits, int fullscreen);
// Releases what openMainWindow created, restoring the display mode; failures are shown and closing goes on.
void closeMainWindow();
// Viewport and the standard projection (45 degrees, near 0.01, far 100) for a client size.
void resizeViewport(int width, int height);
// Smooth shading, clear colour (0, 0, 0, 0.5), nicest perspective correction; returns 1.
int setupGLState();

extern int windowOpen;   // 1 between a successful openMainWindow and closeMainWindow
extern int contextOpen;  // 1 while the GL context exists
