#include "tests/support/ase_mesh.h"

#include <gtest/gtest.h>

#include <cstring>

#include "assets/ase.h"
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

// Compares two loaded scenes field by field, arrays element by element.
void expectSameScene(const AseScene& a, const AseScene& b, bool sameTextureNames)
{
    ASSERT_EQ(a.numObjects, b.numObjects);
    ASSERT_EQ(a.numMaterials, b.numMaterials);
    ASSERT_EQ(a.numLights, b.numLights);
    ASSERT_EQ(a.numCameras, b.numCameras);
    EXPECT_EQ(a.firstFrame, b.firstFrame);
    EXPECT_EQ(a.lastFrame, b.lastFrame);
    EXPECT_EQ(a.frameSpeed, b.frameSpeed);
    EXPECT_EQ(a.ticksPerFrame, b.ticksPerFrame);
    auto sameBytes = [](const void* x, const void* y, size_t n) {
        if (n == 0) return true;
        if (x == nullptr || y == nullptr) return x == y;
        return std::memcmp(x, y, n) == 0;
    };
    auto expectSameAnimation = [&](const NodeAnimation& x, const NodeAnimation& y) {
        ASSERT_EQ(x.numPosKeys, y.numPosKeys);
        ASSERT_EQ(x.numRotKeys, y.numRotKeys);
        EXPECT_TRUE(sameBytes(x.posKeys, y.posKeys, sizeof(AnimKey) * x.numPosKeys));
        EXPECT_TRUE(sameBytes(x.rotKeys, y.rotKeys, sizeof(AnimKey) * x.numRotKeys));
        ASSERT_EQ(x.numPosFrames, y.numPosFrames);
        ASSERT_EQ(x.numRotFrames, y.numRotFrames);
        EXPECT_TRUE(sameBytes(x.posFrames, y.posFrames, sizeof(Vec3) * x.numPosFrames));
        EXPECT_TRUE(sameBytes(x.rotFrames, y.rotFrames, sizeof(float[4]) * x.numRotFrames));
    };
    for (int i = 0; i < a.numMaterials; ++i) {
        AseMaterial x = a.materials[i];
        AseMaterial y = b.materials[i];
        // Texture names come from a running counter: unless asked, only whether one was given matters.
        EXPECT_EQ(x.textureName != 0, y.textureName != 0) << "material " << i;
        if (sameTextureNames) {
            EXPECT_EQ(x.textureName, y.textureName) << "material " << i;
        }
        x.textureName = y.textureName = 0;
        EXPECT_TRUE(sameBytes(&x, &y, sizeof x)) << "material " << i;
    }
    for (int i = 0; i < a.numObjects; ++i) {
        SCOPED_TRACE("object " + std::to_string(i));
        const GeomObject& x = a.objects[i];
        const GeomObject& y = b.objects[i];
        ASSERT_EQ(x.numVertices, y.numVertices);
        ASSERT_EQ(x.numFaces, y.numFaces);
        EXPECT_EQ(x.numTexFaces, y.numTexFaces);
        ASSERT_EQ(x.numTexVertices, y.numTexVertices);
        ASSERT_EQ(x.hasNormals, y.hasNormals);
        EXPECT_STREQ(x.name, y.name);
        EXPECT_TRUE(sameBytes(x.vertices, y.vertices, sizeof(Vec3) * x.numVertices));
        EXPECT_TRUE(sameBytes(x.texVertices, y.texVertices, sizeof(TexVertex) * x.numTexVertices));
        EXPECT_EQ(x.vertexNormals == nullptr, y.vertexNormals == nullptr);
        if (x.vertexNormals) {
            EXPECT_TRUE(sameBytes(x.vertexNormals, y.vertexNormals, sizeof(Vec3) * x.numVertices));
        }
        EXPECT_TRUE(sameBytes(x.faces, y.faces, sizeof(MeshFace) * x.numFaces));
        EXPECT_EQ(x.materialRef, y.materialRef);
        EXPECT_TRUE(sameBytes(&x.pivot, &y.pivot, sizeof x.pivot));
        EXPECT_TRUE(sameBytes(x.wireColor, y.wireColor, sizeof x.wireColor));
        expectSameAnimation(x.animation, y.animation);
    }
    // Lights and cameras hold no arrays but their animation's: the rest
    // compares byte for byte (the records are zero-filled, padding included).
    auto expectSameRecord = [&](auto x, auto y) {
        expectSameAnimation(x.animation, y.animation);
        x.animation = y.animation = NodeAnimation{};
        EXPECT_TRUE(sameBytes(&x, &y, sizeof x));
    };
    for (int i = 0; i < a.numLights; ++i) {
        SCOPED_TRACE("light " + std::to_string(i));
        expectSameRecord(a.lights[i], b.lights[i]);
    }
    for (int i = 0; i < a.numCameras; ++i) {
        SCOPED_TRACE("camera " + std::to_string(i));
        expectSameRecord(a.cameras[i], b.cameras[i]);
    }
}

