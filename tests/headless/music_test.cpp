// The sound layer on the headless layer's silent device, real MP3 files from
// the peer corpus, and the soundtrack as the demo starts, measures and plays it.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/platform.h"
#include "shell/demo.h"
#include "shell/keys.h"
#include "shell/music.h"
#include "tests/support/mp3.h"
#include "platform/common/sound_device.h"
#include "tests/support/scene_calls.h"
#include "tests/support/sound.h"
#include "tests/support/support.h"

namespace {

constexpr int SWAPS_PER_SECOND = 60;  // the headless default frame rate
constexpr int DEVICE_RATE = 44100;    // Hz, as the demo opens the device

// Sound output on the silent device, started, with a directory for test files.
// The whole decoded data of a stream.
std::vector<int16_t> streamData(uint32_t stream)
{
    const uint32_t length = soundStreamGetLength(stream);
    std::vector<int16_t> data(length / 2);
    EXPECT_EQ(soundStreamGetData(stream, 0, data.data(), length), length);
    return data;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        configureQuietly();
        ASSERT_EQ(soundInit(-1, DEVICE_RATE, 16), 1);
        ASSERT_EQ(soundStart(), 1);
    }
    void TearDown() override { soundFree(); }
    // A stereo sweep of the given length at the device's rate, as a stream that
    // plays from its start; its decoded samples in data.
    uint32_t playingSweep(int frames, std::vector<int16_t>* data)
    {
        const std::string path = dir.file("sweep.mp3");
        EXPECT_FALSE(writeSweepMp3(path, frames, 2, DEVICE_RATE).empty());
        const uint32_t stream = soundStreamCreateFile(path.c_str());
        EXPECT_NE(stream, 0u);
        if (stream == 0) return 0;
        *data = streamData(stream);
        EXPECT_EQ(soundStreamPlay(stream), 1);
        return stream;
    }
    TempDir dir;
};

// Everything the silent device has taken, interleaved stereo.
std::vector<int16_t> heardSamples()
{
    const int16_t* samples = headlessAudioSamples();
    if (samples == nullptr) return {};
    return std::vector<int16_t>(samples, samples + headlessAudioFrames() * 2);
}

void swapFor(double seconds)
{
    const long swaps = std::lround(seconds * SWAPS_PER_SECOND);
    for (long i = 0; i < swaps; ++i) platformSwapBuffers();
}

bool allSilent(const std::vector<int16_t>& samples, size_t from)
{
    return std::all_of(samples.begin() + static_cast<long>(std::min(from, samples.size())), samples.end(),
                       [](int16_t s) { return s == 0; });
}

// Whether heard[at..] starts with data[from..] for count samples.
bool sameRun(const std::vector<int16_t>& heard, size_t at, const std::vector<int16_t>& data, size_t from, size_t count)
{
    if (at + count > heard.size() || from + count > data.size()) return false;
    return std::equal(data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(from + count),
                      heard.begin() + static_cast<long>(at));
}

// Largest difference between a stream's decode and the input signal (lossy, but close).
double rmsError(const std::vector<int16_t>& a, const std::vector<int16_t>& b)
{
    const size_t n = std::min(a.size(), b.size());
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return n ? std::sqrt(sum / n) : 1e9;
}

}  // namespace

// ---------------------------------------------------------------------------
// Streams from files the tests encode.

TEST_F(SoundTest, LengthRateAndFlagsAreThoseOfTheFile)
{
    struct Case {
        int rate, channels, frames, kbps;
    };
    const Case cases[] = {
        {44100, 2, 88200, 128},  // the soundtrack's format, whole seconds
        {44100, 2, 30001, 128},  // a length that ends inside an MPEG frame
        {22050, 1, 22050, 64},   // MPEG-2, mono
        {48000, 2, 12345, 128},
        {32000, 1, 40000, 64},
        {16000, 2, 16000, 64},
        {11025, 1, 11025, 32},   // MPEG-2.5
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels, " +
                     std::to_string(c.frames) + " frames");
        const std::string path = dir.file("sweep.mp3");
        const std::vector<int16_t> signal = writeSweepMp3(path, c.frames, c.channels, c.rate, c.kbps);
        ASSERT_FALSE(signal.empty());
        const uint32_t stream = soundStreamCreateFile(path.c_str());
        ASSERT_NE(stream, 0u) << "error " << soundErrorGetCode();
        EXPECT_EQ(soundStreamGetLength(stream), uint32_t(c.frames) * c.channels * 2);
        uint32_t frequency = 0;
        EXPECT_EQ(soundChannelGetFrequency(stream, &frequency), 1);
        EXPECT_EQ(frequency, uint32_t(c.rate));
        EXPECT_EQ(soundChannelGetFlags(stream), c.channels == 1 ? SOUND_SAMPLE_MONO : 0u);
        EXPECT_EQ(soundErrorGetCode(), SOUND_OK);
        // The decode is the signal that was encoded, sample for sample in time (no delay left in).
        EXPECT_LT(rmsError(streamData(stream), signal), 1500.0);
        EXPECT_EQ(soundStreamFree(stream), 1);
    }
}

