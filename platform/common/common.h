// Pieces both platform implementations share.
#pragma once

// Called once a GL context is current: starts GLUT (its solid sphere needs it)
// and, where the driver gave the frame buffer alpha bits anyway, fills alpha
// with 1 and masks alpha writes, so destination alpha always reads 1.
void platformPrepareContext();
// Whether the video system is up, so a message box can be shown.
void platformSetVideoReady(int ready);
int platformVideoReady();
// Writes a message box to stderr as one line: "caption: text".
void platformEchoMessageBox(const char* text, const char* caption);
