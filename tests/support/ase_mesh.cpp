#include "tests/support/ase_mesh.h"

#include "tools/assets/ase_write.h"

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
// is drawn untextured in the current colour; written by the generator's writer.
std::string aseFile(const std::vector<Mesh>& meshes)
{
    SceneDesc scene;
    scene.fileName = "test.max";
    for (size_t m = 0; m < meshes.size(); ++m) {
        MeshNode node;
        node.name = "Node" + std::to_string(m);
        node.wireColour = {{1.0f, 1.0f, 1.0f}};
        for (const auto& p : meshes[m].vertices) node.vertices.push_back(V3{p[0], p[1], p[2]});
        node.faces = meshes[m].faces;
        scene.nodes.push_back(node);
    }
    return aseText(scene);
}
