#include "tests/support/sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/headless.h"
#include "platform/platform.h"
#include "tests/support/support.h"

namespace {
constexpr double ONSET_HOP_SECONDS = 0.0005;      // step of the onset search
constexpr double ONSET_AFTER_SECONDS = 0.003;     // what an onset is loud over
constexpr double ONSET_BEFORE_SECONDS = 0.010;    // what it is louder than
}  // namespace

void openSilentSound()
{
    configureQuietly();
    ASSERT_EQ(soundInit(-1, TEST_SOUND_RATE, 0), 1);
}

std::vector<int16_t> decodeWithSoundLayer(const std::string& path, uint32_t* frequency, uint32_t* flags)
{
    const uint32_t stream = soundStreamCreateFile(path.c_str());
    EXPECT_NE(stream, 0u) << "sound error " << soundErrorGetCode();
    if (stream == 0) return {};
    EXPECT_EQ(soundChannelGetFrequency(stream, frequency), 1);
    *flags = soundChannelGetFlags(stream);
    const uint32_t length = soundStreamGetLength(stream);
    std::vector<int16_t> pcm(length / 2);
    EXPECT_EQ(soundStreamGetData(stream, 0, pcm.data(), length), length);
    soundStreamFree(stream);
    return pcm;
}

std::vector<int16_t> decodePackSoundtrack()
{
    openSilentSound();
    uint32_t frequency = 0, flags = 0;
    std::vector<int16_t> pcm = decodeWithSoundLayer(std::string(VANTREL_BINARY_DIR) + "/data/Halvo.mp3", &frequency, &flags);
    soundFree();
    EXPECT_EQ(frequency, uint32_t(TEST_SOUND_RATE));
    EXPECT_EQ(flags, 0u);  // 16-bit stereo
    return pcm;
}

::testing::AssertionResult readMatches(uint32_t stream, uint32_t offset, uint32_t bytes,
                                       const std::vector<int16_t>& whole)
{
    const size_t length = whole.size() * 2;
    const size_t expected = offset < length ? std::min<size_t>(bytes, length - offset) : 0;
    std::vector<unsigned char> read(bytes);
    const uint32_t got = soundStreamGetData(stream, offset, read.data(), bytes);
    if (got != expected)
        return ::testing::AssertionFailure() << "read at " << offset << " gave " << got << " bytes, not " << expected;
    const unsigned char* from = reinterpret_cast<const unsigned char*>(whole.data()) + offset;
    const auto differ = std::mismatch(read.begin(), read.begin() + static_cast<long>(got), from);
    if (differ.first != read.begin() + static_cast<long>(got))
        return ::testing::AssertionFailure() << "read at " << offset << " differs at byte "
                                             << offset + static_cast<size_t>(differ.first - read.begin());
    return ::testing::AssertionSuccess();
}

int64_t soundFrameAt(double seconds) { return static_cast<int64_t>(std::llround(seconds * TEST_SOUND_RATE)); }

double soundEnergy(const std::vector<int16_t>& pcm, double from, double to)
{
    const int64_t a = std::max<int64_t>(0, soundFrameAt(from));
    const int64_t b = std::min<int64_t>(static_cast<int64_t>(pcm.size() / 2), soundFrameAt(to));
    double sum = 0.0;
    for (int64_t i = a; i < b; ++i) {
        const double l = pcm[static_cast<size_t>(i) * 2] / 32768.0;
        const double r = pcm[static_cast<size_t>(i) * 2 + 1] / 32768.0;
        sum += l * l + r * r;
    }
    return b > a ? sum / static_cast<double>(b - a) + 1e-12 : 1e-12;
}

double decibels(double meanSquare) { return 10.0 * std::log10(meanSquare); }

double onsetDb(const std::vector<int16_t>& pcm, double t)
{
    return decibels(soundEnergy(pcm, t, t + 0.05)) - decibels(soundEnergy(pcm, t - 0.07, t - 0.015));
}

double sharpestOnset(const std::vector<int16_t>& pcm, double t, double within)
{
    double best = t;
    double bestRise = -1e9;
    for (double at = t - within; at <= t + within; at += ONSET_HOP_SECONDS) {
        const double rise = decibels(soundEnergy(pcm, at, at + ONSET_AFTER_SECONDS)) -
                            decibels(soundEnergy(pcm, at - ONSET_BEFORE_SECONDS, at));
        if (rise > bestRise) {
            bestRise = rise;
            best = at;
        }
    }
    return best;
}
