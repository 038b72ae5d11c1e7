#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>

#include "platform/common/common.h"

namespace {
int glutStarted = 0;  // glutInit has run; it may run only once per process
int videoReady = 0;   // the video system can show message boxes
}

void platformPrepareContext()
{
    if (!glutStarted) {
        int argc = 1;
        char name[] = "vantrel";
        char* argv[] = {name, nullptr};
        glutInit(&argc, argv);
        glutStarted = 1;
    }
    GLint alphaBits = 0;
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    if (alphaBits > 0) {
        GLfloat clear[4] = {0, 0, 0, 0};
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(clear[0], clear[1], clear[2], clear[3]);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    }
}

void platformSetVideoReady(int ready)
{
    videoReady = ready;
}

int platformVideoReady()
{
    return videoReady;
}

void platformEchoMessageBox(const char* text, const char* caption)
{
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
}
