// The window procedure and the viewer's keys, driven by scripted messages through
// the scene loop, with the soundtrack playing into the headless layer's silent
// device so that pausing and seeking can be heard in what it took.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/platform.h"
#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "shell/music.h"
#include "tests/support/mp3.h"
#include "tests/support/support.h"

namespace {

constexpr int FRAMES_PER_SECOND = 20;   // one frame is 0.05 s of demo time
constexpr int RATE = 44100;             // Hz, soundtrack and device
constexpr int MUSIC_SECONDS = 10;       // length of the test soundtrack
constexpr int BYTES_PER_SECOND = RATE * 4;

// A scene that records the demo time of each frame it draws and ends at sceneEnd;
// like every scene, it draws nothing and does not end while the music is paused.
std::vector<float> drawn;
float sceneEnd = 1000.0f;
int recordSetup() { return 1; }
int recordDraw(float time)
{
    if (playState == PLAY_PAUSED) return 1;
    drawn.push_back(time);
    if (time >= sceneEnd) sceneDone = 1;
    return 1;
}
void recordCleanup() {}
const Scene recordingScene = {recordSetup, recordDraw, recordCleanup, 0};

// The playback state at each buffer swap.
struct Moment {
    double time;
    int state, resume;
    float offset;
};
std::vector<Moment> timeline;
void recordMoment(void*)
{
    timeline.push_back({headlessDemoSeconds(), playState, resumePlayState, musicOffset});
}

// The state at the swap of the frame at demo time t.
const Moment& at(double t)
{
    for (const Moment& m : timeline)
        if (m.time >= t - 1e-6) return m;
    return timeline.back();
}

// The demo with its soundtrack started and its clock running, as at the start of
// the first scene: Halvo.mp3 is a sweep of MUSIC_SECONDS, or absent, or lasts
// musicFrames when that is given.
class KeysTest : public ::testing::Test {
protected:
    void start(bool withMusic = true, int musicFrames = MUSIC_SECONDS * RATE, int device = 1)
    {
        HeadlessConfig config = quietConfig();
        config.framesPerSecond = FRAMES_PER_SECOND;
        config.audioDeviceAvailable = device;
        config.onSwap = recordMoment;
        headlessConfigure(config);
        if (withMusic) {
            ASSERT_FALSE(writeSweepMp3(dir.file("Halvo.mp3"), musicFrames, 2, RATE).empty());
        }
        cd = new ScopedChdir(dir.path());
        if (!soundInit(-1, RATE, 16)) soundEnabled = 0;
        if (soundEnabled) startSoundtrack();
        startDemoClock();
        if (musicStream != 0) {
            data.resize(musicBytes / 2);
            ASSERT_EQ(soundStreamGetData(musicStream, 0, data.data(), musicBytes), musicBytes);
        }
    }
    void TearDown() override
    {
        soundStop();
        soundStreamFree(musicStream);
        soundFree();
        delete cd;
    }
    // Runs the recording scene to its end (or until a key ends it).
    void run(float end)
    {
        sceneEnd = end;
        runScene(recordingScene);
    }
    // One seek step in seconds, as the keys compute it.
    static float step() { return musicSeconds / static_cast<float>(musicBytes) * 100000.0f; }
    std::vector<int16_t> heard() const
    {
        const int16_t* samples = headlessAudioSamples();
        return samples ? std::vector<int16_t>(samples, samples + headlessAudioFrames() * 2) : std::vector<int16_t>();
    }
    // Whether heard frames [from, from + count) are the music's frames from musicFrame on.
    bool heardMusic(int64_t from, int64_t count, int64_t musicFrame) const
    {
        const std::vector<int16_t> h = heard();
        if (from < 0 || count < 0 || musicFrame < 0 || (from + count) * 2 > int64_t(h.size()) || (musicFrame + count) * 2 > int64_t(data.size())) return false;
        return std::equal(h.begin() + from * 2, h.begin() + (from + count) * 2, data.begin() + musicFrame * 2);
    }
    // The music frame that heard frame `from` continues with, searched near `expected`; -1 if none.
    int64_t musicFrameAt(int64_t from, int64_t expected) const
    {
        for (int64_t frame = std::max<int64_t>(0, expected - 4); frame <= expected + 4; ++frame)
            if (heardMusic(from, RATE / 10, frame)) return frame;
        return -1;
    }
    bool drewBetween(float t0, float t1) const
    {
        return std::any_of(drawn.begin(), drawn.end(), [&](float t) { return t > t0 && t < t1; });
    }
    TempDir dir;
    ScopedChdir* cd = nullptr;
    std::vector<int16_t> data;  // the soundtrack's decoded samples
};

int64_t framesOf(double seconds)
{
    return std::llround(seconds * RATE);
}

}  // namespace

