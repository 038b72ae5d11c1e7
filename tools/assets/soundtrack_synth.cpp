// The soundtrack's instruments and effects. Each instrument renders one note
// sample by sample into a bus; filters whose cutoff moves are retuned every
// RETUNE_FRAMES frames, which is inaudible and keeps tan() out of the inner loop.
#include "tools/assets/soundtrack_synth.h"

#include <cmath>

namespace {

constexpr float PI = 3.14159265358979f;
constexpr int RETUNE_FRAMES = 16;  // frames between cutoff updates of a moving filter

int64_t secondsToFrames(float seconds) { return static_cast<int64_t>(seconds * SYNTH_RATE); }

float polyBlep(float t, float dt)
{
    if (t < dt) {
        const float x = t / dt;
        return x + x - x * x - 1.0f;
    }
    if (t > 1.0f - dt) {
        const float x = (t - 1.0f) / dt;
        return x * x + x + x + 1.0f;
    }
    return 0.0f;
}

float wrap(float phase) { return phase - std::floor(phase); }

// Band-limited square from two saws half a period apart.
float blepSquare(float phase, float dt) { return blepSaw(phase, dt) - blepSaw(wrap(phase + 0.5f), dt); }

// Equal-power pan: gains of the left and right channel for pan -1 .. 1.
void panGains(float pan, float* left, float* right)
{
    const float angle = (pan + 1.0f) * 0.25f * PI;
    *left = std::cos(angle) * 1.41421356f;
    *right = std::sin(angle) * 1.41421356f;
}

// Soft saturation normalised so that 1 maps to 1.
float saturate(float x, float drive) { return std::tanh(drive * x) / std::tanh(drive); }

}  // namespace

uint32_t synthRandomNext(SynthRandom* random)
{
    uint32_t x = random->state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    random->state = x;
    return x;
}

float synthRandomFloat(SynthRandom* random)
{
    return static_cast<float>(synthRandomNext(random) >> 8) * (2.0f / 16777216.0f) - 1.0f;
}

void busInit(StereoBus* bus, int64_t frames)
{
    bus->samples.assign(static_cast<size_t>(frames) * 2, 0.0f);
    bus->frames = frames;
}

void busFree(StereoBus* bus)
{
    std::vector<float>().swap(bus->samples);
    bus->frames = 0;
}

void svfTune(Svf* filter, float cutoffHz, float q)
{
    const float limited = minOf(maxOf(cutoffHz, 10.0f), 0.45f * SYNTH_RATE);
    const float g = std::tan(PI * limited / SYNTH_RATE);
    filter->k = 1.0f / q;
    filter->a1 = 1.0f / (1.0f + g * (g + filter->k));
    filter->a2 = g * filter->a1;
    filter->a3 = g * filter->a2;
}

SvfOut svfTick(Svf* filter, float x)
{
    const float v3 = x - filter->ic2;
    const float v1 = filter->a1 * filter->ic1 + filter->a2 * v3;
    const float v2 = filter->ic2 + filter->a2 * filter->ic1 + filter->a3 * v3;
    filter->ic1 = 2.0f * v1 - filter->ic1;
    filter->ic2 = 2.0f * v2 - filter->ic2;
    SvfOut out = {};
    out.low = v2;
    out.band = v1;
    out.high = x - filter->k * v1 - v2;
    return out;
}

float midiToHz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

float blepSaw(float phase, float dt) { return 2.0f * phase - 1.0f - polyBlep(phase, dt); }

void synthKick(StereoBus* bus, int64_t frame, float gain, float decaySeconds)
{
    const int64_t length = secondsToFrames(0.45f);
    float phase = 0.0f;
    for (int64_t i = 0; i < length; ++i) {
        const float t = static_cast<float>(i) / SYNTH_RATE;
        // Pitch falls fast from a knock to the body's 48 Hz.
        const float hz = 48.0f + 140.0f * std::exp(-t / 0.028f) + 300.0f * std::exp(-t / 0.003f);
        phase = wrap(phase + hz / SYNTH_RATE);
        const float attack = minOf(1.0f, t / 0.0015f);
        const float body = std::sin(2.0f * PI * phase) * std::exp(-t / decaySeconds) * attack;
        const float release = i > length - 400 ? static_cast<float>(length - i) / 400.0f : 1.0f;
        const float v = saturate(body, 1.8f) * gain * release;
        busAdd(bus, frame + i, v, v);
    }
}

