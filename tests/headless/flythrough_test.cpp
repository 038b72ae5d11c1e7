// The model fly-through on the virtual clock: shot bounds, the end, a missing
// model, pausing, each shot's camera, and what the camera shows.
#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "scenes/flythrough.h"
#include "scenes/scenes.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "tests/support/ase_mesh.h"
#include "tests/support/support.h"

namespace {

// The last second of each shot, k = 1..14.
const float (&BOUNDS)[FLY_SHOT_COUNT] = FLY_SHOT_BOUNDS;
// A time inside each shot with no flash or fade open.
const float CLEAN_TIMES[FLY_SHOT_COUNT] = {121.0f, 127.0f, 134.0f, 138.0f, 140.0f, 142.0f, 144.0f,
                                           146.0f, 148.0f, 150.0f, 152.0f, 154.0f, 156.0f, 160.0f};
const float RATES[FLY_SHOT_COUNT] = {0.6f, 0.6f, 0.4f, 0.8f, 0.8f, 0.9f, 0.9f,
                                     0.9f, 0.9f, 0.9f, 0.6f, 0.3f, 0.8f, 0.6f};

float after(float t) { return std::nextafter(t, 1e30f); }

// Shot k's model-view as the scene should build it, written out call by call:
// the camera prefix, the shot's rotations and translation, the model scale.
void referenceModelview(int k, float a, float a2)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(-0.02f, -0.02f, -0.7f);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    switch (k) {
    case 1: glRotatef(75, -0.05f, -1, 0); glRotatef(8 * a, -0.05f, -1, 0); glTranslatef(2 - a, -0.5f, 3); break;
    case 2: glRotatef(75, -0.05f, 1, 0); glRotatef(8 * a, -0.05f, 1, 0); glTranslatef(2 - a, -0.5f, -3.2f); break;
    case 3: glRotatef(8 * a, 0, -0.05f, 0); glTranslatef(-4.5f, -0.5f, 1.3f - a); break;
    case 4: glRotatef(40 * a2, -0.05f, 1, 0.3f); glTranslatef(2 - a, -0.4f - 0.3f * a, -2); break;
    case 5: glRotatef(40 * a, 0.05f, 1, 0); glTranslatef(2 + a, -0.9f, 1 - a); break;
    case 6: glRotatef(180, 0, 1, 0.1f); glRotatef(40 * a, 0.05f, 1, 0); glTranslatef(2 + a, -0.9f, 1 - a); break;
    case 7: glRotatef(45, 0, 1, 0.1f); glRotatef(-40 * a, 0.05f, 1, 0); glTranslatef(2 + a, -0.9f, 1 - a); break;
    case 8: glRotatef(45, 0, 1, 0.1f); glRotatef(-40 * a, 0.05f, 1, 0.2f); glTranslatef(1 + a, -0.9f, 1 - a); break;
    case 9: glRotatef(-45, 0, 1, 0); glRotatef(-40 * a, 0.05f, -1, 0.5f); glTranslatef(2 - a, -0.9f, 1 - a); break;
    case 10: glRotatef(-40 * a, 0.05f, 1, 0.5f); glTranslatef(0, -1.9f, 1); break;
    case 11: glRotatef(-45, 0, 1, 0); glRotatef(-20 * a, 0.05f, 1, 0.5f); glTranslatef(2 - a, -0.8f, 1 - a); break;
    case 12: glRotatef(-20 * a, 0.05f, -1, 0.5f); glTranslatef(1 - a, -0.9f - a, 0); break;
    case 13: glRotatef(40 * a, -0.4f, 1, 0.8f); glTranslatef(2 - a, -0.4f - 0.3f * a, -0.5f); break;
    case 14: glRotatef(20 * a, 0.7f, -1, 1); glTranslatef(1 - 0.5f * a, -0.1f - 0.25f * a, 0); break;
    default: break;
    }
    glScalef(0.01f, 0.01f, 0.01f);
}

using Matrix = std::array<double, 16>;  // column-major, as GL stores it

Matrix currentModelview()
{
    GLfloat m[16] = {};
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    Matrix out{};
    for (int i = 0; i < 16; ++i) out[i] = m[i];
    return out;
}