TEST_F(KeysTest, PauseThreeSecondsThenResumeGoesOnWhereTheMusicPaused)
{
    start();
    headlessScheduleKey(2.0, VK_DOWN, 0.1);
    headlessScheduleKey(5.0, VK_UP, 0.0);  // pressed and released before the next frame
    run(8.0f);
    EXPECT_EQ(musicSeconds, float(MUSIC_SECONDS));
    EXPECT_EQ(at(3.0).state, PLAY_PAUSED);
    EXPECT_FALSE(drewBetween(1.99f, 4.99f));  // nothing drawn while paused
    EXPECT_EQ(playState, PLAY_RUNNING);
    EXPECT_EQ(musicOffset, -3.0f);  // the paused time is taken out of the music position
    EXPECT_EQ(pauseTime, 2.0f);
    // The device took 2 s of music, nothing for 3 s, then the rest from the same sample on.
    EXPECT_EQ(headlessAudioFrames(), framesOf(2.0 + 3.05));
    EXPECT_TRUE(heardMusic(0, headlessAudioFrames(), 0));
    EXPECT_EQ(soundChannelGetPosition(musicStream), uint32_t(framesOf(5.05)) * 4);
}

TEST_F(KeysTest, UpHeldKeepsTheMusicPausedUntilItsRelease)
{
    start();
    headlessScheduleKey(2.0, VK_DOWN, 0.1);
    headlessScheduleKey(5.0, VK_UP, 0.5);
    run(7.0f);
    // Up pressed ends the pause for the scenes; the music restarts at the release, at
    // the demo time plus the offset: 0.5 s further on than where it paused.
    EXPECT_EQ(at(5.2).state, PLAY_RUNNING);
    EXPECT_TRUE(drewBetween(5.0f, 5.5f));
    EXPECT_EQ(headlessAudioFrames(), framesOf(2.0 + 1.55));
    EXPECT_TRUE(heardMusic(0, framesOf(2.0), 0));
    EXPECT_EQ(musicFrameAt(framesOf(2.0), framesOf(2.5)), framesOf(2.5));
}

TEST_F(KeysTest, HoldingLeftStepsBackOncePerKeyDownAndRestartsThatMuchEarlier)
{
    start();
    const double repeats[] = {4.0, 4.1, 4.2};  // the key's own auto-repeat
    for (double t : repeats) headlessScheduleMessage(t, WM_KEYDOWN, VK_LEFT, 0);
    headlessScheduleMessage(4.3, WM_KEYUP, VK_LEFT, 0);
    run(6.0f);
    float expectedOffset = 0.0f;
    for (int i = 0; i < 3; ++i) expectedOffset -= step();
    EXPECT_NEAR(step(), 100000.0 / BYTES_PER_SECOND, 1e-6);
    EXPECT_EQ(at(4.15).state, PLAY_REWIND);
    EXPECT_EQ(at(4.15).resume, PLAY_RUNNING);
    EXPECT_EQ(at(4.05).offset, -step());
    EXPECT_EQ(musicOffset, expectedOffset);
    EXPECT_EQ(playState, PLAY_RUNNING);
    EXPECT_TRUE(drewBetween(4.0f, 4.3f));  // seeking is not pausing: the scenes go on
    // Music up to 4 s, nothing while the key was held, then from 4.3 s less three steps.
    EXPECT_TRUE(heardMusic(0, framesOf(4.0), 0));
    EXPECT_EQ(headlessAudioFrames(), framesOf(4.0 + 1.75));
    const int64_t resumed = musicFrameAt(framesOf(4.0), framesOf(4.3 + expectedOffset));
    EXPECT_NE(resumed, -1);
    EXPECT_TRUE(heardMusic(framesOf(4.0), headlessAudioFrames() - framesOf(4.0), resumed));
}

