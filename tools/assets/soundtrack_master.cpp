// Loudness and true peak by libebur128 (the reference implementation of ITU
// BS.1770 and EBU R 128), the limiter on a 4x oversampled peak estimate of its
// own (it needs the peak of every frame), and LAME.
#include "tools/assets/soundtrack_master.h"

#include <ebur128.h>
#include <lame/lame.h>

#include <algorithm>
#include <cmath>

#include "tools/assets/soundtrack_synth.h"

namespace {

constexpr double PI_D = 3.14159265358979323846;
constexpr int64_t MOMENTARY_FRAMES = SYNTH_RATE * 4 / 10;  // 400 ms, one block of momentary loudness
constexpr double ABSOLUTE_GATE_LUFS = -70.0;               // the standard's absolute gate
constexpr int OVERSAMPLE = 4;           // true-peak estimate between samples
constexpr int INTERP_TAPS = 8;          // taps of each interpolation phase
constexpr float TRUE_PEAK_SEARCH = 0.5f;  // interpolate where samples reach this share of the peak (-6 dB)
constexpr int64_t LIMIT_LOOKAHEAD = 220;  // 5 ms of frames
constexpr float LIMIT_RELEASE_SECONDS = 0.08f;
constexpr int ENCODE_CHUNK_FRAMES = 1152 * 16;

// Interpolation filter for the point `phase` / OVERSAMPLE after a sample:
// a Hann-windowed sinc over the samples -3 .. +4 around it, summing to one.
void interpolationTaps(int phase, float taps[INTERP_TAPS])
{
    double sum = 0.0;
    double raw[INTERP_TAPS] = {};
    for (int k = 0; k < INTERP_TAPS; ++k) {
        const double x = static_cast<double>(k - 3) - static_cast<double>(phase) / OVERSAMPLE;
        const double sinc = x == 0.0 ? 1.0 : std::sin(PI_D * x) / (PI_D * x);
        const double window = 0.5 + 0.5 * std::cos(PI_D * x / 4.0);
        raw[k] = sinc * window;
        sum += raw[k];
    }
    for (int k = 0; k < INTERP_TAPS; ++k) taps[k] = static_cast<float>(raw[k] / sum);
}

// Per frame, the largest absolute value at that frame and between it and the
// next one, over both channels. Between samples the signal rises at most a
// few dB above its neighbours, so the interpolation runs only where a
// neighbour reaches `floor`; elsewhere the sample values stand for the peak.
std::vector<float> framePeaks(const float* stereo, int64_t frames, float floor)
{
    float taps[OVERSAMPLE][INTERP_TAPS] = {};
    for (int p = 1; p < OVERSAMPLE; ++p) interpolationTaps(p, taps[p]);
    std::vector<float> peaks(static_cast<size_t>(frames), 0.0f);
    for (int64_t i = 0; i < frames; ++i) {
        float peak = maxOf(std::fabs(stereo[i * 2]), std::fabs(stereo[i * 2 + 1]));
        if (i >= 3 && i + 4 < frames) {
            float near = 0.0f;
            for (int k = 0; k < INTERP_TAPS; ++k)
                near = maxOf(near, maxOf(std::fabs(stereo[(i + k - 3) * 2]), std::fabs(stereo[(i + k - 3) * 2 + 1])));
            if (near >= floor) {
                for (int c = 0; c < 2; ++c) {
                    for (int p = 1; p < OVERSAMPLE; ++p) {
                        float v = 0.0f;
                        for (int k = 0; k < INTERP_TAPS; ++k) v += taps[p][k] * stereo[(i + k - 3) * 2 + c];
                        peak = maxOf(peak, std::fabs(v));
                    }
                }
            }
        }
        peaks[static_cast<size_t>(i)] = peak;
    }
    return peaks;
}

}  // namespace

