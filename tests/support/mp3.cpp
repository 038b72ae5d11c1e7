#include "tests/support/mp3.h"

#include "tools/assets/generator.h"
#include "tools/assets/soundtrack_master.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
constexpr double PI = 3.14159265358979323846;
constexpr double FIFTH = 1.5;            // frequency ratio of the second channel
constexpr int TEST_MP3_QUALITY = 5;      // LAME's algorithm quality for test signals: quick, good enough
}  // namespace

std::vector<int16_t> makeSweep(int frames, int channels, int rate, double startHz, double endHz, double amplitude)
{
    std::vector<int16_t> samples(static_cast<size_t>(frames) * channels);
    const double seconds = static_cast<double>(frames) / rate;
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        // Phase of a linear sweep: the integral of the instantaneous frequency.
        const double phase = 2.0 * PI * (startHz * t + (endHz - startHz) * t * t / (2.0 * seconds));
        for (int c = 0; c < channels; ++c) {
            const double value = amplitude * std::sin(phase * (c == 0 ? 1.0 : FIFTH) + 0.7 + c * 1.3);
            samples[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(std::lround(value));
        }
    }
    return samples;
}

std::vector<unsigned char> encodeSignal(const std::vector<int16_t>& samples, int channels, int rate, int kbps)
{
    std::vector<float> signal(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) signal[i] = static_cast<float>(samples[i]) / 32768.0f;
    Mp3Format format;
    format.channels = channels;
    format.rate = rate;
    format.kbps = kbps;
    format.quality = TEST_MP3_QUALITY;
    format.gaplessTag = 1;  // so a gapless decoder gives back exactly the frames that went in
    std::vector<unsigned char> mp3;
    if (channels == 1 || channels == 2) encodeMp3(signal.data(), static_cast<int64_t>(samples.size()) / channels, format, &mp3);
    return mp3;
}

std::vector<int16_t> writeSweepMp3(const std::string& path, int frames, int channels, int rate, int kbps)
{
    std::vector<int16_t> signal = makeSweep(frames, channels, rate);
    const std::vector<unsigned char> mp3 = encodeSignal(signal, channels, rate, kbps);
    if (mp3.empty() || !writeFileBytes(path, mp3.data(), mp3.size())) signal.clear();
    return signal;
}