TEST_F(KeysTest, HoldingRightStepsForwardAndRestartsThatMuchLater)
{
    start();
    headlessScheduleMessage(1.0, WM_KEYDOWN, VK_RIGHT, 0);
    headlessScheduleMessage(1.05, WM_KEYDOWN, VK_RIGHT, 0);
    headlessScheduleMessage(1.1, WM_KEYUP, VK_RIGHT, 0);
    run(2.0f);
    EXPECT_EQ(at(1.05).state, PLAY_FORWARD);
    EXPECT_EQ(musicOffset, step() + step());
    const int64_t resumed = musicFrameAt(framesOf(1.0), framesOf(1.1 + 2 * step()));
    EXPECT_NE(resumed, -1);
    EXPECT_NEAR(double(resumed), double(framesOf(1.1 + 2 * step())), 1.0);
}

TEST_F(KeysTest, AnyKeyDownWhileLeftIsHeldStepsBackAgain)
{
    start();
    headlessScheduleKey(1.0, VK_LEFT, 1.0);
    headlessScheduleKey(1.5, 'A', 0.1);  // another key: the checks run against every held key
    run(2.5f);
    EXPECT_EQ(at(1.45).offset, -step());
    EXPECT_EQ(at(1.55).offset, -step() - step());
    EXPECT_EQ(playState, PLAY_RUNNING);
}

TEST_F(KeysTest, RightWhilePausedMovesNothingAndTheDemoStaysPausedUntilSpace)
{
    start();
    headlessScheduleKey(1.0, VK_DOWN, 0.05);
    headlessScheduleMessage(2.0, WM_KEYDOWN, VK_RIGHT, 0);
    headlessScheduleMessage(2.1, WM_KEYDOWN, VK_RIGHT, 0);
    headlessScheduleMessage(2.2, WM_KEYUP, VK_RIGHT, 0);
    headlessScheduleKey(3.0, VK_UP, 0.05);
    headlessScheduleKey(4.0, VK_SPACE, 0.05);
    run(3.5f);  // would end at 3.5 s if it were not paused
    EXPECT_EQ(at(2.15).state, PLAY_FORWARD);
    EXPECT_EQ(at(2.15).resume, PLAY_PAUSED);
    EXPECT_EQ(at(2.15).offset, 0.0f);  // forward while paused does not step
    EXPECT_EQ(at(2.5).state, PLAY_PAUSED);  // the release goes back to paused
    EXPECT_EQ(at(3.0).state, PLAY_RUNNING);   // Up pressed...
    EXPECT_EQ(at(3.05).state, PLAY_PAUSED);   // ...and released: back to the state before the seek
    EXPECT_EQ(musicOffset, 1.0f - 3.0f);
    // Frames are drawn only while the key or Up is held, the scene does not end by
    // itself, and Space ends it.
    EXPECT_FALSE(drewBetween(0.99f, 1.99f));
    EXPECT_TRUE(drewBetween(1.99f, 2.21f));
    EXPECT_FALSE(drewBetween(2.21f, 2.99f));
    EXPECT_FALSE(drewBetween(3.01f, 100.0f));
    EXPECT_NEAR(headlessDemoSeconds(), 4.0, 1e-6);
    EXPECT_EQ(sceneDone, 0);  // cleared after the clean-up
    EXPECT_EQ(headlessAudioFrames(), framesOf(1.0));  // the music stayed paused throughout
}

TEST_F(KeysTest, LeftWhilePausedMovesTheOffsetAndTheMusicStaysPaused)
{
    start();
    headlessScheduleKey(1.0, VK_DOWN, 0.05);
    headlessScheduleKey(2.0, VK_LEFT, 0.1);
    headlessScheduleKey(3.0, VK_SPACE, 0.05);
    run(100.0f);
    EXPECT_EQ(musicOffset, -step());
    EXPECT_EQ(resumePlayState, PLAY_PAUSED);
    EXPECT_EQ(playState, PLAY_PAUSED);
    EXPECT_EQ(headlessAudioFrames(), framesOf(1.0));
}

TEST_F(KeysTest, RewindPastTheStartPlaysFromTheStart)
{
    start();
    const double repeats[] = {0.5, 0.55, 0.6};  // three steps: 1.7 s back from 0.65 s
    for (double t : repeats) headlessScheduleMessage(t, WM_KEYDOWN, VK_LEFT, 0);
    headlessScheduleMessage(0.65, WM_KEYUP, VK_LEFT, 0);
    run(1.5f);
    EXPECT_LT(0.65f + musicOffset, 0.0f);
    EXPECT_TRUE(heardMusic(0, framesOf(0.5), 0));
    EXPECT_TRUE(heardMusic(framesOf(0.5), headlessAudioFrames() - framesOf(0.5), 0));  // again from sample 0
}

