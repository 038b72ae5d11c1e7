// The cube tower: its phases and their motion, the trail, the glowing box, the
// text pages, pausing, the first step after the set-up and the cube's faces.
#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "assets/tga.h"
#include "platform/platform.h"
#include "scenes/scenes.h"
#include "scenes/tower.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "tests/support/support.h"

namespace {

float before(float t) { return std::nextafter(t, -1e30f); }
float after(float t) { return std::nextafter(t, 1e30f); }

// One polygon caught in feedback mode: its vertex colours and window positions.
struct FeedbackPolygon {
    std::vector<std::array<float, 4>> colours;
    std::vector<std::array<float, 3>> positions;
};

// Runs draw in feedback mode and returns every polygon that survived clipping.
std::vector<FeedbackPolygon> feedback(const std::function<void()>& draw)
{
    constexpr int VERTEX_FLOATS = 7;  // GL_3D_COLOR in RGBA mode: x, y, z, r, g, b, a
    std::vector<GLfloat> buffer(8 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    EXPECT_GE(used, 0) << "feedback buffer overflow";
    std::vector<FeedbackPolygon> polygons;
    for (GLint i = 0; i < used;) {
        const GLint token = static_cast<GLint>(buffer[i++]);
        int vertices = 0;
        if (token == GL_POLYGON_TOKEN) {
            vertices = static_cast<int>(buffer[i++]);
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            ++i;
            continue;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            i += 2 * VERTEX_FLOATS;
            continue;
        } else {
            i += VERTEX_FLOATS;  // points, bitmaps, pixel rectangles
            continue;
        }
        FeedbackPolygon polygon;
        for (int v = 0; v < vertices; ++v, i += VERTEX_FLOATS) {
            polygon.positions.push_back({buffer[i], buffer[i + 1], buffer[i + 2]});
            polygon.colours.push_back({buffer[i + 3], buffer[i + 4], buffer[i + 5], buffer[i + 6]});
        }
        polygons.push_back(polygon);
    }
    return polygons;
}

// Distinct alphas among the polygons, rounded to a millionth.
std::set<long> alphasOf(const std::vector<FeedbackPolygon>& polygons)
{
    std::set<long> alphas;
    for (const FeedbackPolygon& p : polygons) alphas.insert(std::lround(p.colours[0][3] * 1e6));
    return alphas;
}

int countColour(const std::vector<FeedbackPolygon>& polygons, float r, float g, float b, float a)
{
    int n = 0;
    for (const FeedbackPolygon& p : polygons) {
        const auto& c = p.colours[0];
        n += std::fabs(c[0] - r) < 1e-4f && std::fabs(c[1] - g) < 1e-4f && std::fabs(c[2] - b) < 1e-4f &&
             std::fabs(c[3] - a) < 1e-4f;
    }
    return n;
}

// The motion rates of each phase, by the step d.
struct PhaseRates {
    float zoom, spin, roll, orbit;
};
const PhaseRates EXPECTED_RATES[TOWER_PHASE_COUNT] = {
    {-1.0f, -1.0f, 0.0f, 0.0f},
    {-1.0f, -1.0f, 0.01f, 0.0f},
    {-1.0f, -1.0f, 0.01f, 0.1f},
    {-0.5f, -1.0f, 0.01f, 0.0f},
    {0.5f, -3.0f, 0.1f, 0.12f},
};

class TowerScene : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        resetState();
    }
    static void resetState()
    {
        sceneStart = 0.0f;
        previousSceneTime = 0.0f;
        towerSpin = cameraZoom = cameraRoll = cameraOrbit = boxSpin = 0.0f;
        for (float& p : pageDistance) p = 0.0f;
        lastFrameTime = 0.0f;
        sceneDone = 0;
    }
    // Cube faces black, so only the pages show; every page white.
    static void blackCubesWhitePages()
    {
        solidTexture(TEX_TOWER_K, 0, 0, 0);
        solidTexture(TEX_TOWER_D, 0, 0, 0);
        for (int n = 0; n < TOWER_PAGE_COUNT; ++n)
            solidTexture(TEX_TOWER_PAGE_FIRST + static_cast<unsigned>(n), 255, 255, 255);
    }
    void save(const Frame& frame, const std::string& name) { keepFrame(frame, name); }

};

}  // namespace