// m times the column (x, y, z, w).
std::array<double, 4> apply(const Matrix& m, double x, double y, double z, double w)
{
    std::array<double, 4> r{};
    for (int row = 0; row < 4; ++row)
        r[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row] * w;
    return r;
}

// Inverse by Gauss-Jordan elimination with partial pivoting.
Matrix inverse(const Matrix& m)
{
    double a[4][8] = {};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            a[row][col] = m[col * 4 + row];
            a[row][col + 4] = row == col ? 1.0 : 0.0;
        }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 4; ++row)
            if (std::fabs(a[row][col]) > std::fabs(a[pivot][col])) pivot = row;
        for (int j = 0; j < 8; ++j) std::swap(a[col][j], a[pivot][j]);
        const double d = a[col][col];
        for (int j = 0; j < 8; ++j) a[col][j] /= d;
        for (int row = 0; row < 4; ++row)
            if (row != col) {
                const double f = a[row][col];
                for (int j = 0; j < 8; ++j) a[row][j] -= f * a[col][j];
            }
    }
    Matrix out{};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) out[col * 4 + row] = a[row][col + 4];
    return out;
}

class Flythrough : public SceneTest {
protected:
    void loadAndSetUp()
    {
        ASSERT_EQ(flythroughLoad(), 1);
        ASSERT_EQ(flythroughSetup(), 1);
    }
    // Draws one frame at t without advancing the shot's accumulator first.
    static void drawStill(float t)
    {
        lastFrameTime = t;
        flythroughDraw(t);
    }
    static void save(const Frame& frame, const std::string& name) { keepFrame(frame, name); }
};

}  // namespace

TEST_F(Flythrough, ShotBoundsAreInclusiveAtTheTop)
{
    loadAndSetUp();
    std::vector<ShotCase> cases = {{0.0f, 1}, {sceneStartsAt(SCENE_FLYTHROUGH), 1}, {-5.0f, 1}};
    for (int k = 1; k <= FLY_SHOT_COUNT; ++k) {
        cases.push_back({BOUNDS[k - 1], k});
        cases.push_back({after(BOUNDS[k - 1]), k < FLY_SHOT_COUNT ? k + 1 : FLY_NO_SHOT});
        cases.push_back({CLEAN_TIMES[k - 1], k});
    }
    expectShots(cases, flyShotAt, drawStill, flyShot, FLY_NO_SHOT);
}

TEST_F(Flythrough, TimesFarPastTheEndEndTheSceneInTheirFirstFrame)
{
    const float times[] = {after(FLYTHROUGH_END), FLYTHROUGH_END + 0.5f, 500.0f, 1.0e7f, 3.4e38f, INFINITY};
    loadAndSetUp();
    for (float t : times) {
        float before[FLY_SHOT_COUNT];
        for (int i = 0; i < FLY_SHOT_COUNT; ++i) before[i] = flyShotPhase[i] = 0.1f * static_cast<float>(i);
        lastFrameTime = 162.0f;
        sceneDone = 0;
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        flythroughSetup();
        EXPECT_EQ(flythroughDraw(t), 1);
        EXPECT_EQ(sceneDone, 1) << "t = " << t;
        EXPECT_EQ(flyShot, FLY_NO_SHOT) << "t = " << t;
        EXPECT_EQ(lastFrameTime, t);
        for (int i = 0; i < FLY_SHOT_COUNT; ++i) EXPECT_EQ(flyShotPhase[i], before[i]) << "shot " << i + 1;
        const Frame frame = readFrame();  // cleared to black, nothing else
        EXPECT_TRUE(frame.uniform()) << "t = " << t;
        EXPECT_EQ(frame.at(0, 0)[0], 0) << "t = " << t;
    }
}

