// Sound synthesis building blocks for the soundtrack: a seeded noise source,
// stereo mix buses, a state-variable filter, the instruments (drums, bass, pad,
// pluck, lead, stab, riser) and two effects (reverb, ping-pong echo). Every
// instrument adds one note into a bus at a given frame, so a piece is the sum
// of its notes and the same notes give the same samples on every run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int SYNTH_RATE = 44100;  // sample frames per second

// Plain comparisons for the sound code's inner loops: unlike fmin and fmax
// they compile to single instructions.
inline float minOf(float a, float b) { return a < b ? a : b; }
inline float maxOf(float a, float b) { return a > b ? a : b; }

// xorshift32 noise source; the state must start non-zero.
struct SynthRandom {
    uint32_t state;
};
uint32_t synthRandomNext(SynthRandom* random);
float synthRandomFloat(SynthRandom* random);  // uniform in -1 .. 1

// Interleaved stereo floats (left, right), full scale 1.0.
struct StereoBus {
    std::vector<float> samples;  // 2 x frames values
    int64_t frames;              // length in sample frames
};
void busInit(StereoBus* bus, int64_t frames);
void busFree(StereoBus* bus);  // releases the memory; the bus is empty after
// Adds one stereo frame; frames outside the bus are dropped.
inline void busAdd(StereoBus* bus, int64_t frame, float left, float right)
{
    if (frame < 0 || frame >= bus->frames) return;
    bus->samples[static_cast<size_t>(frame) * 2] += left;
    bus->samples[static_cast<size_t>(frame) * 2 + 1] += right;
}

// Trapezoidal state-variable filter (low, band and high pass from one state).
struct Svf {
    float ic1;  // integrator states
    float ic2;
    float a1;  // coefficients set by svfTune
    float a2;
    float a3;
    float k;  // 1 / Q
};
struct SvfOut {
    float low;
    float band;
    float high;
};
void svfTune(Svf* filter, float cutoffHz, float q);
SvfOut svfTick(Svf* filter, float x);

float midiToHz(float note);
// Band-limited sawtooth (-1 .. 1) at phase 0 .. 1 advancing dt per sample.
float blepSaw(float phase, float dt);

// Drums and effects hits. gain is the peak level, pan -1 (left) .. 1 (right).
// decaySeconds: time constant of the body (0.26 for the groove's kick).
void synthKick(StereoBus* bus, int64_t frame, float gain, float decaySeconds);
void synthSnare(StereoBus* bus, int64_t frame, float gain, SynthRandom* random);
void synthHat(StereoBus* bus, int64_t frame, float gain, float pan, int open, SynthRandom* random);
void synthCrash(StereoBus* bus, int64_t frame, float gain, SynthRandom* random);
void synthBoom(StereoBus* bus, int64_t frame, float gain);
// Noise sweeping upwards through a band-pass over length frames, growing louder.
void synthRiser(StereoBus* bus, int64_t frame, int64_t length, float gain, SynthRandom* random);

// A held chord of detuned saws through a low-pass whose cutoff glides from
// cutoffStart to cutoffEnd (Hz) over the note; it releases after length frames.
struct PadNote {
    int64_t frame;      // start
    int64_t length;     // held frames, before the release
    const int* notes;   // MIDI notes of the chord
    int count;          // number of notes
    float gain;         // level of the whole chord
    float cutoffStart;  // Hz
    float cutoffEnd;    // Hz
};
void synthPad(StereoBus* bus, const PadNote& pad, SynthRandom* random);
void synthBass(StereoBus* bus, int64_t frame, int64_t length, int note, float gain, float brightness);
void synthPluck(StereoBus* bus, int64_t frame, int note, float gain, float pan, float brightness);
void synthLead(StereoBus* bus, int64_t frame, int64_t length, int note, float gain);
// A short bright chord hit that decays with time constant decaySeconds.
void synthStab(StereoBus* bus, int64_t frame, const int* notes, int count, float gain, float decaySeconds,
               SynthRandom* random);

// Adds a reverb of send into out, scaled by wet.
void synthReverb(const StereoBus& send, StereoBus* out, float wet);
// Adds a ping-pong echo of send into out: delayFrames between repeats.
void synthEcho(const StereoBus& send, StereoBus* out, int64_t delayFrames, float feedback, float wet);