// Each phase is closed below and open above: at 57, 61, 76 and 92 the next one
// already moves the camera and the tower.
TEST_F(TowerScene, PhaseBoundariesPutTheNextPhaseInForce)
{
    struct Case {
        float t;
        int phase;
    };
    std::vector<Case> cases = {{53.0f, 0}, {130.0f, TOWER_NO_PHASE}};
    for (int k = 0; k < TOWER_PHASE_COUNT; ++k) {
        cases.push_back({before(TOWER_PHASE_ENDS[k]), k});
        cases.push_back({TOWER_PHASE_ENDS[k], k + 1 < TOWER_PHASE_COUNT ? k + 1 : TOWER_NO_PHASE});
    }
    ASSERT_EQ(towerSceneSetup(), 1);
    for (const Case& c : cases) {
        EXPECT_EQ(towerPhaseAt(c.t), c.phase) << "t = " << c.t;
        resetState();
        cameraOrbit = 0.5f;
        previousSceneTime = c.t - 0.25f;
        lastFrameTime = c.t;
        const float d = 40.0f * (c.t - previousSceneTime);
        ASSERT_EQ(towerSceneDraw(c.t), 1);
        EXPECT_EQ(sceneDone, c.phase == TOWER_NO_PHASE ? 1 : 0) << "t = " << c.t;
        const PhaseRates r = c.phase == TOWER_NO_PHASE ? PhaseRates{0, 0, 0, 0} : EXPECTED_RATES[c.phase];
        EXPECT_NEAR(cameraZoom, r.zoom * d, 1e-4f) << "t = " << c.t;
        EXPECT_NEAR(towerSpin, r.spin * d, 1e-4f) << "t = " << c.t;
        EXPECT_NEAR(cameraRoll, r.roll * d, 1e-5f) << "t = " << c.t;
        EXPECT_NEAR(cameraOrbit, 0.5f + r.orbit * d, 1e-5f) << "t = " << c.t;
        EXPECT_EQ(previousSceneTime, c.t) << "t = " << c.t;
        EXPECT_EQ(lastFrameTime, c.t) << "t = " << c.t;
    }
}

// Before the box, pages and flashes, the blend function left by the frame is the phase's own.
TEST_F(TowerScene, AdditivePhasesAddTheTrail)
{
    struct Case {
        float t;
        GLint destination;
    };
    const Case cases[] = {
        {55.0f, GL_ONE_MINUS_SRC_ALPHA}, {57.0f, GL_ONE_MINUS_SRC_ALPHA}, {before(61.0f), GL_ONE_MINUS_SRC_ALPHA},
        {61.0f, GL_ONE},                 {70.0f, GL_ONE},
    };
    towerSceneSetup();
    for (const Case& c : cases) {
        towerSceneDraw(c.t);
        GLint source = 0, destination = 0;
        glGetIntegerv(GL_BLEND_SRC, &source);
        glGetIntegerv(GL_BLEND_DST, &destination);
        EXPECT_EQ(source, GL_SRC_ALPHA) << "t = " << c.t;
        EXPECT_EQ(destination, c.destination) << "t = " << c.t;
    }
}