void synthSnare(StereoBus* bus, int64_t frame, float gain, SynthRandom* random)
{
    const int64_t length = secondsToFrames(0.32f);
    Svf bandLeft = {};
    Svf bandRight = {};
    svfTune(&bandLeft, 3200.0f, 0.7f);
    svfTune(&bandRight, 3600.0f, 0.7f);
    for (int64_t i = 0; i < length; ++i) {
        const float t = static_cast<float>(i) / SYNTH_RATE;
        const float tone = 0.55f * std::sin(2.0f * PI * 188.0f * t) * std::exp(-t / 0.045f) +
                           0.25f * std::sin(2.0f * PI * 331.0f * t) * std::exp(-t / 0.03f);
        const float noiseEnvelope = std::exp(-t / 0.09f);
        const float n = synthRandomFloat(random);
        const float left = svfTick(&bandLeft, n).band + 0.3f * n;
        const float right = svfTick(&bandRight, 0.6f * n + 0.4f * synthRandomFloat(random)).band + 0.3f * n;
        const float attack = minOf(1.0f, t / 0.0008f);
        const float fadeTail = i > length - 300 ? static_cast<float>(length - i) / 300.0f : 1.0f;
        const float scale = gain * attack * fadeTail;
        busAdd(bus, frame + i, scale * (tone + 0.9f * noiseEnvelope * left),
               scale * (tone + 0.9f * noiseEnvelope * right));
    }
}

void synthHat(StereoBus* bus, int64_t frame, float gain, float pan, int open, SynthRandom* random)
{
    const float decay = open ? 0.16f : 0.03f;
    const int64_t length = secondsToFrames(open ? 0.5f : 0.12f);
    Svf high = {};
    svfTune(&high, 7500.0f, 0.9f);
    float left = 0.0f;
    float right = 0.0f;
    panGains(pan, &left, &right);
    for (int64_t i = 0; i < length; ++i) {
        const float t = static_cast<float>(i) / SYNTH_RATE;
        const float v = svfTick(&high, synthRandomFloat(random)).high * std::exp(-t / decay) * gain *
                        minOf(1.0f, t / 0.0005f);
        busAdd(bus, frame + i, v * left, v * right);
    }
}

void synthCrash(StereoBus* bus, int64_t frame, float gain, SynthRandom* random)
{
    // Inharmonic square partials give the metal; two noise streams give the width.
    static const float partials[6] = {305.0f, 431.0f, 587.0f, 742.0f, 913.0f, 1171.0f};
    const int64_t length = secondsToFrames(2.6f);
    Svf highLeft = {};
    Svf highRight = {};
    Svf metal = {};
    svfTune(&highLeft, 4200.0f, 0.7f);
    svfTune(&highRight, 4600.0f, 0.7f);
    svfTune(&metal, 3000.0f, 0.7f);
    float phases[6] = {};
    for (int64_t i = 0; i < length; ++i) {
        const float t = static_cast<float>(i) / SYNTH_RATE;
        float ring = 0.0f;
        for (int p = 0; p < 6; ++p) {
            phases[p] = wrap(phases[p] + partials[p] * 1.5f / SYNTH_RATE);
            ring += phases[p] < 0.5f ? 1.0f : -1.0f;
        }
        const float metallic = svfTick(&metal, ring * 0.12f).high;
        const float envelope = 0.75f * std::exp(-t / 0.85f) + 0.5f * std::exp(-t / 0.06f);
        const float fade = i > length - 2000 ? static_cast<float>(length - i) / 2000.0f : 1.0f;
        const float attack = minOf(1.0f, t / 0.001f);
        const float scale = gain * envelope * fade * attack;
        const float left = svfTick(&highLeft, synthRandomFloat(random)).high + metallic;
        const float right = svfTick(&highRight, synthRandomFloat(random)).high + metallic;
        busAdd(bus, frame + i, scale * left, scale * right);
    }
}

void synthBoom(StereoBus* bus, int64_t frame, float gain)
{
    const int64_t length = secondsToFrames(1.2f);
    float phase = 0.0f;
    for (int64_t i = 0; i < length; ++i) {
        const float t = static_cast<float>(i) / SYNTH_RATE;
        const float hz = 38.0f + 90.0f * std::exp(-t / 0.05f);
        phase = wrap(phase + hz / SYNTH_RATE);
        const float fade = i > length - 1000 ? static_cast<float>(length - i) / 1000.0f : 1.0f;
        const float v = saturate(std::sin(2.0f * PI * phase) * std::exp(-t / 0.45f), 2.5f) * gain * fade *
                        minOf(1.0f, t / 0.002f);
        busAdd(bus, frame + i, v, v);
    }
}

