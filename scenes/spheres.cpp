// Scene 6, from the end of the greetings to 192 s: six lit spheres drift on
// Lissajous paths in front of the camera. Every frame the spheres are first
// drawn small and copied into a texture, then drawn at full size; over them go
// a full-screen pentagram and a radial zoom blur of 25 ever more magnified
// copies of that texture. When this scene ends the demo is over.
#include "scenes/spheres.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cmath>
#include <vector>

#include "assets/tga.h"
#include "render/overlay.h"
#include "shell/timeline.h"
#include "shell/demo.h"
#include "shell/keys.h"

float spherePhase1 = 0.0f;
float spherePhase2 = 0.0f;
float spherePhase3 = 0.0f;
unsigned sphereRenderTarget = 0;

namespace {


const char* const PENTAGRAM_PATH = "models/pentagrama.tga";

// Phase steps per drawn frame, radians: the motion is per frame, not per second.
constexpr float PHASE1_STEP = 0.05f;
constexpr float PHASE2_STEP = 0.055f;
constexpr float PHASE3_STEP = 0.06f;

// One coordinate of a sphere's path: amplitude x sin or cos of a phase.
struct Wave {
    double amplitude;  // eye units
    int cosine;        // 1: cos, 0: sin
    const float* phase;
    double at() const
    {
        const double radians = static_cast<double>(*phase);  // sine and cosine in double precision
        return amplitude * (cosine ? std::cos(radians) : std::sin(radians));
    }
};

struct Sphere {
    GLfloat colour[4];  // ambient and diffuse
    Wave x, y;
    float z;            // eye units
    double radius;
};
constexpr int SIN = 0;
constexpr int COS = 1;
const Sphere SPHERES[SPHERE_COUNT] = {
    {{0.8f, 0.2f, 0.4f, 1.0f}, {5.0, SIN, &spherePhase1}, {-5.5, COS, &spherePhase2}, -22.0f, 1.0},
    {{0.4f, 0.8f, 0.2f, 1.0f}, {5.5, COS, &spherePhase2}, {-6.0, SIN, &spherePhase3}, -24.0f, 1.1},
    {{0.4f, 0.2f, 0.8f, 1.0f}, {-6.0, SIN, &spherePhase3}, {5.0, COS, &spherePhase1}, -20.0f, 0.9},
    {{0.8f, 0.8f, 0.2f, 1.0f}, {-5.5, COS, &spherePhase2}, {5.0, SIN, &spherePhase1}, -26.0f, 1.2},
    {{0.8f, 0.2f, 0.8f, 1.0f}, {6.0, COS, &spherePhase1}, {5.5, SIN, &spherePhase3}, -18.0f, 0.8},
    {{0.4f, 0.8f, 0.8f, 1.0f}, {5.0, SIN, &spherePhase3}, {6.0, COS, &spherePhase2}, -28.0f, 1.4},
};
constexpr GLfloat FIRST_SPHERE_SPECULAR[4] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr int SPHERE_SLICES = 22;
constexpr int SPHERE_STACKS = 22;

// Lighting.
constexpr GLfloat AMBIENT_LIGHT[4] = {0.2f, 0.2f, 0.2f, 1.0f};
constexpr GLfloat LIGHT_POSITION[4] = {0.0f, 2.0f, 5.0f, 1.0f};
constexpr GLfloat LIGHT_AMBIENT[4] = {0.2f, 0.2f, 0.2f, 1.0f};
constexpr GLfloat LIGHT_DIFFUSE[4] = {0.3f, 0.3f, 0.3f, 1.0f};
constexpr GLfloat LIGHT_SPECULAR[4] = {0.8f, 0.8f, 0.8f, 1.0f};
constexpr GLint SHININESS = 128;

// Viewport of the full frame, fixed whatever the window size.
constexpr int FRAME_WIDTH = 800;
constexpr int FRAME_HEIGHT = 600;

// The pentagram picture, eye units: 10 x 10 at depth 9 covers nearly all the view.
constexpr float PENTAGRAM_X = -5.1f;
constexpr float PENTAGRAM_Y = -4.7f;
constexpr float PENTAGRAM_Z = -9.0f;
constexpr float PENTAGRAM_SIZE = 10.0f;

constexpr float BLUR_FIRST_ALPHA = 0.2f;  // each later pass is 0.2 / passes fainter


// Changes no state but the material: texturing is left as it is, so whenever a
// fade of the previous frame left GL_TEXTURE_2D on, the spheres are modulated
// by the bound texture at the current texture coordinate.
void drawSpheres()
{
    for (int k = 0; k < SPHERE_COUNT; ++k) {
        const Sphere& sphere = SPHERES[k];
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, sphere.colour);
        if (k == 0) glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, FIRST_SPHERE_SPECULAR);
        glPushMatrix();
        glTranslatef(static_cast<float>(sphere.x.at()), static_cast<float>(sphere.y.at()), sphere.z);
        glutSolidSphere(sphere.radius, SPHERE_SLICES, SPHERE_STACKS);
        glPopMatrix();
    }
}

