// The soundtrack: the timeline of the piece, its arrangements, chords and
// melodies, the sequencer that turns them into notes, and the mix and master.
//
// The sequencer walks the sixteenth-note grid of 120 bpm (0.125 s steps, a bar
// of 16 steps every 2 s from demo time 0). At each step the section in force
// decides which instruments play and its chord progression decides the notes.
// Sections start at the exact times of the timeline, even between two steps;
// accents are rendered at their exact times, off the grid where the picture
// asks for it.
#include "tools/assets/soundtrack.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "shell/timeline.h"
#include "tools/assets/generator.h"
#include "tools/assets/soundtrack_master.h"
#include "tools/assets/soundtrack_synth.h"

namespace {

// ---------------------------------------------------------------------------
// Musical material.

constexpr float STEP_SECONDS = 60.0f / SOUNDTRACK_BPM / 4.0f;  // one sixteenth note
constexpr int STEPS_PER_BAR = 16;
constexpr float BAR_SECONDS = STEP_SECONDS * STEPS_PER_BAR;
constexpr uint32_t NOISE_SEED = 0x48616c76u;  // fixed: the same noise on every run

constexpr int CHORD_NOTES = 4;
struct Chord {
    int bass;                // MIDI note of the bass
    int pad[CHORD_NOTES];    // MIDI notes of the pad voicing, also the stab and arpeggio notes
};
enum { CHORD_AM, CHORD_F, CHORD_C, CHORD_G, CHORD_DM, CHORD_E, CHORD_EM, CHORD_COUNT };
constexpr Chord chords[CHORD_COUNT] = {
    {33, {57, 60, 64, 69}},  // A minor
    {29, {57, 60, 65, 69}},  // F major
    {36, {55, 60, 64, 67}},  // C major
    {31, {55, 59, 62, 67}},  // G major
    {38, {57, 62, 65, 69}},  // D minor
    {28, {56, 59, 64, 68}},  // E major, the dominant of A minor
    {40, {55, 59, 64, 67}},  // E minor
};

constexpr int PROGRESSION_BARS = 4;  // one chord per bar
enum { PROGRESSION_A, PROGRESSION_B, PROGRESSION_C, PROGRESSION_D, PROGRESSION_COUNT };
constexpr int progressions[PROGRESSION_COUNT][PROGRESSION_BARS] = {
    {CHORD_AM, CHORD_F, CHORD_C, CHORD_G},   // the main theme
    {CHORD_F, CHORD_G, CHORD_EM, CHORD_AM},  // the greetings' lift
    {CHORD_DM, CHORD_AM, CHORD_F, CHORD_E},  // the tower's darker turn
    {CHORD_AM, CHORD_F, CHORD_DM, CHORD_E},  // the close
};

// Melodies, one token per sixteenth: a note name starts a note, "-" holds it,
// "." rests. Each bar lines up with the bar of the section's progression.
enum { MELODY_NONE = -1, MELODY_THEME, MELODY_TOWER, MELODY_GREETINGS, MELODY_COUNT };
const char* const melodies[MELODY_COUNT] = {
    // Over A minor, F, C, G; the second half answers an octave up.
    "E5 - - - A5 - - - G5 - E5 - D5 - C5 -  C5 - - - A4 - C5 - F5 - - - E5 - C5 - "
    "E5 - - - G5 - - - E5 - C5 - D5 - E5 -  D5 - - - B4 - - - G4 - - - . . . . "
    "A5 - - - G5 - E5 - A5 - - - B5 - C6 -  C6 - - - A5 - - - F5 - A5 - C6 - A5 - "
    "G5 - - - E5 - G5 - C6 - - - B5 - G5 -  B5 - - - - - - - D6 - - - B5 - G5 -",
    // Over D minor, A minor, F, E.
    "D5 - - - F5 - A5 - - - G5 - F5 - E5 -  E5 - - - C5 - - - A4 - C5 - E5 - - - "
    "F5 - - - A5 - C6 - - - A5 - F5 - A5 -  G#5 - - - - - - - B5 - - - G#5 - E5 - "
    "A5 - - - F5 - D5 - - - E5 - F5 - A5 -  C6 - - - B5 - A5 - - - E5 - - - C5 - "
    "F5 - - - A5 - C6 - - - D6 - C6 - A5 -  B5 - - - - - - - G#5 - - - E5 - - -",
    // Over F, G, E minor, A minor.
    "A5 - - - C6 - - - A5 - G5 - F5 - - -  G5 - - - B5 - - - D6 - - - B5 - G5 - "
    "G5 - - - E5 - - - B4 - E5 - G5 - B5 -  A5 - - - - - - - E5 - - - C6 - B5 - "
    "C6 - A5 - F5 - A5 - C6 - - - D6 - C6 -  B5 - - - G5 - - - D6 - - - B5 - - - "
    "E6 - - - B5 - - - G5 - B5 - E6 - D6 -  C6 - - - - - - - B5 - - - A5 - - -",
};

// Step patterns, one character per sixteenth: "." nothing, "1" .. "9" a hit
// at that ninth of full velocity.
enum { KICK_NONE, KICK_FOUR, KICK_HALF, KICK_BROKEN, KICK_COUNT };
const char* const kickPatterns[KICK_COUNT] = {
    "................", "9...9...9...9...", "9.........8.....", "9.....7...9.....",
};
enum { SNARE_NONE, SNARE_BACKBEAT, SNARE_HALF, SNARE_BUILD, SNARE_COUNT };
const char* const snarePatterns[SNARE_COUNT] = {
    "................", "....9.......9...", "........9.......", "................",  // the build is a roll
};
enum { HATS_NONE, HATS_OFFBEAT, HATS_SIXTEENTH, HATS_COUNT };
const char* const closedHatPatterns[HATS_COUNT] = {"................", "................", "5.3.5.3.5.3.5.3."};
const char* const openHatPatterns[HATS_COUNT] = {"................", "..7...7...7...7.", "..6...6...6...6."};
enum { BASS_NONE, BASS_DRONE, BASS_OFFBEAT, BASS_ROLLING, BASS_PULSE, BASS_COUNT };
const char* const bassPatterns[BASS_COUNT] = {
    "................", "................", "..9...9...9...9.", ".979.979.979.979", "9.7.9.7.9.7.9.7.",
};
const int bassLengths[BASS_COUNT] = {0, 0, 2, 1, 2};  // steps each bass note is held
enum { ARP_NONE, ARP_EIGHTHS, ARP_SIXTEENTHS, ARP_COUNT };
const char* const arpPatterns[ARP_COUNT] = {"................", "9.6.8.6.9.6.8.6.", "9575957595759575"};
// Chord tone (index into the pad voicing, +4 = an octave up) of each arpeggio step.
constexpr int arpTones[STEPS_PER_BAR] = {0, 1, 2, 4, 3, 2, 1, 2, 0, 2, 3, 5, 4, 3, 2, 1};

struct Arrangement {
    int progression;       // PROGRESSION_*
    int kick;              // KICK_*
    int snare;             // SNARE_*
    int hats;              // HATS_*
    int bass;              // BASS_*
    int arp;               // ARP_*
    int melody;            // MELODY_*
    int muted;             // 1: the mix stops, only the accents sound
    float padGain;         // level of the pad; 0: no pad
    float padCutoffStart;  // pad low-pass at the section's start, Hz
    float padCutoffEnd;    // and at its end
    float arpBrightness;   // 0 .. 1, opening of the arpeggio's filter
    float riserGain;       // noise riser over the whole section; 0: none
};

// clang-format off
const Arrangement arrangements[SECTION_COUNT] = {
    // progression   kick         snare           hats            bass          arp             melody            mute pad   cutoff          arp   riser
    {PROGRESSION_A, KICK_NONE,   SNARE_NONE,     HATS_NONE,      BASS_DRONE,   ARP_EIGHTHS,    MELODY_NONE,      0, 0.22f, 220.f, 2400.f,  0.15f, 0.10f},  // intro
    {PROGRESSION_A, KICK_FOUR,   SNARE_NONE,     HATS_OFFBEAT,   BASS_OFFBEAT, ARP_NONE,       MELODY_NONE,      0, 0.40f, 1200.f, 2000.f, 0.0f,  0.0f},   // fire groove
    {PROGRESSION_A, KICK_FOUR,   SNARE_BACKBEAT, HATS_SIXTEENTH, BASS_OFFBEAT, ARP_NONE,       MELODY_THEME,     0, 0.36f, 1600.f, 2600.f, 0.0f,  0.0f},   // fire lead
    {PROGRESSION_A, KICK_FOUR,   SNARE_BUILD,    HATS_SIXTEENTH, BASS_ROLLING, ARP_SIXTEENTHS, MELODY_NONE,      0, 0.36f, 1500.f, 6000.f, 0.3f,  0.22f},  // fire build
    {PROGRESSION_A, KICK_NONE,   SNARE_NONE,     HATS_NONE,      BASS_NONE,    ARP_NONE,       MELODY_NONE,      1, 0.0f,  1000.f, 1000.f, 0.0f,  0.0f},   // fire stutter
    {PROGRESSION_A, KICK_FOUR,   SNARE_BACKBEAT, HATS_SIXTEENTH, BASS_ROLLING, ARP_SIXTEENTHS, MELODY_THEME,     0, 0.36f, 3500.f, 3500.f, 0.8f,  0.0f},   // fire drop
    {PROGRESSION_A, KICK_NONE,   SNARE_NONE,     HATS_NONE,      BASS_DRONE,   ARP_NONE,       MELODY_NONE,      0, 0.50f, 3000.f, 500.f,  0.0f,  0.18f},  // fire outro
    {PROGRESSION_C, KICK_NONE,   SNARE_NONE,     HATS_NONE,      BASS_DRONE,   ARP_SIXTEENTHS, MELODY_NONE,      0, 0.50f, 400.f, 1600.f,  0.1f,  0.0f},   // tower intro
    {PROGRESSION_C, KICK_BROKEN, SNARE_NONE,     HATS_OFFBEAT,   BASS_OFFBEAT, ARP_SIXTEENTHS, MELODY_NONE,      0, 0.40f, 1400.f, 1900.f, 0.4f,  0.0f},   // tower trail
    {PROGRESSION_C, KICK_FOUR,   SNARE_BACKBEAT, HATS_SIXTEENTH, BASS_ROLLING, ARP_SIXTEENTHS, MELODY_NONE,      0, 0.36f, 1600.f, 2800.f, 0.5f,  0.0f},   // tower groove
    {PROGRESSION_A, KICK_FOUR,   SNARE_BACKBEAT, HATS_SIXTEENTH, BASS_OFFBEAT, ARP_EIGHTHS,    MELODY_THEME,     0, 0.36f, 2600.f, 3600.f, 0.6f,  0.0f},   // tower lead
    {PROGRESSION_C, KICK_FOUR,   SNARE_BACKBEAT, HATS_SIXTEENTH, BASS_ROLLING, ARP_SIXTEENTHS, MELODY_TOWER,     0, 0.34f, 3000.f, 4200.f, 0.9f,  0.0f},   // tower peak
    {PROGRESSION_C, KICK_NONE,   SNARE_BUILD,    HATS_NONE,      BASS_DRONE,   ARP_EIGHTHS,    MELODY_NONE,      0, 0.48f, 700.f, 4500.f,  0.3f,  0.24f},  // tower break
    {PROGRESSION_A, KICK_HALF,   SNARE_HALF,     HATS_OFFBEAT,   BASS_PULSE,   ARP_NONE,       MELODY_NONE,      0, 0.44f, 1200.f, 2200.f, 0.0f,  0.0f},   // fly intro
    {PROGRESSION_A, KICK_FOUR,   SNARE_BACKBEAT, HATS_SIXTEENTH, BASS_OFFBEAT, ARP_SIXTEENTHS, MELODY_NONE,      0, 0.38f, 2000.f, 3000.f, 0.5f,  0.0f},   // fly groove
    {PROGRESSION_A, KICK_FOUR,   SNARE_BACKBEAT, HATS_SIXTEENTH, BASS_ROLLING, ARP_SIXTEENTHS, MELODY_NONE,      0, 0.36f, 2500.f, 4000.f, 0.8f,  0.0f},   // fly hits
    {PROGRESSION_A, KICK_FOUR,   SNARE_BACKBEAT, HATS_SIXTEENTH, BASS_OFFBEAT, ARP_EIGHTHS,    MELODY_THEME,     0, 0.36f, 3000.f, 3000.f, 0.6f,  0.0f},   // fly lead
    {PROGRESSION_B, KICK_FOUR,   SNARE_BACKBEAT, HATS_SIXTEENTH, BASS_ROLLING, ARP_SIXTEENTHS, MELODY_GREETINGS, 0, 0.36f, 3500.f, 3500.f, 1.0f,  0.0f},   // greetings
    {PROGRESSION_D, KICK_FOUR,   SNARE_NONE,     HATS_OFFBEAT,   BASS_OFFBEAT, ARP_EIGHTHS,    MELODY_NONE,      0, 0.46f, 2600.f, 700.f,  0.4f,  0.0f},   // spheres
};
// clang-format on

// Levels of the instruments before mastering (peak, linear).
constexpr float KICK_GAIN = 0.85f;
constexpr float KICK_DECAY_SECONDS = 0.26f;
constexpr float SNARE_GAIN = 0.42f;
constexpr float CLOSED_HAT_GAIN = 0.12f;
constexpr float OPEN_HAT_GAIN = 0.14f;
constexpr float BASS_GAIN = 0.30f;
constexpr float ARP_GAIN = 0.16f;
constexpr float LEAD_GAIN = 0.32f;
constexpr float CRASH_GAIN = 0.38f;
constexpr float BOOM_GAIN = 0.75f;
constexpr float STAB_GAIN = 0.50f;
constexpr float LEAD_ECHO_SEND = 0.35f;   // share of the lead sent to the echo
constexpr float REVERB_SEND = 0.5f;       // share of pads, arpeggio and lead sent to the reverb
constexpr float REVERB_WET = 0.7f;
constexpr float ECHO_FEEDBACK = 0.38f;
constexpr float ECHO_WET = 0.6f;
constexpr float ECHO_STEPS = 3.0f;        // echo repeats every dotted eighth

// Sidechain pumping: the music ducks under each kick and recovers.
constexpr float PUMP_DEPTH = 0.55f;
constexpr float PUMP_RECOVERY_SECONDS = 0.3f;
constexpr float PUMP_ATTACK_SECONDS = 0.004f;
// Gap in the mix before an accent, so that the hit stands out.
constexpr float ACCENT_GAP_SECONDS = 0.075f;
constexpr float ACCENT_GAP_LEVEL = 0.12f;
constexpr float GATE_RAMP_SECONDS = 0.006f;

// ---------------------------------------------------------------------------
// The piece's cues, placed on the demo's timeline (shell/timeline.h): every
// scene change starts a section, every flash has its accent, the sections
// inside the scenes start at their cuts, and the music fades out with the
// last scene. Nothing here repeats a time of the picture; retiming a cut there
// moves its cue here.

constexpr float BEAT_SECONDS = 60.0f / SOUNDTRACK_BPM;  // one quarter note
constexpr int TOWER_BREAK_BARS = 3;   // the tower's breakdown: about this many bars before the fly-through
constexpr int FADE_OUT_BARS = 3;      // the music fades over the last bars of the demo

// The first beat (of the 120 bpm grid from demo time 0) at or after a time.
float beatAtOrAfter(float seconds) { return std::ceil(seconds / BEAT_SECONDS) * BEAT_SECONDS; }
// The bar line at or before a time.
float barAtOrBefore(float seconds) { return std::floor(seconds / BAR_SECONDS) * BAR_SECONDS; }

struct SectionStart {
    float time;   // demo seconds
    int section;  // SoundtrackSection
};
// The arrangement follows the picture: each row starts a section at a moment
// of the timeline.
const SectionStart SECTION_STARTS[] = {
    {0.0f, SECTION_INTRO},
    {sceneStartsAt(SCENE_FIRE), SECTION_FIRE_GROOVE},
    {FIRE_FLASHES[1].end, SECTION_FIRE_LEAD},                   // as the second shot's flash dies away
    {FIRE_SHOT_BOUNDS[1], SECTION_FIRE_BUILD},                  // towards the short shots
    {FIRE_SHOT_BOUNDS[4], SECTION_FIRE_STUTTER},                // the short shots
    {beatAtOrAfter(FIRE_SHOT_BOUNDS[7]), SECTION_FIRE_DROP},    // the beat after the last short shot begins
    {FIRE_FADES[countOf(FIRE_FADES) - 1].start, SECTION_FIRE_OUTRO},  // the fade to black
    {sceneStartsAt(SCENE_TOWER), SECTION_TOWER_INTRO},
    {TOWER_PHASE_ENDS[0], SECTION_TOWER_TRAIL},
    {TOWER_PHASE_ENDS[1], SECTION_TOWER_GROOVE},
    {TOWER_PHASE_ENDS[2], SECTION_TOWER_LEAD},                  // the glowing box
    {TOWER_FLASHES[1].start, SECTION_TOWER_PEAK},
    {barAtOrBefore(TOWER_END - TOWER_BREAK_BARS * BAR_SECONDS), SECTION_TOWER_BREAK},
    {sceneStartsAt(SCENE_FLYTHROUGH), SECTION_FLY_INTRO},
    {FLY_SHOT_BOUNDS[0], SECTION_FLY_GROOVE},
    {FLY_SHOT_BOUNDS[2], SECTION_FLY_HITS},                     // the two-second cuts
    {FLY_SHOT_BOUNDS[9], SECTION_FLY_LEAD},                     // the last long shots
    {sceneStartsAt(SCENE_GREETINGS), SECTION_GREETINGS},
    {sceneStartsAt(SCENE_SPHERES), SECTION_SPHERES},
};
// Scene changes that land on a crash (the others open on a flash of their own).
constexpr int CRASHING_SCENES[] = {SCENE_TOWER, SCENE_FLYTHROUGH, SCENE_GREETINGS, SCENE_SPHERES};

// The section in force at a time: the last one started at or before it.
int sectionInForce(float seconds)
{
    int section = SECTION_INTRO;
    for (const SectionStart& start : SECTION_STARTS)
        if (start.time <= seconds) section = start.section;
    return section;
}

// A flash's accent: a stab on each short shot of the fire's stutter, a crash
// (no chord, which would land in the middle of the riser) on a flash inside
// the fire's build after its start, a big hit everywhere else.
int accentOfFlash(float start)
{
    const int section = sectionInForce(start);
    if (section == SECTION_FIRE_STUTTER) return ACCENT_STAB;
    if (section == SECTION_FIRE_BUILD && start > FIRE_SHOT_BOUNDS[1]) return ACCENT_CRASH;
    return ACCENT_BIG;
}

std::vector<SoundtrackCue> buildCues()
{
    std::vector<SoundtrackCue> cues;
    for (const SectionStart& start : SECTION_STARTS) cues.push_back({start.time, CUE_SECTION, start.section});
    for (int scene : CRASHING_SCENES) cues.push_back({sceneStartsAt(scene), CUE_ACCENT, ACCENT_CRASH});
    for (const SceneTimeline& scene : DEMO_TIMELINE)
        for (int f = 0; f < scene.flashCount; ++f)
            cues.push_back({scene.flashes[f].start, CUE_ACCENT, accentOfFlash(scene.flashes[f].start)});
    cues.push_back({SPHERES_END - FADE_OUT_BARS * BAR_SECONDS, CUE_FADE_OUT, 0});
    cues.push_back({SPHERES_END, CUE_END, 0});
    // In time order; at one time a section comes before the accents on it.
    std::stable_sort(cues.begin(), cues.end(), [](const SoundtrackCue& a, const SoundtrackCue& b) {
        return a.time < b.time || (a.time == b.time && a.kind == CUE_SECTION && b.kind != CUE_SECTION);
    });
    return cues;
}


// ---------------------------------------------------------------------------
// The timeline as sections.

struct SectionSpan {
    float start;    // demo seconds
    float end;      // start of the next section or the end of the music
    int section;    // SoundtrackSection
    int anchorBar;  // bar where the section's progression (and melody) starts
};

float endTime()
{
    for (const SoundtrackCue& cue : soundtrackCues())
        if (cue.kind == CUE_END) return cue.time;
    return SOUNDTRACK_SECONDS;
}

float fadeStartTime()
{
    for (const SoundtrackCue& cue : soundtrackCues())
        if (cue.kind == CUE_FADE_OUT) return cue.time;
    return endTime();
}

std::vector<SectionSpan> buildSections()
{
    std::vector<SectionSpan> spans;
    for (const SoundtrackCue& cue : soundtrackCues()) {
        if (cue.kind != CUE_SECTION) continue;
        if (!spans.empty()) spans.back().end = cue.time;
        SectionSpan span = {};
        span.start = cue.time;
        span.end = endTime();
        span.section = cue.value;
        span.anchorBar = static_cast<int>(std::floor(cue.time / BAR_SECONDS + 1e-4f));
        // A section that keeps the progression of the one before keeps its bar count too.
        if (!spans.empty() &&
            arrangements[spans.back().section].progression == arrangements[cue.value].progression)
            span.anchorBar = spans.back().anchorBar;
        spans.push_back(span);
    }
    return spans;
}

const SectionSpan* sectionAt(const std::vector<SectionSpan>& spans, float t)
{
    for (const SectionSpan& span : spans)
        if (t >= span.start - 1e-4f && t < span.end - 1e-4f) return &span;
    return nullptr;
}

int barAt(float t) { return static_cast<int>(std::floor(t / BAR_SECONDS + 1e-4f)); }

int positiveModulo(int value, int modulus) { return ((value % modulus) + modulus) % modulus; }

const Chord& chordAt(const SectionSpan& span, float t)
{
    const int bar = positiveModulo(barAt(t) - span.anchorBar, PROGRESSION_BARS);
    return chords[progressions[arrangements[span.section].progression][bar]];
}

int64_t toFrame(float seconds) { return static_cast<int64_t>(std::llround(static_cast<double>(seconds) * SYNTH_RATE)); }

float velocity(char c) { return c >= '1' && c <= '9' ? static_cast<float>(c - '0') / 9.0f : 0.0f; }

// A melody as notes per step: note[i] the MIDI note starting at step i (or -1),
// length[i] its length in steps.
struct Melody {
    std::vector<int> notes;
    std::vector<int> lengths;
};

int parseNoteName(const char* token, int length)
{
    static const int semitones[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (length < 2 || token[0] < 'A' || token[0] > 'G') return -1;
    int note = semitones[token[0] - 'A'];
    int i = 1;
    if (token[i] == '#') {
        ++note;
        ++i;
    } else if (token[i] == 'b') {
        --note;
        ++i;
    }
    if (i >= length || token[i] < '0' || token[i] > '9') return -1;
    return note + 12 * (token[i] - '0' + 1);
}

Melody parseMelody(const char* text)
{
    Melody melody;
    const char* p = text;
    while (*p) {
        while (*p == ' ') ++p;
        if (!*p) break;
        const char* start = p;
        while (*p && *p != ' ') ++p;
        const int length = static_cast<int>(p - start);
        if (length == 1 && *start == '-' && !melody.notes.empty()) {
            // Extend the latest note still sounding.
            for (int i = static_cast<int>(melody.notes.size()) - 1; i >= 0; --i) {
                if (melody.notes[static_cast<size_t>(i)] >= 0) {
                    if (i + melody.lengths[static_cast<size_t>(i)] == static_cast<int>(melody.notes.size()))
                        ++melody.lengths[static_cast<size_t>(i)];
                    break;
                }
            }
            melody.notes.push_back(-1);
            melody.lengths.push_back(0);
        } else {
            melody.notes.push_back(parseNoteName(start, length));
            melody.lengths.push_back(melody.notes.back() >= 0 ? 1 : 0);
        }
    }
    return melody;
}

// ---------------------------------------------------------------------------
// The mix.

struct Mix {
    StereoBus drums;   // kick, snare, hats: gated
    StereoBus music;   // bass, pads, arpeggio, lead, effect returns: pumped and gated
    StereoBus send;    // reverb send
    StereoBus echo;    // echo send
    StereoBus accents; // accent hits: never gated
    StereoBus dry;     // stabs of the stutter: never gated, no reverb
    std::vector<int64_t> kicks;  // frames of every kick, for the pumping
    SynthRandom random;
};

void addSend(const StereoBus& from, int64_t start, int64_t end, StereoBus* to, float amount)
{
    for (int64_t i = start < 0 ? 0 : start; i < end && i < from.frames; ++i) {
        to->samples[static_cast<size_t>(i) * 2] += amount * from.samples[static_cast<size_t>(i) * 2];
        to->samples[static_cast<size_t>(i) * 2 + 1] += amount * from.samples[static_cast<size_t>(i) * 2 + 1];
    }
}

// Renders a note into a scratch bus, then copies it into the music bus and its sends.
void addWithSends(Mix* mix, StereoBus* scratch, int64_t start, int64_t end, float reverb, float echo)
{
    addSend(*scratch, start, end, &mix->music, 1.0f);
    if (reverb > 0.0f) addSend(*scratch, start, end, &mix->send, reverb);
    if (echo > 0.0f) addSend(*scratch, start, end, &mix->echo, echo);
    for (int64_t i = start < 0 ? 0 : start; i < end && i < scratch->frames; ++i) {
        scratch->samples[static_cast<size_t>(i) * 2] = 0.0f;
        scratch->samples[static_cast<size_t>(i) * 2 + 1] = 0.0f;
    }
}

float humanise(Mix* mix) { return 1.0f + 0.06f * synthRandomFloat(&mix->random); }

void playSnareRoll(Mix* mix, const SectionSpan& span, float t, int64_t frame)
{
    const float progress = (t - span.start) / (span.end - span.start);
    const int step = static_cast<int>(std::llround(t / STEP_SECONDS));
    const int every = progress < 0.35f ? 4 : progress < 0.7f ? 2 : 1;
    if (step % every != 0) return;
    const float gain = SNARE_GAIN * (0.35f + 0.65f * progress);
    synthSnare(&mix->drums, frame, gain * humanise(mix), &mix->random);
    // Thirty-seconds in the last stretch.
    if (progress > 0.88f) synthSnare(&mix->drums, frame + toFrame(STEP_SECONDS * 0.5f), gain * 0.8f, &mix->random);
}

// Every instrument of the grid at one sixteenth step.
void playStep(Mix* mix, StereoBus* scratch, const SectionSpan& span, const std::vector<Melody>& parsedMelodies,
              int bar, int step)
{
    const Arrangement& a = arrangements[span.section];
    if (a.muted) return;
    const float t = static_cast<float>(bar) * BAR_SECONDS + static_cast<float>(step) * STEP_SECONDS;
    const int64_t frame = toFrame(t);
    const Chord& chord = chordAt(span, t);
    const int phraseBar = positiveModulo(bar - span.anchorBar, PROGRESSION_BARS);

    if (const float v = velocity(kickPatterns[a.kick][step]); v > 0.0f) {
        synthKick(&mix->drums, frame, KICK_GAIN * v, KICK_DECAY_SECONDS);
        mix->kicks.push_back(frame);
    }
    if (a.snare == SNARE_BUILD) {
        playSnareRoll(mix, span, t, frame);
    } else if (const float v = velocity(snarePatterns[a.snare][step]); v > 0.0f) {
        synthSnare(&mix->drums, frame, SNARE_GAIN * v * humanise(mix), &mix->random);
    } else if (a.snare == SNARE_BACKBEAT && phraseBar == PROGRESSION_BARS - 1 && (step == 14 || step == 15)) {
        // A short fill at the end of every four bars.
        synthSnare(&mix->drums, frame, SNARE_GAIN * (step == 14 ? 0.45f : 0.6f), &mix->random);
    }
    if (const float v = velocity(closedHatPatterns[a.hats][step]); v > 0.0f)
        synthHat(&mix->drums, frame, CLOSED_HAT_GAIN * v * humanise(mix), step % 4 == 0 ? -0.3f : 0.3f, 0, &mix->random);
    if (const float v = velocity(openHatPatterns[a.hats][step]); v > 0.0f)
        synthHat(&mix->drums, frame, OPEN_HAT_GAIN * v * humanise(mix), 0.15f, 1, &mix->random);

    if (const float v = velocity(bassPatterns[a.bass][step]); v > 0.0f) {
        const int octave = a.bass == BASS_ROLLING && step % 4 == 2 ? 12 : 0;
        const int64_t length = toFrame(STEP_SECONDS * static_cast<float>(bassLengths[a.bass])) - 200;
        synthBass(&mix->music, frame, length, chord.bass + 12 + octave, BASS_GAIN * v, 0.5f + 0.5f * v);
    }

    if (const float v = velocity(arpPatterns[a.arp][step]); v > 0.0f) {
        const int tone = arpTones[step];
        const int note = chord.pad[tone % CHORD_NOTES] + 12 * (1 + tone / CHORD_NOTES);
        const float progress = (t - span.start) / (span.end - span.start);
        const float brightness = minOf(1.0f, a.arpBrightness + 0.3f * progress);
        const float gain = ARP_GAIN * v * (span.section == SECTION_INTRO ? 0.4f : 1.0f);
        synthPluck(scratch, frame, note, gain, step % 2 ? 0.5f : -0.5f, brightness);
        addWithSends(mix, scratch, frame, frame + toFrame(0.5f), REVERB_SEND, 0.2f);
    }

    if (a.melody != MELODY_NONE) {
        const Melody& melody = parsedMelodies[static_cast<size_t>(a.melody)];
        const int melodyBars = static_cast<int>(melody.notes.size()) / STEPS_PER_BAR;
        if (melodyBars > 0) {
            const int melodyBar = positiveModulo(bar - span.anchorBar, melodyBars);
            const size_t index = static_cast<size_t>(melodyBar * STEPS_PER_BAR + step);
            if (melody.notes[index] >= 0) {
                const int64_t length = toFrame(STEP_SECONDS * static_cast<float>(melody.lengths[index])) - 600;
                synthLead(scratch, frame, length, melody.notes[index], LEAD_GAIN);
                addWithSends(mix, scratch, frame, frame + length + toFrame(0.15f), REVERB_SEND, LEAD_ECHO_SEND);
            }
        }
    }
}

// Pads and drones: one chord per bar, restarted where a section starts mid-bar.
void playChords(Mix* mix, StereoBus* scratch, const std::vector<SectionSpan>& spans)
{
    for (const SectionSpan& span : spans) {
        const Arrangement& a = arrangements[span.section];
        if (a.muted) continue;
        float t = span.start;
        while (t < span.end - 1e-4f) {
            const float nextBar = static_cast<float>(barAt(t) + 1) * BAR_SECONDS;
            const float until = minOf(nextBar, span.end);
            const Chord& chord = chordAt(span, t);
            const int64_t frame = toFrame(t);
            const int64_t length = toFrame(until) - frame;
            if (a.padGain > 0.0f) {
                const float duration = span.end - span.start;
                const float x0 = (t - span.start) / duration;
                const float x1 = (until - span.start) / duration;
                const float ratio = a.padCutoffEnd / a.padCutoffStart;
                PadNote pad = {};
                pad.frame = frame;
                pad.length = length;
                pad.notes = chord.pad;
                pad.count = CHORD_NOTES;
                pad.gain = a.padGain;
                pad.cutoffStart = a.padCutoffStart * std::pow(ratio, x0);
                pad.cutoffEnd = a.padCutoffStart * std::pow(ratio, x1);
                synthPad(scratch, pad, &mix->random);
                addWithSends(mix, scratch, frame, frame + length + toFrame(1.0f), REVERB_SEND, 0.0f);
            }
            if (a.bass == BASS_DRONE) synthBass(&mix->music, frame, length, chord.bass + 12, BASS_GAIN * 0.8f, 0.1f);
            t = until;
        }
        if (a.riserGain > 0.0f)
            synthRiser(&mix->music, toFrame(span.start), toFrame(span.end) - toFrame(span.start), a.riserGain,
                       &mix->random);
    }
}

void playAccents(Mix* mix, const std::vector<SectionSpan>& spans)
{
    int stabCount = 0;
    for (const SoundtrackCue& cue : soundtrackCues()) {
        if (cue.kind != CUE_ACCENT) continue;
        const SectionSpan* span = sectionAt(spans, cue.time);
        if (!span) continue;
        const Chord& chord = chordAt(*span, cue.time);
        const int64_t frame = toFrame(cue.time);
        int notes[CHORD_NOTES] = {};
        switch (cue.value) {
        case ACCENT_BIG:
            for (int n = 0; n < CHORD_NOTES; ++n) notes[n] = chord.pad[n];
            synthBoom(&mix->accents, frame, BOOM_GAIN);
            synthCrash(&mix->accents, frame, CRASH_GAIN, &mix->random);
            synthStab(&mix->accents, frame, notes, CHORD_NOTES, STAB_GAIN * 0.8f, 0.3f, &mix->random);
            synthSnare(&mix->accents, frame, SNARE_GAIN, &mix->random);
            mix->kicks.push_back(frame);
            break;
        case ACCENT_CRASH:
            synthBoom(&mix->accents, frame, BOOM_GAIN * 0.8f);
            synthCrash(&mix->accents, frame, CRASH_GAIN * 1.1f, &mix->random);
            mix->kicks.push_back(frame);
            break;
        default:
            // The stabs climb an octave halfway through their run.
            for (int n = 0; n < CHORD_NOTES; ++n) notes[n] = chord.pad[n] + (stabCount % 4 >= 2 ? 12 : 0);
            // Dry and short, so that each stands apart from the one before.
            synthStab(&mix->dry, frame, notes, CHORD_NOTES, STAB_GAIN, 0.035f, &mix->random);
            synthKick(&mix->dry, frame, KICK_GAIN * 0.7f, 0.05f);
            synthHat(&mix->dry, frame, OPEN_HAT_GAIN * 2.0f, 0.0f, 0, &mix->random);
            ++stabCount;
            break;
        }
    }
}

// Gain per frame of the pumped music: down under each kick, back up after.
std::vector<float> pumpEnvelope(std::vector<int64_t> kicks, int64_t frames)
{
    std::vector<float> pump(static_cast<size_t>(frames), 1.0f);
    std::sort(kicks.begin(), kicks.end());
    const int64_t attack = toFrame(PUMP_ATTACK_SECONDS);
    const int64_t recovery = toFrame(PUMP_RECOVERY_SECONDS);
    for (size_t k = 0; k < kicks.size(); ++k) {
        const int64_t start = kicks[k];
        const int64_t next = k + 1 < kicks.size() ? kicks[k + 1] : frames;
        for (int64_t i = start; i < next && i < start + recovery + attack && i < frames; ++i) {
            const int64_t since = i - start;
            float duck = 0.0f;
            if (since < attack) duck = static_cast<float>(since) / static_cast<float>(attack);
            else {
                const float x = static_cast<float>(since - attack) / static_cast<float>(recovery);
                duck = (1.0f - x) * (1.0f - x);
            }
            pump[static_cast<size_t>(i)] = minOf(pump[static_cast<size_t>(i)], 1.0f - PUMP_DEPTH * duck);
        }
    }
    return pump;
}

// Lowers gate to level between from and to (frames), with short ramps.
void dipGate(std::vector<float>* gate, int64_t from, int64_t to, float level)
{
    const int64_t ramp = toFrame(GATE_RAMP_SECONDS);
    const int64_t frames = static_cast<int64_t>(gate->size());
    for (int64_t i = from - ramp; i < to + ramp; ++i) {
        if (i < 0 || i >= frames) continue;
        float depth = 1.0f;
        if (i < from) depth = static_cast<float>(i - (from - ramp)) / static_cast<float>(ramp);
        else if (i >= to) depth = 1.0f - static_cast<float>(i - to) / static_cast<float>(ramp);
        const float value = 1.0f - depth * (1.0f - level);
        (*gate)[static_cast<size_t>(i)] = minOf((*gate)[static_cast<size_t>(i)], value);
    }
}

// Gain per frame of the drums and music: gaps before accents, silence in
// muted sections.
std::vector<float> gateEnvelope(const std::vector<SectionSpan>& spans, int64_t frames)
{
    std::vector<float> gate(static_cast<size_t>(frames), 1.0f);
    for (const SoundtrackCue& cue : soundtrackCues()) {
        if (cue.kind != CUE_ACCENT || cue.value == ACCENT_STAB) continue;
        dipGate(&gate, toFrame(cue.time - ACCENT_GAP_SECONDS), toFrame(cue.time) - toFrame(GATE_RAMP_SECONDS),
                ACCENT_GAP_LEVEL);
    }
    for (const SectionSpan& span : spans)
        if (arrangements[span.section].muted)
            dipGate(&gate, toFrame(span.start - ACCENT_GAP_SECONDS), toFrame(span.end), 0.0f);
    return gate;
}

// The master fade from the fade cue to the end, then silence.
float fadeGain(float t, float fadeStart, float end)
{
    if (t >= end) return 0.0f;
    if (t <= fadeStart) return 1.0f;
    const float x = (end - t) / (end - fadeStart);
    return x * x;
}

}  // namespace

const std::vector<SoundtrackCue>& soundtrackCues()
{
    static const std::vector<SoundtrackCue> cues = buildCues();
    return cues;
}

void renderSoundtrack(std::vector<float>* stereo)
{
    const int64_t frames = toFrame(SOUNDTRACK_SECONDS);
    const std::vector<SectionSpan> spans = buildSections();
    std::vector<Melody> parsedMelodies;
    for (const char* text : melodies) parsedMelodies.push_back(parseMelody(text));

    Mix mix = {};
    mix.random.state = NOISE_SEED;
    busInit(&mix.drums, frames);
    busInit(&mix.music, frames);
    busInit(&mix.send, frames);
    busInit(&mix.echo, frames);
    busInit(&mix.accents, frames);
    busInit(&mix.dry, frames);
    StereoBus scratch = {};
    busInit(&scratch, frames);

    const float end = endTime();
    for (int bar = 0; static_cast<float>(bar) * BAR_SECONDS < end; ++bar) {
        for (int step = 0; step < STEPS_PER_BAR; ++step) {
            const float t = static_cast<float>(bar) * BAR_SECONDS + static_cast<float>(step) * STEP_SECONDS;
            const SectionSpan* span = sectionAt(spans, t);
            if (span) playStep(&mix, &scratch, *span, parsedMelodies, bar, step);
        }
    }
    playChords(&mix, &scratch, spans);
    busFree(&scratch);
    playAccents(&mix, spans);
    // The accents' tails ring in the room too.
    addSend(mix.accents, 0, frames, &mix.send, 0.25f);

    synthReverb(mix.send, &mix.music, REVERB_WET);
    synthEcho(mix.echo, &mix.music, toFrame(STEP_SECONDS * ECHO_STEPS), ECHO_FEEDBACK, ECHO_WET);
    busFree(&mix.send);
    busFree(&mix.echo);

    // The mix is summed into the music bus, which then becomes the result.
    {
        const std::vector<float> pump = pumpEnvelope(mix.kicks, frames);
        const std::vector<float> gate = gateEnvelope(spans, frames);
        const float fadeStart = fadeStartTime();
        for (int64_t i = 0; i < frames; ++i) {
            const size_t f = static_cast<size_t>(i);
            const float fade = fadeGain(static_cast<float>(i) / SYNTH_RATE, fadeStart, end);
            for (size_t c = 0; c < 2; ++c) {
                const float v = gate[f] * (mix.drums.samples[f * 2 + c] + pump[f] * mix.music.samples[f * 2 + c]) +
                                mix.accents.samples[f * 2 + c] + mix.dry.samples[f * 2 + c];
                mix.music.samples[f * 2 + c] = v * fade;
            }
        }
    }
    stereo->swap(mix.music.samples);
    busFree(&mix.music);
    busFree(&mix.drums);
    busFree(&mix.accents);
    busFree(&mix.dry);

    // Master: bring the loudness to the target, limit the peaks, and correct
    // once more for the loudness the limiter took away.
    const float ceiling = std::pow(10.0f, SOUNDTRACK_CEILING_DBTP / 20.0f);
    for (int pass = 0; pass < 2; ++pass) {
        const double loudness = measureIntegratedLoudness(stereo->data(), frames);
        const float gain = static_cast<float>(std::pow(10.0, (SOUNDTRACK_TARGET_LUFS - loudness) / 20.0));
        for (float& v : *stereo) v *= gain;
        limitPeaks(stereo->data(), frames, ceiling);
    }
}

int writeSoundtrack(const std::string& outDir)
{
    std::vector<float> stereo;
    renderSoundtrack(&stereo);
    const int64_t frames = static_cast<int64_t>(stereo.size() / 2);
    // Feed the codec's delay early, so that the decoded sound lines up with demo time.
    std::vector<unsigned char> mp3;
    if (!encodeMp3(stereo.data() + MP3_CODEC_DELAY_FRAMES * 2, frames - MP3_CODEC_DELAY_FRAMES, SOUNDTRACK_MP3, &mp3)) return 0;
    return writeFileBytes(outDir + "/Halvo.mp3", mp3.data(), mp3.size());
}