void synthRiser(StereoBus* bus, int64_t frame, int64_t length, float gain, SynthRandom* random)
{
    Svf left = {};
    Svf right = {};
    for (int64_t i = 0; i < length; ++i) {
        const float x = static_cast<float>(i) / static_cast<float>(length);
        if (i % RETUNE_FRAMES == 0) {
            const float cutoff = 300.0f * std::pow(30.0f, x);
            svfTune(&left, cutoff, 2.5f);
            svfTune(&right, cutoff * 1.07f, 2.5f);
        }
        const float level = gain * x * x;
        busAdd(bus, frame + i, level * svfTick(&left, synthRandomFloat(random)).band,
               level * svfTick(&right, synthRandomFloat(random)).band);
    }
}

void synthPad(StereoBus* bus, const PadNote& pad, SynthRandom* random)
{
    constexpr int VOICES = 5;  // detuned saws per chord note
    static const float detune[VOICES] = {-0.16f, -0.07f, 0.0f, 0.08f, 0.15f};  // semitones
    static const float pan[VOICES] = {-0.85f, 0.45f, 0.0f, -0.45f, 0.85f};
    constexpr int MAX_NOTES = 6;
    const float attackSeconds = 0.35f;
    const int64_t release = secondsToFrames(0.9f);
    const int count = pad.count < MAX_NOTES ? pad.count : MAX_NOTES;
    float phases[MAX_NOTES][VOICES] = {};
    float steps[MAX_NOTES][VOICES] = {};
    float leftGain[VOICES] = {};
    float rightGain[VOICES] = {};
    for (int v = 0; v < VOICES; ++v) panGains(pan[v], &leftGain[v], &rightGain[v]);
    for (int n = 0; n < count; ++n) {
        for (int v = 0; v < VOICES; ++v) {
            phases[n][v] = 0.5f * (synthRandomFloat(random) + 1.0f);
            steps[n][v] = midiToHz(static_cast<float>(pad.notes[n]) + detune[v]) / SYNTH_RATE;
        }
    }
    const float norm = pad.gain / std::sqrt(static_cast<float>(count * VOICES));
    Svf filterLeft = {};
    Svf filterRight = {};
    const int64_t total = pad.length + release;
    for (int64_t i = 0; i < total; ++i) {
        const float t = static_cast<float>(i) / SYNTH_RATE;
        if (i % RETUNE_FRAMES == 0) {
            const float x = minOf(1.0f, static_cast<float>(i) / static_cast<float>(pad.length));
            const float wobble = 1.0f + 0.18f * std::sin(2.0f * PI * 0.23f * t);
            const float cutoff = pad.cutoffStart * std::pow(pad.cutoffEnd / pad.cutoffStart, x) * wobble;
            svfTune(&filterLeft, cutoff, 1.1f);
            svfTune(&filterRight, cutoff * 1.03f, 1.1f);
        }
        float left = 0.0f;
        float right = 0.0f;
        for (int n = 0; n < count; ++n) {
            for (int v = 0; v < VOICES; ++v) {
                const float s = blepSaw(phases[n][v], steps[n][v]);
                phases[n][v] = wrap(phases[n][v] + steps[n][v]);
                left += s * leftGain[v];
                right += s * rightGain[v];
            }
        }
        float envelope = minOf(1.0f, t / attackSeconds);
        if (i >= pad.length) envelope *= 1.0f - static_cast<float>(i - pad.length) / static_cast<float>(release);
        envelope *= envelope;
        busAdd(bus, pad.frame + i, norm * envelope * svfTick(&filterLeft, left).low,
               norm * envelope * svfTick(&filterRight, right).low);
    }
}

void synthBass(StereoBus* bus, int64_t frame, int64_t length, int note, float gain, float brightness)
{
    const int64_t release = secondsToFrames(0.03f);
    const float hz = midiToHz(static_cast<float>(note));
    const float step = hz / SYNTH_RATE;
    float phase = 0.0f;
    float subPhase = 0.0f;
    Svf filter = {};
    const int64_t total = length + release;
    for (int64_t i = 0; i < total; ++i) {
        const float t = static_cast<float>(i) / SYNTH_RATE;
        if (i % RETUNE_FRAMES == 0)
            svfTune(&filter, hz * (2.0f + brightness * 14.0f * std::exp(-t / 0.07f)), 1.4f);
        const float raw = 0.6f * blepSaw(phase, step) + 0.4f * blepSquare(phase, step);
        phase = wrap(phase + step);
        subPhase = wrap(subPhase + 0.5f * step);
        const float sub = std::sin(2.0f * PI * subPhase);
        float envelope = minOf(1.0f, t / 0.003f);
        if (i >= length) envelope *= 1.0f - static_cast<float>(i - length) / static_cast<float>(release);
        const float v = gain * envelope * saturate(svfTick(&filter, raw).low * 0.8f + 0.7f * sub, 1.5f);
        busAdd(bus, frame + i, v, v);
    }
}

