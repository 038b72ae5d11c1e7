// Scenes parsed ahead on other threads: the loading phase of the pack leaves
// the same records, texture names, textures, generator state and GL state as
// when every scene is read on the spot, and a preload taken in another order,
// next to loads it does not list and with a file that is missing, gives what
// loads on the spot give.
#include <GL/gl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "assets/ase.h"
#include "scenes/fire.h"
#include "scenes/flythrough.h"
#include "shell/loading.h"
#include "shell/random.h"
#include "tests/support/ase_mesh.h"
#include "tests/support/support.h"

namespace {

constexpr unsigned LAST_FIXED_TEXTURE_NAME = 127;  // above every fixed name the scenes use

// One texture as GL holds it: its size, filters and wraps, and its texels.
struct TextureImage {
    GLint width = 0, height = 0, format = 0;
    GLint minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0;
    std::vector<unsigned char> rgba;
    bool operator==(const TextureImage& o) const
    {
        return width == o.width && height == o.height && format == o.format && minFilter == o.minFilter &&
               magFilter == o.magFilter && wrapS == o.wrapS && wrapT == o.wrapT && rgba == o.rgba;
    }
};

TextureImage textureImage(unsigned name)
{
    TextureImage t;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &t.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &t.height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &t.format);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &t.minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &t.magFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &t.wrapS);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &t.wrapT);
    t.rgba.resize(static_cast<size_t>(t.width) * static_cast<size_t>(t.height) * 4);
    if (!t.rgba.empty()) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.rgba.data());
    return t;
}

// Every texture alive, by name, each deleted once read, so the next run
// starts from none.
std::map<unsigned, TextureImage> takeTextures()
{
    std::map<unsigned, TextureImage> textures;
    std::vector<unsigned> names;
    for (unsigned name = 1; name <= LAST_FIXED_TEXTURE_NAME; ++name) names.push_back(name);
    for (unsigned name = ASE_TEXTURE_NAME_BASE; name < aseNextTextureName; ++name) names.push_back(name);
    for (unsigned name : names) {
        if (!glIsTexture(name)) continue;
        textures[name] = textureImage(name);
        glDeleteTextures(1, &name);
    }
    return textures;
}

// Texture names and the generator start from where a fresh program starts them.
void startFresh()
{
    aseNextTextureName = ASE_TEXTURE_NAME_BASE;
    demoRandState = 1;
}

// What a loading phase leaves.
struct PhaseResult {
    AseScene scenes[3] = {};  // fire main, fire flame, fly-through, owned here
    unsigned nextTextureName = 0;
    uint32_t randState = 0;
    std::map<unsigned, TextureImage> textures;
    GLint boundTexture = 0, matrixMode = 0;
    GLboolean texturing = GL_FALSE, lighting = GL_FALSE, depthTest = GL_FALSE, blending = GL_FALSE;
    PhaseResult() = default;
    PhaseResult(const PhaseResult&) = delete;
    PhaseResult& operator=(const PhaseResult&) = delete;
    ~PhaseResult()
    {
        for (AseScene& scene : scenes) freeAseScene(&scene);
    }
};

void runPhase(int preload, PhaseResult* result)
{
    AseScene* records[3] = {&fireMainScene, &fireFlameScene, &flythroughModel};
    for (AseScene* record : records) freeAseScene(record);
    startFresh();
    loadingPreload = preload;
    const int loaded = runLoadingPhase();
    loadingPreload = 1;
    ASSERT_EQ(loaded, 1);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &result->boundTexture);
    glGetIntegerv(GL_MATRIX_MODE, &result->matrixMode);
    result->texturing = glIsEnabled(GL_TEXTURE_2D);
    result->lighting = glIsEnabled(GL_LIGHTING);
    result->depthTest = glIsEnabled(GL_DEPTH_TEST);
    result->blending = glIsEnabled(GL_BLEND);
    for (int i = 0; i < 3; ++i) {
        result->scenes[i] = *records[i];
        *records[i] = AseScene{};
    }
    result->nextTextureName = aseNextTextureName;
    result->randState = demoRandState;
    result->textures = takeTextures();
}

class Preload : public GLTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(packIsThere());
        GLTest::SetUp();
        cd = std::make_unique<ScopedChdir>(packDir());
    }
    void TearDown() override
    {
        asePreloadFinish();
        cd.reset();
        GLTest::TearDown();
    }
    std::unique_ptr<ScopedChdir> cd;
};

}  // namespace

