// The GLU and GLUT calls the demo makes, for the web build, which has neither
// library: written from their documented definitions over the web GL layer.
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <vector>

namespace {

constexpr double DEGREES_TO_RADIANS = M_PI / 180.0;

// sin and cos of n equal steps around a whole circle (or a half one), from angle
// 0; a negative n goes the other way. The tables hold one entry more, equal to
// the first, so that a ring closes on exactly the vertex it started from.
void circleTable(std::vector<float>* sines, std::vector<float>* cosines, int n, bool half)
{
    const int size = n < 0 ? -n : n;
    const float angle = (half ? 1.0f : 2.0f) * static_cast<float>(M_PI) / static_cast<float>(n == 0 ? 1 : n);
    sines->assign(static_cast<size_t>(size) + 1, 0.0f);
    cosines->assign(static_cast<size_t>(size) + 1, 1.0f);
    for (int i = 1; i < size; ++i) {
        (*sines)[static_cast<size_t>(i)] = std::sin(angle * static_cast<float>(i));
        (*cosines)[static_cast<size_t>(i)] = std::cos(angle * static_cast<float>(i));
    }
    if (half) {
        (*sines)[static_cast<size_t>(size)] = 0.0f;  // the half circle ends at the far pole
        (*cosines)[static_cast<size_t>(size)] = -1.0f;
    } else {
        (*sines)[static_cast<size_t>(size)] = (*sines)[0];
        (*cosines)[static_cast<size_t>(size)] = (*cosines)[0];
    }
}

}  // namespace

// The perspective projection of a vertical field of view fovy (degrees).
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    const double radians = fovy / 2.0 * DEGREES_TO_RADIANS;
    const double sine = std::sin(radians);
    const double depth = zFar - zNear;
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0) return;
    const double f = std::cos(radians) / sine;
    GLdouble m[16] = {};
    m[0] = f / aspect;
    m[5] = f;
    m[10] = -(zFar + zNear) / depth;
    m[11] = -1.0;
    m[14] = -2.0 * zNear * zFar / depth;
    glMultMatrixd(m);
}

// A camera at eye looking at centre, with up as the picture's up.
void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY, GLdouble centerZ,
               GLdouble upX, GLdouble upY, GLdouble upZ)
{
    double f[3] = {centerX - eyeX, centerY - eyeY, centerZ - eyeZ};
    const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    if (fl == 0.0) return;
    for (double& c : f) c /= fl;
    // side = forward x up, normalised; up' = side x forward.
    double s[3] = {f[1] * upZ - f[2] * upY, f[2] * upX - f[0] * upZ, f[0] * upY - f[1] * upX};
    const double sl = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    if (sl == 0.0) return;
    for (double& c : s) c /= sl;
    const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]};
    GLdouble m[16] = {};
    m[0] = s[0];
    m[4] = s[1];
    m[8] = s[2];
    m[1] = u[0];
    m[5] = u[1];
    m[9] = u[2];
    m[2] = -f[0];
    m[6] = -f[1];
    m[10] = -f[2];
    m[15] = 1.0;
    glMultMatrixd(m);
    GLdouble t[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -eyeX, -eyeY, -eyeZ, 1};
    glMultMatrixd(t);
}

// The sphere as GLUT draws it: a vertex at each pole, stacks - 1 rings of
// slices vertices between them (slices turn clockwise seen from +z), the normal
// of each vertex its direction from the centre; each stack is one triangle
// strip, from the top down.
void glutSolidSphere(double radius, GLint slices, GLint stacks)
{
    if (slices < 1 || stacks < 2) return;
    std::vector<float> sin1, cos1, sin2, cos2;
    circleTable(&sin1, &cos1, -slices, false);
    circleTable(&sin2, &cos2, stacks, true);
    const float r = static_cast<float>(radius);
    // Vertex v of ring i (0: the top pole, stacks: the bottom pole).
    auto vertex = [&](int i, int j) {
        float x = 0.0f, y = 0.0f, z = 1.0f;
        if (i >= stacks) {
            z = -1.0f;
        } else if (i > 0) {
            x = cos1[static_cast<size_t>(j)] * sin2[static_cast<size_t>(i)];
            y = sin1[static_cast<size_t>(j)] * sin2[static_cast<size_t>(i)];
            z = cos2[static_cast<size_t>(i)];
        }
        glNormal3f(x, y, z);
        glVertex3f(x * r, y * r, z * r);
    };
    for (int i = 0; i < stacks; ++i) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int j = 0; j <= slices; ++j) {
            const int slice = j % slices;
            vertex(i + 1, slice);  // the lower ring first, then the upper one
            vertex(i, slice);
        }
        glEnd();
    }
}
