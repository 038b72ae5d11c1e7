#include "render/overlay.h"

#include <GL/gl.h>

#include <cmath>

namespace {
constexpr float QUAD_HALF_WIDTH = 0.05518f;   // the view's half width at eye distance 0.1
constexpr float QUAD_HALF_HEIGHT = 0.041385f; // its half height
constexpr float QUAD_DEPTH = -0.1f;

// Overlay state, in this order; the previous state is not kept.
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
    glVertex3f(-QUAD_HALF_WIDTH, -QUAD_HALF_HEIGHT, QUAD_DEPTH);
    glVertex3f(QUAD_HALF_WIDTH, -QUAD_HALF_HEIGHT, QUAD_DEPTH);
    glVertex3f(QUAD_HALF_WIDTH, QUAD_HALF_HEIGHT, QUAD_DEPTH);
    glVertex3f(-QUAD_HALF_WIDTH, QUAD_HALF_HEIGHT, QUAD_DEPTH);
    glEnd();
    glPopMatrix();
}

void flashOverlay(float start, float end, float time, float peak)
{
    if (time < start || time > end) return;
    const float level = peak * (1.0f - std::fabs(2.0f * (time - start) / (end - start) - 1.0f));
    beginOverlay(GL_DST_ALPHA, GL_ONE);
    glColor4f(level, level, level, 1.0f);
    drawScreenQuad();
    endOverlay();
}

void fadeOverlay(int mode, float start, float end, float time)
{
    if (time < start || time > end) return;
    const float f = (time - start) * (1.0f / (end - start));
    const float level = mode == FADE_IN ? f : 1.0f - f;
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
