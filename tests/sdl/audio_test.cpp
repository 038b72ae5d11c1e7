// The sound layer on real SDL audio: SDL's disk driver writes everything the
// device plays to a file, which is compared with the stream's decoded samples.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/files.h"
#include "tests/support/mp3.h"

namespace {

constexpr int RATE = 44100;               // Hz, the device as the demo opens it
constexpr const char* DISK_DELAY_MS = "2";  // the disk driver's pause per buffer: about 10x real time
constexpr uint32_t WAIT_LIMIT_MS = 30000;   // longest wait for the device to reach a position
constexpr uint32_t PAUSE_AFTER_SEEK_MS = 300;  // between a seek while paused and the start
constexpr size_t MAX_SKIP_FRAMES = RATE / 20;   // 50 ms: a start is taken far sooner, even on a loaded machine

// Sound output through the disk driver into out.raw, started.
class AudioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        output = dir.file("out.raw");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", DISK_DELAY_MS, 1);
        ASSERT_EQ(soundInit(-1, RATE, 16), 1) << "error " << soundErrorGetCode();
        ASSERT_EQ(soundStart(), 1);
    }
    void TearDown() override { soundFree(); }

    // Makes a stream from a sweep of the given format, keeping its decoded data.
    uint32_t makeStream(int frames, int channels, int rate, int kbps = 128)
    {
        const std::string path = dir.file("sweep.mp3");
        if (writeSweepMp3(path, frames, channels, rate, kbps).empty()) return 0;
        const uint32_t stream = soundStreamCreateFile(path.c_str());
        if (stream == 0) return 0;
        const uint32_t length = soundStreamGetLength(stream);
        data.resize(length / 2);
        if (soundStreamGetData(stream, 0, data.data(), length) != length) return 0;
        return stream;
    }
    // Waits until the device has consumed the stream up to a byte position.
    static bool waitFor(uint32_t stream, uint32_t bytes)
    {
        const uint32_t start = SDL_GetTicks();
        while (soundChannelGetPosition(stream) < bytes)
            if (SDL_GetTicks() - start > WAIT_LIMIT_MS) return false;
            else SDL_Delay(1);
        return true;
    }
    // Closes the device, so the file is complete, and reads what it played.
    std::vector<int16_t> played()
    {
        soundFree();
        std::ifstream in(output, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<int16_t> samples(bytes.size() / 2);
        std::copy(bytes.begin(), bytes.begin() + static_cast<long>(samples.size() * 2),
                  reinterpret_cast<char*>(samples.data()));
        return samples;
    }
    // The first sample at or after `from` where the played output continues with the
    // stream's samples from `sample` on; -1 when it never does.
    long find(const std::vector<int16_t>& out, size_t from, size_t sample) const
    {
        const size_t probe = std::min<size_t>(64, data.size() - sample);
        for (size_t at = from; at + probe <= out.size(); at += 2)
            if (std::equal(data.begin() + static_cast<long>(sample), data.begin() + static_cast<long>(sample + probe),
                           out.begin() + static_cast<long>(at)))
                return static_cast<long>(at);
        return -1;
    }
    // Whether out[at..] holds the stream's samples [from, to).
    bool holds(const std::vector<int16_t>& out, long at, size_t from, size_t to) const
    {
        if (at < 0 || static_cast<size_t>(at) + (to - from) > out.size()) return false;
        return std::equal(data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(to),
                          out.begin() + at);
    }
    static bool silentFrom(const std::vector<int16_t>& out, size_t from)
    {
        return std::all_of(out.begin() + static_cast<long>(std::min(from, out.size())), out.end(),
                           [](int16_t s) { return s == 0; });
    }

    TempDir dir;
    std::string output;
    std::vector<int16_t> data;  // decoded samples of the stream
};

}  // namespace

TEST_F(AudioTest, DecodedSamplesComeOutInOrder)
{
    const uint32_t stream = makeStream(RATE, 2, RATE);
    ASSERT_NE(stream, 0u);
    ASSERT_EQ(soundStreamPlay(stream), 1);
    ASSERT_TRUE(waitFor(stream, soundStreamGetLength(stream)));
    const std::vector<int16_t> out = played();
    const long start = find(out, 0, 0);
    ASSERT_GE(start, 0) << "the stream's first samples never came out";
    EXPECT_TRUE(silentFrom(std::vector<int16_t>(out.begin(), out.begin() + start), 0));  // silence before play
    EXPECT_TRUE(holds(out, start, 0, data.size()));
    EXPECT_TRUE(silentFrom(out, static_cast<size_t>(start) + data.size()));  // and after the end
}

