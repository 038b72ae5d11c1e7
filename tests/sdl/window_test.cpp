// The real layer's window and GL context: the format the demo asks for is the
// one the context has, read back once it is current, and a frame buffer that
// comes with alpha bits anyway still reads destination alpha 1.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include "platform/platform.h"
#include "shell/demo.h"
#include "shell/window.h"

namespace {

constexpr int WIDTH = 800;         // pixels
constexpr int HEIGHT = 600;
constexpr int COLOUR_BITS = 16;    // as the demo asks
constexpr int DEPTH_BITS = 16;
constexpr int FORCED_ALPHA_BITS = 8;  // what a driver that hands out alpha anyway gives
constexpr int OPAQUE = 255;        // alpha of a pixel read back as 1

int attribute(SDL_GLattr name)
{
    int value = -1;
    EXPECT_EQ(SDL_GL_GetAttribute(name, &value), 0) << SDL_GetError();
    return value;
}

GLint glInteger(GLenum name)
{
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

// Clears to a half-transparent colour and reads the alpha of the centre pixel.
int alphaAfterClear()
{
    glClearColor(0.2f, 0.4f, 0.6f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char rgba[4] = {};
    glReadPixels(WIDTH / 2, HEIGHT / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return rgba[3];
}

// Blends white with GL_DST_ALPHA over a black frame: the whole source arrives
// only where destination alpha reads 1.
int redAfterDestinationAlphaBlend()
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_ALPHA, GL_ZERO);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glRectf(-1.0f, -1.0f, 1.0f, 1.0f);
    glDisable(GL_BLEND);
    unsigned char rgba[4] = {};
    glReadPixels(WIDTH / 2, HEIGHT / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return rgba[0];
}

}  // namespace

TEST(RealWindow, TheContextHasTheRequestedFormat)
{
    fullscreenMode = 0;
    ASSERT_EQ(openMainWindow("Vantrel by Skarvel", WIDTH, HEIGHT, COLOUR_BITS, 0), 1);
    EXPECT_EQ(attribute(SDL_GL_DOUBLEBUFFER), 1);
    EXPECT_GE(attribute(SDL_GL_DEPTH_SIZE), DEPTH_BITS);
    EXPECT_EQ(attribute(SDL_GL_ALPHA_SIZE), 0);
    EXPECT_GE(attribute(SDL_GL_RED_SIZE), 5);
    EXPECT_GE(attribute(SDL_GL_GREEN_SIZE), 6);
    EXPECT_GE(attribute(SDL_GL_BLUE_SIZE), 5);
    EXPECT_EQ(glInteger(GL_ALPHA_BITS), 0);
    EXPECT_GE(glInteger(GL_DEPTH_BITS), DEPTH_BITS);
    GLboolean doubleBuffer = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffer);
    EXPECT_EQ(doubleBuffer, GL_TRUE);
    EXPECT_EQ(alphaAfterClear(), OPAQUE);
    EXPECT_EQ(redAfterDestinationAlphaBlend(), OPAQUE);
    closeMainWindow();
    EXPECT_EQ(windowOpen, 0);
}

// The layer's own request is overridden between choosing the format and
// creating the window, as a driver that gives alpha bits anyway would: the
// window has them, and the layer fills them with 1 and keeps them there.
TEST(RealWindow, AlphaBitsHandedOutAnywayReadAsOne)
{
    ASSERT_EQ(platformStartVideo(), 1);
    ASSERT_EQ(platformChoosePixelFormat(COLOUR_BITS, DEPTH_BITS), 1);
    ASSERT_EQ(SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, FORCED_ALPHA_BITS), 0);
    ASSERT_EQ(platformCreateWindow("Vantrel by Skarvel", WIDTH, HEIGHT, WINDOW_FRAMED, 1), 1);
    ASSERT_EQ(platformCreateContext(), 1);
    ASSERT_EQ(platformMakeCurrent(1), 1);
    EXPECT_GE(attribute(SDL_GL_ALPHA_SIZE), FORCED_ALPHA_BITS);
    EXPECT_GE(glInteger(GL_ALPHA_BITS), FORCED_ALPHA_BITS);
    GLboolean mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_EQ(mask[3], GL_FALSE);
    EXPECT_EQ(alphaAfterClear(), OPAQUE);
    EXPECT_EQ(redAfterDestinationAlphaBlend(), OPAQUE);
    platformMakeCurrent(0);
    platformDestroyContext();
    platformDestroyWindow();
    platformStopVideo();
}