TEST_F(SoundTest, PlaysTheDecodedSamplesInOrderThenSilence)
{
    std::vector<int16_t> data;
    const uint32_t stream = playingSweep(44100, &data);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(soundChannelGetPosition(stream), 0u);
    swapFor(0.5);
    EXPECT_EQ(soundChannelGetPosition(stream), 22050u * 4);  // half a second taken, in bytes
    swapFor(1.0);
    EXPECT_EQ(soundChannelGetPosition(stream), soundStreamGetLength(stream));  // at the end, and stays there
    const std::vector<int16_t> heard = heardSamples();
    ASSERT_EQ(heard.size(), size_t(1.5 * DEVICE_RATE) * 2);
    EXPECT_TRUE(sameRun(heard, 0, data, 0, data.size()));
    EXPECT_TRUE(allSilent(heard, data.size()));
}

TEST_F(SoundTest, ARunKeepingNoRecordingPlaysAtTheSamePace)
{
    // The capture tool keeps no recording; the stream must still move on
    // sample for sample as when one is kept, across a pause and a seek.
    soundFree();
    HeadlessConfig config = quietConfig();
    config.keepHeardSamples = 0;
    headlessConfigure(config);
    ASSERT_EQ(soundInit(-1, DEVICE_RATE, 16), 1);
    ASSERT_EQ(soundStart(), 1);
    std::vector<int16_t> data;
    const uint32_t stream = playingSweep(88200, &data);
    ASSERT_NE(stream, 0u);
    swapFor(0.5);
    EXPECT_EQ(soundChannelGetPosition(stream), 22050u * 4);
    ASSERT_EQ(soundPause(), 1);
    swapFor(0.5);
    ASSERT_EQ(soundStart(), 1);
    ASSERT_EQ(soundChannelSetPosition(stream, 44100 * 4), 1);
    swapFor(0.25);
    EXPECT_EQ(soundChannelGetPosition(stream), (44100u + 11025u) * 4);
    EXPECT_EQ(headlessAudioFrames(), int64_t(0.75 * DEVICE_RATE));
    EXPECT_EQ(headlessAudioSamples(), nullptr);
    // What the mixer hands out from there on is the decode at that point.
    std::vector<int16_t> next(1000 * 2);
    soundMixOutput(next.data(), 1000);
    EXPECT_TRUE(sameRun(next, 0, data, (44100 + 11025) * 2, next.size()));
}

TEST_F(SoundTest, PauseTakesNothingAndStartGoesOnFromTheSameSample)
{
    std::vector<int16_t> data;
    const uint32_t stream = playingSweep(44100, &data);
    ASSERT_NE(stream, 0u);
    swapFor(0.25);
    ASSERT_EQ(soundPause(), 1);
    const int64_t framesAtPause = headlessAudioFrames();
    const uint32_t positionAtPause = soundChannelGetPosition(stream);
    EXPECT_EQ(positionAtPause, uint32_t(framesAtPause) * 4);
    swapFor(3.0);
    EXPECT_EQ(headlessAudioFrames(), framesAtPause);
    EXPECT_EQ(soundChannelGetPosition(stream), positionAtPause);
    ASSERT_EQ(soundStart(), 1);
    swapFor(1.0);
    EXPECT_EQ(soundChannelGetPosition(stream), soundStreamGetLength(stream));
    EXPECT_TRUE(sameRun(heardSamples(), 0, data, 0, data.size()));  // no gap, no repeat
}

