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
// Whether the video system is up, so a message box can be shown.
void platformSetVideoReady(int ready);
int platformVideoReady();
// Writes a message box to stderr as one line: "caption: text".
void platformEchoMessageBox(const char* text, const char* caption);