namespace {

// A meter of the standard's reference implementation over some frames; null
// when it cannot be made.
struct Meter {
    ebur128_state* state = nullptr;
    Meter(int mode, const float* stereo, int64_t from, int64_t to) : state(ebur128_init(2, SYNTH_RATE, mode))
    {
        if (state != nullptr && to > from)
            ebur128_add_frames_float(state, stereo + from * 2, static_cast<size_t>(to - from));
    }
    ~Meter() { ebur128_destroy(&state); }
    Meter(const Meter&) = delete;
    Meter& operator=(const Meter&) = delete;
};

// Loudness below the absolute gate (silence gives minus infinity) reads as the gate.
double gated(int status, double lufs) { return status == EBUR128_SUCCESS && lufs > ABSOLUTE_GATE_LUFS ? lufs : ABSOLUTE_GATE_LUFS; }

}  // namespace

double measureIntegratedLoudness(const float* stereo, int64_t frames)
{
    Meter meter(EBUR128_MODE_I, stereo, 0, frames);
    if (meter.state == nullptr) return ABSOLUTE_GATE_LUFS;
    double lufs = 0.0;
    const int status = ebur128_loudness_global(meter.state, &lufs);
    return gated(status, lufs);
}

double measureBlockLoudness(const float* stereo, int64_t frames, int64_t start)
{
    // The filters settle over the second before the block.
    const int64_t warmUp = SYNTH_RATE;
    const int64_t to = start + MOMENTARY_FRAMES;
    if (start < 0 || to > frames) return ABSOLUTE_GATE_LUFS;
    Meter meter(EBUR128_MODE_M, stereo, start > warmUp ? start - warmUp : 0, to);
    if (meter.state == nullptr) return ABSOLUTE_GATE_LUFS;
    double lufs = 0.0;
    const int status = ebur128_loudness_momentary(meter.state, &lufs);
    return gated(status, lufs);
}

float measureTruePeak(const float* stereo, int64_t frames)
{
    Meter meter(EBUR128_MODE_TRUE_PEAK, stereo, 0, frames);
    double peak = 0.0;
    for (unsigned channel = 0; channel < 2 && meter.state != nullptr; ++channel) {
        double p = 0.0;
        if (ebur128_true_peak(meter.state, channel, &p) == EBUR128_SUCCESS) peak = std::max(peak, p);
    }
    return static_cast<float>(peak);
}

void limitPeaks(float* stereo, int64_t frames, float ceiling)
{
    if (frames <= 0) return;
    const std::vector<float> peaks = framePeaks(stereo, frames, ceiling * TRUE_PEAK_SEARCH);
    const size_t count = static_cast<size_t>(frames);
    // Gain each frame needs on its own.
    std::vector<float> needed(count, 1.0f);
    for (size_t i = 0; i < count; ++i)
        if (peaks[i] > ceiling) needed[i] = ceiling / peaks[i];
    // Smallest need within the look-ahead on either side (a monotonic queue).
    std::vector<float> held(count, 1.0f);
    std::vector<int64_t> queue(count, 0);
    size_t head = 0;
    size_t tail = 0;
    for (int64_t i = 0; i < frames + LIMIT_LOOKAHEAD; ++i) {
        if (i < frames) {
            while (tail > head && needed[static_cast<size_t>(queue[tail - 1])] >= needed[static_cast<size_t>(i)]) --tail;
            queue[tail++] = i;
        }
        const int64_t centre = i - LIMIT_LOOKAHEAD;
        if (centre < 0) continue;
        while (queue[head] < centre - LIMIT_LOOKAHEAD) ++head;
        held[static_cast<size_t>(centre)] = needed[static_cast<size_t>(queue[head])];
    }
    // The gain comes back up slowly after each reduction.
    // In double precision: in float the step release x (1 - gain) falls below
    // half a unit of the last place while the gain is still 1e-4 short of one,
    // and the gain would stay there for the rest of the piece.
    const double release = 1.0 - std::exp(-1.0 / (LIMIT_RELEASE_SECONDS * SYNTH_RATE));
    double gain = 1.0;
    for (size_t i = 0; i < count; ++i) {
        gain = std::min(static_cast<double>(held[i]), gain + release * (1.0 - gain));
        held[i] = static_cast<float>(gain);
    }
    // A moving average as wide as the hold window: every frame of the average
    // is at most the need of the peak at its centre, so the peak stays below
    // the ceiling while the gain moves without steps.
    const int64_t width = 2 * LIMIT_LOOKAHEAD + 1;
    // prefix[k]: sum of the gains of frames -LIMIT_LOOKAHEAD .. k - LIMIT_LOOKAHEAD - 1,
    // unity outside the signal.
    std::vector<double> prefix(count + static_cast<size_t>(2 * LIMIT_LOOKAHEAD) + 1, 0.0);
    for (size_t k = 1; k < prefix.size(); ++k) {
        const int64_t frame = static_cast<int64_t>(k) - 1 - LIMIT_LOOKAHEAD;
        prefix[k] = prefix[k - 1] + (frame >= 0 && frame < frames ? held[static_cast<size_t>(frame)] : 1.0);
    }
    std::vector<float> smooth(count, 1.0f);
    for (size_t i = 0; i < count; ++i)
        smooth[i] = static_cast<float>((prefix[i + static_cast<size_t>(width)] - prefix[i]) / static_cast<double>(width));
    for (size_t i = 0; i < count; ++i) {
        for (int c = 0; c < 2; ++c) {
            float v = stereo[i * 2 + static_cast<size_t>(c)] * smooth[i];
            // Rounding in the average may leave a hair above the ceiling.
            v = maxOf(-ceiling, minOf(ceiling, v));
            stereo[i * 2 + static_cast<size_t>(c)] = v;
        }
    }
}