TEST_F(SoundTest, SetPositionAlignsDownToAFrameAndClampsToTheLength)
{
    struct Case {
        int channels;
        uint32_t bytes;
        uint32_t expected;  // UINT32_MAX: the length
    };
    const Case cases[] = {
        {2, 0, 0}, {2, 3, 0}, {2, 4001, 4000}, {2, 40003, 40000}, {2, 352799, 352796},
        {2, 352800, UINT32_MAX}, {2, 999999, UINT32_MAX}, {2, UINT32_MAX, UINT32_MAX},
        {1, 1, 0}, {1, 4001, 4000}, {1, 88199, 88198}, {1, 5000000, UINT32_MAX},
    };
    const std::string stereo = dir.file("stereo.mp3"), mono = dir.file("mono.mp3");
    ASSERT_FALSE(writeSweepMp3(stereo, 88200, 2, DEVICE_RATE).empty());
    ASSERT_FALSE(writeSweepMp3(mono, 44100, 1, 22050, 64).empty());
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels, byte " + std::to_string(c.bytes));
        const std::string& path = c.channels == 2 ? stereo : mono;
        const uint32_t stream = soundStreamCreateFile(path.c_str());
        ASSERT_NE(stream, 0u);
        const uint32_t expected = c.expected == UINT32_MAX ? soundStreamGetLength(stream) : c.expected;
        ASSERT_EQ(soundStreamPlay(stream), 1);
        ASSERT_EQ(soundChannelSetPosition(stream, c.bytes), 1);
        EXPECT_EQ(soundChannelGetPosition(stream), expected);
        EXPECT_EQ(soundStreamFree(stream), 1);
    }
}

TEST_F(SoundTest, AfterASeekTheOutputGoesOnFromThatByte)
{
    std::vector<int16_t> data;
    const uint32_t stream = playingSweep(88200, &data);
    ASSERT_NE(stream, 0u);
    swapFor(0.5);
    const size_t before = size_t(headlessAudioFrames()) * 2;
    // Forward to 1.25 s (an odd byte, aligned down), then back to 0.1 s.
    ASSERT_EQ(soundChannelSetPosition(stream, 55125 * 4 + 3), 1);
    swapFor(0.25);
    const size_t middle = size_t(headlessAudioFrames()) * 2;
    ASSERT_EQ(soundChannelSetPosition(stream, 4410 * 4), 1);
    swapFor(0.25);
    const std::vector<int16_t> heard = heardSamples();
    EXPECT_TRUE(sameRun(heard, 0, data, 0, before));
    EXPECT_TRUE(sameRun(heard, before, data, 55125 * 2, middle - before));
    EXPECT_TRUE(sameRun(heard, middle, data, 4410 * 2, heard.size() - middle));
    EXPECT_EQ(soundChannelGetPosition(stream), (4410u + 11025u) * 4);
}

TEST_F(SoundTest, OtherRatesAndMonoAreConvertedToDeviceStereo)
{
    const std::string path = dir.file("mono22.mp3");
    ASSERT_FALSE(writeSweepMp3(path, 22050, 1, 22050, 64).empty());
    const uint32_t stream = soundStreamCreateFile(path.c_str());
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(soundStreamGetLength(stream), 44100u);  // the file's own frames, mono, 16-bit
    const std::vector<int16_t> data = streamData(stream);
    ASSERT_EQ(soundStreamPlay(stream), 1);
    swapFor(0.5);
    // Half a second of device time is half a second of the file: 11025 mono frames.
    EXPECT_EQ(soundChannelGetPosition(stream), 11025u * 2);
    swapFor(1.0);
    EXPECT_EQ(soundChannelGetPosition(stream), soundStreamGetLength(stream));
    const std::vector<int16_t> heard = heardSamples();
    // Both device channels carry the one channel; the sound lasts one second at the device's rate.
    size_t last = 0;
    for (size_t f = 0; f < heard.size() / 2; ++f) {
        ASSERT_EQ(heard[2 * f], heard[2 * f + 1]) << "frame " << f;
        if (heard[2 * f] != 0) last = f;
    }
    EXPECT_NEAR(double(last), DEVICE_RATE, 64.0);
    // Every second device frame is close to the file's frame at the same time.
    double error = 0.0;
    for (size_t f = 100; f < 22000; ++f) error = std::max(error, std::abs(double(heard[4 * f]) - data[f]));
    EXPECT_LT(error, 2000.0);
}

TEST_F(SoundTest, FreeReleasesTheStreamAndItsHandle)
{
    const std::string path = dir.file("sweep.mp3");
    ASSERT_FALSE(writeSweepMp3(path, 4410, 2, DEVICE_RATE).empty());
    const uint32_t first = soundStreamCreateFile(path.c_str());
    ASSERT_NE(first, 0u);
    EXPECT_EQ(soundStreamCreateFile(path.c_str()), 0u);  // one stream at a time
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_ALREADY);
    ASSERT_EQ(soundStreamPlay(first), 1);
    EXPECT_EQ(soundStreamFree(first), 1);
    // The old handle names nothing now, whatever is asked of it.
    EXPECT_EQ(soundStreamGetLength(first), 0u);
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_HANDLE);
    EXPECT_EQ(soundStreamPlay(first), 0);
    EXPECT_EQ(soundChannelSetPosition(first, 0), 0);
    EXPECT_EQ(soundStreamFree(first), 0);
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_HANDLE);
    swapFor(0.1);
    EXPECT_TRUE(allSilent(heardSamples(), 0));  // nothing plays after the free
    const uint32_t second = soundStreamCreateFile(path.c_str());
    EXPECT_NE(second, 0u);
    EXPECT_NE(second, first);
}

