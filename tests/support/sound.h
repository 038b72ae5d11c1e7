// Decoding and measuring sound in the tests: MP3 files through the demo's own
// sound layer on the headless layer's silent device, and the energy and onsets
// of 16-bit stereo at 44.1 kHz.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr int TEST_SOUND_RATE = 44100;  // Hz: the device rate the demo opens, and of every decode here

// Opens the headless layer's silent output device, as the demo does.
void openSilentSound();
// Decodes an MP3 with the demo's sound layer (the device must be open); the
// rate and channel flags come back too. Empty (after a test failure) when no
// stream could be made.
std::vector<int16_t> decodeWithSoundLayer(const std::string& path, uint32_t* frequency, uint32_t* flags);

// The pack's soundtrack (build/data/Halvo.mp3) decoded by the demo's sound
// layer on the silent device, which is closed again; it must be 16-bit stereo
// at the device's rate. Empty (after a test failure) when it cannot be.
std::vector<int16_t> decodePackSoundtrack();

// Whether a read of bytes from byte offset of a stream (one soundStreamGetData
// call; a read past the end gives what is left) is byte for byte the same part
// of whole, the stream's decoded data as one read from its start gave it.
::testing::AssertionResult readMatches(uint32_t stream, uint32_t offset, uint32_t bytes,
                                       const std::vector<int16_t>& whole);

// Sample frame of a time, rounded to the nearest.
int64_t soundFrameAt(double seconds);
// Mean square of both channels over [from, to) seconds of 16-bit stereo.
double soundEnergy(const std::vector<int16_t>& pcm, double from, double to);
double decibels(double meanSquare);
constexpr double ACCENT_ONSET_DB = 12.0;  // an accent: the 50 ms after it this much above the stretch before
// How much louder the 50 ms from t are than the stretch that ends 15 ms before t.
double onsetDb(const std::vector<int16_t>& pcm, double t);
// The time of the sharpest rise in loudness within the given seconds either
// side of t: where the 3 ms from it are loudest against the 10 ms before it.
// Good to about a millisecond on a hit that follows a quieter stretch.
double sharpestOnset(const std::vector<int16_t>& pcm, double t, double within);
