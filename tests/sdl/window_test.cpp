// The real layer's window and GL context: the format the demo asks for is the
// one the context has, read back once it is current, and a frame buffer that
// comes with alpha bits anyway still reads destination alpha 1.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>

#include <vector>

#include "platform/common/common.h"
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

// The picture target the scaled modes draw into, shown in a window of another
// shape: black bars at the sides, the picture filling the height between them,
// and its centre pixel the unscaled frame's within the filter's rounding.
TEST(RealWindow, APictureTargetShowsScaledBetweenBlackBars)
{
    constexpr int WINDOW_WIDTH = 1000;  // pixels: fits the test's screen; 4:3 of 700 is 933 wide
    constexpr int WINDOW_HEIGHT = 700;
    constexpr int PATCH = 40;            // side of the centre patch, target pixels
    constexpr int CENTRE_TOLERANCE = 2;  // levels
    ASSERT_EQ(platformStartVideo(), 1);
    ASSERT_EQ(platformChoosePixelFormat(COLOUR_BITS, DEPTH_BITS), 1);
    ASSERT_EQ(platformCreateWindow("Vantrel by Skarvel", WINDOW_WIDTH, WINDOW_HEIGHT, WINDOW_FRAMED, 1), 1);
    ASSERT_EQ(platformCreateContext(), 1);
    ASSERT_EQ(platformMakeCurrent(1), 1);
    PictureTarget target;
    ASSERT_EQ(platformCreateTarget(&target, WIDTH, HEIGHT), 1);
    // A blue-grey frame with an orange patch at its centre.
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(WIDTH / 2 - PATCH / 2, HEIGHT / 2 - PATCH / 2, PATCH, PATCH);
    glClearColor(0.8f, 0.4f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    unsigned char unscaled[4] = {};
    glReadPixels(WIDTH / 2, HEIGHT / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, unscaled);

    platformPresentTarget(target, WINDOW_WIDTH, WINDOW_HEIGHT);
    const PictureRect fit = platformFitPicture(WIDTH, HEIGHT, WINDOW_WIDTH, WINDOW_HEIGHT);
    EXPECT_EQ(fit.height, WINDOW_HEIGHT);
    EXPECT_EQ(fit.width, WINDOW_HEIGHT * WIDTH / HEIGHT);
    EXPECT_EQ(fit.x, (WINDOW_WIDTH - fit.width) / 2);
    auto windowPixel = [](int x, int y) {
        std::vector<unsigned char> rgba(4);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    };
    // The present leaves the window's frame buffer bound for drawing only.
    const auto bindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(SDL_GL_GetProcAddress("glBindFramebuffer"));
    ASSERT_NE(bindFramebuffer, nullptr);
    bindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    const std::vector<unsigned char> centre = windowPixel(WINDOW_WIDTH / 2, WINDOW_HEIGHT / 2);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(centre[c], unscaled[c], CENTRE_TOLERANCE) << "channel " << c;
    EXPECT_EQ(unscaled[0], 204);  // the patch, not the frame around it
    for (int y : {1, WINDOW_HEIGHT / 2, WINDOW_HEIGHT - 2}) {
        const std::vector<unsigned char> left = windowPixel(fit.x / 2, y), right = windowPixel(fit.x + fit.width + fit.x / 2, y);
        EXPECT_EQ(left[0] + left[1] + left[2], 0) << "left bar, row " << y;
        EXPECT_EQ(right[0] + right[1] + right[2], 0) << "right bar, row " << y;
        const std::vector<unsigned char> inside = windowPixel(fit.x + 2, y);
        EXPECT_NEAR(inside[2], 191, CENTRE_TOLERANCE) << "the picture's left edge, row " << y;
    }
    platformBindTarget(target);
    platformDestroyTarget(&target);
    platformMakeCurrent(0);
    platformDestroyContext();
    platformDestroyWindow();
    platformStopVideo();
}
