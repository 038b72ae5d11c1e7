// Everything the demo needs from the operating system, behind one narrow header.
//
// Two implementations link against the same demo code:
//   platform/sdl       a real window and GL context, the real counters, SDL audio
//   platform/headless  an offscreen 800 x 600 target, a virtual counter advanced at
//                      each buffer swap, scripted messages, a silent audio device
// Tests and tools choose one at link time; the demo never asks which one runs.
// Only code under platform/ includes SDL or mpg123.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// ---------------------------------------------------------------------------
// Messages. The demo's window procedure works on window messages numbered as
// on the system the demo was first written for, so the layer turns its events
// into messages with these numbers and parameters.

constexpr unsigned WM_SIZE = 0x0005;        // lParam: width in the low word, height in the high word
constexpr unsigned WM_ACTIVATE = 0x0006;    // wParam high word: 1 while minimised
constexpr unsigned WM_CLOSE = 0x0010;       // the viewer asked to close the window
constexpr unsigned WM_QUIT = 0x0012;        // posted by platformPostQuitMessage; wParam: exit code
constexpr unsigned WM_KEYDOWN = 0x0100;     // wParam: key code (VK_*), auto-repeat included
constexpr unsigned WM_KEYUP = 0x0101;       // wParam: key code
constexpr unsigned WM_SYSCOMMAND = 0x0112;  // wParam: SC_*

constexpr unsigned SC_SCREENSAVE = 0xF140;  // the screen saver wants to start
constexpr unsigned SC_MONITORPOWER = 0xF170;  // the monitor wants to power down

// Key codes carried by WM_KEYDOWN and WM_KEYUP; every code is below 256.
constexpr unsigned VK_SPACE = 0x20;
constexpr unsigned VK_ESCAPE = 0x1B;
constexpr unsigned VK_LEFT = 0x25;
constexpr unsigned VK_UP = 0x26;
constexpr unsigned VK_RIGHT = 0x27;
constexpr unsigned VK_DOWN = 0x28;

struct PlatformMessage {
    unsigned message;  // WM_*
    uintptr_t wParam;
    intptr_t lParam;
};

// What the system does with a message the demo's window procedure leaves
// alone (a screen saver's request let through would start it); returns its result.
intptr_t platformDefaultWindowProc(unsigned message, uintptr_t wParam, intptr_t lParam);

// Takes at most one pending message. Returns 0 when none was pending.
int platformPeekMessage(PlatformMessage* message);
// Queues WM_QUIT with the given code; it is taken once no other message is pending.
void platformPostQuitMessage(int code);

// ---------------------------------------------------------------------------
// Message boxes. Every box is also written to stderr. Where no box can be
// shown (no display, or the headless layer), the default answer comes back.

constexpr unsigned MB_OK = 0x00;
constexpr unsigned MB_YESNO = 0x04;
constexpr unsigned MB_ICONSTOP = 0x10;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// A box with no owner window: it stands on its own, also before the window
// exists or after it has closed.
int platformMessageBox(const char* text, const char* caption, unsigned type);
// A box owned by the demo's window (modal to it and kept above it, so a
// fullscreen window does not hide it); with no window open, a box of its own.
int platformWindowMessageBox(const char* text, const char* caption, unsigned type);

// ---------------------------------------------------------------------------
// Window and GL context, opened in the order the demo's window code calls them.

// Starts the video system. Returns 0 (after one line on stderr) when there is no
// display to show a window on.
int platformStartVideo();
void platformStopVideo();
// Switches the display to exactly width x height; 0 when that mode is not available.
int platformSetDisplayMode(int width, int height, int bits);
void platformRestoreDisplayMode();
void platformShowCursor(int visible);
// Chooses the pixel format of the window about to be made: double-buffered RGBA
// with the given colour bits, no alpha bits, at least depthBits of depth. 0 when
// no such format exists. Called before platformCreateWindow.
int platformChoosePixelFormat(int colourBits, int depthBits);