// Without models/escena02.ase every frame is black but for the flashes and fades.
TEST_F(Flythrough, MissingModelGivesBlackFramesWithOverlaysOnly)
{
    struct Case {
        float t;
        double level;  // of every pixel, 0..1
    };
    // Every pixel is black times the fades but for the flashes' white: the flash
    // is added first, then the fades in force multiply it.
    auto flashAt = [](const FlashWindow& f, float t) {
        return t < f.start || t > f.end ? 0.0 : f.peak * (1.0 - std::fabs(2.0 * (t - f.start) / (f.end - f.start) - 1.0));
    };
    auto fadeAt = [](float t) {
        double level = 1.0;
        for (const FadeWindow& f : FLY_FADES)
            if (t >= f.start && t <= f.end) level *= f.mode == FADE_IN ? (t - f.start) / (f.end - f.start) : (f.end - t) / (f.end - f.start);
        return level;
    };
    auto middle = [](const FlashWindow& f) { return (f.start + f.end) / 2.0f; };
    auto expected = [&](float t) {
        double white = 0.0;
        for (const FlashWindow& f : FLY_FLASHES) white += flashAt(f, t);
        return std::fmin(white, 1.0) * fadeAt(t);
    };
    const FlashWindow& last = FLY_FLASHES[countOf(FLY_FLASHES) - 1];
    const Case cases[] = {
        {sceneStartsAt(SCENE_FLYTHROUGH) + 0.3f, 0.0},  // fading in from black: black stays black
        {FLY_FLASHES[0].start - 0.3f, 0.0},
        {FLY_FLASHES[0].start, 0.0},                    // flash at its start adds nothing
        {middle(FLY_FLASHES[0]), expected(middle(FLY_FLASHES[0]))},  // at its peak, then the fade in
        {middle(FLY_FLASHES[1]), expected(middle(FLY_FLASHES[1]))},  // the same at the second cut
        {middle(FLY_FLASHES[2]), expected(middle(FLY_FLASHES[2]))},  // a short flash at its peak, inside a fade in
        {(FLY_FLASHES[3].start + middle(FLY_FLASHES[3])) / 2.0f, expected((FLY_FLASHES[3].start + middle(FLY_FLASHES[3])) / 2.0f)},
        {middle(last), expected(middle(last))},         // the last flash at its peak
        {FLY_SHOT_BOUNDS[9] + 0.1f, 0.0},               // the later cuts have no flash
        {FLY_SHOT_BOUNDS[12] + 1.0f, 0.0},
        {FLYTHROUGH_END + 0.5f, 0.0},                   // the frame that ends the scene
    };
    loadAndSetUp();
    EXPECT_EQ(flythroughModel.numObjects, 0);
    for (const Case& c : cases) {
        drawStill(c.t);
        const Frame frame = readFrame();
        if (c.t == middle(FLY_FLASHES[0])) save(frame, "fly-missing-first-flash.png");
        EXPECT_TRUE(frame.uniform()) << "t = " << c.t;
        EXPECT_NEAR(frame.at(400, 300)[0], c.level * 255.0, 3.0) << "t = " << c.t;
    }
}

TEST_F(Flythrough, PauseKeepsEverythingAndResumingJumpsByThePause)
{
    loadAndSetUp();
    lastFrameTime = 133.0f;
    flythroughDraw(133.0f);  // shot 3
    const float phase = flyShotPhase[2];
    expectPausedDrawsNothing(flythroughDraw, {133.5f, 134.0f, 136.5f});
    EXPECT_EQ(lastFrameTime, 133.0f);
    EXPECT_EQ(flyShotPhase[2], phase);

    playState = PLAY_RUNNING;
    flythroughDraw(136.5f);
    EXPECT_NEAR(flyShotPhase[2] - phase, 3.5f * 0.4f, 1e-5f);
    for (int i = 0; i < FLY_SHOT_COUNT; ++i) {
        if (i == 2) continue;
        EXPECT_EQ(flyShotPhase[i], 0.0f) << "shot " << i + 1;
    }

    // A pause across the end: the first frame after it ends the scene.
    playState = PLAY_PAUSED;
    flythroughDraw(165.0f);
    EXPECT_EQ(sceneDone, 0);
    playState = PLAY_RUNNING;
    flythroughDraw(170.0f);
    EXPECT_EQ(sceneDone, 1);
}

