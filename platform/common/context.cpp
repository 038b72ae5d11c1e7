#include <GL/freeglut.h>
#include <GL/gl.h>

#include <dlfcn.h>
#include <link.h>

#include <cstdio>
#include <cstring>

#include "platform/common/common.h"

namespace {
int glutStarted = 0;  // glutInit has run; it may run only once per process

#if VANTREL_PIN_GL_DRIVER
// Holds one loaded module of the Mesa driver (a dri/*.so or libgallium) loaded
// to the end of the process. The driver is unloaded with the window's GL
// library, and what it allocated would then show in leak reports as frames of
// an unknown module that no suppression can name.
int pinDriverModule(dl_phdr_info* info, size_t, void*)
{
    const char* path = info->dlpi_name;
    if (path == nullptr || (std::strstr(path, "/dri/") == nullptr && std::strstr(path, "libgallium") == nullptr))
        return 0;
    dlopen(path, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);  // a reference that is never dropped
    return 0;
}
#endif
}  // namespace

void platformPinGLDriver()
{
#if VANTREL_PIN_GL_DRIVER
    dl_iterate_phdr(pinDriverModule, nullptr);
#endif
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
    platformPinGLDriver();
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

void platformEchoMessageBox(const char* text, const char* caption)
{
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
}
