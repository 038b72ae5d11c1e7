// The ASE reader: what each keyword stores, the quirks of its token and line
// reading, the per-frame tables, the records' defaults, the faults it is
// guarded against, and the real files of the peer corpus.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "assets/ase.h"
#include "tests/support/support.h"

namespace {

std::string fixture(const std::string& name) { return std::string(VANTREL_SOURCE_DIR) + "/tests/fixtures/ase/" + name; }

// A scene loaded from a fixture, freed at the end of the test.
struct Loaded {
    AseScene scene{};
    explicit Loaded(const std::string& name) { result = loadAseScene(fixture(name).c_str(), &scene); }
    Loaded(const char* bytes, size_t size) { result = loadAseSceneFromMemory(bytes, size, &scene); }
    ~Loaded() { freeAseScene(&scene); }
    int result = 0;
};

void expectVec(const Vec3& v, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

void expectFloats(const float* v, std::initializer_list<float> expected)
{
    int i = 0;
    for (float e : expected) EXPECT_FLOAT_EQ(v[i++], e) << "component " << i - 1;
}

// A face's vertex indices and material id: {A, B, C, material}.
void expectFace(const MeshFace& face, const int (&expected)[4], int index)
{
    EXPECT_EQ(face.v[0], expected[0]) << "face " << index;
    EXPECT_EQ(face.v[1], expected[1]) << "face " << index;
    EXPECT_EQ(face.v[2], expected[2]) << "face " << index;
    EXPECT_EQ(face.materialId, expected[3]) << "face " << index;
}

}  // namespace

TEST(AseRead, FaceLineWithSmoothingFillsIndicesAndMaterialId)
{
    Loaded l("face-line-with-smoothing.ase");
    ASSERT_EQ(l.result, 1);
    ASSERT_EQ(l.scene.numObjects, 1);
    const GeomObject& g = l.scene.objects[0];
    ASSERT_EQ(g.numFaces, 2);
    // Blanks and tabs are interchangeable in the face form.
    const int expected[2][4] = {{0, 1, 2, 0}, {2, 1, 0, 5}};
    for (int f = 0; f < 2; ++f) expectFace(g.faces[f], expected[f], f);
}

TEST(AseRead, FaceLineWithoutSmoothingValueFillsIndicesOnly)
{
    Loaded l("face-line-without-smoothing-value.ase");
    const GeomObject& g = l.scene.objects[0];
    ASSERT_EQ(g.numFaces, 3);
    // Empty smoothing and a smoothing list stop the read before the material id;
    // the next face line is read in full.
    const int expected[3][4] = {{0, 1, 2, 0}, {2, 1, 0, 0}, {1, 2, 0, 6}};
    for (int f = 0; f < 3; ++f) expectFace(g.faces[f], expected[f], f);
}

TEST(AseRead, TextureFaceColonIsOptional)
{
    Loaded l("tface-with-and-without-colon.ase");
    const GeomObject& g = l.scene.objects[0];
    ASSERT_EQ(g.numFaces, 2);
    EXPECT_EQ(g.faces[0].t[0], 2);
    EXPECT_EQ(g.faces[0].t[1], 1);
    EXPECT_EQ(g.faces[0].t[2], 0);
    EXPECT_EQ(g.faces[1].t[0], 1);
    EXPECT_EQ(g.faces[1].t[1], 2);
    EXPECT_EQ(g.faces[1].t[2], 0);
}

TEST(AseRead, QuotedNameIsFirstWordLessItsLastCharacter)
{
    Loaded l("node-name-with-blank.ase");
    ASSERT_EQ(l.scene.numObjects, 2);
    EXPECT_STREQ(l.scene.objects[0].name, "Box01");
    EXPECT_STREQ(l.scene.objects[1].name, "Bo");
}

TEST(AseRead, MeshGeometryIsStoredInDrawingAxes)
{
    Loaded l("vertex-axes.ase");
    const GeomObject& g = l.scene.objects[0];
    ASSERT_EQ(g.numVertices, 4);
    ASSERT_EQ(g.hasNormals, 1);
    ASSERT_NE(g.vertexNormals, nullptr);
    expectVec(g.vertices[3], 1.0f, 3.0f, -2.0f);
    expectVec(g.vertices[0], 0.0f, 0.0f, 0.0f);
    expectVec(g.faces[0].normal, 4.0f, 6.0f, -5.0f);
    expectVec(g.vertexNormals[3], 7.0f, 9.0f, -8.0f);
    // The pivot keeps the file's axes.
    expectVec(g.pivot, 1.0f, 2.0f, 3.0f);
}

TEST(AseRead, LightWithTwoPositionsHasTarget)
{
    Loaded l("light-with-two-positions.ase");
    ASSERT_EQ(l.scene.numLights, 2);
    const AseLight& spot = l.scene.lights[0];
    EXPECT_EQ(spot.hasTarget, 1);
    expectFloats(spot.position, {1.0f, 2.0f, 3.0f, 0.0f});
    expectFloats(spot.target, {4.0f, 5.0f, 6.0f, 0.0f});
    EXPECT_STREQ(spot.name, "Spot01.Target") << "the last name in the node wins";
    const AseLight& omni = l.scene.lights[1];
    EXPECT_EQ(omni.hasTarget, 0);
    expectFloats(omni.position, {7.0f, 8.0f, 9.0f, 0.0f});
    expectFloats(omni.target, {0.0f, 0.0f, 0.0f, 0.0f});
    expectFloats(omni.color, {0.0f, 0.0f, 0.0f, 1.0f});
}

TEST(AseRead, CameraWithTwoPositionsKeepsTheLast)
{
    Loaded l("camera-with-two-positions.ase");
    ASSERT_EQ(l.scene.numCameras, 1);
    const AseCamera& c = l.scene.cameras[0];
    expectVec(c.position, 4.0f, 5.0f, 6.0f);
    expectVec(c.rotAxis, 1.0f, 0.0f, 0.0f);
    EXPECT_STREQ(c.name, "Camera01.Target");
}

TEST(AseRead, EmptyBitmapSetsTheFlagAndNoPath)
{
    Loaded l("bitmap-empty-quotes.ase");
    ASSERT_EQ(l.scene.numMaterials, 1);
    const AseMaterial& m = l.scene.materials[0];
    EXPECT_STREQ(m.name, "Plain");
    EXPECT_EQ(m.hasBitmap, 1);
    EXPECT_STREQ(m.bitmapPath, "");
    EXPECT_GE(m.textureName, ASE_TEXTURE_NAME_BASE);
}

TEST(AseRead, MissingUTilingGivesZeroU)
{
    Loaded l("material-without-u-tiling.ase");
    const AseMaterial& m = l.scene.materials[0];
    EXPECT_FLOAT_EQ(m.uTiling, 0.0f);
    EXPECT_FLOAT_EQ(m.vTiling, 3.0f);
    const GeomObject& g = l.scene.objects[0];
    ASSERT_EQ(g.numTexVertices, 2);
    EXPECT_FLOAT_EQ(g.texVertices[0].u, 0.0f);
    EXPECT_FLOAT_EQ(g.texVertices[0].v, 0.75f);
    EXPECT_FLOAT_EQ(g.texVertices[1].u, 0.0f);
    EXPECT_FLOAT_EQ(g.texVertices[1].v, 3.0f);
}

TEST(AseRead, MaterialsAreCompleteBeforeNodes)
{
    // The material block comes after the node in the file; its tiling still applies.
    Loaded l("material-after-nodes.ase");
    const GeomObject& g = l.scene.objects[0];
    ASSERT_EQ(g.numTexVertices, 1);
    EXPECT_FLOAT_EQ(g.texVertices[0].u, 2.0f);
    EXPECT_FLOAT_EQ(g.texVertices[0].v, 2.0f);
}

TEST(AseRead, MaterialKeywordsRunToTheNextMaterial)
{
    Loaded l("material-keywords-outside-block.ase");
    ASSERT_EQ(l.scene.numMaterials, 2);
    const AseMaterial& first = l.scene.materials[0];
    EXPECT_STREQ(first.name, "First");
    EXPECT_FLOAT_EQ(first.shine, 0.9f) << "a later value outside the block wins";
    EXPECT_FLOAT_EQ(first.uOffset, 0.5f);
    const AseMaterial& second = l.scene.materials[1];
    EXPECT_STREQ(second.name, "Inner");
    EXPECT_STREQ(second.className, "Trailing");
}

TEST(AseRead, PositionTableOf160TicksHas20Entries)
{
    Loaded l("position-track-160-ticks.ase");
    const NodeAnimation& a = l.scene.objects[0].animation;
    ASSERT_EQ(a.numPosKeys, 3);
    EXPECT_EQ(a.posKeys[1].tick, 1600);
    EXPECT_EQ(a.posKeys[2].tick, 3200);
    ASSERT_EQ(a.numPosFrames, 20);
    ASSERT_NE(a.posFrames, nullptr);
    // Entries 0..9 run from key 0 towards key 1 in tenths; entries 10..19 hold
    // key 1 plus 0.1 .. 1.0 of the way to key 2.
    for (int e = 0; e < 10; ++e) {
        SCOPED_TRACE("entry " + std::to_string(e));
        expectVec(a.posFrames[e], 1.0f * e, -2.0f * e, 0.5f * e);
    }
    for (int e = 10; e < 20; ++e) {
        SCOPED_TRACE("entry " + std::to_string(e));
        const float share = static_cast<float>(e - 9) / 10.0f;
        expectVec(a.posFrames[e], 10.0f + 10.0f * share, -20.0f, 5.0f + 10.0f * share);
    }
    EXPECT_EQ(a.posFrames[19].x, 20.0f) << "the last entry is the last key exactly";
    EXPECT_EQ(a.numRotKeys, 0);
    EXPECT_EQ(a.rotFrames, nullptr);
}

TEST(AseRead, KeyFormsFillTheirSlotsAndRotationTableHoldsDegrees)
{
    Loaded l("rotation-track-forms.ase");
    const NodeAnimation& a = l.scene.objects[0].animation;
    ASSERT_EQ(a.numPosKeys, 2);
    const AnimKey& bezier = a.posKeys[0];
    EXPECT_EQ(bezier.tick, 0);
    expectFloats(bezier.value, {1.0f, 2.0f, 3.0f});
    EXPECT_FLOAT_EQ(bezier.angle, 0.1f);
    expectFloats(bezier.extraB, {0.2f, 0.3f});
    expectFloats(bezier.extraA, {0.4f, 0.5f, 0.6f});
    EXPECT_EQ(bezier.flags, 9);
    const AnimKey& shortKey = a.posKeys[1];  // a line with three values fills only those
    EXPECT_EQ(shortKey.tick, 320);
    expectFloats(shortKey.value, {4.0f, 5.0f, 6.0f});
    EXPECT_EQ(shortKey.angle, 0.0f);
    EXPECT_EQ(shortKey.flags, 0);

    ASSERT_EQ(a.numRotKeys, 3);
    EXPECT_EQ(a.rotKeys[1].tick, 800);
    expectFloats(a.rotKeys[1].value, {0.0f, 1.0f, 0.0f});
    EXPECT_FLOAT_EQ(a.rotKeys[1].angle, 1.5708f);
    expectFloats(a.rotKeys[1].extraB, {0.25f, 0.5f});
    expectFloats(a.rotKeys[1].extraA, {0.75f, 0.125f, 0.375f});
    EXPECT_EQ(a.rotKeys[1].flags, 3);
    EXPECT_FLOAT_EQ(a.rotKeys[2].angle, 3.1416f);

    ASSERT_EQ(a.numPosFrames, 2);
    expectVec(a.posFrames[0], 1.0f, 2.0f, 3.0f);
    expectVec(a.posFrames[1], 2.5f, 3.5f, 4.5f);

    ASSERT_EQ(a.numRotFrames, 10);
    EXPECT_FLOAT_EQ(a.rotFrames[0][3], 0.0f);
    EXPECT_NEAR(a.rotFrames[4][3], 72.0f, 1e-3f);
    // The first entry of the second segment is one step past key 1.
    EXPECT_NEAR(a.rotFrames[5][3], 108.0f, 1e-3f);
    EXPECT_FLOAT_EQ(a.rotFrames[5][0], 0.2f);
    EXPECT_FLOAT_EQ(a.rotFrames[5][1], 0.8f);
    EXPECT_NEAR(a.rotFrames[9][3], 180.0f, 1e-2f);
    EXPECT_FLOAT_EQ(a.rotFrames[9][0], 1.0f);
}

TEST(AseRead, KeysAreCountedUpToTheNextNode)
{
    Loaded l("keys-counted-to-next-node.ase");
    ASSERT_EQ(l.scene.numObjects, 2);
    const NodeAnimation& a = l.scene.objects[0].animation;
    ASSERT_EQ(a.numPosKeys, 3);
    EXPECT_EQ(a.posKeys[2].tick, 320);
    EXPECT_FLOAT_EQ(a.posKeys[2].value[0], 3.0f);
    EXPECT_EQ(a.numPosFrames, 2);
    EXPECT_EQ(l.scene.objects[1].animation.numPosKeys, 0);
}

TEST(AseRead, NoAnimationBlockGivesNoKeysAndNoTables)
{
    Loaded l("no-tm-animation.ase");
    const NodeAnimation& a = l.scene.objects[0].animation;
    EXPECT_EQ(a.numPosKeys, 0);
    EXPECT_EQ(a.numRotKeys, 0);
    EXPECT_EQ(a.posKeys, nullptr);
    EXPECT_EQ(a.rotKeys, nullptr);
    EXPECT_EQ(a.posFrames, nullptr);
    EXPECT_EQ(a.rotFrames, nullptr);
}

// Tracks that cannot give a table: no frame length, one key, frames that do
// not increase, tables longer than the limit, ticks at the limits of int.
TEST(AseRead, FrameTablesAreBuiltOnlyForUsableTracks)
{
    struct Case {
        const char* file;
        int keys;
        int posFrames;
        int rotFrames;
    };
    const Case cases[] = {
        {"ticks-per-frame-zero.ase", 3, 0, 0},
        {"ticks-per-frame-missing.ase", 3, 0, 0},
        {"track-with-one-key.ase", 1, 0, 0},
        {"track-frames-not-increasing.ase", 4, 0, 0},
        {"track-frames-decreasing.ase", 3, 0, 0},
        {"track-longer-than-frame-limit.ase", 2, 0, 0},
        {"track-at-frame-limit.ase", 2, 1048576, 1048576},
        {"track-ticks-at-int-limits.ase", 2, 0, 0},
        {"track-ticks-per-frame-minus-one.ase", 2, 0, 0},
        {"position-track-160-ticks.ase", 3, 20, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Loaded l(c.file);
        ASSERT_EQ(l.scene.numObjects, 1);
        const NodeAnimation& a = l.scene.objects[0].animation;
        EXPECT_EQ(a.numPosKeys, c.keys);
        EXPECT_EQ(a.numPosFrames, c.posFrames);
        EXPECT_EQ(a.numRotFrames, c.rotFrames);
        EXPECT_EQ(a.posFrames == nullptr, c.posFrames == 0);
        EXPECT_EQ(a.rotFrames == nullptr, c.rotFrames == 0);
    }
    Loaded limit("track-at-frame-limit.ase");
    const NodeAnimation& a = limit.scene.objects[0].animation;
    EXPECT_FLOAT_EQ(a.posFrames[524288].x, 0.5f);
    // One segment: the last entry is the frame before the last key.
    EXPECT_FLOAT_EQ(a.posFrames[1048575].x, 1048575.0f / 1048576.0f);
    EXPECT_NEAR(a.rotFrames[1048575][3], 0.5f * 180.0f / 3.1415927f, 1e-4f);
}

TEST(AseRead, DuplicateNamesStillGiveEachNodeItsTables)
{
    Loaded l("duplicate-node-names.ase");
    ASSERT_EQ(l.scene.numObjects, 2);
    EXPECT_EQ(l.scene.objects[0].animation.numPosFrames, 2);
    EXPECT_FLOAT_EQ(l.scene.objects[0].animation.posFrames[1].x, 1.0f);
    ASSERT_EQ(l.scene.objects[1].animation.numPosFrames, 3);
    EXPECT_FLOAT_EQ(l.scene.objects[1].animation.posFrames[2].y, 2.0f);
}

TEST(AseRead, ElementIndicesOutsideTheArraysAreIgnored)
{
    Loaded l("element-index-out-of-range.ase");
    const GeomObject& g = l.scene.objects[0];
    ASSERT_EQ(g.numVertices, 3);
    ASSERT_EQ(g.numFaces, 1);
    ASSERT_EQ(g.numTexVertices, 1);
    expectVec(g.vertices[0], 1.0f, 1.0f, -1.0f);
    expectVec(g.vertices[1], 0.0f, 0.0f, 0.0f);
    expectVec(g.vertices[2], 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(g.faces[0].v[2], 2);
    EXPECT_FLOAT_EQ(g.texVertices[0].u, 0.5f);
    EXPECT_EQ(g.faces[0].t[0], 0);
    expectVec(g.faces[0].normal, 0.0f, 1.0f, 0.0f);
    expectVec(g.vertexNormals[0], 0.0f, 1.0f, 0.0f);
}

TEST(AseRead, NegativeCountsLeaveTablesEmpty)
{
    Loaded l("count-negative.ase");
    EXPECT_EQ(l.scene.numMaterials, 0);
    EXPECT_EQ(l.scene.materials, nullptr);
    ASSERT_EQ(l.scene.numObjects, 1);
    const GeomObject& g = l.scene.objects[0];
    EXPECT_STREQ(g.name, "Negative");
    EXPECT_EQ(g.numVertices, 0);
    EXPECT_EQ(g.vertices, nullptr);
    EXPECT_EQ(g.vertexNormals, nullptr);
    EXPECT_EQ(g.numFaces, 0);
    EXPECT_EQ(g.faces, nullptr);
    EXPECT_EQ(g.numTexVertices, 0);
    EXPECT_EQ(g.texVertices, nullptr);
}

TEST(AseRead, CountsLargerThanTheFileLeaveTablesEmpty)
{
    Loaded l("count-larger-than-file.ase");
    EXPECT_EQ(l.scene.numMaterials, 0);
    EXPECT_EQ(l.scene.materials, nullptr);
    const GeomObject& g = l.scene.objects[0];
    EXPECT_EQ(g.numVertices, 0);
    EXPECT_EQ(g.vertices, nullptr);
    EXPECT_EQ(g.vertexNormals, nullptr);
    EXPECT_EQ(g.numTexVertices, 0);
    EXPECT_EQ(g.texVertices, nullptr);
    // The sound count of the same node is kept and read.
    ASSERT_EQ(g.numFaces, 1);
    EXPECT_EQ(g.faces[0].v[1], 1);
    EXPECT_EQ(g.faces[0].materialId, 7);
}

TEST(AseRead, MaterialRefOutsideTheTableStoresTextureVerticesAsRead)
{
    Loaded l("material-ref-out-of-range.ase");
    const GeomObject& g = l.scene.objects[0];
    EXPECT_EQ(g.materialRef, 5);
    ASSERT_EQ(g.numTexVertices, 1);
    EXPECT_FLOAT_EQ(g.texVertices[0].u, 0.5f);
    EXPECT_FLOAT_EQ(g.texVertices[0].v, 0.25f);
}

TEST(AseRead, ShapesAndLightsEndTheGeometryNode)
{
    Loaded l("shape-and-light-end-geometry.ase");
    ASSERT_EQ(l.scene.numObjects, 2);
    const GeomObject& before = l.scene.objects[0];
    EXPECT_STREQ(before.name, "Before");
    EXPECT_EQ(before.numVertices, 3);
    expectVec(before.vertices[0], 1.0f, 3.0f, -2.0f);
    expectVec(before.pivot, 1.0f, 1.0f, 1.0f);
    expectFloats(before.wireColor, {1.0f, 1.0f, 1.0f});
    const GeomObject& after = l.scene.objects[1];
    EXPECT_STREQ(after.name, "After");
    EXPECT_EQ(after.numVertices, 2);
    ASSERT_EQ(l.scene.numLights, 1);
    EXPECT_STREQ(l.scene.lights[0].name, "Lamp");
    expectFloats(l.scene.lights[0].position, {6.0f, 6.0f, 6.0f, 0.0f});
}

TEST(AseRead, DefaultsOfEveryElement)
{
    Loaded l("shape-and-light-end-geometry.ase");
    const GeomObject& after = l.scene.objects[1];
    EXPECT_EQ(after.materialRef, -1);
    EXPECT_EQ(after.hasNormals, 0);
    EXPECT_EQ(after.numTexVertices, 0);
    EXPECT_EQ(after.texVertices, nullptr);
    EXPECT_EQ(after.vertexNormals, nullptr);
    expectFloats(after.wireColor, {1.0f, 1.0f, 1.0f});
    expectVec(after.pivot, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(l.scene.numMaterials, 0);
    EXPECT_EQ(l.scene.numCameras, 0);
    EXPECT_EQ(l.scene.ticksPerFrame, 160);
    EXPECT_EQ(l.scene.frameSpeed, 30);
    EXPECT_EQ(l.scene.lastFrame, 100);
    const AseLight& lamp = l.scene.lights[0];
    EXPECT_EQ(lamp.hasTarget, 0);
    expectFloats(lamp.color, {0.0f, 0.0f, 0.0f, 1.0f});
    EXPECT_EQ(lamp.intensity, 0.0f);
}

namespace {

std::string withHeader(const std::string& body)
{
    return "*3DSMAX_ASCIIEXPORT\t200\n*SCENE {\n\t*SCENE_TICKSPERFRAME 160\n}\n" + body;
}

}  // namespace

// Texts that fill their fields exactly, and longer ones that are cut to the
// field instead of running past it.
TEST(AseRead, LongTextsFillOrAreCutToTheirFields)
{
    struct Case {
        size_t nodeName;
        size_t path;
        size_t materialName;
    };
    const Case cases[] = {{255, 255, 254}, {256, 300, 255}, {1000, 4000, 2000}, {1, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE("lengths " + std::to_string(c.nodeName) + ", " + std::to_string(c.path));
        const std::string nodeName(c.nodeName, 'n');
        const std::string path(c.path, 'p');
        const std::string materialName(c.materialName, 'm');
        const std::string longToken(3000, 't');
        const std::string text = withHeader(
            "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n\t\t*MATERIAL_NAME \"" + materialName +
            "\"\n\t\t*MATERIAL_CLASS \"" + materialName + "\"\n\t\t" + longToken + "\n\t\t*BITMAP \"" + path +
            "\"\n\t}\n}\n*GEOMOBJECT {\n\t*NODE_NAME \"" + nodeName + "\"\n\t" + longToken +
            "\n\t*MESH {\n\t\t*MESH_NUMVERTEX 1\n\t}\n}\n*LIGHTOBJECT {\n\t*NODE_NAME \"" + nodeName + "\"\n}\n");
        Loaded l(text.data(), text.size());
        ASSERT_EQ(l.scene.numObjects, 1);
        ASSERT_EQ(l.scene.numMaterials, 1);
        const size_t nodeKept = std::min<size_t>(c.nodeName, ASE_NAME_SIZE - 1);
        const size_t pathKept = std::min<size_t>(c.path, ASE_NAME_SIZE - 1);
        const size_t materialKept = std::min<size_t>(c.materialName, ASE_MATERIAL_NAME_SIZE - 1);
        EXPECT_EQ(std::string(l.scene.objects[0].name), nodeName.substr(0, nodeKept));
        EXPECT_EQ(std::string(l.scene.lights[0].name), nodeName.substr(0, nodeKept));
        EXPECT_EQ(std::string(l.scene.materials[0].bitmapPath), path.substr(0, pathKept));
        EXPECT_EQ(std::string(l.scene.materials[0].name), materialName.substr(0, materialKept));
        EXPECT_EQ(std::string(l.scene.materials[0].className), materialName.substr(0, materialKept));
        EXPECT_EQ(l.scene.objects[0].numVertices, 1) << "reading goes on after the long token";
    }
}

// A keyword that ends the file is counted once: the failed read at the end
// of the file is not taken for the previous token again.
TEST(AseRead, LastTokenOfTheFileIsReadOnce)
{
    for (const std::string& tail : {std::string("*GEOMOBJECT"), std::string("*GEOMOBJECT\n"), std::string("*GEOMOBJECT \r\n\t ")}) {
        const std::string text = withHeader(tail);
        Loaded l(text.data(), text.size());
        EXPECT_EQ(l.scene.numObjects, 1) << "tail of " << tail.size() << " bytes";
        EXPECT_EQ(l.scene.objects[0].materialRef, -1);
    }
}

TEST(AseRead, MissingFileSaysSoAndLeavesTheRecord)
{
    AseScene scene{};
    scene.numObjects = 7;
    scene.ticksPerFrame = 33;
    AseScene before = scene;
    ::testing::internal::CaptureStdout();
    const int result = loadAseScene("no/such/scene.ase", &scene);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(out, "# no/such/scene.ase not found!\n");
    EXPECT_EQ(std::memcmp(&scene, &before, sizeof scene), 0);

    // A directory opens but cannot be read: the same answer.
    TempDir dir;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(loadAseScene(dir.path().c_str(), &scene), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "# " + dir.path() + " not found!\n");
    EXPECT_EQ(std::memcmp(&scene, &before, sizeof scene), 0);
}

TEST(AseRead, TextureNamesAreOwnAndUniqueAcrossScenes)
{
    Loaded a("realistic-scene.ase");
    Loaded b("realistic-scene.ase");
    Loaded c("material-ref-out-of-range.ase");
    std::set<unsigned> names;
    for (const Loaded* l : {&a, &b, &c}) {
        for (int i = 0; i < l->scene.numMaterials; ++i) {
            const AseMaterial& m = l->scene.materials[i];
            if (!m.hasBitmap) {
                EXPECT_EQ(m.textureName, 0u);
                continue;
            }
            EXPECT_GE(m.textureName, ASE_TEXTURE_NAME_BASE);
            EXPECT_TRUE(names.insert(m.textureName).second) << "name " << m.textureName << " given twice";
        }
    }
    EXPECT_EQ(names.size(), 3u);
}

TEST(AseRead, ReleaseFreesMeshArraysAndKeepsCounts)
{
    Loaded l("realistic-scene.ase");
    releaseAseScene(&l.scene);
    EXPECT_EQ(l.scene.numObjects, 2);
    EXPECT_EQ(l.scene.numMaterials, 2);
    EXPECT_EQ(l.scene.materials, nullptr);
    for (int i = 0; i < l.scene.numObjects; ++i) {
        EXPECT_EQ(l.scene.objects[i].vertices, nullptr);
        EXPECT_EQ(l.scene.objects[i].faces, nullptr);
        EXPECT_EQ(l.scene.objects[i].texVertices, nullptr);
        EXPECT_EQ(l.scene.objects[i].vertexNormals, nullptr);
        EXPECT_GT(l.scene.objects[i].numVertices, 0);
    }
    // Keys and tables live on.
    EXPECT_NE(l.scene.objects[1].animation.posFrames, nullptr);
    releaseAseScene(&l.scene);  // a second release finds nothing to free
}

// A scene with materials and a bitmap, two meshes, a shape, a target light
// and a target camera with tracks, checked field by field.
TEST(AseRead, RealisticSceneFieldByField)
{
    Loaded l("realistic-scene.ase");
    ASSERT_EQ(l.result, 1);
    const AseScene& s = l.scene;
    EXPECT_EQ(s.numObjects, 2);
    EXPECT_EQ(s.numMaterials, 2);
    EXPECT_EQ(s.numLights, 1);
    EXPECT_EQ(s.numCameras, 1);
    EXPECT_EQ(s.firstFrame, 2);
    EXPECT_EQ(s.lastFrame, 100);
    EXPECT_EQ(s.frameSpeed, 30);
    EXPECT_EQ(s.ticksPerFrame, 160);

    const AseMaterial& stone = s.materials[0];
    EXPECT_STREQ(stone.name, "Stone");
    EXPECT_STREQ(stone.className, "Standard");
    expectFloats(stone.ambient, {0.1f, 0.2f, 0.3f});
    expectFloats(stone.diffuse, {0.4f, 0.5f, 0.6f});
    expectFloats(stone.specular, {0.7f, 0.8f, 0.9f});
    EXPECT_FLOAT_EQ(stone.shine, 0.25f);
    EXPECT_FLOAT_EQ(stone.shineStrength, 0.05f);
    EXPECT_FLOAT_EQ(stone.transparency, 0.125f);
    EXPECT_FLOAT_EQ(stone.wireSize, 1.0f);
    EXPECT_FLOAT_EQ(stone.selfIllum, 0.375f);
    EXPECT_EQ(stone.hasBitmap, 1);
    EXPECT_STREQ(stone.bitmapPath, "maps/stone.tga");
    EXPECT_GE(stone.textureName, ASE_TEXTURE_NAME_BASE);
    EXPECT_FLOAT_EQ(stone.uTiling, 2.0f);
    EXPECT_FLOAT_EQ(stone.vTiling, 4.0f);
    EXPECT_FLOAT_EQ(stone.uOffset, 0.25f);
    EXPECT_FLOAT_EQ(stone.vOffset, -0.5f);
    const AseMaterial& glass = s.materials[1];
    EXPECT_STREQ(glass.name, "Glass");
    expectFloats(glass.diffuse, {0.2f, 0.3f, 1.0f});
    EXPECT_FLOAT_EQ(glass.transparency, 0.75f);
    EXPECT_FLOAT_EQ(glass.wireSize, 2.0f);
    EXPECT_EQ(glass.hasBitmap, 0);
    EXPECT_STREQ(glass.bitmapPath, "");
    EXPECT_EQ(glass.textureName, 0u);
    EXPECT_FLOAT_EQ(glass.uTiling, 0.0f);

    const GeomObject& floor = s.objects[0];
    EXPECT_STREQ(floor.name, "Floor");
    EXPECT_EQ(floor.numVertices, 4);
    EXPECT_EQ(floor.numFaces, 2);
    EXPECT_EQ(floor.numTexVertices, 4);
    EXPECT_EQ(floor.numTexFaces, 2);
    EXPECT_EQ(floor.hasNormals, 1);
    EXPECT_EQ(floor.materialRef, 0);
    expectVec(floor.pivot, 10.0f, 20.0f, 30.0f);
    expectFloats(floor.wireColor, {0.2f, 0.4f, 0.6f});
    expectVec(floor.vertices[0], -1.0f, 0.0f, 1.0f);
    expectVec(floor.vertices[1], 1.0f, 0.0f, 1.0f);
    expectVec(floor.vertices[2], 1.0f, 0.0f, -1.0f);
    expectVec(floor.vertices[3], -1.0f, 0.5f, -1.0f);
    const float tiled[4][2] = {{0.0f, 0.0f}, {2.0f, 0.0f}, {2.0f, 4.0f}, {0.0f, 2.0f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(floor.texVertices[i].u, tiled[i][0]) << i;
        EXPECT_FLOAT_EQ(floor.texVertices[i].v, tiled[i][1]) << i;
    }
    const int faces[2][7] = {{0, 1, 2, 0, 1, 2, 0}, {2, 3, 0, 2, 3, 0, 2}};
    for (int f = 0; f < 2; ++f) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(floor.faces[f].v[c], faces[f][c]) << f;
            EXPECT_EQ(floor.faces[f].t[c], faces[f][3 + c]) << f;
        }
        EXPECT_EQ(floor.faces[f].materialId, faces[f][6]) << f;
    }
    expectVec(floor.faces[0].normal, 0.0f, 1.0f, 0.0f);
    expectVec(floor.faces[1].normal, 0.0f, 0.0f, 1.0f);
    expectVec(floor.vertexNormals[0], 0.0f, 1.0f, 0.0f);
    // The later line for a vertex replaces the earlier.
    expectVec(floor.vertexNormals[2], 0.0f, 0.0f, -1.0f);
    expectVec(floor.vertexNormals[3], 1.0f, 0.0f, 0.0f);
    EXPECT_EQ(floor.animation.numPosKeys, 0);

    const GeomObject& spinner = s.objects[1];
    EXPECT_STREQ(spinner.name, "Spinner");
    EXPECT_EQ(spinner.numVertices, 3);
    EXPECT_EQ(spinner.numTexVertices, 0);
    EXPECT_EQ(spinner.texVertices, nullptr);
    EXPECT_EQ(spinner.hasNormals, 0);
    EXPECT_EQ(spinner.vertexNormals, nullptr);
    EXPECT_EQ(spinner.materialRef, 1);
    EXPECT_EQ(spinner.faces[0].materialId, 1);
    expectVec(spinner.vertices[2], 0.0f, 2.0f, 0.0f);
    expectVec(spinner.pivot, 0.0f, 0.0f, 5.0f);
    expectFloats(spinner.wireColor, {0.9f, 0.1f, 0.1f});
    const NodeAnimation& spin = spinner.animation;
    ASSERT_EQ(spin.numPosKeys, 3);
    ASSERT_EQ(spin.numRotKeys, 2);
    EXPECT_EQ(spin.posKeys[1].tick, 800);
    expectFloats(spin.posKeys[2].value, {10.0f, 20.0f, 5.0f});
    EXPECT_FLOAT_EQ(spin.rotKeys[1].angle, 1.5708f);
    ASSERT_EQ(spin.numPosFrames, 10);
    for (int e = 0; e < 5; ++e) expectVec(spin.posFrames[e], 2.0f * e, 0.0f, 5.0f);
    for (int e = 5; e < 10; ++e) expectVec(spin.posFrames[e], 10.0f, 4.0f * (e - 4), 5.0f);
    ASSERT_EQ(spin.numRotFrames, 10);
    for (int e = 0; e < 10; ++e) {
        expectFloats(spin.rotFrames[e], {0.0f, 0.0f, 1.0f});
        EXPECT_NEAR(spin.rotFrames[e][3], 9.0f * e, 1e-3f) << e;
    }

    const AseLight& spot = s.lights[0];
    EXPECT_STREQ(spot.name, "Spot01.Target");
    EXPECT_EQ(spot.hasTarget, 1);
    expectFloats(spot.position, {100.0f, -50.0f, 80.0f, 0.0f});
    expectFloats(spot.target, {0.0f, 0.0f, 0.0f, 0.0f});
    expectFloats(spot.color, {1.0f, 0.9f, 0.8f, 1.0f});
    EXPECT_FLOAT_EQ(spot.intensity, 1.5f);
    EXPECT_FLOAT_EQ(spot.falloff, 45.0f);
    EXPECT_EQ(spot.animation.numPosKeys, 0);

    const AseCamera& cam = s.cameras[0];
    EXPECT_STREQ(cam.name, "Camera01.Target");
    expectVec(cam.position, 1.0f, 2.0f, 3.0f);
    expectVec(cam.rotAxis, 0.0f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(cam.nearClip, 1.0f);
    EXPECT_FLOAT_EQ(cam.farClip, 1000.0f);
    EXPECT_FLOAT_EQ(cam.fov, 0.7854f);
    EXPECT_FLOAT_EQ(cam.targetDist, 150.0f);
    const NodeAnimation& track = cam.animation;
    ASSERT_EQ(track.numPosKeys, 2);
    EXPECT_EQ(track.numRotKeys, 0);
    const AnimKey& k = track.posKeys[1];
    EXPECT_EQ(k.tick, 320);
    expectFloats(k.value, {-90.0f, -100.0f, 50.0f});
    EXPECT_FLOAT_EQ(k.angle, 1.0f);
    expectFloats(k.extraB, {2.0f, 3.0f});
    expectFloats(k.extraA, {4.0f, 5.0f, 6.0f});
    EXPECT_EQ(k.flags, 7);
    ASSERT_EQ(track.numPosFrames, 2);
    expectVec(track.posFrames[0], -100.0f, -100.0f, 50.0f);
    expectVec(track.posFrames[1], -95.0f, -100.0f, 50.0f);
}

class AseTexture : public GLTest {};

// A material's bitmap is loaded under its own texture name, relative to the
// working directory.
TEST_F(AseTexture, MaterialBitmapIsLoadedUnderItsName)
{
    TempDir dir;
    dir.write("maps/stone.tga", solidTga(4, 255, 0, 0));
    ScopedChdir here(dir.path());
    Loaded l("realistic-scene.ase");
    const AseMaterial& stone = l.scene.materials[0];
    ASSERT_EQ(stone.hasBitmap, 1);
    EXPECT_EQ(textureWidth(stone.textureName), 4);
}

namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::string firstWord(const std::string& line)
{
    std::istringstream in(line);
    std::string word;
    in >> word;
    return word;
}

// What a plain reading of a well-formed file says about one geometry node.
struct ExpectedNode {
    std::string name;
    int vertexLines = 0;
    int faceLines = 0;
    int posKeyLines = 0;
    int rotKeyLines = 0;
    std::vector<std::vector<float>> vertices;  // index, x, y, z as written
};

bool isOpener(const std::string& w)
{
    return w == "*GEOMOBJECT" || w == "*LIGHTOBJECT" || w == "*CAMERAOBJECT" || w == "*SHAPEOBJECT";
}

}  // namespace

// Every corpus file loads; for the well-formed ones (plain text, not marked
// invalid) the counts, vertices and key counts agree with a line-by-line
// reading of the file. UTF-16 files have no keyword the byte reader matches.
TEST(AseCorpus, EveryFileLoadsAndWellFormedOnesMatchTheirText)
{
    REQUIRE_CORPUS();
    const std::vector<std::string> files = listFiles(corpusDir() + "/ase");
    ASSERT_GE(files.size(), 10u);
    int checked = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        const std::vector<unsigned char> raw = readBinaryFile(path);
        const std::string text(raw.begin(), raw.end());
        Loaded l(text.data(), text.size());
        ASSERT_EQ(l.result, 1);
        const AseScene& s = l.scene;
        if (text.find('\0') != std::string::npos) {
            EXPECT_EQ(s.numObjects + s.numMaterials + s.numLights + s.numCameras, 0) << "UTF-16";
            continue;
        }
        if (path.find("/invalid/") != std::string::npos) continue;

        int lights = 0, cameras = 0, materialCount = 0;
        std::vector<ExpectedNode> nodes;
        ExpectedNode* current = nullptr;
        for (const std::string& line : splitLines(text)) {
            const std::string w = firstWord(line);
            if (isOpener(w)) current = nullptr;
            if (w == "*GEOMOBJECT") {
                nodes.emplace_back();
                current = &nodes.back();
            }
            lights += w == "*LIGHTOBJECT";
            cameras += w == "*CAMERAOBJECT";
            if (w == "*MATERIAL_COUNT") materialCount = std::atoi(line.c_str() + line.find("*MATERIAL_COUNT") + 15);
            if (current == nullptr) continue;
            if (w == "*NODE_NAME" && current->name.empty()) {
                const size_t a = line.find('"');
                const size_t b = line.find('"', a + 1);
                current->name = line.substr(a + 1, b - a - 1);
            }
            if (w == "*MESH_VERTEX") {
                std::istringstream in(line);
                std::string keyword;
                std::vector<float> v(4);
                in >> keyword >> v[0] >> v[1] >> v[2] >> v[3];
                current->vertices.push_back(v);
                ++current->vertexLines;
            }
            current->faceLines += w == "*MESH_FACE";
            current->posKeyLines += w == "*CONTROL_POS_SAMPLE" || w == "*CONTROL_BEZIER_POS_KEY";
            current->rotKeyLines += w == "*CONTROL_ROT_SAMPLE" || w == "*CONTROL_ROT_KEY" || w == "*CONTROL_TCB_ROT_KEY";
        }
        ASSERT_EQ(s.numObjects, static_cast<int>(nodes.size()));
        EXPECT_EQ(s.numLights, lights);
        EXPECT_EQ(s.numCameras, cameras);
        EXPECT_EQ(s.numMaterials, materialCount);
        EXPECT_EQ(s.ticksPerFrame, 160);
        for (int i = 0; i < s.numObjects; ++i) {
            SCOPED_TRACE("node " + std::to_string(i));
            const GeomObject& g = s.objects[i];
            const ExpectedNode& e = nodes[static_cast<size_t>(i)];
            if (e.name.find(' ') == std::string::npos) {
                EXPECT_EQ(std::string(g.name), e.name);
            }
            EXPECT_EQ(g.numVertices, e.vertexLines);
            EXPECT_EQ(g.numFaces, e.faceLines);
            EXPECT_EQ(g.animation.numPosKeys, e.posKeyLines);
            EXPECT_EQ(g.animation.numRotKeys, e.rotKeyLines);
            for (const std::vector<float>& v : e.vertices) {
                const int index = static_cast<int>(v[0]);
                ASSERT_TRUE(index >= 0 && index < g.numVertices);
                expectVec(g.vertices[index], v[1], v[3], -v[2]);
            }
            for (int f = 0; f < g.numFaces; ++f)
                for (int c = 0; c < 3; ++c) EXPECT_TRUE(g.faces[f].v[c] >= 0 && g.faces[f].v[c] < g.numVertices);
        }
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

// The corpus's malformed files load without crashing, with what they do say.
TEST(AseCorpus, MalformedFilesLoadWhatTheySay)
{
    REQUIRE_CORPUS();
    {
        Loaded empty(nullptr, 0);
        EXPECT_EQ(empty.result, 1);
        EXPECT_EQ(empty.scene.numObjects, 0);
    }
    const std::vector<unsigned char> raw = readBinaryFile(corpusDir() + "/ase/assimp/invalid/InvalidUVIndex.ase");
    Loaded uv(reinterpret_cast<const char*>(raw.data()), raw.size());
    ASSERT_EQ(uv.scene.numObjects, 1);
    const GeomObject& g = uv.scene.objects[0];
    EXPECT_EQ(g.numVertices, 3);
    EXPECT_EQ(g.numFaces, 1);
    ASSERT_EQ(g.numTexVertices, 3);
    // Its texture face names texture vertices 7, 8, 9 of three: stored as
    // written, and the renderer skips such a face.
    EXPECT_EQ(g.faces[0].t[0], 7);
    EXPECT_EQ(g.faces[0].t[2], 9);
}

// Far-apart keys ask for long tables: one scene's tables together stay within
// its budget, and the nodes past it get none (as a track past the per-track
// limit gets none). Each load starts a new budget.
TEST(AseRead, FrameTablesOfOneSceneStayWithinTheSceneBudget)
{
    const int64_t spanFrames = 1000000;  // one table of this many entries per node
    const int nodes = static_cast<int>(ASE_MAX_SCENE_FRAME_ENTRIES / spanFrames) + 2;
    std::string text = "*SCENE {\n\t*SCENE_TICKSPERFRAME 1\n}\n";
    for (int i = 0; i < nodes; ++i)
        text += "*GEOMOBJECT {\n\t*NODE_NAME \"Far\"\n\t*TM_ANIMATION {\n\t\t*CONTROL_POS_TRACK {\n"
                "\t\t\t*CONTROL_POS_SAMPLE 0\t0.0\t0.0\t0.0\n\t\t\t*CONTROL_POS_SAMPLE " +
                std::to_string(spanFrames) + "\t1.0\t0.0\t0.0\n\t\t}\n\t}\n}\n";
    for (int load = 0; load < 2; ++load) {
        SCOPED_TRACE(load);
        Loaded l(text.data(), text.size());
        ASSERT_EQ(l.scene.numObjects, nodes);
        int64_t total = 0;
        int withTable = 0;
        for (int i = 0; i < nodes; ++i) {
            const NodeAnimation& a = l.scene.objects[i].animation;
            EXPECT_EQ(a.numPosKeys, 2);
            total += a.numPosFrames;
            if (a.numPosFrames > 0) {
                ++withTable;
                EXPECT_EQ(a.numPosFrames, spanFrames);
                EXPECT_FLOAT_EQ(a.posFrames[spanFrames / 2].x, 0.5f);
            } else {
                EXPECT_EQ(a.posFrames, nullptr);
            }
        }
        EXPECT_EQ(withTable, ASE_MAX_SCENE_FRAME_ENTRIES / spanFrames);
        EXPECT_LE(total, ASE_MAX_SCENE_FRAME_ENTRIES);
    }
}
