// The model renderer: every geometry node of a scene as filled, unlit
// triangles in immediate mode, one glBegin/glEnd pair per triangle, textured
// with its material's bitmap where it has one. No colour and no normal is sent,
// so the triangles take the caller's current colour (times the texture).
#include "render/model.h"

#include <GL/gl.h>

#include "platform/platform.h"

namespace {

const GLfloat WHITE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const GLfloat BLACK[4] = {0.0f, 0.0f, 0.0f, 0.0f};
constexpr GLint NO_SHININESS = 0;

// Whether every corner of a face indexes the node's arrays (the texture
// vertices only when the node is drawn textured).
bool faceInRange(const GeomObject* node, const MeshFace& face, int textured)
{
    const int vertexCount = node->vertices != nullptr ? node->numVertices : 0;
    for (int c = 0; c < 3; ++c) {
        if (face.v[c] < 0 || face.v[c] >= vertexCount) return false;
        if (textured && (face.t[c] < 0 || face.t[c] >= node->numTexVertices)) return false;
    }
    return true;
}

// Sends one corner's texture coordinate, shifted by the material's offsets.
// The drawn faces and the discarded ones both leave the current coordinate
// through here, so the two cannot drift apart.
void sendTexCoord(const GeomObject* node, const AseMaterial* material, int texVertex)
{
    const TexVertex& tv = node->texVertices[texVertex];
    glTexCoord2f(tv.u + material->uOffset, tv.v + material->vOffset);
}

}  // namespace

void drawAseScene(const AseScene* scene)
{
    glDisable(GL_LIGHTING);
    if (scene->objects == nullptr) return;
    const bool hasMaterials = scene->numMaterials > 0 && scene->materials != nullptr;
    for (int i = 0; i < scene->numObjects; ++i) {
        const GeomObject* node = &scene->objects[i];
        const AseMaterial* material = hasMaterials ? &scene->materials[0] : nullptr;
        int textured = 0;
        if (hasMaterials && node->materialRef >= 0 && node->materialRef < scene->numMaterials) {
            material = &scene->materials[node->materialRef];
            textured = material->hasBitmap == 1 ? 1 : 0;
        }
        drawGeomObject(node, material, textured);
    }
}

void drawGeomObject(const GeomObject* node, const AseMaterial* material, int textured)
{
    // A node without texture vertices has no coordinates to send: drawn untextured.
    if (material == nullptr || node->texVertices == nullptr || node->numTexVertices <= 0) textured = 0;

    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    if (textured) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, material->textureName);
    }
    // With lighting off these do not change the picture; they stay set for
    // whatever is drawn lit afterwards.
    const GLfloat diffuse[4] = {node->wireColor[0], node->wireColor[1], node->wireColor[2], 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, WHITE);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, WHITE);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, BLACK);
    glMateriali(GL_FRONT_AND_BACK, GL_SHININESS, NO_SHININESS);

    if (platformDrawingDiscarded()) {
        // Nothing of the faces would be seen; what they leave behind is the
        // current texture coordinate of the last face's last corner.
        for (int f = node->numFaces - 1; textured && f >= 0 && node->faces != nullptr; --f) {
            const MeshFace& face = node->faces[f];
            if (!faceInRange(node, face, textured)) continue;
            sendTexCoord(node, material, face.t[2]);
            break;
        }
    } else {
        for (int f = 0; f < node->numFaces && node->faces != nullptr; ++f) {
            const MeshFace& face = node->faces[f];
            if (!faceInRange(node, face, textured)) continue;
            glBegin(GL_TRIANGLES);
            for (int c = 0; c < 3; ++c) {
                if (textured) sendTexCoord(node, material, face.t[c]);
                glVertex3fv(&node->vertices[face.v[c]].x);
            }
            glEnd();
        }
    }

    if (textured) glDisable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}