TEST_F(KeysTest, WithoutAStreamTheKeysChangeTheStateButSendNoPosition)
{
    start(false);  // no Halvo.mp3: no stream, no length, no byte rate
    ASSERT_EQ(musicStream, 0u);
    ASSERT_EQ(musicSeconds, 0.0f);
    headlessScheduleKey(1.0, VK_LEFT, 0.1);
    headlessScheduleKey(2.0, VK_RIGHT, 0.1);
    headlessScheduleKey(3.0, VK_DOWN, 0.05);
    headlessScheduleKey(4.0, VK_UP, 0.0);
    run(5.0f);
    EXPECT_EQ(at(1.05).state, PLAY_REWIND);
    EXPECT_EQ(at(2.05).state, PLAY_FORWARD);
    EXPECT_EQ(at(3.5).state, PLAY_PAUSED);
    EXPECT_EQ(playState, PLAY_RUNNING);
    EXPECT_TRUE(std::isfinite(musicOffset));
    EXPECT_EQ(musicOffset, -1.0f);  // no seek step; the paused second is still taken out
    // Output resumed after every release: silence for all but the held and paused time.
    EXPECT_EQ(headlessAudioFrames(), framesOf(5.05 - 0.1 - 0.1 - 1.0));
}

TEST_F(KeysTest, AStreamUnderOneSecondResumesWhereItStopped)
{
    start(true, RATE / 2);  // half a second: musicSeconds is 0
    ASSERT_NE(musicStream, 0u);
    ASSERT_EQ(musicSeconds, 0.0f);
    headlessScheduleKey(0.2, VK_LEFT, 0.1);
    run(0.6f);
    EXPECT_TRUE(std::isfinite(musicOffset));
    EXPECT_EQ(musicOffset, 0.0f);
    // No position was sent: the music goes on from where the key stopped it.
    EXPECT_TRUE(heardMusic(0, RATE / 2, 0));
}

TEST_F(KeysTest, EscapeEndsTheLoopWithoutAQuitMessage)
{
    start();
    headlessScheduleKey(1.0, VK_ESCAPE, 0.5);
    run(100.0f);
    EXPECT_EQ(quitRequested, 1);
    EXPECT_NEAR(headlessDemoSeconds(), 1.0, 1e-6);
    EXPECT_FALSE(drewBetween(0.99f, 100.0f));
    // Only the key's release is left to come; no quit message was posted.
    PlatformMessage message = {};
    for (int i = 0; i < FRAMES_PER_SECOND; ++i) platformSwapBuffers();
    ASSERT_EQ(platformPeekMessage(&message), 1);
    EXPECT_EQ(message.message, WM_KEYUP);
    EXPECT_EQ(platformPeekMessage(&message), 0);
}

TEST_F(KeysTest, SpaceEndsTheSceneAndIsNotHeld)
{
    start();
    headlessScheduleKey(1.0, VK_SPACE, 0.5);
    run(100.0f);
    EXPECT_NEAR(headlessDemoSeconds(), 1.0, 1e-6);
    EXPECT_EQ(keyDown[VK_SPACE], 0);  // cleared after acting, before its release
    EXPECT_EQ(sceneDone, 0);
    EXPECT_EQ(quitRequested, 0);
}

TEST_F(KeysTest, WithoutSoundTheKeysStillPauseTheScenes)
{
    start(true, MUSIC_SECONDS * RATE, 0);  // no output device
    ASSERT_EQ(soundEnabled, 0);
    headlessScheduleKey(1.0, VK_DOWN, 0.05);
    headlessScheduleKey(2.0, VK_UP, 0.0);
    headlessScheduleKey(3.0, VK_LEFT, 0.1);
    run(4.0f);
    EXPECT_FALSE(drewBetween(0.99f, 1.99f));
    EXPECT_TRUE(drewBetween(2.0f, 3.9f));
    EXPECT_EQ(at(1.5).state, PLAY_PAUSED);
    EXPECT_EQ(at(3.05).state, PLAY_REWIND);
    EXPECT_EQ(playState, PLAY_RUNNING);
    EXPECT_EQ(musicOffset, -1.0f);
    EXPECT_EQ(headlessAudioFrames(), 0);
}

