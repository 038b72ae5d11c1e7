// The demo's one timeline ties the picture to the sound: the table is well
// formed, every flash in it brightens the frame that follows its start, and
// the pack's soundtrack has its accent within one frame of it. The scenes and
// the soundtrack generator both read the table, so moving an entry moves both;
// an offset written into either one alone fails here.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "shell/clock.h"
#include "shell/demo.h"
#include "shell/timeline.h"
#include "tests/support/sound.h"
#include "tests/support/support.h"

namespace {

constexpr int VIEWER_FPS = 60;                  // frames per second of the picture checked: the viewer's
constexpr double FRAME_SECONDS = 1.0 / VIEWER_FPS;
constexpr int FRAMES_AROUND_FLASH = 1;          // viewer frames drawn either side of a flash's start
// Away from the flashes the run steps this many viewer frames at a time, then
// jumps to the first frame a flash needs: every step is a whole number of
// viewer frames, so the frames around each flash are the viewer's frames, and
// the scenes, timed by demo time, are where the viewer sees them then (only the
// per-frame drift of the fire's clouds and the greetings' fountain runs slower).
constexpr int64_t COARSE_FRAMES = 5 * VIEWER_FPS;
constexpr double BRIGHTER_LEVELS = 0.5;         // mean level (0..255) the frame after a flash's start gains at least
constexpr double ONSET_SEARCH_SECONDS = 0.06;   // how far from a flash an accent is looked for

struct FlashRef {
    int scene;  // index into DEMO_TIMELINE
    int index;  // index into its flashes
    const FlashWindow& window() const { return DEMO_TIMELINE[scene].flashes[index]; }
};

std::vector<FlashRef> everyFlash()
{
    std::vector<FlashRef> flashes;
    for (int s = 0; s < SCENE_COUNT; ++s)
        for (int f = 0; f < DEMO_TIMELINE[s].flashCount; ++f) flashes.push_back({s, f});
    return flashes;
}

std::string nameOf(const FlashRef& flash)
{
    return std::string(DEMO_TIMELINE[flash.scene].name) + " flash at " + std::to_string(flash.window().start) + " s";
}

// The frames drawn around each flash's start, by their demo time as the scenes saw it.
struct DrawnFrame {
    float time;   // demo seconds, as passed to the scene's draw
    double mean;  // mean level of all channels, 0..255
};
struct FlashRun {
    std::vector<FlashRef> flashes;
    std::vector<DrawnFrame> frames;
    int drawing = 0;  // the frame being drawn is rasterised
};

// Viewer frame number of a demo time on the viewer's frame grid.
int64_t viewerFrame(double seconds) { return std::llround(seconds * VIEWER_FPS); }

// At every swap: keep the frame if it was drawn around a flash, then choose
// the next frame's time: the largest step that does not pass the first viewer
// frame the next flash needs, and single viewer frames through its window.
void onFlashRunSwap(void* user)
{
    FlashRun& run = *static_cast<FlashRun*>(user);
    if (run.drawing) run.frames.push_back({static_cast<float>(demoTime()), readFrame().mean(0, 0, 800, 600)});
    const int64_t now = viewerFrame(headlessDemoSeconds());
    int64_t windowStart = -1;  // first viewer frame of the nearest flash window not yet passed
    for (const FlashRef& flash : run.flashes) {
        const int64_t start = viewerFrame(flash.window().start);
        if (start + FRAMES_AROUND_FLASH > now && (windowStart < 0 || start - FRAMES_AROUND_FLASH < windowStart))
            windowStart = start - FRAMES_AROUND_FLASH;
    }
    int64_t step = 1;  // viewer frames to the next frame
    if (windowStart < 0) step = COARSE_FRAMES;  // past the last flash
    else if (now < windowStart) step = std::min<int64_t>(COARSE_FRAMES, windowStart - now);
    headlessSetFrameStep(step * (HEADLESS_COUNTER_FREQUENCY / VIEWER_FPS));
    run.drawing = windowStart >= 0 && now + step >= windowStart;
    headlessSetRasterDiscard(!run.drawing);
}

}  // namespace