// Pixels of an 800 x 600 screen, y downwards.
void overlayProjectionOn()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, FRAME_WIDTH, FRAME_HEIGHT, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void overlayProjectionOff()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

// The spheres drawn small into the lower left corner and copied as grey into
// the render target; then the corner is cleared again.
void renderToTexture()
{
    glViewport(0, 0, SPHERE_TARGET_SIZE, SPHERE_TARGET_SIZE);
    drawSpheres();  // the 4:3 projection is squeezed into the square
    glBindTexture(GL_TEXTURE_2D, sphereRenderTarget);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, 0, 0, SPHERE_TARGET_SIZE, SPHERE_TARGET_SIZE, 0);
    glClearColor(0.0f, 0.0f, 0.0f, 0.4f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, FRAME_WIDTH, FRAME_HEIGHT);
}

}  // namespace

void spheresPentagramAndBlur(int passes, float spread)
{
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);

    glPushMatrix();
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, TEX_PENTAGRAM);
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
    glTranslatef(PENTAGRAM_X, PENTAGRAM_Y, PENTAGRAM_Z);
    drawTexturedRect(PENTAGRAM_SIZE, PENTAGRAM_SIZE, 0.0f);
    glEnable(GL_LIGHTING);
    glPopMatrix();

    // Every pass covers the screen and shows the texture's centre a little more
    // magnified and fainter, so the sum streaks outwards from the centre.
    // Lighting is off while the passes are sent (the pentagram step turned it
    // back on), so their own colours and alphas apply and the glow is grey:
    // lit, every pass would take the last sphere's material at alpha 1.
    glBindTexture(GL_TEXTURE_2D, sphereRenderTarget);
    overlayProjectionOn();
    glDisable(GL_LIGHTING);
    glBegin(GL_QUADS);
    float o = 0.0f;
    float a = BLUR_FIRST_ALPHA;
    for (int i = 0; i < passes; ++i) {
        glColor4f(1.0f, 1.0f, 1.0f, a);
        glTexCoord2f(o, 1.0f - o);
        glVertex2f(0.0f, 0.0f);
        glTexCoord2f(o, o);
        glVertex2f(0.0f, static_cast<float>(FRAME_HEIGHT));
        glTexCoord2f(1.0f - o, o);
        glVertex2f(static_cast<float>(FRAME_WIDTH), static_cast<float>(FRAME_HEIGHT));
        glTexCoord2f(1.0f - o, 1.0f - o);
        glVertex2f(static_cast<float>(FRAME_WIDTH), 0.0f);
        o += spread;
        a -= BLUR_FIRST_ALPHA / static_cast<float>(passes);
    }
    glEnd();
    glEnable(GL_LIGHTING);
    overlayProjectionOff();

    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, 0);
}

int spheresLoad()
{
    loadTgaTexture(PENTAGRAM_PATH, TEX_PENTAGRAM);  // a missing picture is ignored
    return 1;
}

int spheresSetup()
{
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);

    const std::vector<unsigned char> black(static_cast<size_t>(SPHERE_TARGET_SIZE) * SPHERE_TARGET_SIZE * 4, 0);
    GLuint name = 0;
    glGenTextures(1, &name);
    sphereRenderTarget = name;
    glBindTexture(GL_TEXTURE_2D, sphereRenderTarget);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, SPHERE_TARGET_SIZE, SPHERE_TARGET_SIZE, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 black.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    glMatrixMode(GL_MODELVIEW);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, AMBIENT_LIGHT);
    // The identity is loaded only below, so this position is transformed by the
    // modelview matrix the greetings' last frame left: after their normal end
    // the camera's translation by -35 in z puts the light at (0, 2, -30), behind
    // every sphere, for the whole scene.
    glLightfv(GL_LIGHT0, GL_POSITION, LIGHT_POSITION);
    glLightfv(GL_LIGHT0, GL_AMBIENT, LIGHT_AMBIENT);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, LIGHT_DIFFUSE);
    glLightfv(GL_LIGHT0, GL_SPECULAR, LIGHT_SPECULAR);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glShadeModel(GL_SMOOTH);
    glMateriali(GL_FRONT, GL_SHININESS, SHININESS);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glLoadIdentity();
    return 1;
}

int spheresDraw(float t)
{
    // Paused: the frame is neither cleared nor drawn and the spheres stay put.
    if (playState == PLAY_PAUSED) return 1;

    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();  // the camera sits at the origin looking down -z

    if (t < SPHERES_END) {
        renderToTexture();
        drawSpheres();
        spheresPentagramAndBlur(SPHERE_BLUR_PASSES, SPHERE_BLUR_SPREAD);
        spherePhase1 += PHASE1_STEP;
        spherePhase2 += PHASE2_STEP;
        spherePhase3 += PHASE3_STEP;
    } else {
        sceneDone = 1;  // this last frame is black
    }

    for (const FadeWindow& fade : SPHERE_FADES) fadeOverlay(fade.mode, fade.start, fade.end, t);
    return 1;
}

void spheresCleanup()
{
    const GLuint name = sphereRenderTarget;
    glDeleteTextures(1, &name);
    sphereRenderTarget = 0;
}