TEST_F(SoundTest, FilesThatAreNoMp3FailWithACode)
{
    const std::string good = dir.file("good.mp3");
    ASSERT_FALSE(writeSweepMp3(good, 4410, 2, DEVICE_RATE).empty());
    const std::vector<unsigned char> mp3 = readBinaryFile(good);
    const std::vector<unsigned char> tga = tgaFile(4, 0x80);
    std::vector<unsigned char> syncs(4096, 0xFF);  // frame sync bits everywhere, no valid header
    struct Case {
        const char* name;
        std::string path;
        int error;
    };
    // A FIFO with no writer would block the open or the read, and /dev/zero
    // would feed the buffer for ever: neither is a regular file, so neither is read.
    const std::string fifo = dir.file("fifo.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    alarm(60);  // an open that blocks ends the test instead of hanging it
    const Case cases[] = {
        {"missing file", dir.file("absent.mp3"), SOUND_ERROR_FILEOPEN},
        {"directory", dir.path(), SOUND_ERROR_FILEOPEN},
        {"FIFO", fifo, SOUND_ERROR_FILEOPEN},
        {"endless device", "/dev/zero", SOUND_ERROR_FILEOPEN},
        {"zero bytes", dir.write("empty.mp3", std::vector<unsigned char>{}), SOUND_ERROR_FORMAT},
        {"a TGA renamed .mp3", dir.write("image.mp3", tga), SOUND_ERROR_FORMAT},
        {"text", dir.write("text.mp3", std::string("not a sound file\n")), SOUND_ERROR_FORMAT},
        {"sync bytes only", dir.write("syncs.mp3", syncs), SOUND_ERROR_FORMAT},
        {"header of a frame only", dir.write("cut.mp3", std::vector<unsigned char>(mp3.begin(), mp3.begin() + 4)),
         SOUND_ERROR_FORMAT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(soundStreamCreateFile(c.path.c_str()), 0u);
        EXPECT_EQ(soundErrorGetCode(), c.error);
    }
    alarm(0);
    EXPECT_EQ(soundStreamCreateFile(nullptr), 0u);
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_FILEOPEN);
    // Nothing was left behind: a real file still makes a stream.
    EXPECT_NE(soundStreamCreateFile(good.c_str()), 0u);
}

TEST(Sound, CallsBeforeInitOrWithoutStartFail)
{
    configureQuietly();
    TempDir dir;
    const std::string path = dir.file("sweep.mp3");
    ASSERT_FALSE(writeSweepMp3(path, 4410, 2, DEVICE_RATE).empty());
    EXPECT_EQ(soundStart(), 0);
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_INIT);
    EXPECT_EQ(soundStreamCreateFile(path.c_str()), 0u);
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_INIT);
    EXPECT_EQ(soundInit(0, DEVICE_RATE, 16), 0);  // only the default device
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_DRIVER);
    ASSERT_EQ(soundInit(-1, DEVICE_RATE, 16), 1);
    EXPECT_EQ(soundInit(-1, DEVICE_RATE, 16), 0);
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_ALREADY);
    const uint32_t stream = soundStreamCreateFile(path.c_str());
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(soundStreamPlay(stream), 0);  // output was never started
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_START);
    swapFor(0.5);
    EXPECT_EQ(headlessAudioFrames(), 0);
    soundFree();
    EXPECT_EQ(soundStreamGetLength(stream), 0u);
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_INIT);
    EXPECT_EQ(soundInit(-1, DEVICE_RATE, 16), 1);  // free leaves nothing that blocks a new start
    soundFree();
}

TEST(Sound, InitFailsWithoutAnOutputDevice)
{
    HeadlessConfig config = quietConfig();
    config.audioDeviceAvailable = 0;
    headlessConfigure(config);
    EXPECT_EQ(soundInit(-1, DEVICE_RATE, 16), 0);
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_DRIVER);
    EXPECT_EQ(soundStart(), 0);
    EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_INIT);
}

// ---------------------------------------------------------------------------
// Streams decoded as their samples are asked for: whatever the order and the
// size of the reads and pulls, what comes out is the decode from the start.

