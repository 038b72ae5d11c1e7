// Shared drawing routines: the screen quad, the flash and fade overlays drawn
// over a finished frame, and the two textured quads used for titles and sprites.
#include "render/overlay.h"

#include <GL/gl.h>

#include <cmath>

#include "platform/platform.h"

namespace {

// The view at eye distance 0.1 for the 45-degree, 4:3 projection: half height
// 0.1 x tan(22.5 degrees), half width 4/3 of that.
constexpr float SCREEN_QUAD_HALF_WIDTH = 0.05518f;
constexpr float SCREEN_QUAD_HALF_HEIGHT = 0.041385f;
constexpr float SCREEN_QUAD_DEPTH = -0.1f;  // eye space, just beyond the near plane at 0.01

// The overlays set this state without saving what was there; afterwards depth
// test, lighting and texturing are on and blending off, and the blend function
// stays at the overlay's factors.
void beginOverlay(GLenum source, GLenum destination)
{
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(source, destination);
}

void endOverlay()
{
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
}

}  // namespace

void drawScreenQuad()
{
    glPushMatrix();
    glLoadIdentity();
    glBegin(GL_QUADS);
    glVertex3f(-SCREEN_QUAD_HALF_WIDTH, -SCREEN_QUAD_HALF_HEIGHT, SCREEN_QUAD_DEPTH);
    glVertex3f(SCREEN_QUAD_HALF_WIDTH, -SCREEN_QUAD_HALF_HEIGHT, SCREEN_QUAD_DEPTH);
    glVertex3f(SCREEN_QUAD_HALF_WIDTH, SCREEN_QUAD_HALF_HEIGHT, SCREEN_QUAD_DEPTH);
    glVertex3f(-SCREEN_QUAD_HALF_WIDTH, SCREEN_QUAD_HALF_HEIGHT, SCREEN_QUAD_DEPTH);
    glEnd();
    glPopMatrix();
}

void flashOverlay(float start, float end, float time, float peak)
{
    if (time < start || time > end) return;  // closed at both ends
    // A window of no length is its own middle: the flash is at its peak.
    const float position = end > start ? 2.0f * (time - start) / (end - start) - 1.0f : 0.0f;
    const float level = peak * (1.0f - std::fabs(position));
    // The frame has no alpha bits, so the destination alpha reads as 1 and the
    // quad adds its level to every channel.
    beginOverlay(GL_DST_ALPHA, GL_ONE);
    glColor4f(level, level, level, 1.0f);
    drawScreenQuad();
    endOverlay();
}

void fadeOverlay(int mode, float start, float end, float time)
{
    if (time < start || time > end) return;  // closed at both ends
    // A window of no length is over as soon as it is reached.
    const float reciprocal = end > start ? 1.0f / (end - start) : 0.0f;
    const float fraction = end > start ? (time - start) * reciprocal : 1.0f;
    const float level = mode == FADE_IN ? fraction : 1.0f - fraction;
    // Source times destination colour: the frame multiplied by the level.
    beginOverlay(GL_DST_COLOR, GL_ZERO);
    glColor4f(level, level, level, 1.0f);
    drawScreenQuad();
    endOverlay();
}

void drawTexturedRect(float width, float height, float depth)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, depth);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(width, 0.0f, depth);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(width, height, depth);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(0.0f, height, depth);
    glEnd();
}

void drawCenteredSquare(float s)
{
    if (platformDrawingDiscarded()) {
        glTexCoord2f(1.0f, 0.0f);  // the current texture coordinate the quad leaves
        return;
    }
    glBegin(GL_QUADS);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(s, s, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-s, s, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-s, -s, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(s, -s, 0.0f);
    glEnd();
}
