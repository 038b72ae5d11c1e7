// Stand-in until the renderer is built.
#include "render/model.h"

#include <GL/gl.h>

void drawAseScene(const AseScene*) { glDisable(GL_LIGHTING); }
void drawGeomObject(const GeomObject*, const AseMaterial*, int) {}