namespace {

// Reads a stream front to back in chunks of odd sizes, then at offsets that jump
// back and forth (near the start, far, the same place twice, odd bytes, the end),
// each checked against whole, the decode from the start.
void expectEveryReadMatches(uint32_t stream, const std::vector<int16_t>& whole)
{
    const uint32_t length = static_cast<uint32_t>(whole.size() * 2);
    const uint32_t chunks[] = {4093, 1, 2, 3, 65537, 777, 12};
    size_t chunk = 0;
    for (uint32_t offset = 0; offset < length; offset += chunks[chunk++ % std::size(chunks)])
        ASSERT_TRUE(readMatches(stream, offset, chunks[chunk % std::size(chunks)], whole));
    const double fractions[] = {0.9, 0.1, 0.5, 0.5, 0.0, 0.73, 0.31, 0.999, 0.02, 0.6, 0.61, 0.25};
    for (double fraction : fractions) {
        const uint32_t offset = static_cast<uint32_t>(fraction * length);
        EXPECT_TRUE(readMatches(stream, offset, 6001, whole)) << fraction;
        EXPECT_TRUE(readMatches(stream, offset | 1, 333, whole)) << fraction;  // inside a sample
    }
    EXPECT_TRUE(readMatches(stream, length - 1, 100, whole));
    EXPECT_TRUE(readMatches(stream, length, 100, whole));
}

// Pulls device frames from the mixer in chunks of the given sizes, in turn.
std::vector<int16_t> pullFrames(size_t frames, const std::vector<int>& sizes)
{
    std::vector<int16_t> out(frames * 2);
    size_t done = 0;
    for (size_t i = 0; done < frames; ++i) {
        const int count = static_cast<int>(std::min<size_t>(sizes[i % sizes.size()], frames - done));
        soundMixOutput(out.data() + done * 2, count);
        done += static_cast<size_t>(count);
    }
    return out;
}

// The mixer's output over a fixed script of pulls, seeks back and forth and reads
// elsewhere in between (which move the decoder the mixer reads through).
std::vector<int16_t> mixScript(uint32_t stream, uint32_t length, const std::vector<int>& sizes)
{
    std::vector<int16_t> out = pullFrames(11025, sizes);
    std::vector<int16_t> elsewhere(2000);
    const uint32_t seeks[] = {length / 2 + 3, length / 5, length - 4000, 0, length / 3};
    for (uint32_t seek : seeks) {
        EXPECT_EQ(soundChannelSetPosition(stream, seek), 1);
        soundStreamGetData(stream, length / 7, elsewhere.data(), 4000);
        const std::vector<int16_t> more = pullFrames(6000, sizes);
        out.insert(out.end(), more.begin(), more.end());
    }
    return out;
}

}  // namespace

TEST_F(SoundTest, ReadsInAnyOrderAndSizeGiveTheDecodeFromTheStart)
{
    struct Case {
        int rate, channels, frames, kbps;
    };
    const Case cases[] = {
        {44100, 2, 3 * 44100 + 77, 128},  // MPEG-1, as the soundtrack
        {22050, 1, 2 * 22050 + 5, 64},    // MPEG-2, mono, the first sample in the second frame
        {16000, 2, 2 * 16000, 24},        // MPEG-2 at a low bitrate: a deep bit reservoir
        {11025, 1, 3 * 11025, 32},        // MPEG-2.5
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels");
        const std::string path = dir.file("sweep.mp3");
        ASSERT_FALSE(writeSweepMp3(path, c.frames, c.channels, c.rate, c.kbps).empty());
        const uint32_t stream = soundStreamCreateFile(path.c_str());
        ASSERT_NE(stream, 0u);
        const std::vector<int16_t> whole = streamData(stream);
        ASSERT_FALSE(whole.empty());
        expectEveryReadMatches(stream, whole);
        EXPECT_EQ(soundStreamFree(stream), 1);
    }
}