// ---------------------------------------------------------------------------
// Transitions, message by message, without sound.

TEST(Keys, PlayStateTransitions)
{
    configureQuietly();
    soundEnabled = 0;
    struct Case {
        int from, resumeFrom;
        unsigned message;
        unsigned key;
        int to, resumeTo;
    };
    const Case cases[] = {
        // Down pressed: paused, from any state.
        {PLAY_RUNNING, PLAY_RUNNING, WM_KEYDOWN, VK_DOWN, PLAY_PAUSED, PLAY_RUNNING},
        {PLAY_PAUSED, PLAY_RUNNING, WM_KEYDOWN, VK_DOWN, PLAY_PAUSED, PLAY_RUNNING},
        {PLAY_FORWARD, PLAY_RUNNING, WM_KEYDOWN, VK_DOWN, PLAY_PAUSED, PLAY_RUNNING},
        {PLAY_REWIND, PLAY_PAUSED, WM_KEYDOWN, VK_DOWN, PLAY_PAUSED, PLAY_PAUSED},
        // Up pressed: running, from any state.
        {PLAY_PAUSED, PLAY_PAUSED, WM_KEYDOWN, VK_UP, PLAY_RUNNING, PLAY_PAUSED},
        {PLAY_RUNNING, PLAY_RUNNING, WM_KEYDOWN, VK_UP, PLAY_RUNNING, PLAY_RUNNING},
        {PLAY_REWIND, PLAY_RUNNING, WM_KEYDOWN, VK_UP, PLAY_RUNNING, PLAY_RUNNING},
        // Left or Right from paused or running: seeking, coming back to the state before.
        {PLAY_RUNNING, PLAY_PAUSED, WM_KEYDOWN, VK_LEFT, PLAY_REWIND, PLAY_RUNNING},
        {PLAY_PAUSED, PLAY_RUNNING, WM_KEYDOWN, VK_LEFT, PLAY_REWIND, PLAY_PAUSED},
        {PLAY_RUNNING, PLAY_PAUSED, WM_KEYDOWN, VK_RIGHT, PLAY_FORWARD, PLAY_RUNNING},
        {PLAY_PAUSED, PLAY_RUNNING, WM_KEYDOWN, VK_RIGHT, PLAY_FORWARD, PLAY_PAUSED},
        // Left or Right while seeking: the state to come back to stays.
        {PLAY_REWIND, PLAY_PAUSED, WM_KEYDOWN, VK_LEFT, PLAY_REWIND, PLAY_PAUSED},
        {PLAY_REWIND, PLAY_RUNNING, WM_KEYDOWN, VK_RIGHT, PLAY_FORWARD, PLAY_RUNNING},
        {PLAY_FORWARD, PLAY_PAUSED, WM_KEYDOWN, VK_LEFT, PLAY_REWIND, PLAY_PAUSED},
        // Left, Right or Up released: the state to come back to.
        {PLAY_REWIND, PLAY_RUNNING, WM_KEYUP, VK_LEFT, PLAY_RUNNING, PLAY_RUNNING},
        {PLAY_FORWARD, PLAY_PAUSED, WM_KEYUP, VK_RIGHT, PLAY_PAUSED, PLAY_PAUSED},
        {PLAY_RUNNING, PLAY_PAUSED, WM_KEYUP, VK_UP, PLAY_PAUSED, PLAY_PAUSED},
        {PLAY_PAUSED, PLAY_RUNNING, WM_KEYUP, VK_LEFT, PLAY_RUNNING, PLAY_RUNNING},
        // Down released, and keys the demo does not use: nothing changes.
        {PLAY_PAUSED, PLAY_RUNNING, WM_KEYUP, VK_DOWN, PLAY_PAUSED, PLAY_RUNNING},
        {PLAY_REWIND, PLAY_PAUSED, WM_KEYUP, VK_DOWN, PLAY_REWIND, PLAY_PAUSED},
        {PLAY_RUNNING, PLAY_PAUSED, WM_KEYDOWN, 'A', PLAY_RUNNING, PLAY_PAUSED},
        {PLAY_RUNNING, PLAY_PAUSED, WM_KEYDOWN, VK_LEFT + 256, PLAY_RUNNING, PLAY_PAUSED},  // no such key code
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("from " + std::to_string(c.from) + "/" + std::to_string(c.resumeFrom) + ", message " +
                     std::to_string(c.message) + " key " + std::to_string(c.key));
        std::fill(std::begin(keyDown), std::end(keyDown), 0);
        playState = c.from;
        resumePlayState = c.resumeFrom;
        EXPECT_EQ(mainWindowProc(c.message, c.key, 0), 0);
        EXPECT_EQ(playState, c.to);
        EXPECT_EQ(resumePlayState, c.resumeTo);
        EXPECT_EQ(quitRequested, 0);
        EXPECT_EQ(sceneDone, 0);
    }
}