void synthPluck(StereoBus* bus, int64_t frame, int note, float gain, float pan, float brightness)
{
    const int64_t length = secondsToFrames(0.5f);
    const float step = midiToHz(static_cast<float>(note)) / SYNTH_RATE;
    float phase = 0.0f;
    Svf filter = {};
    float left = 0.0f;
    float right = 0.0f;
    panGains(pan, &left, &right);
    for (int64_t i = 0; i < length; ++i) {
        const float t = static_cast<float>(i) / SYNTH_RATE;
        if (i % RETUNE_FRAMES == 0) svfTune(&filter, 350.0f + brightness * 5200.0f * std::exp(-t / 0.05f), 1.8f);
        const float raw = 0.5f * blepSaw(phase, step) + 0.5f * blepSquare(phase, step);
        phase = wrap(phase + step);
        const float fade = i > length - 500 ? static_cast<float>(length - i) / 500.0f : 1.0f;
        const float v = gain * svfTick(&filter, raw).low * std::exp(-t / 0.2f) * fade * minOf(1.0f, t / 0.001f);
        busAdd(bus, frame + i, v * left, v * right);
    }
}

void synthLead(StereoBus* bus, int64_t frame, int64_t length, int note, float gain)
{
    const int64_t release = secondsToFrames(0.12f);
    const float hz = midiToHz(static_cast<float>(note));
    float phaseA = 0.0f;
    float phaseB = 0.37f;
    float phaseC = 0.71f;
    Svf filter = {};
    const int64_t total = length + release;
    for (int64_t i = 0; i < total; ++i) {
        const float t = static_cast<float>(i) / SYNTH_RATE;
        // Vibrato creeps in on held notes.
        const float depth = 0.22f * minOf(1.0f, maxOf(0.0f, (t - 0.2f) / 0.3f));
        const float bend = std::pow(2.0f, depth * std::sin(2.0f * PI * 5.4f * t) / 12.0f);
        const float step = hz * bend / SYNTH_RATE;
        if (i % RETUNE_FRAMES == 0) svfTune(&filter, 1600.0f + 3800.0f * std::exp(-t / 0.14f), 1.6f);
        const float raw = 0.4f * blepSaw(phaseA, step) + 0.35f * blepSaw(phaseB, step * 1.004f) +
                          0.3f * blepSquare(phaseC, step * 0.5f);
        phaseA = wrap(phaseA + step);
        phaseB = wrap(phaseB + step * 1.004f);
        phaseC = wrap(phaseC + step * 0.5f);
        float envelope = minOf(1.0f, t / 0.008f) * (0.8f + 0.2f * std::exp(-t / 0.2f));
        if (i >= length) envelope *= 1.0f - static_cast<float>(i - length) / static_cast<float>(release);
        const float v = gain * envelope * svfTick(&filter, raw).low;
        busAdd(bus, frame + i, v, v);
    }
}

void synthStab(StereoBus* bus, int64_t frame, const int* notes, int count, float gain, float decaySeconds,
               SynthRandom* random)
{
    constexpr int MAX_VOICES = 24;
    const int64_t length = secondsToFrames(decaySeconds * 6.0f);
    float phases[MAX_VOICES] = {};
    float steps[MAX_VOICES] = {};
    float lefts[MAX_VOICES] = {};
    float rights[MAX_VOICES] = {};
    int voices = 0;
    for (int n = 0; n < count; ++n) {
        for (int octave = 0; octave < 2; ++octave) {
            for (int d = -1; d <= 1 && voices < MAX_VOICES; ++d) {
                const float note = static_cast<float>(notes[n] + 12 * octave) + 0.1f * static_cast<float>(d);
                steps[voices] = midiToHz(note) / SYNTH_RATE;
                phases[voices] = 0.5f * (synthRandomFloat(random) + 1.0f);
                panGains(0.6f * static_cast<float>(d), &lefts[voices], &rights[voices]);
                ++voices;
            }
        }
    }
    if (voices == 0) return;
    const float norm = gain / std::sqrt(static_cast<float>(voices));
    Svf filterLeft = {};
    Svf filterRight = {};
    for (int64_t i = 0; i < length; ++i) {
        const float t = static_cast<float>(i) / SYNTH_RATE;
        if (i % RETUNE_FRAMES == 0) {
            const float cutoff = 400.0f + 7000.0f * std::exp(-t / (decaySeconds * 0.8f));
            svfTune(&filterLeft, cutoff, 1.2f);
            svfTune(&filterRight, cutoff, 1.2f);
        }
        float left = 0.0f;
        float right = 0.0f;
        for (int v = 0; v < voices; ++v) {
            const float s = blepSaw(phases[v], steps[v]);
            phases[v] = wrap(phases[v] + steps[v]);
            left += s * lefts[v];
            right += s * rights[v];
        }
        const float fade = i > length - 300 ? static_cast<float>(length - i) / 300.0f : 1.0f;
        const float envelope = norm * std::exp(-t / decaySeconds) * fade * minOf(1.0f, t / 0.001f);
        busAdd(bus, frame + i, envelope * svfTick(&filterLeft, left).low, envelope * svfTick(&filterRight, right).low);
    }
}