TEST_F(SoundTest, TheMixerPlaysTheDecodeInAnyPullSizeAcrossSeeksAndReads)
{
    // Stereo at the device's rate goes to the device as it is decoded.
    std::vector<int16_t> data;
    const uint32_t stream = playingSweep(3 * DEVICE_RATE, &data);
    ASSERT_NE(stream, 0u);
    const uint32_t length = soundStreamGetLength(stream);
    const std::vector<int16_t> out = mixScript(stream, length, {1, 333, 1021, 4096, 7});
    const uint32_t starts[] = {0, length / 2, length / 5, length - 4000, 0, length / 3};  // bytes, frame-aligned
    size_t at = 0;
    for (uint32_t start : starts) {
        const size_t frames = at == 0 ? 11025 : 6000;
        const size_t inStream = std::min<size_t>(frames, (length - start) / 4);
        SCOPED_TRACE("from byte " + std::to_string(start));
        EXPECT_TRUE(sameRun(out, at, data, start / 2, inStream * 2));
        EXPECT_TRUE(std::all_of(out.begin() + static_cast<long>(at + inStream * 2),
                                out.begin() + static_cast<long>(at + frames * 2), [](int16_t s) { return s == 0; }));
        at += frames * 2;
    }
    EXPECT_EQ(at, out.size());
    ASSERT_EQ(soundStreamFree(stream), 1);

    // Mono at half the rate goes through the converter: the same script gives the same
    // samples whatever the sizes of the pulls.
    const std::string path = dir.file("mono22.mp3");
    ASSERT_FALSE(writeSweepMp3(path, 2 * 22050, 1, 22050, 64).empty());
    std::vector<int16_t> converted[2];
    const std::vector<int> sizes[2] = {{1024}, {5, 999, 1, 3000}};
    for (int run = 0; run < 2; ++run) {
        const uint32_t mono = soundStreamCreateFile(path.c_str());
        ASSERT_NE(mono, 0u);
        ASSERT_EQ(soundStreamPlay(mono), 1);
        converted[run] = mixScript(mono, soundStreamGetLength(mono), sizes[run]);
        ASSERT_EQ(soundStreamFree(mono), 1);
    }
    EXPECT_TRUE(converted[0] == converted[1]);
    EXPECT_FALSE(allSilent(converted[0], 0));
}

TEST(Soundtrack, ReadsFromAnywhereGiveTheDecodeFromTheStart)
{
    const std::vector<int16_t> whole = decodePackSoundtrack();
    ASSERT_FALSE(whole.empty());
    openSilentSound();
    const uint32_t stream = soundStreamCreateFile((std::string(VANTREL_BINARY_DIR) + "/data/Halvo.mp3").c_str());
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(soundStreamGetLength(stream), whole.size() * 2);
    // A step of a prime number of bytes lands on every position within a frame in turn.
    const uint32_t length = static_cast<uint32_t>(whole.size() * 2);
    constexpr uint32_t STEP_BYTES = 1000003;
    for (uint32_t offset = length - 1; offset > STEP_BYTES; offset -= STEP_BYTES)
        ASSERT_TRUE(readMatches(stream, offset, 4608, whole));  // backwards through the whole file: a seek each time
    EXPECT_TRUE(readMatches(stream, 0, 4608, whole));
    soundStreamFree(stream);
    soundFree();
}

// ---------------------------------------------------------------------------
// Real MP3 files nobody here wrote.

namespace {

// Channel counts of the MPEG audio layer III frames of a file, in order, with
// their samples per channel; stops at the first byte that is not a frame.
struct FrameLayout {
    int channels;
    int samples;
};
std::vector<FrameLayout> layer3Frames(const std::vector<unsigned char>& file)
{
    static const int bitrates[2][16] = {
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},  // MPEG-1
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},      // MPEG-2 and 2.5
    };
    static const int rates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    std::vector<FrameLayout> frames;
    size_t at = 0;
    while (at + 4 <= file.size()) {
        const unsigned char* h = &file[at];
        const int version = (h[1] >> 3) & 3, layer = (h[1] >> 1) & 3;
        const int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3;
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || layer != 1 || version == 1 || rateIndex == 3) break;
        const int kbps = bitrates[version == 3 ? 0 : 1][bitrateIndex];
        if (kbps == 0) break;  // free format: not walked here
        const int rate = rates[version][rateIndex];
        const int length = (version == 3 ? 144000 : 72000) * kbps / rate + ((h[2] >> 1) & 1);
        frames.push_back({(h[3] >> 6) == 3 ? 1 : 2, version == 3 ? 1152 : 576});
        at += static_cast<size_t>(length);
    }
    return frames;
}

std::vector<int16_t> readPcm(const std::string& path)
{
    const std::vector<unsigned char> bytes = readBinaryFile(path);
    std::vector<int16_t> pcm(bytes.size() / 2);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return pcm;
}

}  // namespace

TEST_F(SoundTest, EveryCorpusFileMakesAStreamOrFailsCleanly)
{
    REQUIRE_CORPUS();
    std::vector<std::string> files = listFiles(corpusDir() + "/mp3");
    // Images under an MP3's name too.
    for (const std::string& tga : listFiles(corpusDir() + "/tga")) files.push_back(tga);
    ASSERT_GT(files.size(), 50u);
    int created = 0, failed = 0;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const uint32_t stream = soundStreamCreateFile(file.c_str());
        if (stream == 0) {
            EXPECT_EQ(soundErrorGetCode(), SOUND_ERROR_FORMAT);
            ++failed;
            continue;
        }
        ++created;
        const uint32_t length = soundStreamGetLength(stream);
        uint32_t frequency = 0;
        soundChannelGetFrequency(stream, &frequency);
        const uint32_t frameBytes = (soundChannelGetFlags(stream) & SOUND_SAMPLE_MONO) ? 2 : 4;
        EXPECT_GT(length, 0u);
        EXPECT_EQ(length % frameBytes, 0u);
        EXPECT_GE(frequency, 8000u);
        EXPECT_LE(frequency, 48000u);
        // Play a little of it, through the converter where its format differs.
        ASSERT_EQ(soundStreamPlay(stream), 1);
        ASSERT_EQ(soundChannelSetPosition(stream, length / 2), 1);
        swapFor(0.1);
        EXPECT_LE(soundChannelGetPosition(stream), length);
        EXPECT_EQ(soundStreamFree(stream), 1);
    }
    EXPECT_GT(created, 30);  // the decoder vectors
    EXPECT_GT(failed, 10);   // the damaged vectors and the images
}