// One tower before 57 s; from then on ten copies at alpha 1, 0.9, ... 0.1.
TEST_F(TowerScene, TrailHasTenCopiesWithFallingAlpha)
{
    towerSceneSetup();
    sceneStart = 0.0f;
    cameraZoom = 100.0f;  // eye at z = 80: the whole tower in view
    const auto single = feedback([] { towerSceneDraw(55.0f); });
    ASSERT_FALSE(single.empty());
    EXPECT_EQ(alphasOf(single), std::set<long>{1000000});

    cameraZoom = 100.0f;
    const auto trail = feedback([] { towerSceneDraw(58.0f); });
    std::set<long> expected;
    for (int j = 0; j < 10; ++j) expected.insert(std::lround((1.0f - 0.1f * static_cast<float>(j)) * 1e6));
    const std::set<long> alphas = alphasOf(trail);
    ASSERT_EQ(alphas.size(), 10u);
    auto a = alphas.begin();
    for (long e : expected) EXPECT_NEAR(*a++, e, 2) << "alpha " << e / 1e6;
    // Every copy has the same polygons: ten times as many as one tower.
    EXPECT_GT(trail.size(), single.size() * 9);
    EXPECT_LT(trail.size(), single.size() * 11);
}

// The rows are grey i / 24, black at the bottom and white at the top; seven
// cubes of six faces each.
TEST_F(TowerScene, TowerRowsBrightenUpwards)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-40, 40, -40, 40, -40, 40);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const size_t cube = feedback([] { drawTexturedCube(1.0f); }).size();  // six faces, split as GL likes
    ASSERT_GE(cube, 6u);
    const auto polygons = feedback([] { drawCubeTower(0.75f); });
    EXPECT_EQ(polygons.size(), 25u * 7u * cube);
    for (int i = 0; i < 25; ++i) {
        const float grey = static_cast<float>(i) / 24.0f;
        EXPECT_EQ(countColour(polygons, grey, grey, grey, 0.75f), static_cast<int>(7 * cube)) << "row " << i;
    }
    // Rows span y = -22 (bottom row's centre) to 26, so the faces reach from -23 to 27.
    float lowest = 1e9f, highest = -1e9f;
    for (const auto& p : polygons)
        for (const auto& v : p.positions) {
            lowest = std::min(lowest, v[1]);
            highest = std::max(highest, v[1]);
        }
    // Window y of eye y: (y + 40) / 80 x 600.
    EXPECT_NEAR(lowest, (-23.0f + 40.0f) / 80.0f * 600.0f, 0.1f);
    EXPECT_NEAR(highest, (27.0f + 40.0f) / 80.0f * 600.0f, 0.1f);
}

// The box is drawn only strictly after 76 s, in two colours, and turns 100
// degrees per second of the time between frames.
TEST_F(TowerScene, GlowingBoxOnlyAfterSeventySix)
{
    towerSceneSetup();
    lastFrameTime = TOWER_BOX_START - 0.1f;
    const auto at76 = feedback([] { towerSceneDraw(TOWER_BOX_START); });
    EXPECT_EQ(countColour(at76, 0.3f, 0.3f, 0.3f, 0.5f), 0);
    EXPECT_EQ(countColour(at76, 0.0f, 0.3f, 0.3f, 0.5f), 0);
    EXPECT_EQ(boxSpin, 0.0f);

    lastFrameTime = TOWER_BOX_START;
    const float t = TOWER_BOX_START + 0.1f;
    const auto later = feedback([t] { towerSceneDraw(t); });
    EXPECT_GT(countColour(later, 0.3f, 0.3f, 0.3f, 0.5f), 0);
    EXPECT_GT(countColour(later, 0.0f, 0.3f, 0.3f, 0.5f), 0);
    EXPECT_FLOAT_EQ(boxSpin, (t - TOWER_BOX_START) * 100.0f);
}