TEST_F(Preload, TheLoadingPhaseLeavesWhatItLeavesLoadingOnTheSpot)
{
    PhaseResult onTheSpot, ahead;
    runPhase(0, &onTheSpot);
    runPhase(1, &ahead);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("scene " + std::to_string(i));
        ASSERT_GT(onTheSpot.scenes[i].numObjects, 0);
        expectSameScene(ahead.scenes[i], onTheSpot.scenes[i], true);
    }
    EXPECT_EQ(ahead.nextTextureName, onTheSpot.nextTextureName);
    EXPECT_GT(onTheSpot.nextTextureName, ASE_TEXTURE_NAME_BASE);  // the scenes' materials have textures
    EXPECT_EQ(ahead.randState, onTheSpot.randState);
    ASSERT_EQ(ahead.textures.size(), onTheSpot.textures.size());
    int materialTextures = 0;
    for (const auto& [name, image] : onTheSpot.textures) {
        SCOPED_TRACE("texture " + std::to_string(name));
        ASSERT_EQ(ahead.textures.count(name), 1u);
        EXPECT_TRUE(ahead.textures.at(name) == image);
        EXPECT_GT(image.width, 0);
        if (name >= ASE_TEXTURE_NAME_BASE) ++materialTextures;
    }
    EXPECT_GT(materialTextures, 0);
    EXPECT_EQ(ahead.boundTexture, onTheSpot.boundTexture);
    EXPECT_EQ(ahead.matrixMode, onTheSpot.matrixMode);
    EXPECT_EQ(ahead.texturing, onTheSpot.texturing);
    EXPECT_EQ(ahead.lighting, onTheSpot.lighting);
    EXPECT_EQ(ahead.depthTest, onTheSpot.depthTest);
    EXPECT_EQ(ahead.blending, onTheSpot.blending);
}

TEST_F(Preload, ScenesTakenOutOfOrderBesideOtherLoadsGiveTheLoadsOnTheSpot)
{
    const char* const missing = "models/none.ase";
    // On the spot: main, the fly-through, flame, then the missing file.
    startFresh();
    AseScene spot[3] = {};
    ASSERT_EQ(loadAseScene(FIRE_MAIN_SCENE_PATH, &spot[0]), 1);
    ASSERT_EQ(loadAseScene(FLY_MODEL_PATH, &spot[1]), 1);
    ASSERT_EQ(loadAseScene(FIRE_FLAME_SCENE_PATH, &spot[2]), 1);
    const std::map<unsigned, TextureImage> spotTextures = takeTextures();
    const unsigned spotNext = aseNextTextureName;

    // Ahead: the list has flame before main and the missing file, not the fly-through.
    startFresh();
    const char* const listed[] = {FIRE_FLAME_SCENE_PATH, missing, FIRE_MAIN_SCENE_PATH};
    asePreloadStart(listed, 3);
    AseScene ahead[3] = {};
    ASSERT_EQ(loadAseScene(FIRE_MAIN_SCENE_PATH, &ahead[0]), 1);
    ASSERT_EQ(loadAseScene(FLY_MODEL_PATH, &ahead[1]), 1);
    ASSERT_EQ(loadAseScene(FIRE_FLAME_SCENE_PATH, &ahead[2]), 1);
    AseScene untouched{};
    untouched.numObjects = 7;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(loadAseScene(missing, &untouched), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), std::string("# ") + missing + " not found!\n");
    EXPECT_EQ(untouched.numObjects, 7);
    EXPECT_EQ(aseNextTextureName, spotNext);
    const std::map<unsigned, TextureImage> aheadTextures = takeTextures();
    // A second load of a path the preload gave away reads the file again.
    AseScene again{};
    ASSERT_EQ(loadAseScene(FIRE_FLAME_SCENE_PATH, &again), 1);
    expectSameScene(again, spot[2]);
    asePreloadFinish();

    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("load " + std::to_string(i));
        expectSameScene(ahead[i], spot[i], true);
    }
    EXPECT_FALSE(spotTextures.empty());
    EXPECT_TRUE(aheadTextures == spotTextures);
    for (AseScene* scenes : {spot, ahead})
        for (int i = 0; i < 3; ++i) freeAseScene(&scenes[i]);
    freeAseScene(&again);
}