TEST_F(SoundTest, CorpusVectorsMatchTheirReferenceDecodeWithinOneStep)
{
    REQUIRE_CORPUS();
    const std::string root = corpusDir() + "/mp3";
    const std::vector<std::string> references = listFiles(root + "/minimp3-reference-pcm");
    ASSERT_FALSE(references.empty());
    for (const std::string& reference : references) {
        const std::string name = reference.substr(reference.rfind('/') + 1, reference.size() - reference.rfind('/') - 5);
        SCOPED_TRACE(name);
        const std::string mp3 = root + "/minimp3/" + name + ".mp3";
        const uint32_t stream = soundStreamCreateFile(mp3.c_str());
        ASSERT_NE(stream, 0u) << "error " << soundErrorGetCode();
        const std::vector<int16_t> ours = streamData(stream);
        const std::vector<int16_t> expected = readPcm(reference);
        const int channels = (soundChannelGetFlags(stream) & SOUND_SAMPLE_MONO) ? 1 : 2;
        // The reference holds each frame in its own channel count; the stream holds every
        // frame in the first frame's (a stereo frame in a mono stream is the mean of its two).
        // The first frame after the channel count changes overlaps with the frame before in
        // a way each decoder keeps differently, so that one frame is not compared.
        size_t refAt = 0, ourAt = 0;
        int worst = 0, previousChannels = 0, changes = 0;
        for (const FrameLayout& frame : layer3Frames(readBinaryFile(mp3))) {
            const size_t samples = size_t(frame.samples);
            if (refAt + samples * frame.channels > expected.size()) break;  // the reference stops a frame early
            ASSERT_LE(ourAt + samples * channels, ours.size());
            const bool changed = previousChannels != 0 && frame.channels != previousChannels;
            previousChannels = frame.channels;
            changes += changed;
            for (size_t i = 0; i < samples && !changed; ++i) {
                for (int c = 0; c < channels; ++c) {
                    double want = 0.0;
                    if (frame.channels == channels) want = expected[refAt + i * channels + c];
                    else if (frame.channels == 1) want = expected[refAt + i];
                    else want = (double(expected[refAt + 2 * i]) + expected[refAt + 2 * i + 1]) / 2.0;
                    const int difference = int(std::ceil(std::abs(ours[ourAt + i * channels + c] - want)));
                    worst = std::max(worst, difference);
                }
            }
            refAt += samples * frame.channels;
            ourAt += samples * channels;
        }
        EXPECT_EQ(refAt, expected.size()) << "frames of the reference not compared";
        EXPECT_LE(changes, name == "l3-he_mode" ? 2 : 0);  // the one vector that switches mono and stereo
        EXPECT_LE(worst, 1);
        // The stream may hold one frame more than the reference, the last one, and no more.
        EXPECT_LE(ours.size() - ourAt, size_t(1152 * channels));
        EXPECT_EQ(soundStreamFree(stream), 1);
    }
}

// ---------------------------------------------------------------------------
// The soundtrack in the demo.

namespace {

constexpr int DEMO_FRAMES_PER_SECOND = 2;  // the whole show in few frames


// Runs the whole demo at a low frame rate in a directory of its own, with the
// six scenes replaced by ones that draw nothing; returns its exit status.
int runDemo(HeadlessConfig config, const TempDir& dir)
{
    installStandInScenes(timelineEnds());  // what is checked is the soundtrack over the whole show
    config.framesPerSecond = DEMO_FRAMES_PER_SECOND;
    headlessConfigure(config);
    ScopedChdir cd(dir.path());
    return demoMain();
}


constexpr int64_t WHOLE_DEMO_SWAPS = static_cast<int64_t>(SPHERES_END) * DEMO_FRAMES_PER_SECOND;  // the six scenes to their ends

}  // namespace

