// Test MP3 files, made by the tests themselves with the LAME encoder: signals,
// encoding to MP3 bytes (with the encoder's length tag, so a gapless decoder
// gives back exactly the frames that went in) and writing them to disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A rising sweep, interleaved 16-bit: each channel sweeps from startHz to endHz
// over the whole signal, the second channel a fifth higher and out of phase, so
// no stretch of it repeats and no sample near the start is silent.
std::vector<int16_t> makeSweep(int frames, int channels, int rate, double startHz = 200.0, double endHz = 4000.0,
                               double amplitude = 12000.0);

// Encodes interleaved 16-bit samples (1 or 2 channels) as a constant-bitrate
// MP3 at the given rate with the generator's encoder, with the tag that makes
// a gapless decode give back exactly the frames that went in. Empty on failure.
std::vector<unsigned char> encodeSignal(const std::vector<int16_t>& samples, int channels, int rate, int kbps = 128);

// Encodes a sweep of frames sample frames and writes it to path; returns the
// signal that went in (empty when encoding or writing failed).
std::vector<int16_t> writeSweepMp3(const std::string& path, int frames, int channels, int rate, int kbps = 128);
