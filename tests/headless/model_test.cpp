// The model renderer in a real GL context: what it draws (pixels) and the GL
// state it leaves (lighting, polygon mode, texturing, material colours,
// current colour and matrices).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/ase.h"
#include "render/model.h"
#include "tests/support/support.h"

namespace {

// Screen rectangle a test quad covers, in pixels from the bottom left.
constexpr float QUAD_X0 = 100.0f, QUAD_X1 = 300.0f;
constexpr float QUAD_Y0 = 100.0f, QUAD_Y1 = 300.0f;

// A node of two triangles covering the test rectangle, with texture vertices
// running u 0..1 from left to right. Owns its arrays.
struct QuadNode {
    Vec3 vertices[4] = {{QUAD_X0, QUAD_Y0, 0}, {QUAD_X1, QUAD_Y0, 0}, {QUAD_X1, QUAD_Y1, 0}, {QUAD_X0, QUAD_Y1, 0}};
    TexVertex texVertices[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    MeshFace faces[2] = {};
    GeomObject node{};
    QuadNode()
    {
        const int corners[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (int f = 0; f < 2; ++f)
            for (int c = 0; c < 3; ++c) faces[f].v[c] = faces[f].t[c] = corners[f][c];
        node.numVertices = 4;
        node.numFaces = 2;
        node.numTexVertices = 4;
        node.vertices = vertices;
        node.texVertices = texVertices;
        node.faces = faces;
        node.materialRef = -1;
        node.wireColor[0] = 0.25f;
        node.wireColor[1] = 0.5f;
        node.wireColor[2] = 0.75f;
    }
};

// A 2 x 1 texture: left texel red, right texel green, nearest filtering, repeating.
GLuint makeRedGreenTexture()
{
    const GLuint name = aseNextTextureName++;
    const unsigned char texels[] = {255, 0, 0, 0, 255, 0};
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

AseMaterial bitmapMaterial(GLuint textureName)
{
    AseMaterial m{};
    m.hasBitmap = 1;
    std::strcpy(m.bitmapPath, "maps/test.tga");
    m.textureName = textureName;
    return m;
}

// Colour of the pixel at GL coordinates (x from the left, y from the bottom).
std::vector<int> pixel(int x, int y)
{
    unsigned char rgb[3] = {0, 0, 0};
    glPixel(x, y, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

const std::vector<int> BLACK = {0, 0, 0};
const std::vector<int> RED = {255, 0, 0};
const std::vector<int> GREEN = {0, 255, 0};
const std::vector<int> BLUE = {0, 0, 255};
const std::vector<int> WHITE = {255, 255, 255};

class Model : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        pixelExactView();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    void save(const std::string& name)
    {
        keepFrame(readFrame(), "model-" + name + ".png");
    }

    // A scene over the given nodes and materials (not owned).
    static AseScene sceneOf(GeomObject* nodes, int numNodes, AseMaterial* materials, int numMaterials)
    {
        AseScene s{};
        s.numObjects = numNodes;
        s.objects = nodes;
        s.numMaterials = numMaterials;
        s.materials = materials;
        return s;
    }
    // Draws the quad alone in blue with one material: it must come out untextured.
    static void expectDrawnUntexturedInBlue(QuadNode& quad, AseMaterial* material)
    {
        AseScene scene = sceneOf(&quad.node, 1, material, 1);
        glColor3f(0.0f, 0.0f, 1.0f);
        drawAseScene(&scene);
        EXPECT_EQ(pixel(150, 200), BLUE);
        EXPECT_EQ(pixel(250, 200), BLUE);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    }
};

GLint polygonMode()
{
    GLint modes[2] = {0, 0};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    return modes[0] == modes[1] ? modes[0] : -1;
}

}  // namespace

TEST_F(Model, EmptySceneDrawsNothingAndOnlyDisablesLighting)
{
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glColor4f(0.3f, 0.4f, 0.5f, 0.6f);
    GLfloat emission[4] = {0.1f, 0.2f, 0.3f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
    AseScene empty{};
    drawAseScene(&empty);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(polygonMode(), GL_LINE);
    GLfloat got[4] = {};
    glGetMaterialfv(GL_FRONT, GL_EMISSION, got);
    EXPECT_FLOAT_EQ(got[2], 0.3f) << "no material was sent";
    glDisable(GL_TEXTURE_2D);
    EXPECT_TRUE(readFrame().uniform());
    EXPECT_EQ(pixel(200, 200), BLACK);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Model, UntexturedNodeTakesTheCurrentColourAndLeavesItsState)
{
    QuadNode quad;
    AseScene scene = sceneOf(&quad.node, 1, nullptr, 0);
    glEnable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(10.0f, 0.0f, 0.0f);
    GLfloat modelviewBefore[16], projectionBefore[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelviewBefore);
    glGetFloatv(GL_PROJECTION_MATRIX, projectionBefore);

    drawAseScene(&scene);
    save("untextured");

    // Drawn at the current model-view matrix: shifted 10 pixels right.
    EXPECT_EQ(pixel(115, 200), RED);
    EXPECT_EQ(pixel(305, 200), RED);
    EXPECT_EQ(pixel(105, 200), BLACK);
    EXPECT_EQ(pixel(315, 200), BLACK);
    EXPECT_EQ(pixel(200, 95), BLACK);
    EXPECT_EQ(pixel(200, 305), BLACK);

    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(polygonMode(), GL_FILL);
    GLfloat colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);
    EXPECT_FLOAT_EQ(colour[1], 0.0f);
    GLfloat modelview[16], projection[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_EQ(std::memcmp(modelview, modelviewBefore, sizeof modelview), 0);
    EXPECT_EQ(std::memcmp(projection, projectionBefore, sizeof projection), 0);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);

    // Material colours for both sides, left set for later lit drawing.
    for (GLenum face : {GL_FRONT, GL_BACK}) {
        GLfloat v[4] = {};
        glGetMaterialfv(face, GL_AMBIENT, v);
        EXPECT_FLOAT_EQ(v[0], 1.0f);
        EXPECT_FLOAT_EQ(v[3], 1.0f);
        glGetMaterialfv(face, GL_DIFFUSE, v);
        EXPECT_FLOAT_EQ(v[0], 0.25f);
        EXPECT_FLOAT_EQ(v[1], 0.5f);
        EXPECT_FLOAT_EQ(v[2], 0.75f);
        EXPECT_FLOAT_EQ(v[3], 1.0f);
        glGetMaterialfv(face, GL_SPECULAR, v);
        EXPECT_FLOAT_EQ(v[1], 1.0f);
        glGetMaterialfv(face, GL_EMISSION, v);
        EXPECT_FLOAT_EQ(v[0], 0.0f);
        EXPECT_FLOAT_EQ(v[3], 0.0f);
        glGetMaterialfv(face, GL_SHININESS, v);
        EXPECT_FLOAT_EQ(v[0], 0.0f);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Model, TexturedNodeIsColourTimesBitmapShiftedByOffsets)
{
    const GLuint texture = makeRedGreenTexture();
    struct Case {
        float uOffset;
        std::vector<int> left;
        std::vector<int> right;
    };
    // Offsets 0: the stored coordinates, red then green. Offset 0.5: every
    // corner shifted half a repeat, green then red.
    const Case cases[] = {{0.0f, RED, GREEN}, {0.5f, GREEN, RED}, {1.0f, RED, GREEN}};
    for (const Case& c : cases) {
        SCOPED_TRACE("offset " + std::to_string(c.uOffset));
        glClear(GL_COLOR_BUFFER_BIT);
        QuadNode quad;
        quad.node.materialRef = 0;
        AseMaterial material = bitmapMaterial(texture);
        material.uOffset = c.uOffset;
        AseScene scene = sceneOf(&quad.node, 1, &material, 1);
        glColor3f(1.0f, 1.0f, 1.0f);
        drawAseScene(&scene);
        if (c.uOffset == 0.5f) save("textured-offset");
        EXPECT_EQ(pixel(150, 200), c.left);
        EXPECT_EQ(pixel(250, 200), c.right);
        EXPECT_EQ(pixel(50, 200), BLACK);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "texturing off after a textured node";
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), texture);
    }
    // The current colour modulates the bitmap.
    glClear(GL_COLOR_BUFFER_BIT);
    QuadNode quad;
    quad.node.materialRef = 0;
    AseMaterial material = bitmapMaterial(texture);
    AseScene scene = sceneOf(&quad.node, 1, &material, 1);
    glColor3f(0.0f, 1.0f, 1.0f);
    drawAseScene(&scene);
    EXPECT_EQ(pixel(150, 200), BLACK);
    EXPECT_EQ(pixel(250, 200), GREEN);
}

TEST_F(Model, MaterialRefMinusOneIsUntexturedEvenWhenFirstMaterialHasABitmap)
{
    const GLuint texture = makeRedGreenTexture();
    for (int ref : {-1, 1, 99}) {
        SCOPED_TRACE("materialRef " + std::to_string(ref));
        glClear(GL_COLOR_BUFFER_BIT);
        QuadNode quad;
        quad.node.materialRef = ref;
        AseMaterial material = bitmapMaterial(texture);
        expectDrawnUntexturedInBlue(quad, &material);
        // The first material's colours are not the node's: the diffuse is its wire colour.
        GLfloat v[4] = {};
        glGetMaterialfv(GL_FRONT, GL_DIFFUSE, v);
        EXPECT_FLOAT_EQ(v[1], 0.5f);
    }
}

TEST_F(Model, MaterialWithoutBitmapLeavesTheCallersTexturing)
{
    // An untextured node drawn while the caller has texturing on is textured
    // with the caller's texture at the last coordinate sent.
    const GLuint texture = makeRedGreenTexture();
    QuadNode quad;
    quad.node.materialRef = 0;
    AseMaterial plain{};
    AseScene scene = sceneOf(&quad.node, 1, &plain, 1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexCoord2f(0.75f, 0.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    drawAseScene(&scene);
    EXPECT_EQ(pixel(150, 200), GREEN);
    EXPECT_EQ(pixel(250, 200), GREEN);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(Model, FacesWithIndicesOutsideTheArraysAreSkipped)
{
    const GLuint texture = makeRedGreenTexture();
    struct Case {
        const char* what;
        int face;      // which face gets the bad index
        int corner;
        int vertex;    // new vertex index (or -1: unchanged)
        int texVertex; // new texture-vertex index (or -1: unchanged)
        bool textured;
    };
    const Case cases[] = {
        {"vertex index past the end", 1, 2, 4, -1, false},
        {"negative vertex index", 1, 0, -5, -1, false},
        {"huge vertex index", 1, 1, 2147483647, -1, false},
        {"texture index past the end", 1, 2, -1, 4, true},
        {"negative texture index", 1, 1, -1, -2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        glClear(GL_COLOR_BUFFER_BIT);
        QuadNode quad;
        if (c.vertex != -1) quad.faces[c.face].v[c.corner] = c.vertex;
        if (c.texVertex != -1) quad.faces[c.face].t[c.corner] = c.texVertex;
        AseMaterial material = bitmapMaterial(texture);
        quad.node.materialRef = c.textured ? 0 : -1;
        AseScene scene = sceneOf(&quad.node, 1, &material, 1);
        glColor3f(1.0f, 1.0f, 1.0f);
        drawAseScene(&scene);
        if (c.face == 1 && c.textured && c.texVertex == 4) save("bad-face");
        // Face 0 (lower right triangle) drawn, face 1 (upper left) not.
        EXPECT_NE(pixel(280, 120), BLACK);
        EXPECT_EQ(pixel(120, 280), BLACK);
    }
    // A texture index that would be fine is not checked on an untextured node.
    glClear(GL_COLOR_BUFFER_BIT);
    QuadNode quad;
    quad.faces[1].t[0] = 99;
    AseScene scene = sceneOf(&quad.node, 1, nullptr, 0);
    glColor3f(1.0f, 1.0f, 1.0f);
    drawAseScene(&scene);
    EXPECT_EQ(pixel(120, 280), WHITE);
}

TEST_F(Model, TexturedNodeWithoutTextureVerticesIsDrawnUntextured)
{
    const GLuint texture = makeRedGreenTexture();
    QuadNode quad;
    quad.node.materialRef = 0;
    quad.node.numTexVertices = 0;
    quad.node.texVertices = nullptr;
    AseMaterial material = bitmapMaterial(texture);
    expectDrawnUntexturedInBlue(quad, &material);
}

TEST_F(Model, ReleasedOrEmptyNodesDrawNothing)
{
    QuadNode quad;
    quad.node.faces = nullptr;  // as after releaseAseScene: counts kept, arrays gone
    quad.node.vertices = nullptr;
    AseScene scene = sceneOf(&quad.node, 1, nullptr, 0);
    glColor3f(1.0f, 1.0f, 1.0f);
    drawAseScene(&scene);
    QuadNode noVertices;
    noVertices.node.vertices = nullptr;
    scene = sceneOf(&noVertices.node, 1, nullptr, 0);
    drawAseScene(&scene);
    EXPECT_TRUE(readFrame().uniform());
}

// A scene from a file, drawn with a perspective camera: both meshes show, the
// floor with the stone bitmap.
TEST_F(Model, LoadedSceneDraws)
{
    TempDir dir;
    std::vector<unsigned char> tga(18, 0);
    tga[2] = 2;
    tga[12] = 2;
    tga[14] = 2;
    tga[16] = 24;
    for (int i = 0; i < 4; ++i) {
        tga.push_back(0);
        tga.push_back(static_cast<unsigned char>(i % 2 ? 255 : 128));
        tga.push_back(255);
    }
    dir.write("maps/stone.tga", tga);
    ScopedChdir here(dir.path());
    AseScene scene{};
    ASSERT_EQ(loadAseScene((std::string(VANTREL_SOURCE_DIR) + "/tests/fixtures/ase/realistic-scene.ase").c_str(), &scene),
              1);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-0.4, 0.4, -0.3, 0.3, 1.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, -0.5f, -6.0f);
    glRotatef(20.0f, 1.0f, 0.0f, 0.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    drawAseScene(&scene);
    save("loaded-scene");
    const Frame frame = readFrame();
    EXPECT_FALSE(frame.uniform());
    EXPECT_GT(frame.mean(0, 0, 800, 600), 5.0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    freeAseScene(&scene);  // the demo keeps keys and tables to the end; the test frees them
}

// While drawing is discarded (the offscreen runs' frames before the one wanted)
// no face is sent, but the node leaves the state the drawn faces leave: the
// current texture coordinate of the last face in range, offsets added.
TEST_F(Model, DiscardedNodeLeavesTheStateOfTheDrawnOne)
{
    const GLuint texture = makeRedGreenTexture();
    struct Case {
        const char* what;
        int lastFaceBroken;  // face 1 indexes past the texture vertices: face 0 is the last drawn
        int allBroken;       // no face is in range: the coordinate stays the caller's
    };
    const Case cases[] = {{"both faces", 0, 0}, {"last face out of range", 1, 0}, {"no face in range", 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QuadNode quad;
        if (c.lastFaceBroken) quad.faces[1].t[2] = 4;
        if (c.allBroken) quad.faces[0].v[0] = -1;
        AseMaterial material = bitmapMaterial(texture);
        material.uOffset = 0.25f;
        material.vOffset = 0.5f;
        quad.node.materialRef = 0;
        AseScene scene = sceneOf(&quad.node, 1, &material, 1);

        GLfloat drawn[4] = {}, discarded[4] = {};
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1.0f, 1.0f, 1.0f);
        glTexCoord2f(7.0f, 8.0f);
        drawAseScene(&scene);
        glGetFloatv(GL_CURRENT_TEXTURE_COORDS, drawn);
        EXPECT_EQ(pixel(280, 120) == BLACK, c.allBroken != 0) << "face 0 is drawn when in range";

        glClear(GL_COLOR_BUFFER_BIT);
        glTexCoord2f(7.0f, 8.0f);
        {
            ScopedRasterDiscard stateOnly;
            drawAseScene(&scene);
        }
        glGetFloatv(GL_CURRENT_TEXTURE_COORDS, discarded);
        EXPECT_TRUE(readFrame().uniform());
        for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(discarded[i], drawn[i]) << "coordinate " << i;
        // Face 1's last corner is (0, 1), face 0's is (1, 1); the caller's (7, 8) when none is drawn.
        const float expectedU = c.allBroken ? 7.0f : (c.lastFaceBroken ? 1.25f : 0.25f);
        EXPECT_FLOAT_EQ(discarded[0], expectedU);
        EXPECT_FLOAT_EQ(discarded[1], c.allBroken ? 8.0f : 1.5f);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), texture);
        EXPECT_EQ(polygonMode(), GL_FILL);
    }
}