// Under the scene runner from demo time 0 at 10 frames per second: shot 1
// covers everything up to 124.6 s, each shot accumulates rate times its own
// window, and the scene ends at the first frame past 162.5 s.
TEST_F(Flythrough, RunnerPlaysEveryShotAndEndsAfterTheLastBound)
{
    config.framesPerSecond = 10;
    GLTest::TearDown();
    GLTest::SetUp();
    flythroughLoad();
    startDemoClock();
    runScene(sceneSequence[3]);
    EXPECT_EQ(sceneDone, 0);
    EXPECT_EQ(flyShot, FLY_NO_SHOT);
    EXPECT_GT(lastFrameTime, FLYTHROUGH_END);
    EXPECT_LT(lastFrameTime, FLYTHROUGH_END + 0.2f);
    float previous = 0.0f;
    for (int k = 1; k <= FLY_SHOT_COUNT; ++k) {
        const float window = BOUNDS[k - 1] - previous;
        EXPECT_NEAR(flyShotPhase[k - 1], RATES[k - 1] * window, RATES[k - 1] * 0.1f + 2e-3f) << "shot " << k;
        previous = BOUNDS[k - 1];
    }
}

TEST_F(Flythrough, SetupEnablesTexturingAndDepth)
{
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_TEXTURE);
    glClearColor(1.0f, 1.0f, 0.0f, 1.0f);
    ASSERT_EQ(flythroughSetup(), 1);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));  // left alone
    EXPECT_EQ(glInteger(GL_MATRIX_MODE), GL_MODELVIEW);
    expectBlackClearColour();
}

// The model-view the scene leaves after a frame is its shot's camera; shot 4
// turns by shot 2's accumulator, not its own.
TEST_F(Flythrough, EachShotBuildsItsCamera)
{
    loadAndSetUp();
    for (int i = 0; i < FLY_SHOT_COUNT; ++i) flyShotPhase[i] = 0.3f + 0.07f * static_cast<float>(i);
    for (int k = 1; k <= FLY_SHOT_COUNT; ++k) {
        drawStill(CLEAN_TIMES[k - 1]);
        ASSERT_EQ(flyShot, k);
        const Matrix drawn = currentModelview();
        referenceModelview(k, flyShotPhase[k - 1], flyShotPhase[1]);
        const Matrix expected = currentModelview();
        for (int e = 0; e < 16; ++e) EXPECT_NEAR(drawn[e], expected[e], 1e-5) << "shot " << k << " element " << e;
    }
    GLint depth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);  // every shot pops the projection it pushed
}

// A box placed just ahead of shot 1's eye (found by inverting that shot's
// model-view) is seen in shot 1 and not from the shots that look away from it.
TEST_F(Flythrough, ModelAheadOfShotOneEyeIsSeenOnlyThere)
{
    referenceModelview(1, 0.0f, 0.0f);
    const Matrix toModel = inverse(currentModelview());
    const auto eye = apply(toModel, 0, 0, 0, 1);
    const auto ahead = apply(toModel, 0, 0, -1, 0);
    const double length = std::sqrt(ahead[0] * ahead[0] + ahead[1] * ahead[1] + ahead[2] * ahead[2]);
    const double distance = 20.0;  // model units, 0.2 in the eye's units
    const float cx = static_cast<float>(eye[0] + ahead[0] / length * distance);
    const float cy = static_cast<float>(eye[1] + ahead[1] / length * distance);
    const float cz = static_cast<float>(eye[2] + ahead[2] / length * distance);
    const float half = 6.0f;
    dir.write("models/escena02.ase", aseFile({box(cx, cy, cz, half)}));
    loadAndSetUp();
    ASSERT_EQ(flythroughModel.numObjects, 1);

    drawStill(CLEAN_TIMES[0]);
    const Frame seen = readFrame();
    save(seen, "fly-shot1-ahead.png");
    EXPECT_EQ(seen.mean(390, 290, 410, 310), 255.0);
    EXPECT_EQ(seen.mean(0, 0, 100, 100), 0.0);
    EXPECT_EQ(seen.mean(700, 500, 800, 600), 0.0);

    int behind = 0;
    for (int k = 2; k <= FLY_SHOT_COUNT; ++k) {
        drawStill(CLEAN_TIMES[k - 1]);
        const Matrix toEye = currentModelview();
        bool allBehind = true;  // every corner behind the near plane
        for (int c = 0; c < 8; ++c) {
            const auto p = apply(toEye, cx + ((c & 1) ? half : -half), cy + ((c & 2) ? half : -half),
                                 cz + ((c & 4) ? half : -half), 1);
            allBehind = allBehind && p[2] > -0.01;
        }
        if (!allBehind) continue;
        ++behind;
        const Frame frame = readFrame();
        if (behind == 1) save(frame, "fly-shot" + std::to_string(k) + "-away.png");
        EXPECT_TRUE(frame.uniform()) << "shot " << k;
        EXPECT_EQ(frame.at(400, 300)[0], 0) << "shot " << k;
    }
    EXPECT_GE(behind, 3);
}

