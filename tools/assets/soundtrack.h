// The soundtrack "Halvo.mp3": an original piece at 120 beats per minute
// (one bar = 2 s), synthesised note by note and mastered to a steady loudness.
// Its whole structure is one list of cues in demo seconds, placed on the
// demo's timeline: the sections that change with the scenes, the accents on
// the flashes and the final fade.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr float SOUNDTRACK_SECONDS = 194.0f;        // length of the file; the demo ends at 192 s
constexpr float SOUNDTRACK_BPM = 120.0f;            // beats per minute
constexpr float SOUNDTRACK_TARGET_LUFS = -13.6f;    // integrated loudness the master aims at (the MP3 reads ~0.4 LU lower)
constexpr float SOUNDTRACK_CEILING_DBTP = -2.2f;    // true-peak ceiling of the master, before encoding

enum SoundtrackCueKind {
    CUE_SECTION,   // value: arrangement (SECTION_*) from here on
    CUE_ACCENT,    // value: ACCENT_* hit at this time
    CUE_FADE_OUT,  // the master fades from here to the CUE_END
    CUE_END,       // silence from here to the end of the file
};

enum SoundtrackSection {
    SECTION_INTRO,         // filtered pads and a sub drone under the opening titles
    SECTION_FIRE_GROOVE,   // kick, bass and hats enter with the fire scene
    SECTION_FIRE_LEAD,     // the lead melody joins
    SECTION_FIRE_BUILD,    // snare roll and riser towards the short shots
    SECTION_FIRE_STUTTER,  // everything stops for the stabs of the short shots
    SECTION_FIRE_DROP,     // full groove after the stabs
    SECTION_FIRE_OUTRO,    // pads and a riser through the fade to black
    SECTION_TOWER_INTRO,   // arpeggio over pads, no drums
    SECTION_TOWER_TRAIL,   // kick and bass enter with the tower's trail
    SECTION_TOWER_GROOVE,  // full drums
    SECTION_TOWER_LEAD,    // the glowing box: major lift and lead
    SECTION_TOWER_PEAK,    // the fast phase: darker chords, sixteenth hats, lead
    SECTION_TOWER_BREAK,   // breakdown and riser into the fly-through
    SECTION_FLY_INTRO,     // half-time drums
    SECTION_FLY_GROOVE,    // four to the floor with the arpeggio
    SECTION_FLY_HITS,      // the two-second cuts, each on a hit
    SECTION_FLY_LEAD,      // lead over the last long shots
    SECTION_GREETINGS,     // brightest section, new chords, new lead
    SECTION_SPHERES,       // closing progression, fading out
    SECTION_COUNT
};

enum SoundtrackAccent {
    ACCENT_BIG,    // boom, crash and a chord stab, after a short gap in the mix
    ACCENT_CRASH,  // crash and boom, after a short gap in the mix
    ACCENT_STAB,   // a short stab and snare alone (the mix is stopped around it)
};

struct SoundtrackCue {
    float time;  // demo seconds
    int kind;    // SoundtrackCueKind
    int value;   // SoundtrackSection for CUE_SECTION, SoundtrackAccent for CUE_ACCENT
};

// The piece's cues in time order, placed on the demo's timeline.
const std::vector<SoundtrackCue>& soundtrackCues();

// Renders and masters the whole piece: interleaved stereo floats at 44.1 kHz,
// SOUNDTRACK_SECONDS long, frame n at demo time n / 44100 s.
void renderSoundtrack(std::vector<float>* stereo);
