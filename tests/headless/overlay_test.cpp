// Flash and fade overlays and the screen quad, checked by pixels and GL state.
#include <GL/gl.h>

#include "render/overlay.h"
#include "tests/support/support.h"

namespace {

class Overlay : public GLTest {
protected:
    // Fills the frame with one grey level and leaves a known state behind.
    void fill(float grey)
    {
        glClearColor(grey, grey, grey, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    int centre()
    {
        unsigned char px[3] = {};
        glPixel(400, 300, px);
        return px[0];
    }
    // The state both overlays leave, and the blend factors and colour of the one drawn.
    void expectOverlayState(GLenum source, GLenum destination, float level)
    {
        GLint src = 0, dst = 0;
        glGetIntegerv(GL_BLEND_SRC, &src);
        glGetIntegerv(GL_BLEND_DST, &dst);
        EXPECT_EQ(src, static_cast<GLint>(source));
        EXPECT_EQ(dst, static_cast<GLint>(destination));
        GLfloat colour[4] = {};
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_NEAR(colour[0], level, 1e-6);
        EXPECT_NEAR(colour[2], level, 1e-6);
        EXPECT_EQ(colour[3], 1.0f);
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
    }
    void expectUntouched()
    {
        EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
    }
};

}  // namespace

TEST_F(Overlay, FadeInIsBlackAtItsStartAndUnchangedAtItsEnd)
{
    struct Case {
        int mode;
        float time;
        int expected;
    };
    const Case cases[] = {
        {FADE_IN, 1.0f, 0}, {FADE_IN, 1.5f, 50}, {FADE_IN, 3.0f, 200},
        {FADE_OUT, 1.0f, 200}, {FADE_OUT, 2.0f, 100}, {FADE_OUT, 3.0f, 0},
    };
    for (const Case& c : cases) {
        fill(200.0f / 255.0f);
        fadeOverlay(c.mode, 1.0f, 3.0f, c.time);
        EXPECT_NEAR(centre(), c.expected, 2) << "mode " << c.mode << " at " << c.time;
        expectOverlayState(GL_DST_COLOR, GL_ZERO, c.expected / 200.0f);
        // The quad covers the whole view: the corners change with the centre.
        unsigned char corner[3] = {};
        glPixel(0, 0, corner);
        EXPECT_NEAR(corner[0], c.expected, 2);
        glPixel(799, 599, corner);
        EXPECT_NEAR(corner[0], c.expected, 2);
    }
}

TEST_F(Overlay, FlashAddsNothingAtItsEndsAndItsPeakAtTheMidpoint)
{
    const struct {
        float time;
        int expected;
        float level;
    } cases[] = {{2.0f, 10, 0.0f}, {2.125f, 10 + 115, 0.45f}, {2.25f, 10 + 230, 0.9f}, {2.5f, 10, 0.0f}};
    for (const auto& c : cases) {
        fill(10.0f / 255.0f);
        flashOverlay(2.0f, 2.5f, c.time, 0.9f);
        EXPECT_NEAR(centre(), c.expected, 2) << c.time;
        expectOverlayState(GL_DST_ALPHA, GL_ONE, c.level);
    }
}

TEST_F(Overlay, OutsideTheirWindowsOverlaysDrawNothingAndChangeNoState)
{
    fill(100.0f / 255.0f);
    flashOverlay(2.0f, 2.5f, 1.99f, 0.9f);
    flashOverlay(2.0f, 2.5f, 2.51f, 0.9f);
    fadeOverlay(FADE_IN, 2.0f, 2.5f, 1.99f);
    fadeOverlay(FADE_OUT, 2.0f, 2.5f, 2.51f);
    EXPECT_NEAR(centre(), 100, 1);
    expectUntouched();
}

TEST_F(Overlay, ScreenQuadKeepsTheMatrixAndCoversTheView)
{
    fill(0.0f);
    glTranslatef(1.0f, 2.0f, 3.0f);
    GLfloat before[16] = {}, after[16] = {};
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    glColor3f(1.0f, 1.0f, 1.0f);
    drawScreenQuad();
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(before[i], after[i]);
    const Frame frame = readFrame();
    EXPECT_TRUE(frame.uniform());
    EXPECT_EQ(frame.at(0, 0)[0], 255);

    // In a view widened by a tenth the quad shows its edges: it is the size of the
    // view, not merely larger, so it ends 1 / 1.1 of the way out from the centre.
    fill(0.0f);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glScalef(1.0f / 1.1f, 1.0f / 1.1f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    drawScreenQuad();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    const Frame widened = readFrame();
    int left = -1, top = -1;
    for (int x = 0; x < 400 && left < 0; ++x)
        if (widened.at(x, 300)[0] == 255) left = x;
    for (int y = 0; y < 300 && top < 0; ++y)
        if (widened.at(400, y)[0] == 255) top = y;
    EXPECT_NEAR(left, 400.0 - 400.0 / 1.1, 1.5);
    EXPECT_NEAR(top, 300.0 - 300.0 / 1.1, 1.5);
}

TEST_F(Overlay, TexturedQuadsPutTheirCornersWhereTheyBelong)
{
    // A 2 x 2 texture with a distinct colour per texel shows which corner went where.
    const unsigned char texels[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    glBindTexture(GL_TEXTURE_2D, 3);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 2, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    for (int which = 0; which < 2; ++which) {
        fill(0.0f);
        glEnable(GL_TEXTURE_2D);
        glColor3f(1, 1, 1);
        glTranslatef(0, 0, -3);
        if (which == 0) {
            drawCenteredSquare(1.0f);
        } else {
            glTranslatef(-1, -1, 0);
            drawTexturedRect(2.0f, 2.0f, 0.0f);
        }
        const Frame frame = readFrame();
        // Texel row 0 (red, green) at the bottom, upright and unmirrored.
        const unsigned char* lowerLeft = frame.at(340, 360);
        const unsigned char* lowerRight = frame.at(460, 360);
        const unsigned char* upperLeft = frame.at(340, 240);
        EXPECT_EQ(lowerLeft[0], 255) << which;
        EXPECT_EQ(lowerRight[1], 255) << which;
        EXPECT_EQ(lowerRight[0], 0) << which;
        EXPECT_EQ(upperLeft[2], 255) << which;
        EXPECT_EQ(upperLeft[0], 0) << which;
    }
}

// While drawing is discarded the centred square sends nothing but leaves the
// current texture coordinate its last corner leaves when drawn.
TEST_F(Overlay, DiscardedCentredSquareLeavesTheCoordinateOfTheDrawnOne)
{
    GLfloat drawn[4] = {}, discarded[4] = {};
    fill(0.0f);
    glColor3f(1, 1, 1);
    glTranslatef(0, 0, -3);
    glTexCoord2f(5.0f, 6.0f);
    drawCenteredSquare(1.0f);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, drawn);
    EXPECT_EQ(centre(), 255) << "the square is drawn";

    fill(0.0f);
    glTranslatef(0, 0, -3);
    glTexCoord2f(5.0f, 6.0f);
    {
        ScopedRasterDiscard stateOnly;
        drawCenteredSquare(1.0f);
    }
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, discarded);
    EXPECT_TRUE(readFrame().uniform());
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(discarded[i], drawn[i]) << "coordinate " << i;
    EXPECT_FLOAT_EQ(discarded[0], 1.0f);
    EXPECT_FLOAT_EQ(discarded[1], 0.0f);
}
