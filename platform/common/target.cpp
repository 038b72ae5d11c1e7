// The picture target: an offscreen frame buffer of the picture's size that the
// demo draws into where the window is not that size (the headless layer's
// hidden window, a scaled window, the desktop's own mode), and its copy to the
// window, scaled to fit and centred.
#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>

#include "platform/common/common.h"

namespace {

PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;


int loadFramebufferCalls()
{
    genFramebuffers = platformGLProc<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers");
    bindFramebuffer = platformGLProc<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
    deleteFramebuffers = platformGLProc<PFNGLDELETEFRAMEBUFFERSPROC>("glDeleteFramebuffers");
    genRenderbuffers = platformGLProc<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers");
    bindRenderbuffer = platformGLProc<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
    deleteRenderbuffers = platformGLProc<PFNGLDELETERENDERBUFFERSPROC>("glDeleteRenderbuffers");
    renderbufferStorage = platformGLProc<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
    framebufferRenderbuffer = platformGLProc<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
    checkFramebufferStatus = platformGLProc<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus");
    blitFramebuffer = platformGLProc<PFNGLBLITFRAMEBUFFERPROC>("glBlitFramebuffer");
    return genFramebuffers && bindFramebuffer && genRenderbuffers && bindRenderbuffer && renderbufferStorage &&
           framebufferRenderbuffer && checkFramebufferStatus && deleteFramebuffers && deleteRenderbuffers &&
           blitFramebuffer;
}

}  // namespace

void* platformGLProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

int platformCreateTarget(PictureTarget* target, int width, int height)
{
    *target = PictureTarget{};
    if (!loadFramebufferCalls()) return 0;
    target->width = width;
    target->height = height;
    genFramebuffers(1, &target->framebuffer);
    bindFramebuffer(GL_FRAMEBUFFER, target->framebuffer);
    genRenderbuffers(1, &target->colour);
    bindRenderbuffer(GL_RENDERBUFFER, target->colour);
    renderbufferStorage(GL_RENDERBUFFER, GL_RGB8, width, height);  // no alpha: destination alpha reads 1
    framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target->colour);
    genRenderbuffers(1, &target->depth);
    bindRenderbuffer(GL_RENDERBUFFER, target->depth);
    renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target->depth);
    bindRenderbuffer(GL_RENDERBUFFER, 0);
    if (checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        platformDestroyTarget(target);
        return 0;
    }
    glViewport(0, 0, width, height);
    return 1;
}

void platformDestroyTarget(PictureTarget* target)
{
    if (target->framebuffer == 0) return;
    bindFramebuffer(GL_FRAMEBUFFER, 0);
    deleteFramebuffers(1, &target->framebuffer);
    deleteRenderbuffers(1, &target->colour);
    deleteRenderbuffers(1, &target->depth);
    *target = PictureTarget{};
}

PictureRect platformFitPicture(int pictureWidth, int pictureHeight, int windowWidth, int windowHeight)
{
    PictureRect fit;
    if (pictureWidth <= 0 || pictureHeight <= 0) return fit;
    // The largest size with the picture's aspect that the window holds.
    if (static_cast<long>(windowWidth) * pictureHeight <= static_cast<long>(windowHeight) * pictureWidth) {
        fit.width = windowWidth;
        fit.height = static_cast<int>(static_cast<long>(windowWidth) * pictureHeight / pictureWidth);
    } else {
        fit.height = windowHeight;
        fit.width = static_cast<int>(static_cast<long>(windowHeight) * pictureWidth / pictureHeight);
    }
    fit.x = (windowWidth - fit.width) / 2;
    fit.y = (windowHeight - fit.height) / 2;
    return fit;
}

void platformPresentTarget(const PictureTarget& target, int windowWidth, int windowHeight)
{
    if (target.framebuffer == 0) return;
    const PictureRect fit = platformFitPicture(target.width, target.height, windowWidth, windowHeight);
    // The copy leaves the demo's GL state as it was: only the clear colour, the
    // colour mask and the scissor test touch it, and they are put back.
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    GLboolean mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    bindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);  // the bars
    // A whole multiple keeps every pixel sharp; any other size is filtered.
    const bool whole = fit.width % target.width == 0 && fit.height % target.height == 0;
    blitFramebuffer(0, 0, target.width, target.height, fit.x, fit.y, fit.x + fit.width, fit.y + fit.height,
                    GL_COLOR_BUFFER_BIT, whole ? GL_NEAREST : GL_LINEAR);
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
    glColorMask(mask[0], mask[1], mask[2], mask[3]);
    if (scissor) glEnable(GL_SCISSOR_TEST);
}

void platformBindTarget(const PictureTarget& target)
{
    if (target.framebuffer != 0) bindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
}
