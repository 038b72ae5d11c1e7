// Controls of the headless platform layer, for tests and tools that link it.
//
// The headless layer renders into an 800 x 600 offscreen framebuffer (RGB without
// alpha, 24-bit depth) of a hidden window on the X display, runs a virtual
// high-resolution counter that advances by a whole number of counts at every
// buffer swap, answers message boxes with a preset answer, delivers scripted
// messages at chosen demo times and plays sound into a silent device that
// consumes samples at the virtual clock's pace.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr int64_t HEADLESS_COUNTER_FREQUENCY = 27720000;  // counts per second; 1..12, 24, 25, 30, 50, 60, 120 fps divide it

struct HeadlessConfig {
    int framesPerSecond = 60;        // the counter advances by frequency / fps per swap
    int hasPerformanceCounter = 1;   // 0: the counter frequency query fails (millisecond timer path)
    uint32_t millisecondStart = 0;   // value of the millisecond timer when the layer starts
    int displayModeAvailable = 1;    // whether the fake display can switch to the requested mode
    int messageBoxAnswer = IDYES;    // answer to Yes/No boxes (OK boxes answer IDOK)
    int audioDeviceAvailable = 1;    // 0: soundInit fails as with no output device
    int failWindowStep = 0;          // 1: window creation fails, 2: pixel format, 3: context, 4: make current
    void (*onSwap)(void* user) = nullptr;  // called at every buffer swap, before the counter advances
    void* onSwapUser = nullptr;
    int quiet = 0;                   // 1: message boxes are not echoed to stderr
    int keepHeardSamples = 1;        // 0: the silent device consumes as usual but keeps no recording
                                     // (headlessAudioFrames still counts; headlessAudioSamples is null)
};

// Resets the layer to the given configuration: clears scripted messages, the
// message log and the counters. Call before the demo opens its window.
void headlessConfigure(const HeadlessConfig& config);
const HeadlessConfig& headlessConfig();

// Sets how far the virtual counter moves at each swap from the next frame on
// (called from an onSwap callback, it sets the time of the frame after the one
// just swapped): a whole number of counts, at least one. Returns 0, changing
// nothing, for anything less. headlessConfigure goes back to the configured rate.
int headlessSetFrameStep(int64_t counts);

// Schedules a message, delivered by platformPeekMessage once the demo time has
// reached demoSeconds. Demo time is counted from the moment the demo clock starts
// (the clock asks for the counter frequency once, at its start); messages for the
// same time come out in the order they were scheduled.
void headlessScheduleMessage(double demoSeconds, unsigned message, uintptr_t wParam, intptr_t lParam);
// Schedules a key press (down, then up holdSeconds later).
void headlessScheduleKey(double demoSeconds, unsigned key, double holdSeconds);

// The virtual counter, in counts and in seconds since the layer was configured.
int64_t headlessCounter();
// Demo seconds by the virtual counter (0 until the demo clock has started).
double headlessDemoSeconds();
// Number of buffer swaps since configuration.
int64_t headlessSwapCount();
// Whether the display mode is currently changed, and whether the cursor is hidden.
int headlessDisplayModeChanged();
int headlessCursorHidden();
int headlessWindowFullscreen();  // the kind of window made: WINDOW_FRAMED, WINDOW_FULLSCREEN or WINDOW_DESKTOP

// How often the display mode was restored since configuration.
int headlessDisplayModeRestores();
// Messages handed to the default window procedure since configuration, oldest first.
int headlessDefaultMessageCount();
const PlatformMessage& headlessDefaultMessageAt(int index);

// Every message box shown since configuration: caption, text and type.
struct HeadlessMessageBox {
    char caption[64];
    char text[256];
    unsigned type;
    int owned;  // 1: owned by the demo's window (platformWindowMessageBox)
};
int headlessMessageBoxCount();
const HeadlessMessageBox& headlessMessageBoxAt(int index);

// While on, frames advance every scene's state as usual but draw nothing into
// the offscreen target: primitives are dropped before rasterisation and clears
// do nothing. For runs that need the state later frames start from, not the
// pictures of these; reading back (frames, texture copies) sees what was last drawn.
void headlessSetRasterDiscard(int discard);

// Reads the offscreen frame as 800 x 600 RGB bytes, top row first.
void headlessReadFrame(unsigned char* rgb);

// Reading frames back without waiting for each: headlessStartFrameRead starts
// the copy of the frame just drawn into one of HEADLESS_READ_SLOTS pixel buffers
// of the GL and returns; headlessFinishFrameRead hands over the oldest frame
// started, in the form headlessReadFrame gives, waiting for its copy only if it
// is not done yet. Where the context has no pixel buffer objects the start reads
// the frame at once. Start returns 0 when every slot holds a frame not yet
// finished; finish returns 0 when none is pending, or with a black frame when
// the GL lost its copy. Frames still pending when the window closes are
// dropped: finish them before.
constexpr int HEADLESS_READ_SLOTS = 2;
int headlessStartFrameRead();
int headlessFinishFrameRead(unsigned char* rgb);
int headlessPendingFrameReads();
// Whether the frame reads above go through pixel buffer objects (known once the window is open).
int headlessReadsThroughPixelBuffers();

// Silent audio device: the interleaved 16-bit stereo 44.1 kHz samples it has
// consumed since soundInit (what a listener would have heard), and how many
// sample frames that is.
int64_t headlessAudioFrames();
const int16_t* headlessAudioSamples();
// Makes soundGetVersion report another interface version until the next headlessConfigure.
void headlessSetSoundVersion(uint32_t version);
