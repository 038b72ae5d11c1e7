#include "tests/support/ase_mesh.h"

#include <cstdio>

// An axis-aligned cube around (x, y, z).
Mesh box(float x, float y, float z, float half)
{
    static const int quads[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                    {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
    Mesh mesh;
    for (int v = 0; v < 8; ++v)
        mesh.vertices.push_back({x + ((v & 1) ? half : -half), y + ((v & 2) ? half : -half),
                                 z + ((v & 4) ? half : -half)});
    for (const auto& q : quads) {
        mesh.faces.push_back({q[0], q[1], q[2]});
        mesh.faces.push_back({q[0], q[2], q[3]});
    }
    return mesh;
}

// One ASE file with a geometry node per mesh and no materials, so every node
// is drawn untextured in the current colour. The reader turns file (x, y, z)
// into drawing (x, z, -y), so a drawing point (X, Y, Z) is written as (X, -Z, Y).
std::string aseFile(const std::vector<Mesh>& meshes)
{
    std::string text = "*3DSMAX_ASCIIEXPORT\t200\n*SCENE {\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 100\n"
                       "\t*SCENE_FRAMESPEED 30\n\t*SCENE_TICKSPERFRAME 160\n}\n"
                       "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 0\n}\n";
    char line[256];
    for (size_t m = 0; m < meshes.size(); ++m) {
        const Mesh& mesh = meshes[m];
        std::snprintf(line, sizeof line, "*GEOMOBJECT {\n\t*NODE_NAME \"Node%zu\"\n\t*MESH {\n", m);
        text += line;
        std::snprintf(line, sizeof line, "\t\t*MESH_NUMVERTEX %zu\n\t\t*MESH_NUMFACES %zu\n\t\t*MESH_VERTEX_LIST {\n",
                      mesh.vertices.size(), mesh.faces.size());
        text += line;
        for (size_t v = 0; v < mesh.vertices.size(); ++v) {
            const auto& p = mesh.vertices[v];
            std::snprintf(line, sizeof line, "\t\t\t*MESH_VERTEX %4zu\t%.6f\t%.6f\t%.6f\n", v, p[0], -p[2], p[1]);
            text += line;
        }
        text += "\t\t}\n\t\t*MESH_FACE_LIST {\n";
        for (size_t f = 0; f < mesh.faces.size(); ++f) {
            const auto& c = mesh.faces[f];
            std::snprintf(line, sizeof line,
                          "\t\t\t*MESH_FACE %4zu:    A: %4d B: %4d C: %4d AB:    1 BC:    1 CA:    0\t "
                          "*MESH_SMOOTHING 1 \t*MESH_MTLID 0\n",
                          f, c[0], c[1], c[2]);
            text += line;
        }
        text += "\t\t}\n\t}\n\t*WIREFRAME_COLOR 1.0000\t1.0000\t1.0000\n}\n";
    }
    return text;
}
