// Pieces both platform implementations share.
#pragma once

// Called once a GL context is current: starts GLUT (its solid sphere needs it)
// and, where the driver gave the frame buffer alpha bits anyway, fills alpha
// with 1 and masks alpha writes, so destination alpha always reads 1.
void platformPrepareContext();
// In builds made for leak checking (VANTREL_PIN_GL_DRIVER), holds the GL
// driver's modules that are loaded now loaded to the end of the process, so
// that what they allocated keeps a module name in leak reports. Called before
// anything that may unload the driver (the window's or the video system's end).
// Does nothing in other builds.
void platformPinGLDriver();
// A GL entry point of the current context, null where the driver has none.
void* platformGLProcAddress(const char* name);
template <typename T>
T platformGLProc(const char* name)
{
    return reinterpret_cast<T>(platformGLProcAddress(name));
}
// An offscreen frame buffer of the picture's size: RGB without alpha, 24-bit depth.
struct PictureTarget {
    unsigned framebuffer = 0;  // GL names; 0 when there is none
    unsigned colour = 0;
    unsigned depth = 0;
    int width = 0;             // pixels
    int height = 0;
};
// Where a picture shows in a window: the largest rectangle of its aspect, centred.
struct PictureRect {
    int x = 0, y = 0;          // from the bottom left, pixels
    int width = 0, height = 0;
};
// Creates the target and binds it for drawing and reading, with a viewport of
// its size. 0 when the driver has no frame buffer objects.
int platformCreateTarget(PictureTarget* target, int width, int height);
void platformDestroyTarget(PictureTarget* target);
// Binds the target for drawing and reading again (after a present).
void platformBindTarget(const PictureTarget& target);
PictureRect platformFitPicture(int pictureWidth, int pictureHeight, int windowWidth, int windowHeight);
// Copies the target into the window's back buffer, scaled to fit and centred,
// with black bars; the demo's GL state is left as it was.
void platformPresentTarget(const PictureTarget& target, int windowWidth, int windowHeight);
// Writes a message box to stderr as one line: "caption: text".
void platformEchoMessageBox(const char* text, const char* caption);