// The box's projection uses the integer quotient of the window's sides, 1 at
// 800 x 600, so the face ahead of the eye is as wide in pixels as the view is
// high in pixels times 1 (square in clip space: a third wider than tall on screen).
TEST_F(TowerScene, GlowingBoxSeesWithAspectOne)
{
    solidTexture(TEX_TOWER_K, 255, 255, 255);
    solidTexture(TEX_TOWER_D, 255, 255, 255);
    towerSceneSetup();
    lastFrameTime = 80.0f;
    boxSpin = 0.0f;  // first layer axis-aligned: its front face is ahead of the eye
    const auto polygons = feedback([] { towerSceneDraw(80.0f); });
    // The first layer's front face sits 600 ahead: at 120 degrees and aspect 1 it
    // spans 600 / (600 tan 60) of the clip square in both directions.
    bool found = false;
    for (const auto& p : polygons) {
        if (std::fabs(p.colours[0][1] - 0.3f) > 1e-4f || std::fabs(p.colours[0][0] - 0.3f) > 1e-4f) continue;
        float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
        for (const auto& v : p.positions) {
            x0 = std::min(x0, v[0]);
            x1 = std::max(x1, v[0]);
            y0 = std::min(y0, v[1]);
            y1 = std::max(y1, v[1]);
        }
        if (x0 > 0.0f && x1 < 800.0f && y0 > 0.0f && y1 < 600.0f) {  // wholly in view: the front face
            found = true;
            const double half = 1.0 / std::tan(60.0 * M_PI / 180.0);
            EXPECT_NEAR(x1 - x0, half * 800.0, 1.0);
            EXPECT_NEAR(y1 - y0, half * 600.0, 1.0);
        }
    }
    EXPECT_TRUE(found);
}

// A page is drawn only when t is strictly past its start; drawn pages fly on.
TEST_F(TowerScene, PageWhoseStartEqualsTimeIsNotDrawnYet)
{
    const float starts[TOWER_PAGE_COUNT] = {77.2f, 77.6f, 78.0f, 78.4f, 78.8f, 79.2f, 79.6f,
                                            80.0f, 82.4f, 82.8f, 83.2f, 83.6f, 84.0f, 84.4f,
                                            84.8f, 85.2f, 85.6f, 86.0f, 86.4f};
    towerSceneSetup();
    for (int n = 0; n < TOWER_PAGE_COUNT; ++n) {
        for (float& p : pageDistance) p = 0.0f;
        lastFrameTime = starts[n] - 0.1f;
        towerSceneDraw(starts[n]);
        EXPECT_EQ(pageDistance[n], 0.0f) << "page " << n + 1;
        for (int m = 0; m < n; ++m) EXPECT_GT(pageDistance[m], 0.0f) << "page " << m + 1 << " at page " << n + 1;
        for (int m = n + 1; m < TOWER_PAGE_COUNT; ++m) EXPECT_EQ(pageDistance[m], 0.0f) << "page " << m + 1;
        lastFrameTime = starts[n] - 0.1f;
        towerSceneDraw(after(starts[n]));
        EXPECT_NEAR(pageDistance[n], (after(starts[n]) - (starts[n] - 0.1f)) * 0.5f, 1e-6f) << "page " << n + 1;
    }
}

// The first page shows in white over the top of the view just after 77.2 s,
// not at 77.2 s; it recedes and fades while it keeps flying.
TEST_F(TowerScene, FirstPageAppearsAtTheTopAndFades)
{
    blackCubesWhitePages();
    towerSceneSetup();
    lastFrameTime = 77.1f;
    towerSceneDraw(77.2f);
    const Frame atStart = readFrame();
    save(atStart, "tower-77.2.png");
    EXPECT_EQ(atStart.mean(0, 0, 800, 600), 0.0);

    lastFrameTime = 77.2f;
    towerSceneDraw(77.25f);
    const Frame shown = readFrame();
    save(shown, "tower-77.25.png");
    // 2 units ahead, from y = 0.3 up: the top 190 rows, across the whole width.
    EXPECT_EQ(shown.mean(100, 20, 700, 170), 255.0);
    EXPECT_EQ(shown.mean(100, 220, 700, 580), 0.0);

    // 2 s later the page is 5 units away at brightness 0.3 and smaller.
    pageDistance[0] = 1.0f;
    lastFrameTime = 77.25f;
    towerSceneDraw(77.3f);
    const Frame far = readFrame();
    save(far, "tower-page-far.png");
    EXPECT_NEAR(far.mean(250, 180, 500, 240), 0.3 * 255.0, 4.0);
    EXPECT_EQ(far.mean(0, 0, 100, 100), 0.0);
}

