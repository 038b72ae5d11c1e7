// The opening titles, drawn in a real GL context, called directly and on the demo clock.
#include <GL/gl.h>

#include <string>
#include <vector>

#include "scenes/scenes.h"
#include "scenes/titles.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "shell/clock.h"
#include "tests/support/support.h"

namespace {

class Titles : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        // Each title a different pure colour over a black backdrop, so a pixel tells which is drawn.
        dir.write("maps/incio.tga", solidTga(2, 0, 0, 0, 32));
        dir.write("maps/inicio2.tga", solidTga(2, 0, 0, 0, 32));
        dir.write("maps/star.tga", solidTga(2, 0, 0, 0, 32));  // stars invisible: adds nothing
        dir.write("maps/skarvel_presents.tga", solidTga(2, 255, 0, 0, 32));
        dir.write("maps/pain.tga", solidTga(2, 0, 255, 0, 32));
        dir.write("maps/ass.tga", solidTga(2, 0, 0, 255, 32));
        dir.write("maps/deadline.tga", solidTga(2, 0, 255, 0, 32));
        dir.write("maps/just_for_fun.tga", solidTga(2, 0, 0, 255, 32));
        dir.write("maps/vantrel.tga", solidTga(2, 255, 255, 255, 32));
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
    dir.write("maps/star.tga", solidTga(2, 255, 255, 255, 32));
    titlesSetup();
    titlesDraw(0.0f);
    const Frame f = readFrame();
    // The head of trail 4 sits at (1.5 sin 0, -1.5 cos 0) = (0, -1.5) at depth 5: below the centre.
    EXPECT_GT(f.mean(390, 440, 410, 460), 100.0);
}

namespace {

// One frame of the scene as run by the scene loop on the virtual clock.
struct ClockFrame {
    float t = 0.0f;             // demo seconds passed to the draw
    bool paused = false;        // the music was paused when it was drawn
    float phaseBefore = 0.0f;   // starPhaseA before the draw
    float phaseAfter = 0.0f;
    bool presents = false, l1 = false, l2 = false, l3 = false, l4 = false, production = false;
    bool uniform = false;             // one colour over the whole frame
    bool sameAsPrevious = false;      // identical to the frame swapped before it
};
std::vector<ClockFrame> clockFrames;
std::vector<unsigned char> previousFrame;

int recordingTitlesDraw(float t)
{
    ClockFrame frame;
    frame.t = t;
    frame.paused = playState == PLAY_PAUSED;
    frame.phaseBefore = starPhaseA;
    const int result = titlesDraw(t);
    frame.phaseAfter = starPhaseA;
    clockFrames.push_back(frame);
    return result;
}

// Called at every swap: looks at the frame the draw before it left.
void inspectSwappedFrame(void*)
{
    if (clockFrames.empty()) return;
    ClockFrame& c = clockFrames.back();
    const Frame f = readFrame();
    c.presents = lit(f, presentsAt);
    c.l1 = lit(f, line1At);
    c.l2 = lit(f, line2At);
    c.l3 = lit(f, line3At);
    c.l4 = lit(f, line4At);
    const unsigned char* centre = f.at(400, 330);  // inside line 2 (blue) and the production title (white)
    c.production = centre[0] > 200 && centre[1] > 200 && centre[2] > 200;
    c.uniform = f.uniform();
    c.sameAsPrevious = f.rgb == previousFrame;
    previousFrame = f.rgb;
}

class TitlesOnClock : public Titles {
protected:
    void SetUp() override
    {
        config.framesPerSecond = 10;
        config.onSwap = inspectSwappedFrame;
        Titles::SetUp();
    }
};

}  // namespace

TEST_F(TitlesOnClock, TheSceneLoopShowsTheTimelinePausesAndEndsInTheFirstFrameAtTwelve)
{
    // Down at 3 s pauses the music and the drawing; Up at 5 s resumes.
    headlessScheduleKey(3.0, VK_DOWN, 0.05);
    headlessScheduleKey(5.0, VK_UP, 0.05);
    startDemoClock();
    runScene(Scene{titlesSetup, recordingTitlesDraw, titlesCleanup, 0});
    EXPECT_EQ(sceneDone, 0);  // cleared after the clean-up

    ASSERT_GT(clockFrames.size(), 100u);
    const ClockFrame& last = clockFrames.back();
    EXPECT_GE(last.t, 12.0f);
    EXPECT_TRUE(last.uniform);  // the black backdrop alone
    EXPECT_FALSE(last.paused);
    EXPECT_EQ(last.phaseAfter, last.phaseBefore + 0.12f);  // still advancing in the final frame

    int paused = 0, drawn = 0;
    float phase = clockFrames.front().phaseBefore;
    for (size_t i = 0; i < clockFrames.size(); ++i) {
        const ClockFrame& c = clockFrames[i];
        EXPECT_EQ(c.phaseBefore, phase) << c.t;
        if (i + 1 < clockFrames.size()) {
            EXPECT_LT(c.t, 12.0f);
        }
        if (c.paused) {
            ++paused;
            EXPECT_EQ(c.phaseAfter, c.phaseBefore) << c.t;  // the trails stand still
            EXPECT_TRUE(c.sameAsPrevious) << c.t;           // neither cleared nor redrawn
            EXPECT_GE(c.t, 3.0f);
            EXPECT_LT(c.t, 5.2f);
            continue;
        }
        ++drawn;
        phase += 0.12f;
        EXPECT_EQ(c.phaseAfter, phase) << c.t;
        if (c.t >= 12.0f) continue;
        // The titles follow the demo clock, which the pause does not stop.
        EXPECT_EQ(c.presents, c.t < 10.0f) << c.t;
        EXPECT_EQ(c.production, c.t >= 10.0f) << c.t;
        if (c.t >= 10.0f) continue;  // the white production title covers the lines' probes
        EXPECT_EQ(c.l1, c.t >= 2.0f) << c.t;
        EXPECT_EQ(c.l2, c.t >= 4.0f) << c.t;
        EXPECT_EQ(c.l3, c.t >= 6.0f) << c.t;
        EXPECT_EQ(c.l4, c.t >= 8.0f) << c.t;
    }
    EXPECT_GE(paused, 15);
    EXPECT_EQ(drawn + paused, static_cast<int>(clockFrames.size()));
    EXPECT_EQ(starPhaseA, phase);
}