TEST_F(AudioTest, PauseStopsTheSamplesAndStartGoesOnFromThere)
{
    const uint32_t stream = makeStream(2 * RATE, 2, RATE);
    ASSERT_NE(stream, 0u);
    ASSERT_EQ(soundStreamPlay(stream), 1);
    ASSERT_TRUE(waitFor(stream, RATE / 2 * 4));
    ASSERT_EQ(soundPause(), 1);
    const uint32_t paused = soundChannelGetPosition(stream);
    ASSERT_LT(paused, soundStreamGetLength(stream));
    SDL_Delay(100);  // the disk driver writes silence all this while
    EXPECT_EQ(soundChannelGetPosition(stream), paused);
    ASSERT_EQ(soundStart(), 1);
    ASSERT_TRUE(waitFor(stream, soundStreamGetLength(stream)));
    const std::vector<int16_t> out = played();
    const size_t pausedSample = paused / 2;
    const long start = find(out, 0, 0);
    ASSERT_GE(start, 0);
    EXPECT_TRUE(holds(out, start, 0, pausedSample));  // up to the pause, everything in order
    const long resumed = find(out, static_cast<size_t>(start) + pausedSample, pausedSample);
    ASSERT_GE(resumed, 0);
    EXPECT_GT(resumed, start + static_cast<long>(pausedSample));  // a gap: nothing advanced while paused
    EXPECT_TRUE(silentFrom(std::vector<int16_t>(out.begin() + start + static_cast<long>(pausedSample),
                                                out.begin() + resumed), 0));
    EXPECT_TRUE(holds(out, resumed, pausedSample, data.size()));  // then the rest, from the same sample
}

TEST_F(AudioTest, AfterASeekTheOutputContinuesFromTheExpectedByteWhenOutputStarts)
{
    const uint32_t stream = makeStream(2 * RATE, 2, RATE);
    ASSERT_NE(stream, 0u);
    ASSERT_EQ(soundStreamPlay(stream), 1);
    ASSERT_TRUE(waitFor(stream, RATE / 4 * 4));
    ASSERT_EQ(soundPause(), 1);
    const uint32_t paused = soundChannelGetPosition(stream);
    const uint32_t target = RATE * 3 / 2 * 4;  // 1.5 s
    ASSERT_EQ(soundChannelSetPosition(stream, target + 3), 1);  // aligned down to the frame
    EXPECT_EQ(soundChannelGetPosition(stream), target);
    // The position holds for when output starts again, however long after the seek.
    SDL_Delay(PAUSE_AFTER_SEEK_MS);
    ASSERT_EQ(soundStart(), 1);
    ASSERT_TRUE(waitFor(stream, soundStreamGetLength(stream)));
    const std::vector<int16_t> out = played();
    const long start = find(out, 0, 0);
    ASSERT_GE(start, 0);
    EXPECT_TRUE(holds(out, start, 0, paused / 2));
    // The device takes the stream with its next buffer and starts as much further
    // in as that took, which is far less than the pause after the seek.
    size_t at = static_cast<size_t>(start) + paused / 2;
    while (at < out.size() && out[at] == 0) ++at;
    at &= ~size_t{1};
    long skipped = -1;
    for (size_t frame = 0; frame <= MAX_SKIP_FRAMES && skipped < 0; ++frame)
        if (holds(out, static_cast<long>(at), target / 2 + 2 * frame, target / 2 + 2 * frame + 64))
            skipped = static_cast<long>(frame);
    ASSERT_GE(skipped, 0) << "the output does not go on near the seek's position";
    EXPECT_TRUE(holds(out, static_cast<long>(at), target / 2 + 2 * size_t(skipped), data.size()));
    EXPECT_TRUE(silentFrom(out, at + (data.size() - target / 2 - 2 * size_t(skipped))));
}

TEST_F(AudioTest, MonoAndHalfRateFilesReportTheirOwnFormat)
{
    struct Case {
        int rate, channels, frames, kbps;
    };
    const Case cases[] = {
        {22050, 1, 22050, 64},
        {22050, 2, 33075, 64},
        {44100, 1, 44100, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels");
        const uint32_t stream = makeStream(c.frames, c.channels, c.rate, c.kbps);
        ASSERT_NE(stream, 0u) << "error " << soundErrorGetCode();
        EXPECT_EQ(soundStreamGetLength(stream), uint32_t(c.frames * c.channels * 2));
        uint32_t frequency = 0;
        EXPECT_EQ(soundChannelGetFrequency(stream, &frequency), 1);
        EXPECT_EQ(frequency, uint32_t(c.rate));
        EXPECT_EQ(soundChannelGetFlags(stream), c.channels == 1 ? SOUND_SAMPLE_MONO : 0u);
        EXPECT_EQ(soundStreamFree(stream), 1);
    }
}

TEST_F(AudioTest, AMonoHalfRateStreamPlaysAsStereoForItsWholeLength)
{
    const uint32_t stream = makeStream(22050, 1, 22050, 64);
    ASSERT_NE(stream, 0u);
    ASSERT_EQ(soundStreamPlay(stream), 1);
    ASSERT_TRUE(waitFor(stream, soundStreamGetLength(stream)));
    const std::vector<int16_t> out = played();
    size_t first = out.size(), last = 0;
    for (size_t f = 0; f < out.size() / 2; ++f) {
        ASSERT_EQ(out[2 * f], out[2 * f + 1]) << "frame " << f;  // the one channel on both sides
        if (out[2 * f] != 0) {
            first = std::min(first, f);
            last = f;
        }
    }
    ASSERT_LT(first, last);
    EXPECT_NEAR(double(last - first), RATE, 64.0);  // one second at the device's rate
}

TEST(Audio, InitFailsCleanlyWithoutAnOutputDriver)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(soundInit(-1, RATE, 16), 0);
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_DRIVER);
    EXPECT_EQ(soundStreamCreateFile("Halvo.mp3"), 0u);
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_INIT);
}
