// The opening titles and the loading phase, drawn in a real GL context.
#include <GL/gl.h>

#include <string>
#include <vector>

#include "scenes/scenes.h"
#include "scenes/titles.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "shell/loading.h"
#include "tests/support/support.h"

namespace {

// An opaque 32-bit TGA of one colour.
std::vector<unsigned char> solidTga(int size, unsigned char r, unsigned char g, unsigned char b)
{
    std::vector<unsigned char> f(18, 0);
    f[2] = 2;
    f[12] = f[14] = static_cast<unsigned char>(size);
    f[16] = 32;
    for (int i = 0; i < size * size; ++i) {
        f.push_back(b);
        f.push_back(g);
        f.push_back(r);
        f.push_back(255);
    }
    return f;
}

class Titles : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        // Each title a different pure colour over a black backdrop, so a pixel tells which is drawn.
        dir.write("maps/incio.tga", solidTga(2, 0, 0, 0));
        dir.write("maps/inicio2.tga", solidTga(2, 0, 0, 0));
        dir.write("maps/star.tga", solidTga(2, 0, 0, 0));  // stars invisible: adds nothing
        dir.write("maps/skarvel_presents.tga", solidTga(2, 255, 0, 0));
        dir.write("maps/pain.tga", solidTga(2, 0, 255, 0));
        dir.write("maps/ass.tga", solidTga(2, 0, 0, 255));
        dir.write("maps/deadline.tga", solidTga(2, 0, 255, 0));
        dir.write("maps/just_for_fun.tga", solidTga(2, 0, 0, 255));
        dir.write("maps/vantrel.tga", solidTga(2, 255, 255, 255));
        cd = new ScopedChdir(dir.path());
        titlesSetup();
    }
    void TearDown() override
    {
        delete cd;
        GLTest::TearDown();
    }
    TempDir dir;
    ScopedChdir* cd = nullptr;
};

// Screen points inside each title's rectangle (x, y from the top).
struct Probe {
    int x, y;
};
// Worked out from the standard projection (45 degrees, 4:3) and each title's placement.
const Probe presentsAt{400, 50};
const Probe line1At{420, 260};
const Probe line2At{420, 347};
const Probe line3At{420, 448};
const Probe line4At{420, 550};

bool lit(const Frame& f, Probe p) { return f.at(p.x, p.y)[0] + f.at(p.x, p.y)[1] + f.at(p.x, p.y)[2] > 200; }

}  // namespace

TEST_F(Titles, EachLineAppearsExactlyAtItsTime)
{
    struct Case {
        float t;
        bool presents, l1, l2, l3, l4;
    };
    const Case cases[] = {
        {0.0f, true, false, false, false, false}, {1.99f, true, false, false, false, false},
        {2.0f, true, true, false, false, false},  {4.0f, true, true, true, false, false},
        {6.0f, true, true, true, true, false},    {8.0f, true, true, true, true, true},
    };
    for (const Case& c : cases) {
        titlesDraw(c.t);
        const Frame f = readFrame();
        EXPECT_EQ(lit(f, presentsAt), c.presents) << c.t;
        EXPECT_EQ(lit(f, line1At), c.l1) << c.t;
        EXPECT_EQ(lit(f, line2At), c.l2) << c.t;
        EXPECT_EQ(lit(f, line3At), c.l3) << c.t;
        EXPECT_EQ(lit(f, line4At), c.l4) << c.t;
        if (c.t == 8.0f) writePng(dir.file("titles-8s.png"), f);
    }
    // From 10 s the production title stands alone, in white.
    titlesDraw(10.0f);
    const Frame f = readFrame();
    EXPECT_FALSE(lit(f, presentsAt));
    EXPECT_EQ(f.at(400, 330)[0], 255);
    EXPECT_EQ(f.at(400, 330)[2], 255);
}

TEST_F(Titles, TheFrameAtTwelveShowsTheBackdropOnlyEndsAndStillAdvancesThePhases)
{
    titlesDraw(11.9f);
    EXPECT_EQ(sceneDone, 0);
    const float a = starPhaseA, b = starPhaseB;
    titlesDraw(12.0f);
    EXPECT_EQ(sceneDone, 1);
    EXPECT_TRUE(readFrame().uniform());  // the black backdrop alone
    EXPECT_FLOAT_EQ(starPhaseA, a + 0.12f);
    EXPECT_FLOAT_EQ(starPhaseB, b + 0.09f);
}

TEST_F(Titles, PausedFramesDrawNothingAndFreezeTheTrails)
{
    titlesDraw(3.0f);
    const Frame before = readFrame();
    const float a = starPhaseA;
    playState = PLAY_PAUSED;
    glClearColor(0.2f, 0.2f, 0.2f, 1);
    titlesDraw(5.0f);
    EXPECT_EQ(starPhaseA, a);
    EXPECT_EQ(readFrame().rgb, before.rgb);  // not even cleared
    playState = PLAY_RUNNING;
}

TEST_F(Titles, StarTrailsAreVisibleWithAStarSprite)
{
    dir.write("maps/star.tga", solidTga(2, 255, 255, 255));
    titlesSetup();
    titlesDraw(0.0f);
    const Frame f = readFrame();
    // The head of trail 4 sits at (1.5 sin 0, -1.5 cos 0) = (0, -1.5) at depth 5: below the centre.
    EXPECT_GT(f.mean(390, 440, 410, 460), 100.0);
}

TEST_F(GLTest, LoadingImageFillsTheScreenEdgeToEdgeOrAWhiteQuadWithoutIt)
{
    TempDir dir;
    ScopedChdir cd(dir.path());
    runLoadingPhase();
    Frame white = readFrame();
    // Without the image: plain white, touching every edge.
    EXPECT_EQ(white.at(0, 0)[0], 255);
    EXPECT_EQ(white.at(799, 599)[1], 255);
    EXPECT_TRUE(white.uniform());
    dir.write("maps/loading-vantrel.tga", solidTga(4, 200, 60, 10));
    runLoadingPhase();
    const Frame image = readFrame();
    EXPECT_TRUE(image.uniform());
    EXPECT_NEAR(image.at(0, 0)[0], 200, 1);
    EXPECT_NEAR(image.at(799, 599)[1], 60, 1);
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[3], 1.0f);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}
