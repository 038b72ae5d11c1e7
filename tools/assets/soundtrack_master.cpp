// Loudness after ITU BS.1770 (K-weighting, absolute and relative gates), a
// 4x oversampled true-peak estimate, the limiter built on it, and LAME.
#include "tools/assets/soundtrack_master.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>

#include "tools/assets/soundtrack_synth.h"

namespace {

constexpr double PI_D = 3.14159265358979323846;
constexpr int64_t HOP_FRAMES = SYNTH_RATE / 10;  // 100 ms, a quarter of a gating block
constexpr int BLOCK_HOPS = 4;                    // 400 ms gating block
constexpr double ABSOLUTE_GATE_LUFS = -70.0;
constexpr double RELATIVE_GATE_LU = -10.0;
constexpr int OVERSAMPLE = 4;           // true-peak estimate between samples
constexpr int INTERP_TAPS = 8;          // taps of each interpolation phase
constexpr float TRUE_PEAK_SEARCH = 0.5f;  // interpolate where samples reach this share of the peak (-6 dB)
constexpr int64_t LIMIT_LOOKAHEAD = 220;  // 5 ms of frames
constexpr float LIMIT_RELEASE_SECONDS = 0.08f;
constexpr int ENCODE_CHUNK_FRAMES = 1152 * 16;

struct Biquad {
    double b0, b1, b2, a1, a2;  // coefficients, a0 normalised to 1
    double z1, z2;              // transposed direct form II state
};

double biquadTick(Biquad* f, double x)
{
    const double y = f->b0 * x + f->z1;
    f->z1 = f->b1 * x - f->a1 * y + f->z2;
    f->z2 = f->b2 * x - f->a2 * y;
    return y;
}

// The K-weighting pair (high shelf, then high pass) at 44.1 kHz.
void kWeighting(Biquad* shelf, Biquad* highPass)
{
    *shelf = {};
    *highPass = {};
    {
        const double f0 = 1681.974450955533;
        const double gainDb = 3.999843853973347;
        const double q = 0.7071752369554196;
        const double k = std::tan(PI_D * f0 / SYNTH_RATE);
        const double vh = std::pow(10.0, gainDb / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        shelf->b0 = (vh + vb * k / q + k * k) / a0;
        shelf->b1 = 2.0 * (k * k - vh) / a0;
        shelf->b2 = (vh - vb * k / q + k * k) / a0;
        shelf->a1 = 2.0 * (k * k - 1.0) / a0;
        shelf->a2 = (1.0 - k / q + k * k) / a0;
    }
    {
        const double f0 = 38.13547087602444;
        const double q = 0.5003270373238773;
        const double k = std::tan(PI_D * f0 / SYNTH_RATE);
        const double a0 = 1.0 + k / q + k * k;
        highPass->b0 = 1.0;
        highPass->b1 = -2.0;
        highPass->b2 = 1.0;
        highPass->a1 = 2.0 * (k * k - 1.0) / a0;
        highPass->a2 = (1.0 - k / q + k * k) / a0;
    }
}

// Sum of squares of the K-weighted signal over each 100 ms hop from frame
// `from`, both channels together.
std::vector<double> weightedHopEnergy(const float* stereo, int64_t from, int64_t to)
{
    Biquad shelf[2] = {};
    Biquad highPass[2] = {};
    kWeighting(&shelf[0], &highPass[0]);
    kWeighting(&shelf[1], &highPass[1]);
    std::vector<double> hops(static_cast<size_t>((to - from) / HOP_FRAMES), 0.0);
    for (int64_t i = from; i < from + static_cast<int64_t>(hops.size()) * HOP_FRAMES; ++i) {
        double sum = 0.0;
        for (int c = 0; c < 2; ++c) {
            const double y = biquadTick(&highPass[c], biquadTick(&shelf[c], stereo[i * 2 + c]));
            sum += y * y;
        }
        hops[static_cast<size_t>((i - from) / HOP_FRAMES)] += sum;
    }
    return hops;
}

double energyToLufs(double meanSquare) { return meanSquare > 0.0 ? -0.691 + 10.0 * std::log10(meanSquare) : -200.0; }

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

float samplePeak(const float* stereo, int64_t frames)
{
    float peak = 0.0f;
    for (int64_t i = 0; i < frames * 2; ++i) peak = maxOf(peak, std::fabs(stereo[i]));
    return peak;
}

}  // namespace

double measureIntegratedLoudness(const float* stereo, int64_t frames)
{
    const std::vector<double> hops = weightedHopEnergy(stereo, 0, frames);
    std::vector<double> blocks;
    for (size_t h = 0; h + BLOCK_HOPS <= hops.size(); ++h) {
        double sum = 0.0;
        for (int j = 0; j < BLOCK_HOPS; ++j) sum += hops[h + static_cast<size_t>(j)];
        blocks.push_back(sum / static_cast<double>(BLOCK_HOPS * HOP_FRAMES));
    }
    double absoluteSum = 0.0;
    int absoluteCount = 0;
    for (double block : blocks) {
        if (energyToLufs(block) > ABSOLUTE_GATE_LUFS) {
            absoluteSum += block;
            ++absoluteCount;
        }
    }
    if (absoluteCount == 0) return ABSOLUTE_GATE_LUFS;
    const double relativeGate = energyToLufs(absoluteSum / absoluteCount) + RELATIVE_GATE_LU;
    double gatedSum = 0.0;
    int gatedCount = 0;
    for (double block : blocks) {
        const double lufs = energyToLufs(block);
        if (lufs > ABSOLUTE_GATE_LUFS && lufs > relativeGate) {
            gatedSum += block;
            ++gatedCount;
        }
    }
    return gatedCount ? energyToLufs(gatedSum / gatedCount) : ABSOLUTE_GATE_LUFS;
}

double measureBlockLoudness(const float* stereo, int64_t frames, int64_t start)
{
    // The filters settle over the second before the block.
    const int64_t warmUp = SYNTH_RATE;
    const int64_t from = start > warmUp ? start - warmUp : 0;
    const int64_t to = start + BLOCK_HOPS * HOP_FRAMES;
    if (start < 0 || to > frames) return ABSOLUTE_GATE_LUFS;
    const std::vector<double> hops = weightedHopEnergy(stereo, from, to);
    double sum = 0.0;
    int64_t counted = 0;
    for (size_t h = static_cast<size_t>((start - from) / HOP_FRAMES); h < hops.size(); ++h) {
        sum += hops[h];
        counted += HOP_FRAMES;
    }
    return counted ? energyToLufs(sum / static_cast<double>(counted)) : ABSOLUTE_GATE_LUFS;
}

float measureTruePeak(const float* stereo, int64_t frames)
{
    float peak = 0.0f;
    // Only the loudest stretches can hold the true peak.
    for (float p : framePeaks(stereo, frames, samplePeak(stereo, frames) * TRUE_PEAK_SEARCH)) peak = maxOf(peak, p);
    return peak;
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