// While paused nothing is drawn and nothing moves; the first frame after
// resuming moves the tower, the pages and the box by the whole pause.
TEST_F(TowerScene, PauseFreezesAndResumingJumps)
{
    towerSceneSetup();
    sceneStart = 0.0f;
    lastFrameTime = 79.9f;
    previousSceneTime = 79.9f;
    towerSceneDraw(80.0f);
    const float spin = towerSpin, zoom = cameraZoom, roll = cameraRoll, box = boxSpin, page = pageDistance[0];

    expectPausedDrawsNothing(towerSceneDraw, {81.0f, 82.0f});
    EXPECT_EQ(towerSpin, spin);
    EXPECT_EQ(cameraZoom, zoom);
    EXPECT_EQ(boxSpin, box);
    EXPECT_EQ(pageDistance[0], page);
    EXPECT_EQ(lastFrameTime, 80.0f);
    EXPECT_EQ(previousSceneTime, 80.0f);

    playState = PLAY_RUNNING;
    towerSceneDraw(83.0f);
    EXPECT_NEAR(towerSpin - spin, -40.0f * 3.0f, 1e-3f);
    EXPECT_NEAR(cameraZoom - zoom, -0.5f * 40.0f * 3.0f, 1e-3f);
    EXPECT_NEAR(cameraRoll - roll, 0.01f * 40.0f * 3.0f, 1e-4f);
    EXPECT_NEAR(boxSpin - box, 300.0f, 1e-3f);
    EXPECT_NEAR(pageDistance[0] - page, 1.5f, 1e-5f);
}

// The set-up reads the demo clock; the first frame's step covers the time
// since then, because previousSceneTime is still 0.
TEST_F(TowerScene, FirstStepCoversTheTimeSinceTheSetup)
{
    config.framesPerSecond = 1;
    GLTest::TearDown();
    GLTest::SetUp();
    startDemoClock();
    for (int i = 0; i < 50; ++i) platformSwapBuffers();  // one virtual second each
    ASSERT_EQ(towerSceneSetup(), 1);
    EXPECT_NEAR(sceneStart, 50.0f, 1e-5f);
    EXPECT_EQ(previousSceneTime, 0.0f);
    lastFrameTime = 50.0f;
    towerSceneDraw(50.5f);
    EXPECT_NEAR(towerSpin, -20.0f, 1e-3f);  // 40 per second x 0.5 s
    EXPECT_NEAR(cameraZoom, -20.0f, 1e-3f);
    EXPECT_NEAR(previousSceneTime, 0.5f, 1e-5f);
    towerSceneDraw(50.75f);
    EXPECT_NEAR(towerSpin, -30.0f, 1e-3f);
}