TEST(Music, SoundtrackPlaysFromDemoTimeZeroAndIsMeasured)
{
    TempDir dir;
    ASSERT_FALSE(writeSweepMp3(dir.file("Halvo.mp3"), 4 * DEVICE_RATE + 1000, 2, DEVICE_RATE).empty());
    HeadlessConfig config = quietConfig();
    EXPECT_EQ(runDemo(config, dir), 0);
    EXPECT_EQ(headlessMessageBoxCount(), 0);
    EXPECT_EQ(musicBytes, uint32_t(4 * DEVICE_RATE + 1000) * 4);
    EXPECT_EQ(musicSeconds, 4.0f);  // whole seconds, truncated
    EXPECT_GE(headlessSwapCount(), WHOLE_DEMO_SWAPS);
    // The device took the music from the first frame on: the samples are the file's
    // decode from its first byte, then silence to the end of the show.
    const std::vector<int16_t> heard = heardSamples();
    EXPECT_GE(heard.size(), size_t(192) * DEVICE_RATE * 2);
    const std::vector<int16_t> signal = makeSweep(4 * DEVICE_RATE + 1000, 2, DEVICE_RATE);
    EXPECT_LT(rmsError(heard, signal), 1500.0);
    EXPECT_TRUE(allSilent(heard, signal.size()));
    EXPECT_FALSE(allSilent(std::vector<int16_t>(heard.begin(), heard.begin() + 1000), 0));
}

TEST(Music, MissingSoundtrackIsReportedAndTheDemoPlaysOnSilently)
{
    TempDir dir;  // no Halvo.mp3
    HeadlessConfig config;
    testing::internal::CaptureStderr();
    const int status = runDemo(config, dir);
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 0);
    const std::string created = "Can't create stream\n(error code: " + std::to_string(SOUND_ERROR_FILEOPEN) + ")";
    const std::string played = "Can't play stream\n(error code: " + std::to_string(SOUND_ERROR_HANDLE) + ")";
    EXPECT_TRUE(sawMessageBox("Error", created.c_str()));
    EXPECT_TRUE(sawMessageBox("Error", played.c_str()));
    EXPECT_NE(stderrText.find("Can't create stream"), std::string::npos) << stderrText;
    EXPECT_EQ(musicStream, 0u);
    EXPECT_EQ(musicSeconds, 0.0f);
    EXPECT_EQ(soundEnabled, 1);
    EXPECT_GE(headlessSwapCount(), WHOLE_DEMO_SWAPS);  // all six scenes ran to their ends
    EXPECT_TRUE(allSilent(heardSamples(), 0));
}

TEST(Music, NoOutputDeviceIsReportedAndTheDemoPlaysOnSilently)
{
    TempDir dir;
    ASSERT_FALSE(writeSweepMp3(dir.file("Halvo.mp3"), DEVICE_RATE, 2, DEVICE_RATE).empty());
    HeadlessConfig config = quietConfig();
    config.audioDeviceAvailable = 0;
    EXPECT_EQ(runDemo(config, dir), 0);
    const std::string text =
        "Can't initialize digital sound system\n(error code: " + std::to_string(SOUND_ERROR_DRIVER) + ")";
    EXPECT_TRUE(sawMessageBox("Error", text.c_str()));
    EXPECT_EQ(headlessMessageBoxCount(), 1);  // the soundtrack is not even tried
    EXPECT_EQ(headlessMessageBoxAt(0).owned, 1);  // kept above the (fullscreen) window
    EXPECT_EQ(soundEnabled, 0);
    EXPECT_EQ(musicStream, 0u);
    EXPECT_GE(headlessSwapCount(), WHOLE_DEMO_SWAPS);
    EXPECT_EQ(headlessAudioFrames(), 0);
}

TEST(Music, WrongInterfaceVersionEndsTheProgramBeforeAnySound)
{
    TempDir dir;
    HeadlessConfig config = quietConfig();
    config.framesPerSecond = 5;
    headlessConfigure(config);
    headlessSetSoundVersion(0x70000);
    ScopedChdir cd(dir.path());
    EXPECT_NE(demoMain(), 0);
    ASSERT_EQ(headlessMessageBoxCount(), 1);
    EXPECT_STREQ(headlessMessageBoxAt(0).caption, "Incorrect BASS.DLL");
    EXPECT_STREQ(headlessMessageBoxAt(0).text, "BASS version 0.8 was not loaded");
    EXPECT_EQ(headlessMessageBoxAt(0).type, MB_OK);
    EXPECT_EQ(headlessMessageBoxAt(0).owned, 0);  // a box of its own
    EXPECT_LE(headlessSwapCount(), 1);  // no scene ran
    // Sound output was never initialised: it can be now.
    EXPECT_EQ(soundInit(-1, DEVICE_RATE, 16), 1);
    soundFree();
}
