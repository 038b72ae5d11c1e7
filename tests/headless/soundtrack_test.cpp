// The soundtrack generator: its timeline against the demo's scene changes, the instruments and the master's meters and limiter on signals with
// known answers, and the finished Halvo.mp3 as the demo's own sound layer
// decodes it (length, format, alignment with demo time, no accent off the flashes, loudness,
// fade) and as ffmpeg's loudness meter measures it.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/platform.h"
#include "shell/timeline.h"
#include "tests/support/sound.h"
#include "tests/support/support.h"
#include "tools/assets/generator.h"
#include "tools/assets/soundtrack.h"
#include "tools/assets/soundtrack_master.h"
#include "tools/assets/soundtrack_synth.h"

namespace {

constexpr int RATE = TEST_SOUND_RATE;  // Hz

// Beats of the groove with no accent near them: the onset test must stay quiet there.
constexpr float PLAIN_BEATS[] = {14.0f, 20.0f, 30.0f, 31.0f, 60.0f, 64.0f, 66.5f, 80.0f, 100.0f,
                                 101.5f, 128.0f, 134.0f, 155.0f, 165.0f, 170.0f, 178.0f};
constexpr float MIN_LENGTH_SECONDS = 193.0f;

int64_t frameAt(double seconds) { return soundFrameAt(seconds); }
double energy(const std::vector<int16_t>& pcm, double from, double to) { return soundEnergy(pcm, from, to); }

std::vector<float> toFloat(const std::vector<int16_t>& pcm)
{
    std::vector<float> out(pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) out[i] = static_cast<float>(pcm[i]) / 32768.0f;
    return out;
}

// Whether [from, to) seconds touch the stop before the fire scene's short shots,
// where the music halts for its stabs on purpose.
bool inStop(double from, double to)
{
    const std::vector<SoundtrackCue>& cues = soundtrackCues();
    for (size_t i = 0; i + 1 < cues.size(); ++i) {
        const SoundtrackCue& cue = cues[i];
        if (cue.kind != CUE_SECTION || cue.value != SECTION_FIRE_STUTTER) continue;
        float end = cue.time;
        for (size_t j = i + 1; j < cues.size(); ++j) {
            if (cues[j].kind == CUE_SECTION) {
                end = cues[j].time;
                break;
            }
        }
        if (from < end && to > cue.time) return true;
    }
    return false;
}

bool haveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

// Runs a command and returns what it wrote (stdout and stderr together).
std::string runCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
    return output;
}

// The number after the last occurrence of key in text; NAN when there is none.
double numberAfterLast(const std::string& text, const std::string& key)
{
    const size_t at = text.rfind(key);
    if (at == std::string::npos) return NAN;
    return std::strtod(text.c_str() + at + key.size(), nullptr);
}