TEST_F(TowerScene, SetupAndEndOfFrameState)
{
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glMatrixMode(GL_PROJECTION);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    ASSERT_EQ(towerSceneSetup(), 1);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(glInteger(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_EQ(glInteger(GL_MATRIX_MODE), GL_MODELVIEW);
    expectBlackClearColour();

    // Inside a flash and a fade the overlays leave lighting and texturing on and
    // blending off; the frame's end turns them round.
    for (float t : {51.0f, 76.25f, 93.0f}) {
        glEnable(GL_LIGHTING);
        towerSceneDraw(t);
        EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << "t = " << t;
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "t = " << t;
        EXPECT_TRUE(glIsEnabled(GL_BLEND)) << "t = " << t;
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << "t = " << t;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "t = " << t;
    }
}

// k.tga on back, front and bottom; d.tga on top, right and left.
TEST_F(TowerScene, TexturedCubeBindsEachTextureForItsFaces)
{
    struct Case {
        const char* face;
        float angle;  // turn that brings the face round to the eye
        float x, y;
        bool k;
    };
    const Case cases[] = {
        {"front", 0.0f, 0, 1, true},  {"back", 180.0f, 0, 1, true}, {"bottom", -90.0f, 1, 0, true},
        {"top", 90.0f, 1, 0, false},  {"right", -90.0f, 0, 1, false}, {"left", 90.0f, 0, 1, false},
    };
    solidTexture(TEX_TOWER_K, 255, 0, 0);
    solidTexture(TEX_TOWER_D, 0, 255, 0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    for (const Case& c : cases) {
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -5.0f);
        glRotatef(c.angle, c.x, c.y, 0.0f);
        drawTexturedCube(1.0f);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << c.face;
        const Frame frame = readFrame();
        const unsigned char* centre = frame.at(400, 300);
        EXPECT_EQ(centre[0], c.k ? 255 : 0) << c.face;
        EXPECT_EQ(centre[1], c.k ? 0 : 255) << c.face;
        EXPECT_EQ(centre[2], 0) << c.face;
        // An edge of 2 at distance 5 (4 from the face): 2 / (4 tan 22.5) of the half-height.
        int wide = 0;
        for (int x = 0; x < 800; ++x) wide += frame.at(x, 300)[2] == 0;
        EXPECT_NEAR(wide, 300.0 * 2.0 / (4.0 * std::tan(22.5 * M_PI / 180.0)), 3.0) << c.face;
    }
    save(readFrame(), "tower-cube-left.png");
}

// The loader puts each file under its fixed name, in the pages' order.
TEST_F(TowerScene, LoaderPutsEachFileUnderItsName)
{
    const char* const paths[21] = {
        "maps/k.tga",      "maps/d.tga",      "maps/everything.tga", "maps/txt_2.tga",  "maps/txt_3.tga",
        "maps/txt_4.tga",  "maps/txt_5.tga",  "maps/txt_6.tga",      "maps/txt_7.tga",  "maps/txt_8.tga",
        "maps/txt_9.tga",  "maps/txt_10.tga", "maps/txt_11.tga",     "maps/txt_12.tga", "maps/txt_13.tga",
        "maps/txt_14.tga", "maps/txt_15.tga", "maps/txt_16.tga",     "maps/txt_17.tga", "maps/txt_20.tga",
        "maps/txt_21.tga",
    };
    for (int i = 0; i < 21; ++i) dir.write(paths[i], tgaFile(2, static_cast<unsigned char>(10 * i + 5)));
    ASSERT_EQ(towerSceneLoad(), 1);
    for (int i = 0; i < 21; ++i) {
        glBindTexture(GL_TEXTURE_2D, TEX_TOWER_FIRST + static_cast<unsigned>(i));
        unsigned char texels[2 * 2 * 4] = {};
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        EXPECT_EQ(texels[0], 10 * i + 5) << paths[i];
    }
    // Missing files are not an error.
    TempDir empty;
    ScopedChdir elsewhere(empty.path());
    EXPECT_EQ(towerSceneLoad(), 1);
}

// The scene under the runner, from the fire scene's end to its own, at 10 fps:
// it ends in the first frame at or past 118.7 s.
TEST_F(TowerScene, RunnerEndsTheSceneAtItsEnd)
{
    config.framesPerSecond = 10;
    GLTest::TearDown();
    GLTest::SetUp();
    startDemoClock();
    while (headlessDemoSeconds() < 118.0) platformSwapBuffers();
    lastFrameTime = 118.0f;
    runScene(sceneSequence[2]);
    EXPECT_EQ(sceneDone, 0);  // cleared by the runner
    EXPECT_GE(lastFrameTime, TOWER_END);
    EXPECT_LT(lastFrameTime, 118.85f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