// Kinds of window.
constexpr int WINDOW_FRAMED = 0;      // a framed window
constexpr int WINDOW_FULLSCREEN = 1;  // frameless, covering the display at the mode set above
constexpr int WINDOW_DESKTOP = 2;     // frameless, covering the display at its own mode
// Creates the window, in the pixel format chosen above, for a picture of
// width x height. Where the window is larger than the picture (a framed
// window scaled, or the desktop's mode) the demo still draws width x height:
// the picture is kept in a target of that size and scaled to fit at each swap,
// centred with black bars, and size messages carry the picture's size.
int platformCreateWindow(const char* title, int width, int height, int kind, int scale);
void platformDestroyWindow();
// Creates the legacy (compatibility) GL context on the window.
int platformCreateContext();
// Makes the context current (1) or releases it (0).
int platformMakeCurrent(int current);
void platformDestroyContext();
// Shows the window and gives it the keyboard focus.
void platformShowWindow();
void platformSwapBuffers();
// Whether what is drawn now is thrown away unseen: runs that skip ahead offscreen
// (the capture's frames before its range, the page's seeking) turn rasterisation
// off for the frames before the one wanted. Drawing code may then leave out its
// primitives, as long as it leaves every GL state they would have left. Always 0
// in a window.
int platformDrawingDiscarded();
// Keeps the screen saver and monitor power-saving off (0) or lets them run again (1).
void platformAllowScreenSaver(int allow);

// ---------------------------------------------------------------------------
// Files. The demo reads only regular files, so that a FIFO, a device or a
// directory named as a scene, a texture or the soundtrack can neither block
// the loading phase nor feed a buffer that grows without end.

// Opens path for binary reading when it names a regular file; null otherwise
// (missing, unreadable, a FIFO, a device, a directory). *size gets its length
// in bytes when size is not null.
std::FILE* platformOpenRegularFile(const char* path, size_t* size);
// The running program's own file, as a path into buffer; 0 when it is not known.
int platformExecutablePath(char* buffer, size_t size);

// ---------------------------------------------------------------------------
// Counters.

// The high-resolution counter: counts per second; 0 when there is no such counter.
int platformQueryPerformanceFrequency(int64_t* frequency);
int platformQueryPerformanceCounter(int64_t* count);
// The millisecond timer; wraps around after 2^32 ms.
uint32_t platformTimeGetTime();

// ---------------------------------------------------------------------------
// Sound: one output device and one MP3 stream at a time. Results: nonzero for
// success, 0 for failure with the cause in soundErrorGetCode().

constexpr uint32_t SOUND_VERSION = 0x80000;  // interface version the demo checks for

constexpr int SOUND_OK = 0;
constexpr int SOUND_ERROR_FILEOPEN = 2;   // the file could not be opened
constexpr int SOUND_ERROR_DRIVER = 3;     // no output device could be opened
constexpr int SOUND_ERROR_HANDLE = 5;     // not a valid stream
constexpr int SOUND_ERROR_FORMAT = 6;     // the file is not a decodable MP3
constexpr int SOUND_ERROR_POSITION = 7;   // invalid position
constexpr int SOUND_ERROR_INIT = 8;       // soundInit has not succeeded
constexpr int SOUND_ERROR_START = 9;      // output not started
constexpr int SOUND_ERROR_ALREADY = 14;   // already initialised
constexpr int SOUND_ERROR_MEMORY = 1;     // out of memory

constexpr uint32_t SOUND_SAMPLE_8BITS = 1;  // stream flag: 8-bit samples
constexpr uint32_t SOUND_SAMPLE_MONO = 2;   // stream flag: one channel

uint32_t soundGetVersion();
// Opens the default output device (device -1) at freq Hz; flags are accepted and ignored.
int soundInit(int device, uint32_t freq, uint32_t flags);
int soundStart();  // output running (again)
int soundPause();  // all output stops until soundStart
int soundStop();
void soundFree();  // closes the device; frees every stream
// Creates a stream from a whole MP3 file; 0 on failure.
uint32_t soundStreamCreateFile(const char* path);
// Length of the stream in bytes of decoded 16-bit data (frames x channels x 2).
uint32_t soundStreamGetLength(uint32_t stream);
int soundChannelGetFrequency(uint32_t stream, uint32_t* frequency);
uint32_t soundChannelGetFlags(uint32_t stream);  // SOUND_SAMPLE_*
// Plays the stream from its start.
int soundStreamPlay(uint32_t stream);
// Moves the stream to a byte position of decoded data (aligned down to a whole
// sample frame, clamped to the length).
int soundChannelSetPosition(uint32_t stream, uint32_t bytes);
// The byte position the output device has consumed up to (what is being heard).
uint32_t soundChannelGetPosition(uint32_t stream);
// Copies up to bytes of the stream's decoded 16-bit data from a byte offset; returns
// how many bytes were copied (0 on failure, or at the end).
uint32_t soundStreamGetData(uint32_t stream, uint32_t offset, void* buffer, uint32_t bytes);
int soundStreamFree(uint32_t stream);
int soundErrorGetCode();