// A square held square-on ahead of each shot's eye shows the shot's field of
// view by its size on screen, and the aspect 1 (the integer quotient 800 / 600)
// by being a third wider than high.
namespace {
struct SquareSpan {
    int high = 0;  // lit pixels down the centre column
    int wide = 0;  // lit pixels along the centre row
    int centreLit = 0;
};
constexpr double SQUARE_DISTANCE = 20.0;  // model units ahead of the eye
constexpr double SQUARE_HALF = 6.0;       // model units

// Pixels a square of SQUARE_HALF at SQUARE_DISTANCE covers with a field of view.
double expectedSpan(double fovyDegrees, int pixels)
{
    return pixels * (SQUARE_HALF / SQUARE_DISTANCE) / std::tan(fovyDegrees / 2.0 * M_PI / 180.0);
}

// Draws the frame at t twice with the accumulators as they are: once with
// nothing loaded to read the camera, then with the square placed ahead of its
// eye in *record (static storage, as the scene's own model is), and measures it.
SquareSpan squareAheadOfTheEye(float t, AseScene* record, const std::string& keep)
{
    flythroughModel = AseScene{};
    lastFrameTime = t;
    flythroughDraw(t);
    const Matrix toModel = inverse(currentModelview());
    const auto eye = apply(toModel, 0, 0, 0, 1);
    auto unit = [&](double x, double y, double z) {
        auto v = apply(toModel, x, y, z, 0);
        const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        return std::array<double, 3>{v[0] / n, v[1] / n, v[2] / n};
    };
    const auto right = unit(1, 0, 0), up = unit(0, 1, 0), ahead = unit(0, 0, -1);
    Mesh square;
    for (int corner = 0; corner < 4; ++corner) {
        const double sx = (corner == 1 || corner == 2) ? SQUARE_HALF : -SQUARE_HALF;
        const double sy = corner >= 2 ? SQUARE_HALF : -SQUARE_HALF;
        std::array<float, 3> p{};
        for (int i = 0; i < 3; ++i)
            p[i] = static_cast<float>(eye[i] + ahead[i] * SQUARE_DISTANCE + right[i] * sx + up[i] * sy);
        square.vertices.push_back(p);
    }
    square.faces = {{0, 1, 2}, {0, 2, 3}};
    const std::string text = aseFile({square});
    SquareSpan span;
    if (loadAseSceneFromMemory(text.data(), text.size(), record) != 1) return span;
    flythroughModel = *record;
    lastFrameTime = t;
    flythroughDraw(t);
    const Frame frame = readFrame();
    if (!keep.empty()) keepFrame(frame, keep);
    for (int y = 0; y < 600; ++y) span.high += frame.at(400, y)[0] > 128;
    for (int x = 0; x < 800; ++x) span.wide += frame.at(x, 300)[0] > 128;
    span.centreLit = frame.at(400, 300)[0] > 128;
    return span;
}
}  // namespace