int encodeMp3(const float* samples, int64_t frames, const Mp3Format& format, std::vector<unsigned char>* mp3)
{
    mp3->clear();
    if (format.channels != 1 && format.channels != 2) return 0;
    lame_global_flags* lame = lame_init();
    if (!lame) return 0;
    lame_set_in_samplerate(lame, format.rate);
    lame_set_out_samplerate(lame, format.rate);
    lame_set_num_channels(lame, format.channels);
    lame_set_mode(lame, format.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, format.kbps);
    lame_set_quality(lame, format.quality);
    lame_set_bWriteVbrTag(lame, format.gaplessTag);
    lame_set_write_id3tag_automatic(lame, 0);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return 0;
    }
    std::vector<unsigned char> chunk(static_cast<size_t>(ENCODE_CHUNK_FRAMES * 5 / 4 + 7200), 0);
    int ok = 1;
    for (int64_t done = 0; done < frames && ok; done += ENCODE_CHUNK_FRAMES) {
        const int64_t left = frames - done;
        const int n = static_cast<int>(left < ENCODE_CHUNK_FRAMES ? left : ENCODE_CHUNK_FRAMES);
        const float* from = samples + done * format.channels;
        // One channel is one buffer; two are interleaved (LAME reads the
        // interleaved form as two channels whatever it was told).
        const int bytes = format.channels == 1
                              ? lame_encode_buffer_ieee_float(lame, from, from, n, chunk.data(), static_cast<int>(chunk.size()))
                              : lame_encode_buffer_interleaved_ieee_float(lame, from, n, chunk.data(),
                                                                          static_cast<int>(chunk.size()));
        if (bytes < 0) ok = 0;
        else mp3->insert(mp3->end(), chunk.begin(), chunk.begin() + bytes);
    }
    if (ok) {
        const int bytes = lame_encode_flush(lame, chunk.data(), static_cast<int>(chunk.size()));
        if (bytes < 0) ok = 0;
        else mp3->insert(mp3->end(), chunk.begin(), chunk.begin() + bytes);
    }
    if (ok && format.gaplessTag) {
        // The first frame was a placeholder for the tag; now that the length is known, fill it in.
        std::vector<unsigned char> tag(8192);
        const size_t tagBytes = lame_get_lametag_frame(lame, tag.data(), tag.size());
        if (tagBytes > 0 && tagBytes <= mp3->size()) std::copy(tag.begin(), tag.begin() + static_cast<long>(tagBytes), mp3->begin());
    }
    lame_close(lame);
    if (!ok) mp3->clear();
    return ok;
}