// Scenes end in play order; every scene's cuts, flashes and fades lie in
// order inside it (a fade may open before the scene, which then starts in it).
TEST(Timeline, TablesAreInOrderAndInsideTheirScenes)
{
    for (int s = 0; s < SCENE_COUNT; ++s) {
        const SceneTimeline& scene = DEMO_TIMELINE[s];
        SCOPED_TRACE(scene.name);
        const float start = sceneStartsAt(s);
        EXPECT_GT(scene.end, start);
        for (int c = 0; c < scene.cutCount; ++c) {
            EXPECT_GT(scene.cuts[c], c > 0 ? scene.cuts[c - 1] : start) << "cut " << c;
            EXPECT_LE(scene.cuts[c], scene.end) << "cut " << c;
        }
        if (scene.cutCount > 0) {
            EXPECT_EQ(scene.cuts[scene.cutCount - 1], scene.end) << "the last cut ends the scene";
        }
        for (int f = 0; f < scene.flashCount; ++f) {
            const FlashWindow& flash = scene.flashes[f];
            EXPECT_GE(flash.start, start) << "flash " << f;
            EXPECT_GT(flash.end, flash.start) << "flash " << f;
            EXPECT_LE(flash.end, scene.end) << "flash " << f;
            EXPECT_GT(flash.peak, 0.0f) << "flash " << f;
            EXPECT_LE(flash.peak, 1.0f) << "flash " << f;
            if (f > 0) {
                EXPECT_GT(flash.start, scene.flashes[f - 1].start) << "flash " << f;
            }
        }
        for (int f = 0; f < scene.fadeCount; ++f) {
            const FadeWindow& fade = scene.fades[f];
            EXPECT_TRUE(fade.mode == FADE_IN || fade.mode == FADE_OUT) << "fade " << f;
            EXPECT_GT(fade.end, fade.start) << "fade " << f;
            EXPECT_GT(fade.end, start) << "fade " << f;
            EXPECT_LT(fade.start, scene.end) << "fade " << f;
        }
    }
}

// The pack's soundtrack, as the demo's sound layer decodes it, has its
// sharpest rise within one frame of every flash's start.
TEST(Timeline, EveryFlashIsHeardWithinOneFrameOfItsStart)
{
    ASSERT_TRUE(packIsThere());
    const std::vector<int16_t> pcm = decodePackSoundtrack();
    ASSERT_FALSE(pcm.empty());
    for (const FlashRef& flash : everyFlash()) {
        const double start = flash.window().start;
        const double onset = sharpestOnset(pcm, start, ONSET_SEARCH_SECONDS);
        EXPECT_NEAR(onset, start, FRAME_SECONDS) << nameOf(flash);
        EXPECT_GT(onsetDb(pcm, onset), ACCENT_ONSET_DB) << nameOf(flash) << ": no accent there";
    }
}

// The demo up to the last flash, at the viewer's frame rate around every
// flash: the first frame after its start is brighter than the frame before it.
TEST(Timeline, EveryFlashBrightensTheFrameAfterItsStart)
{
    ASSERT_TRUE(packIsThere());
    FlashRun run;
    run.flashes = everyFlash();
    ASSERT_FALSE(run.flashes.empty());
    double last = 0.0;
    for (const FlashRef& flash : run.flashes) last = std::fmax(last, flash.window().end);

    HeadlessConfig config = quietConfig();
    config.framesPerSecond = VIEWER_FPS;  // onFlashRunSwap sets every step from the first on
    config.onSwap = onFlashRunSwap;
    config.onSwapUser = &run;
    headlessConfigure(config);
    headlessScheduleKey(last + 1.0, VK_ESCAPE, 0.1);  // nothing after the last flash is looked at
    {
        ScopedChdir cd(packDir());
        EXPECT_EQ(demoMain(), 0);
    }
    for (const FlashRef& flash : run.flashes) {
        SCOPED_TRACE(nameOf(flash));
        const float start = flash.window().start;
        const DrawnFrame* before = nullptr;
        const DrawnFrame* after = nullptr;
        for (const DrawnFrame& frame : run.frames) {
            if (frame.time <= start) before = &frame;
            if (frame.time > start && after == nullptr) after = &frame;
        }
        ASSERT_NE(before, nullptr);
        ASSERT_NE(after, nullptr);
        ASSERT_LT(after->time - before->time, 1.5 * FRAME_SECONDS) << "the two frames are not neighbours";
        EXPECT_GT(after->mean, before->mean + BRIGHTER_LEVELS)
            << "frame at " << after->time << " s: " << after->mean << ", frame before at " << before->time
            << " s: " << before->mean;
    }
}