void synthReverb(const StereoBus& send, StereoBus* out, float wet)
{
    // Four damped feedback combs into two all-passes per channel; the right
    // channel's delays are a little longer, which decorrelates the sides.
    constexpr int COMBS = 4;
    constexpr int ALLPASSES = 2;
    static const int combLengths[COMBS] = {1557, 1617, 1491, 1422};
    static const int allpassLengths[ALLPASSES] = {556, 441};
    constexpr int STEREO_SPREAD = 23;
    const float feedback = 0.86f;
    const float damping = 0.3f;
    for (int channel = 0; channel < 2; ++channel) {
        std::vector<float> combs[COMBS];
        float combStore[COMBS] = {};
        int combIndex[COMBS] = {};
        std::vector<float> allpasses[ALLPASSES];
        int allpassIndex[ALLPASSES] = {};
        for (int c = 0; c < COMBS; ++c)
            combs[c].assign(static_cast<size_t>(combLengths[c] + channel * STEREO_SPREAD), 0.0f);
        for (int a = 0; a < ALLPASSES; ++a)
            allpasses[a].assign(static_cast<size_t>(allpassLengths[a] + channel * STEREO_SPREAD), 0.0f);
        for (int64_t i = 0; i < send.frames && i < out->frames; ++i) {
            const float input = send.samples[static_cast<size_t>(i) * 2 + channel] * 0.2f;
            float sum = 0.0f;
            for (int c = 0; c < COMBS; ++c) {
                std::vector<float>& line = combs[c];
                const float delayed = line[static_cast<size_t>(combIndex[c])];
                combStore[c] = delayed * (1.0f - damping) + combStore[c] * damping;
                line[static_cast<size_t>(combIndex[c])] = input + combStore[c] * feedback;
                if (++combIndex[c] == static_cast<int>(line.size())) combIndex[c] = 0;
                sum += delayed;
            }
            for (int a = 0; a < ALLPASSES; ++a) {
                std::vector<float>& line = allpasses[a];
                const float delayed = line[static_cast<size_t>(allpassIndex[a])];
                line[static_cast<size_t>(allpassIndex[a])] = sum + delayed * 0.5f;
                sum = delayed - sum;
                if (++allpassIndex[a] == static_cast<int>(line.size())) allpassIndex[a] = 0;
            }
            out->samples[static_cast<size_t>(i) * 2 + channel] += wet * sum;
        }
    }
}

void synthEcho(const StereoBus& send, StereoBus* out, int64_t delayFrames, float feedback, float wet)
{
    // Repeats alternate sides: the left line feeds the right one and back,
    // each repeat a little darker than the one before.
    std::vector<float> left(static_cast<size_t>(delayFrames), 0.0f);
    std::vector<float> right(static_cast<size_t>(delayFrames), 0.0f);
    float toneLeft = 0.0f;
    float toneRight = 0.0f;
    size_t index = 0;
    for (int64_t i = 0; i < send.frames && i < out->frames; ++i) {
        const float mono = 0.5f * (send.samples[static_cast<size_t>(i) * 2] + send.samples[static_cast<size_t>(i) * 2 + 1]);
        const float outLeft = left[index];
        const float outRight = right[index];
        toneLeft += 0.5f * (outLeft - toneLeft);
        toneRight += 0.5f * (outRight - toneRight);
        left[index] = mono + feedback * toneRight;
        right[index] = feedback * toneLeft;
        if (++index == left.size()) index = 0;
        out->samples[static_cast<size_t>(i) * 2] += wet * outLeft;
        out->samples[static_cast<size_t>(i) * 2 + 1] += wet * outRight;
    }
}
