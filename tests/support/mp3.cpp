#include "tests/support/mp3.h"

#include <lame/lame.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
constexpr double PI = 3.14159265358979323846;
constexpr double FIFTH = 1.5;            // frequency ratio of the second channel
constexpr int CHUNK_FRAMES = 4096;       // frames handed to the encoder at once
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

std::vector<unsigned char> encodeMp3(const std::vector<int16_t>& samples, int channels, int rate, int kbps)
{
    std::vector<unsigned char> mp3;
    if (channels != 1 && channels != 2) return mp3;
    lame_global_flags* lame = lame_init();
    if (lame == nullptr) return mp3;
    lame_set_num_channels(lame, channels);
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame, kbps);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 1);  // the tag carries the delay and padding, for gapless decoding
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return mp3;
    }
    const int frames = static_cast<int>(samples.size() / channels);
    std::vector<short> left(CHUNK_FRAMES), right(CHUNK_FRAMES);
    std::vector<unsigned char> out(static_cast<size_t>(1.25 * CHUNK_FRAMES + 7200));
    bool ok = true;
    for (int start = 0; start < frames && ok; start += CHUNK_FRAMES) {
        const int count = frames - start < CHUNK_FRAMES ? frames - start : CHUNK_FRAMES;
        for (int i = 0; i < count; ++i) {
            left[i] = samples[static_cast<size_t>(start + i) * channels];
            right[i] = samples[static_cast<size_t>(start + i) * channels + (channels - 1)];
        }
        const int bytes = lame_encode_buffer(lame, left.data(), channels == 2 ? right.data() : nullptr, count,
                                             out.data(), static_cast<int>(out.size()));
        if (bytes < 0) ok = false;
        else mp3.insert(mp3.end(), out.begin(), out.begin() + bytes);
    }
    if (ok) {
        const int bytes = lame_encode_flush(lame, out.data(), static_cast<int>(out.size()));
        if (bytes < 0) ok = false;
        else mp3.insert(mp3.end(), out.begin(), out.begin() + bytes);
    }
    if (ok) {
        // The first frame was a placeholder for the tag; now that the length is known, fill it in.
        std::vector<unsigned char> tag(8192);
        const size_t tagBytes = lame_get_lametag_frame(lame, tag.data(), tag.size());
        if (tagBytes > 0 && tagBytes <= mp3.size()) std::memcpy(mp3.data(), tag.data(), tagBytes);
    }
    lame_close(lame);
    if (!ok) mp3.clear();
    return mp3;
}

bool writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file);
    return std::fclose(file) == 0 && written == bytes.size();
}

std::vector<int16_t> writeSweepMp3(const std::string& path, int frames, int channels, int rate, int kbps)
{
    std::vector<int16_t> signal = makeSweep(frames, channels, rate);
    const std::vector<unsigned char> mp3 = encodeMp3(signal, channels, rate, kbps);
    if (mp3.empty() || !writeFileBytes(path, mp3)) signal.clear();
    return signal;
}