// Shot 11 widens with shot 9's accumulator.
TEST_F(Flythrough, EachShotProjectsWithItsFieldOfView)
{
    struct Case {
        int shot;
        float own;    // the shot's accumulator
        double fovy;  // degrees, as the shot computes it
    };
    const float a9 = 2.0f;
    const Case cases[] = {
        {1, 0.0f, 135.0}, {2, 1.0f, 135.0},  {3, 5.0f, 125.0},          {4, 1.0f, 140.0},
        {7, 0.5f, 105.0}, {11, 0.1f, 120.0 + 15.0 * a9}, {14, 3.0f, 138.0},
    };
    static AseScene squares[sizeof cases / sizeof cases[0]];
    ASSERT_EQ(flythroughSetup(), 1);
    for (size_t n = 0; n < sizeof cases / sizeof cases[0]; ++n) {
        const Case& c = cases[n];
        for (float& a : flyShotPhase) a = 0.0f;
        flyShotPhase[8] = a9;
        flyShotPhase[c.shot - 1] = c.own;
        const SquareSpan span =
            squareAheadOfTheEye(CLEAN_TIMES[c.shot - 1], &squares[n], c.shot == 11 ? "fly-shot11-fov.png" : "");
        EXPECT_NEAR(span.high, expectedSpan(c.fovy, 600), 2.0) << "shot " << c.shot;
        EXPECT_NEAR(span.wide, expectedSpan(c.fovy, 800), 2.0) << "shot " << c.shot;
        EXPECT_TRUE(span.centreLit) << "shot " << c.shot << ": not centred on the view";
    }
}

// A pause that spans a cut: the first frame after it advances the new shot by
// the rate times the whole pause. Shot 5 (120 + 30 A) would pass 180 degrees
// and shot 8 (120 - 30 A) go below 0, either of which turns the projection
// inside out; the field of view is held at 179 and 1 degrees instead, so the
// square is a dot, or fills the view, and stays centred and upright.
TEST_F(Flythrough, APauseAcrossACutKeepsTheFieldOfViewInRange)
{
    struct Case {
        float pausedAt;   // demo seconds, in the shot before
        float resumedAt;  // demo seconds, in the shot after the cut
        int shot;
        double fovy;      // degrees the shot is drawn with
        double unclamped;  // degrees the shot's own formula gives
    };
    const Case cases[] = {
        {138.0f, 140.9f, 5, 179.0, 120.0 + 30.0 * 0.8 * (140.9 - 138.0)},
        {140.0f, 146.9f, 8, 1.0, 120.0 - 30.0 * 0.9 * (146.9 - 140.0)},
    };
    static AseScene squares[sizeof cases / sizeof cases[0]];
    ASSERT_EQ(flythroughSetup(), 1);
    for (size_t n = 0; n < sizeof cases / sizeof cases[0]; ++n) {
        const Case& c = cases[n];
        for (float& a : flyShotPhase) a = 0.0f;
        flythroughModel = AseScene{};
        lastFrameTime = c.pausedAt;
        flythroughDraw(c.pausedAt);
        playState = PLAY_PAUSED;
        flythroughDraw(c.resumedAt - 1.0f);
        playState = PLAY_RUNNING;
        flythroughDraw(c.resumedAt);  // the whole pause lands on the new shot
        ASSERT_EQ(flyShot, c.shot);
        EXPECT_NEAR(120.0 + (c.shot == 5 ? 30.0 : -30.0) * flyShotPhase[c.shot - 1], c.unclamped, 1e-3);
        const SquareSpan span = squareAheadOfTheEye(c.resumedAt, &squares[n], "fly-pause-across-cut-" +
                                                                             std::to_string(c.shot) + ".png");
        EXPECT_NEAR(span.high, std::min(expectedSpan(c.fovy, 600), 600.0), 2.0) << "shot " << c.shot;
        EXPECT_NEAR(span.wide, std::min(expectedSpan(c.fovy, 800), 800.0), 2.0) << "shot " << c.shot;
        EXPECT_TRUE(span.centreLit) << "shot " << c.shot;
    }
}

TEST_F(Flythrough, CleanupReleasesTheModel)
{
    dir.write("models/escena02.ase", aseFile({box(0.0f, 0.0f, 0.0f, 3.0f), box(10.0f, 0.0f, 0.0f, 3.0f)}));
    loadAndSetUp();
    ASSERT_EQ(flythroughModel.numObjects, 2);
    for (int i = 0; i < 2; ++i) ASSERT_NE(flythroughModel.objects[i].vertices, nullptr);
    flythroughCleanup();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(flythroughModel.objects[i].vertices, nullptr) << "node " << i;
        EXPECT_EQ(flythroughModel.objects[i].faces, nullptr) << "node " << i;
    }
}
