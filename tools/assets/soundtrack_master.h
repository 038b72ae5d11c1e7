// Mastering of the soundtrack: loudness and peak measurement, a look-ahead
// peak limiter and the MP3 encoder settings. All work on interleaved stereo
// floats at 44.1 kHz, full scale 1.0.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/assets/soundtrack_synth.h"

constexpr int MP3_BITRATE_KBPS = 160;  // constant bit rate of the soundtrack
constexpr int MP3_QUALITY = 3;         // LAME's algorithm quality, 0 best .. 9 fastest
// Frames by which encoder and decoder together delay the decoded sound (LAME's
// 576 plus the decoder's 529); the piece is fed in this much early, so that
// decoded frame n is the piece's frame n.
constexpr int MP3_CODEC_DELAY_FRAMES = 1105;

// Integrated loudness of the whole signal in LUFS (EBU R 128, by libebur128);
// -70, the absolute gate, for silence.
double measureIntegratedLoudness(const float* stereo, int64_t frames);
// Momentary loudness (one 400 ms block) starting at the given frame, in LUFS.
double measureBlockLoudness(const float* stereo, int64_t frames, int64_t start);
// True peak of the signal (libebur128: 4x oversampled), linear.
float measureTruePeak(const float* stereo, int64_t frames);
// Lowers the gain around every place whose true peak would exceed ceiling
// (linear), smoothly: 5 ms look-ahead and attack, 80 ms release.
void limitPeaks(float* stereo, int64_t frames, float ceiling);
// How a signal is encoded as MP3 by encodeMp3, the project's one encoder (the
// soundtrack, and the tests' own signals).
struct Mp3Format {
    int channels = 2;                 // 1 or 2 (joint stereo)
    int rate = SYNTH_RATE;            // Hz, in and out
    int kbps = MP3_BITRATE_KBPS;      // constant bit rate
    int quality = MP3_QUALITY;
    int gaplessTag = 0;               // 1: a first frame that records the encoder's delay and padding
};
constexpr Mp3Format SOUNDTRACK_MP3 = {};  // the soundtrack: 160 kbps stereo, no tag frames

// Encodes frames of interleaved samples (-1..1, format.channels per frame);
// 1 on success, 0 with mp3 empty on failure.
int encodeMp3(const float* samples, int64_t frames, const Mp3Format& format, std::vector<unsigned char>* mp3);
