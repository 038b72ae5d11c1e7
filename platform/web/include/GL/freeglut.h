// The one GLUT call the demo makes, for the web build, where no GLUT library
// exists: platform/web/web_glu.cpp draws the sphere through the GL layer.
#pragma once

#include <GL/gl.h>

#ifdef __cplusplus
extern "C" {
#endif
// A sphere of the given radius about the origin, cut into slices around the z
// axis and stacks along it, with a unit normal at every vertex.
void glutSolidSphere(double radius, GLint slices, GLint stacks);
#ifdef __cplusplus
}
#endif