std::vector<float> sine(double seconds, double hz, double amplitudeDb, double phase = 0.0)
{
    const int64_t frames = frameAt(seconds);
    const double amplitude = std::pow(10.0, amplitudeDb / 20.0);
    std::vector<float> out(static_cast<size_t>(frames) * 2);
    for (int64_t i = 0; i < frames; ++i) {
        const float v = static_cast<float>(amplitude * std::sin(2.0 * M_PI * hz * i / RATE + phase));
        out[static_cast<size_t>(i) * 2] = v;
        out[static_cast<size_t>(i) * 2 + 1] = v;
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// The timeline.

TEST(Soundtrack, TimelineStartsASectionAtEverySceneChange)
{
    const std::vector<SoundtrackCue>& cues = soundtrackCues();
    for (int scene = 1; scene < SCENE_COUNT; ++scene) {
        const float change = sceneStartsAt(scene);
        SCOPED_TRACE(change);
        int found = 0;
        for (const SoundtrackCue& cue : cues)
            if (cue.kind == CUE_SECTION && cue.time == change) ++found;
        EXPECT_EQ(found, 1);
    }
    // The intro is the first section, from demo time 0 to the first change.
    ASSERT_FALSE(cues.empty());
    EXPECT_EQ(cues[0].kind, CUE_SECTION);
    EXPECT_EQ(cues[0].time, 0.0f);
    EXPECT_EQ(cues[0].value, SECTION_INTRO);
    for (const SoundtrackCue& cue : cues)
        if (cue.kind == CUE_SECTION && cue.value == SECTION_INTRO) {
            EXPECT_EQ(cue.time, 0.0f);
        }
}

// That an accent is heard at every flash is the timeline test's to check.
TEST(Soundtrack, TimelineIsInOrderAndEndsOnceBeforeTheDemo)
{
    const std::vector<SoundtrackCue>& cues = soundtrackCues();
    int ends = 0;
    int fades = 0;
    for (size_t i = 0; i < cues.size(); ++i) {
        const SoundtrackCue& cue = cues[i];
        if (i > 0) {
            EXPECT_GE(cue.time, cues[i - 1].time) << "cue " << i;
        }
        if (cue.kind == CUE_SECTION) {
            EXPECT_TRUE(cue.value >= 0 && cue.value < SECTION_COUNT) << "cue " << i;
        }
        if (cue.kind == CUE_ACCENT) {
            EXPECT_TRUE(cue.value >= ACCENT_BIG && cue.value <= ACCENT_STAB) << "cue " << i;
        }
        if (cue.kind == CUE_END) {
            ++ends;
            EXPECT_LE(cue.time, SPHERES_END);  // silent by the time the demo ends
            EXPECT_EQ(i, cues.size() - 1);
        }
        if (cue.kind == CUE_FADE_OUT) ++fades;
    }
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(fades, 1);
    EXPECT_GE(SOUNDTRACK_SECONDS, MIN_LENGTH_SECONDS);
}

// ---------------------------------------------------------------------------
// Instruments and effects.

TEST(SoundtrackSynth, EveryInstrumentSoundsOnlyFromItsFrameAndStaysBounded)
{
    struct Case {
        const char* name;
        float gain;       // the level asked for
        float seconds;    // how long the note may ring at most
        void (*play)(StereoBus* bus, int64_t frame, float gain, SynthRandom* random);
    };
    static const int chord[4] = {57, 60, 64, 69};
    const Case cases[] = {
        {"kick", 0.8f, 0.5f, [](StereoBus* b, int64_t f, float g, SynthRandom*) { synthKick(b, f, g, 0.26f); }},
        {"snare", 0.5f, 0.35f, [](StereoBus* b, int64_t f, float g, SynthRandom* r) { synthSnare(b, f, g, r); }},
        {"closed hat", 0.2f, 0.15f, [](StereoBus* b, int64_t f, float g, SynthRandom* r) { synthHat(b, f, g, 0.5f, 0, r); }},
        {"open hat", 0.2f, 0.55f, [](StereoBus* b, int64_t f, float g, SynthRandom* r) { synthHat(b, f, g, -0.5f, 1, r); }},
        {"crash", 0.4f, 2.7f, [](StereoBus* b, int64_t f, float g, SynthRandom* r) { synthCrash(b, f, g, r); }},
        {"boom", 0.7f, 1.3f, [](StereoBus* b, int64_t f, float g, SynthRandom*) { synthBoom(b, f, g); }},
        {"riser", 0.3f, 1.0f, [](StereoBus* b, int64_t f, float g, SynthRandom* r) { synthRiser(b, f, RATE, g, r); }},
        {"pad", 0.4f, 2.0f,
         [](StereoBus* b, int64_t f, float g, SynthRandom* r) {
             PadNote pad = {};
             pad.frame = f;
             pad.length = RATE;
             pad.notes = chord;
             pad.count = 4;
             pad.gain = g;
             pad.cutoffStart = 300.0f;
             pad.cutoffEnd = 5000.0f;
             synthPad(b, pad, r);
         }},
        {"bass", 0.3f, 0.3f, [](StereoBus* b, int64_t f, float g, SynthRandom*) { synthBass(b, f, RATE / 4, 45, g, 1.0f); }},
        {"pluck", 0.2f, 0.5f, [](StereoBus* b, int64_t f, float g, SynthRandom*) { synthPluck(b, f, 76, g, 0.5f, 1.0f); }},
        {"lead", 0.2f, 0.7f, [](StereoBus* b, int64_t f, float g, SynthRandom*) { synthLead(b, f, RATE / 2, 81, g); }},
        {"stab", 0.5f, 0.7f,
         [](StereoBus* b, int64_t f, float g, SynthRandom* r) { synthStab(b, f, chord, 4, g, 0.1f, r); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StereoBus bus = {};
        busInit(&bus, 4 * RATE);
        SynthRandom random = {1234567u};
        const int64_t start = RATE / 2;
        c.play(&bus, start, c.gain, &random);
        double before = 0.0, during = 0.0, after = 0.0;
        float peak = 0.0f;
        bool finite = true;
        const int64_t end = start + frameAt(c.seconds);
        for (int64_t i = 0; i < bus.frames * 2; ++i) {
            const float v = bus.samples[static_cast<size_t>(i)];
            finite = finite && std::isfinite(v);
            peak = std::max(peak, std::fabs(v));
            const int64_t frame = i / 2;
            (frame < start ? before : frame < end ? during : after) += double(v) * v;
        }
        EXPECT_TRUE(finite);
        EXPECT_EQ(before, 0.0);
        EXPECT_EQ(after, 0.0);
        EXPECT_GT(during / double(end - start), 1e-5);  // audible, not a few stray samples
        EXPECT_LE(peak, 3.0f * c.gain);  // resonant filters overshoot a little, never run away
    }
}

TEST(SoundtrackSynth, NoiseIsTheSameForTheSameSeedAndNeverSticks)
{
    SynthRandom a = {99u};
    SynthRandom b = {99u};
    double sum = 0.0, squares = 0.0;
    for (int i = 0; i < 100000; ++i) {
        const float x = synthRandomFloat(&a);
        ASSERT_EQ(x, synthRandomFloat(&b));
        ASSERT_GE(x, -1.0f);
        ASSERT_LT(x, 1.0f);
        sum += x;
        squares += double(x) * x;
    }
    EXPECT_NEAR(sum / 100000, 0.0, 0.01);
    EXPECT_NEAR(squares / 100000, 1.0 / 3.0, 0.01);  // uniform over -1 .. 1
    EXPECT_NE(a.state, 0u);
}

TEST(SoundtrackSynth, EchoRepeatsAlternateSidesAndFade)
{
    const int64_t delay = 1000;
    StereoBus send = {};
    StereoBus out = {};
    busInit(&send, 10000);
    busInit(&out, 10000);
    busAdd(&send, 100, 1.0f, 1.0f);
    synthEcho(send, &out, delay, 0.5f, 1.0f);
    auto energyAround = [&](int64_t frame, int channel) {
        double sum = 0.0;
        for (int64_t i = frame - 10; i < frame + 10; ++i) sum += std::fabs(out.samples[static_cast<size_t>(i) * 2 + channel]);
        return sum;
    };
    EXPECT_EQ(energyAround(100, 0) + energyAround(100, 1), 0.0);  // nothing dry
    EXPECT_GT(energyAround(100 + delay, 0), 0.5);                 // first repeat on the left
    EXPECT_EQ(energyAround(100 + delay, 1), 0.0);
    EXPECT_GT(energyAround(100 + 2 * delay, 1), 0.1);  // second on the right
    EXPECT_EQ(energyAround(100 + 2 * delay, 0), 0.0);
    EXPECT_LT(energyAround(100 + 3 * delay, 0), energyAround(100 + delay, 0));  // and quieter
}

TEST(SoundtrackSynth, ReverbTailDecaysAndStaysFinite)
{
    StereoBus send = {};
    StereoBus out = {};
    busInit(&send, 8 * RATE);
    busInit(&out, 8 * RATE);
    for (int i = 0; i < 100; ++i) busAdd(&send, 1000 + i, 0.5f, -0.5f);
    synthReverb(send, &out, 1.0f);
    auto level = [&](double from, double to) {
        double sum = 0.0;
        for (int64_t i = frameAt(from) * 2; i < frameAt(to) * 2; ++i) {
            const float v = out.samples[static_cast<size_t>(i)];
            if (!std::isfinite(v)) return 1e9;
            sum += double(v) * v;
        }
        return sum;
    };
    const double first = level(0.0, 0.5);
    EXPECT_GT(first, 0.0);
    EXPECT_LT(level(0.5, 1.0), first);
    EXPECT_LT(level(6.0, 8.0), first * 1e-6);  // 60 dB down well within six seconds
}

// ---------------------------------------------------------------------------
// Meters and limiter.

// The meters are libebur128's; what is ours is how they are called: the
// whole stretch or one 400 ms block from a frame, silence reading as the
// absolute gate, and the peak over both channels. A 1 kHz sine at -20 dBFS
// reads -20 LUFS (the standard's calibration) and, off its samples, -20 dBTP.
TEST(SoundtrackMaster, MetersReadTheirCalibrationToneAndSilence)
{
    const std::vector<float> tone = sine(3.0, 1000.0, -20.0, 0.3);
    const int64_t frames = static_cast<int64_t>(tone.size() / 2);
    EXPECT_NEAR(measureIntegratedLoudness(tone.data(), frames), -20.0, 0.1);
    EXPECT_NEAR(measureBlockLoudness(tone.data(), frames, RATE), -20.0, 0.1);
    EXPECT_NEAR(20.0 * std::log10(measureTruePeak(tone.data(), frames)), -20.0, 0.25);
    std::vector<float> quietThenTone(static_cast<size_t>(RATE) * 4, 0.0f);
    quietThenTone.insert(quietThenTone.end(), tone.begin(), tone.end());
    EXPECT_EQ(measureIntegratedLoudness(quietThenTone.data(), RATE * 2), -70.0);
    EXPECT_NEAR(measureIntegratedLoudness(quietThenTone.data(), RATE * 2 + frames), -20.0, 0.3)
        << "silence is gated out (counted, the whole would read 2.2 LU lower)";
}

TEST(SoundtrackMaster, LimiterHoldsTheCeilingAndLeavesTheRestAlone)
{
    // A quiet tone with a burst far above the ceiling in the middle.
    std::vector<float> signal = sine(3.0, 440.0, -12.0);
    for (int64_t i = frameAt(1.0); i < frameAt(1.05); ++i) {
        signal[static_cast<size_t>(i) * 2] *= 6.0f;
        signal[static_cast<size_t>(i) * 2 + 1] *= 6.0f;
    }
    const std::vector<float> original = signal;
    const float ceiling = std::pow(10.0f, -2.0f / 20.0f);
    limitPeaks(signal.data(), 3 * RATE, ceiling);
    EXPECT_LE(measureTruePeak(signal.data(), 3 * RATE), ceiling * 1.001f);
    double untouched = 0.0;
    for (int64_t i = 0; i < 3 * RATE; ++i) {
        if (i >= frameAt(0.99) && i < frameAt(2.5)) continue;  // the burst, the attack and the release
        untouched = std::max(untouched, double(std::fabs(signal[static_cast<size_t>(i) * 2] - original[static_cast<size_t>(i) * 2])));
    }
    EXPECT_LT(untouched, 1e-6);
    // The gain moves smoothly: no step between neighbouring frames.
    double step = 0.0;
    double previous = 1.0;
    for (int64_t i = frameAt(0.9); i < frameAt(1.6); ++i) {
        const float in = original[static_cast<size_t>(i) * 2];
        if (std::fabs(in) < 0.1f) continue;
        const double gain = signal[static_cast<size_t>(i) * 2] / in;
        step = std::max(step, std::fabs(gain - previous));
        previous = gain;
    }
    EXPECT_LT(step, 0.02);
}

TEST(SoundtrackMaster, EncodedSoundLinesUpWithTheInputAfterTheCodecDelay)
{
    // A short tone burst at a known frame, fed to the encoder the codec's delay
    // early as the soundtrack is; the demo's decoder must put it back there.
    const int64_t frames = 3 * RATE;
    const int64_t burst = 60000;
    std::vector<float> signal(static_cast<size_t>(frames) * 2, 0.0f);
    for (int64_t i = -300; i <= 300; ++i) {
        const double window = 0.5 + 0.5 * std::cos(M_PI * i / 300.0);
        const float v = static_cast<float>(0.5 * window * std::sin(2.0 * M_PI * 1500.0 * i / RATE));
        signal[static_cast<size_t>(burst + i) * 2] = v;
        signal[static_cast<size_t>(burst + i) * 2 + 1] = v;
    }
    std::vector<unsigned char> mp3;
    ASSERT_EQ(encodeMp3(signal.data() + MP3_CODEC_DELAY_FRAMES * 2, frames - MP3_CODEC_DELAY_FRAMES, SOUNDTRACK_MP3, &mp3), 1);
    EXPECT_EQ(mp3[0], 0xFF);  // starts with an MPEG frame, no tag
    TempDir dir;
    const std::string path = dir.write("burst.mp3", mp3);
    openSilentSound();
    uint32_t frequency = 0, flags = 0;
    const std::vector<int16_t> pcm = decodeWithSoundLayer(path, &frequency, &flags);
    soundFree();
    ASSERT_GE(pcm.size() / 2, size_t(burst + 2000));
    double weighted = 0.0, total = 0.0;
    for (int64_t i = burst - 5000; i < burst + 5000; ++i) {
        const double e = double(pcm[static_cast<size_t>(i) * 2]) * pcm[static_cast<size_t>(i) * 2];
        weighted += e * static_cast<double>(i);
        total += e;
    }
    ASSERT_GT(total, 0.0);
    EXPECT_NEAR(weighted / total, static_cast<double>(burst), 20.0);  // within half a millisecond
}

// ---------------------------------------------------------------------------
// The finished soundtrack.

// Accents at the flashes are the timeline test's; here: none between them.
TEST(Soundtrack, DecodesThroughTheSoundLayerWithNoAccentOnAPlainBeat)
{
    ASSERT_TRUE(packIsThere());
    const std::vector<int16_t> pcm = decodePackSoundtrack();
    ASSERT_GE(pcm.size() / 2, size_t(MIN_LENGTH_SECONDS * RATE));

    for (float beat : PLAIN_BEATS) EXPECT_LT(onsetDb(pcm, beat), ACCENT_ONSET_DB) << "accent-like onset at " << beat << " s";

    // Sound all the way to the fade: no 50 ms stretch below -50 dBFS for as
    // long as a second; silence once the demo has ended.
    double quiet = 0.0, longestQuiet = 0.0;
    for (double t = 0.0; t < 189.0; t += 0.05) {
        quiet = decibels(energy(pcm, t, t + 0.05)) < -50.0 ? quiet + 0.05 : 0.0;
        longestQuiet = std::max(longestQuiet, quiet);
    }
    EXPECT_LT(longestQuiet, 1.0);
    EXPECT_LT(decibels(energy(pcm, SPHERES_END, MIN_LENGTH_SECONDS)), -80.0);

    // A quiet intro, then a steady level to the fade, which ends in near silence.
    const std::vector<float> samples = toFloat(pcm);
    const int64_t frames = static_cast<int64_t>(samples.size() / 2);
    double intro = -100.0;
    for (double t = 1.0; t < 11.0; t += 1.0)
        intro = std::max(intro, measureBlockLoudness(samples.data(), frames, frameAt(t)));
    const double integrated = measureIntegratedLoudness(samples.data(), frames);
    EXPECT_LT(intro, integrated - 3.0);
    for (double t = 12.0; t < 186.0; t += 0.5) {
        if (inStop(t, t + 0.4)) continue;
        const double block = measureBlockLoudness(samples.data(), frames, frameAt(t));
        EXPECT_NEAR(block, integrated, 6.0) << "at " << t << " s";
    }
    EXPECT_LT(measureBlockLoudness(samples.data(), frames, frameAt(191.5)), integrated - 30.0);
}

// Rendered again, the soundtrack is the very bytes of the one in the pack.
TEST(Soundtrack, IsTheSameBytesOnEveryRun)
{
    ASSERT_TRUE(packIsThere());
    TempDir again;
    ASSERT_EQ(writeSoundtrack(again.path()), 1);
    const std::vector<unsigned char> a = readBinaryFile(packDir() + "/Halvo.mp3");
    const std::vector<unsigned char> b = readBinaryFile(again.file("Halvo.mp3"));
    ASSERT_FALSE(a.empty());
    EXPECT_TRUE(a == b);
    // Constant 160 kbps over the whole length.
    EXPECT_NEAR(static_cast<double>(a.size()), SOUNDTRACK_SECONDS * MP3_BITRATE_KBPS * 1000.0 / 8.0, 4000.0);
}

TEST(Soundtrack, MeetsItsLoudnessTargetByTheLibraryMeterAndFfmpegs)
{
    ASSERT_TRUE(haveFfmpeg()) << "ffmpeg (installed with the test dependencies) is not on the PATH";
    ASSERT_TRUE(packIsThere());
    const std::string soundtrack = packDir() + "/Halvo.mp3";
    const std::string report =
        runCommand("ffmpeg -nostats -hide_banner -i '" + soundtrack + "' -af ebur128=peak=true -f null -");
    const double integrated = numberAfterLast(report, "I:");
    const double truePeak = numberAfterLast(report, "Peak:");
    ASSERT_FALSE(std::isnan(integrated)) << report;
    ASSERT_FALSE(std::isnan(truePeak)) << report;
    EXPECT_GE(integrated, -16.0);
    EXPECT_LE(integrated, -12.0);
    EXPECT_LT(truePeak, -1.0);
    // The meter the master steers by (libebur128) agrees with ffmpeg's on the
    // decode, and by it the pack's soundtrack meets the master's target (the
    // MP3 reads a little below the master it was encoded from) and ceiling.
    const std::vector<float> samples = toFloat(decodePackSoundtrack());
    const int64_t frames = static_cast<int64_t>(samples.size() / 2);
    const double ours = measureIntegratedLoudness(samples.data(), frames);
    EXPECT_NEAR(ours, integrated, 0.3);
    EXPECT_NEAR(ours, SOUNDTRACK_TARGET_LUFS, 0.7);
    EXPECT_LT(20.0 * std::log10(measureTruePeak(samples.data(), frames)), SOUNDTRACK_CEILING_DBTP + 1.0);
}