TEST(Keys, KeyFlagsFollowTheKeysButSpaceUpAndDownClearAtOnce)
{
    configureQuietly();
    soundEnabled = 0;
    struct Case {
        unsigned key;
        int heldAfterDown;
    };
    const Case cases[] = {
        {VK_LEFT, 1}, {VK_RIGHT, 1}, {VK_ESCAPE, 1}, {'A', 1}, {VK_SPACE, 0}, {VK_UP, 0}, {VK_DOWN, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        mainWindowProc(WM_KEYDOWN, c.key, 0);
        EXPECT_EQ(keyDown[c.key], c.heldAfterDown);
        mainWindowProc(WM_KEYUP, c.key, 0);
        EXPECT_EQ(keyDown[c.key], 0);
    }
    EXPECT_EQ(mainWindowProc(WM_KEYDOWN, 0x1FF, 0), 0);  // out of range: no flag, nothing written
    EXPECT_EQ(mainWindowProc(WM_KEYUP, 0x1FF, 0), 0);
}

TEST(Keys, WindowMessages)
{
    configureQuietly();
    PlatformMessage message = {};
    // Minimised and restored.
    EXPECT_EQ(mainWindowProc(WM_ACTIVATE, uintptr_t(1) << 16, 0), 0);
    EXPECT_EQ(windowActive, 0);
    EXPECT_EQ(mainWindowProc(WM_ACTIVATE, 1, 0), 0);
    EXPECT_EQ(windowActive, 1);
    EXPECT_EQ(headlessDefaultMessageCount(), 0);  // the procedure handled both itself
    // The screen saver and monitor power-down are swallowed: the system never
    // sees them, so neither starts. Other system commands and messages the
    // demo leaves alone go on to the system's default handling.
    constexpr unsigned SC_CLOSE = 0xF060;
    EXPECT_EQ(mainWindowProc(WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(mainWindowProc(WM_SYSCOMMAND, SC_MONITORPOWER, 2), 0);
    EXPECT_EQ(headlessDefaultMessageCount(), 0);
    EXPECT_EQ(mainWindowProc(WM_SYSCOMMAND, SC_CLOSE, 0), 0);
    EXPECT_EQ(mainWindowProc(0x0400, 7, 9), 0);
    ASSERT_EQ(headlessDefaultMessageCount(), 2);
    EXPECT_EQ(headlessDefaultMessageAt(0).message, WM_SYSCOMMAND);
    EXPECT_EQ(headlessDefaultMessageAt(0).wParam, SC_CLOSE);
    EXPECT_EQ(headlessDefaultMessageAt(1).message, 0x0400u);
    EXPECT_EQ(headlessDefaultMessageAt(1).wParam, 7u);
    EXPECT_EQ(headlessDefaultMessageAt(1).lParam, 9);
    EXPECT_EQ(quitRequested, 0);
    EXPECT_EQ(platformPeekMessage(&message), 0);
    // Closing the window: the quit flag and a quit message with code 0.
    EXPECT_EQ(mainWindowProc(WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(quitRequested, 1);
    ASSERT_EQ(platformPeekMessage(&message), 1);
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.wParam, 0u);
}

class KeysGL : public GLTest {};

TEST_F(KeysGL, ResizeSetsTheViewportToTheClientSize)
{
    EXPECT_EQ(mainWindowProc(WM_SIZE, 0, (intptr_t(480) << 16) | 640), 0);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
    GLfloat projection[16] = {};
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    // A 45-degree perspective at 640:480: x scale = cot(22.5 deg) / (4/3).
    EXPECT_NEAR(projection[0], 1.0 / std::tan(22.5 * 3.14159265358979 / 180.0) / (640.0 / 480.0), 1e-4);
    EXPECT_NEAR(projection[5], 1.0 / std::tan(22.5 * 3.14159265358979 / 180.0), 1e-4);
}
