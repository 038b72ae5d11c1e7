// The headless platform layer: the same calls as the real one, for tests and
// the capture tool. A hidden SDL window on the X display holds the GL context
// (GLUT needs a display too); the demo draws into an offscreen framebuffer of
// 800 x 600 with an RGB colour buffer and a 24-bit depth buffer. The counter is
// virtual and moves only at buffer swaps, message boxes answer by themselves and
// messages come from a script.
#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/common/common.h"
#include "platform/headless.h"
#include "platform/headless/internal.h"

namespace {

constexpr int TARGET_WIDTH = 800;   // offscreen frame, pixels
constexpr int TARGET_HEIGHT = 600;

struct ScheduledMessage {
    double demoSeconds;  // delivered once the demo time reaches this
    long order;          // schedule order, for messages of the same time
    PlatformMessage message;
};

HeadlessConfig config;                     // the configuration in force
int64_t counter = 0;                       // virtual counter, counts since configuration
int64_t epoch = 0;                         // counter when the demo clock started
int64_t swapCount = 0;                     // buffer swaps since configuration
int64_t frameStep = 0;                     // counts per swap set by headlessSetFrameStep; 0: by the frame rate
std::vector<ScheduledMessage> script;      // scripted messages, sorted by time then order
long scheduled = 0;                        // messages scheduled so far
int quitPosted = 0;                        // platformPostQuitMessage called, message not yet taken
int quitCode = 0;
int displayModeChanged = 0;                // the fake display is at the demo's mode
int displayModeRestores = 0;               // platformRestoreDisplayMode calls
std::vector<PlatformMessage> defaulted;    // messages handed to the default window procedure
int cursorHidden = 0;
int windowFullscreen = 0;
std::vector<HeadlessMessageBox> boxes;     // every box shown

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
int videoStarted = 0;
int rasterDiscard = 0;  // headlessSetRasterDiscard's setting in the current context
PictureTarget target;  // the offscreen frame the demo draws into

// Pixel buffer objects of the frame reads, where the context has them.
PFNGLGENBUFFERSPROC genBuffers = nullptr;
PFNGLBINDBUFFERPROC bindBuffer = nullptr;
PFNGLBUFFERDATAPROC bufferData = nullptr;
PFNGLMAPBUFFERPROC mapBuffer = nullptr;
PFNGLUNMAPBUFFERPROC unmapBuffer = nullptr;
PFNGLDELETEBUFFERSPROC deleteBuffers = nullptr;
int pixelBuffersAvailable = 0;                      // the context has GL_ARB_pixel_buffer_object
GLuint readBuffers[HEADLESS_READ_SLOTS] = {};       // one pixel buffer per slot, 0 until the first read
std::vector<unsigned char> readCopies[HEADLESS_READ_SLOTS];  // frames read at once, without pixel buffers
int readFirst = 0;                                  // slot of the oldest pending read
int readPending = 0;                                // reads started and not finished
constexpr size_t FRAME_BYTES = static_cast<size_t>(TARGET_WIDTH) * TARGET_HEIGHT * 3;
constexpr size_t FRAME_STRIDE = static_cast<size_t>(TARGET_WIDTH) * 3;  // bytes of one RGB row

// Looks up the pixel buffer entry points of the context just made current.
void findPixelBuffers()
{
    genBuffers = platformGLProc<PFNGLGENBUFFERSPROC>("glGenBuffers");
    bindBuffer = platformGLProc<PFNGLBINDBUFFERPROC>("glBindBuffer");
    bufferData = platformGLProc<PFNGLBUFFERDATAPROC>("glBufferData");
    mapBuffer = platformGLProc<PFNGLMAPBUFFERPROC>("glMapBuffer");
    unmapBuffer = platformGLProc<PFNGLUNMAPBUFFERPROC>("glUnmapBuffer");
    deleteBuffers = platformGLProc<PFNGLDELETEBUFFERSPROC>("glDeleteBuffers");
    pixelBuffersAvailable = SDL_GL_ExtensionSupported("GL_ARB_pixel_buffer_object") && genBuffers && bindBuffer &&
                            bufferData && mapBuffer && unmapBuffer && deleteBuffers;
}

// Reads the target's rows, bottom row first, into the bound pixel buffer
// (pixels is then an offset into it) or into memory.
void readTarget(void* pixels)
{
    GLint pack = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, TARGET_WIDTH, TARGET_HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_PACK_ALIGNMENT, pack);
}

// Rows bottom first into rows top first.
void flipRows(const unsigned char* bottomFirst, unsigned char* rgb)
{
    for (int y = 0; y < TARGET_HEIGHT; ++y)
        std::memcpy(rgb + FRAME_STRIDE * static_cast<size_t>(y),
                    bottomFirst + FRAME_STRIDE * static_cast<size_t>(TARGET_HEIGHT - 1 - y), FRAME_STRIDE);
}

void dropFrameReads()
{
    if (readBuffers[0] != 0) deleteBuffers(HEADLESS_READ_SLOTS, readBuffers);
    for (GLuint& buffer : readBuffers) buffer = 0;
    readFirst = 0;
    readPending = 0;
}


int64_t countsPerFrame()
{
    if (frameStep > 0) return frameStep;
    const int fps = config.framesPerSecond > 0 ? config.framesPerSecond : 60;
    return HEADLESS_COUNTER_FREQUENCY / fps;
}

}  // namespace

void headlessConfigure(const HeadlessConfig& newConfig)
{
    config = newConfig;
    counter = 0;
    epoch = 0;
    swapCount = 0;
    frameStep = 0;
    script.clear();
    scheduled = 0;
    quitPosted = 0;
    quitCode = 0;
    displayModeChanged = 0;
    displayModeRestores = 0;
    defaulted.clear();
    cursorHidden = 0;
    windowFullscreen = 0;
    boxes.clear();
    headlessAudioReset();
}

const HeadlessConfig& headlessConfig()
{
    return config;
}

int headlessSetFrameStep(int64_t counts)
{
    if (counts < 1) return 0;
    frameStep = counts;
    return 1;
}

void headlessScheduleMessage(double demoSeconds, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    ScheduledMessage entry{demoSeconds, scheduled++, PlatformMessage{message, wParam, lParam}};
    const auto later = std::upper_bound(script.begin(), script.end(), entry,
                                        [](const ScheduledMessage& a, const ScheduledMessage& b) {
                                            return a.demoSeconds < b.demoSeconds;
                                        });
    script.insert(later, entry);
}

void headlessScheduleKey(double demoSeconds, unsigned key, double holdSeconds)
{
    headlessScheduleMessage(demoSeconds, WM_KEYDOWN, key, 0);
    headlessScheduleMessage(demoSeconds + holdSeconds, WM_KEYUP, key, 0);
}

int64_t headlessCounter() { return counter; }
double headlessDemoSeconds() { return static_cast<double>(counter - epoch) / HEADLESS_COUNTER_FREQUENCY; }
int64_t headlessSwapCount() { return swapCount; }
int headlessDisplayModeChanged() { return displayModeChanged; }
int headlessCursorHidden() { return cursorHidden; }
int headlessWindowFullscreen() { return windowFullscreen; }
int headlessDisplayModeRestores() { return displayModeRestores; }
int headlessDefaultMessageCount() { return static_cast<int>(defaulted.size()); }
const PlatformMessage& headlessDefaultMessageAt(int index) { return defaulted.at(static_cast<size_t>(index)); }
int headlessMessageBoxCount() { return static_cast<int>(boxes.size()); }
const HeadlessMessageBox& headlessMessageBoxAt(int index) { return boxes.at(static_cast<size_t>(index)); }

void headlessSetRasterDiscard(int discard)
{
    rasterDiscard = discard;
    if (discard)
        glEnable(GL_RASTERIZER_DISCARD);
    else
        glDisable(GL_RASTERIZER_DISCARD);
}

void headlessReadFrame(unsigned char* rgb)
{
    std::vector<unsigned char> rows(FRAME_BYTES);
    readTarget(rows.data());
    flipRows(rows.data(), rgb);
}

int headlessStartFrameRead()
{
    if (readPending == HEADLESS_READ_SLOTS) return 0;
    const int slot = (readFirst + readPending) % HEADLESS_READ_SLOTS;
    if (!pixelBuffersAvailable) {
        readCopies[slot].resize(FRAME_BYTES);
        readTarget(readCopies[slot].data());
    } else {
        if (readBuffers[0] == 0) {
            genBuffers(HEADLESS_READ_SLOTS, readBuffers);
            for (GLuint buffer : readBuffers) {
                bindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
                bufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(FRAME_BYTES), nullptr, GL_STREAM_READ);
            }
        }
        // The demo never binds a pixel pack buffer, so 0 is the binding to go back to.
        bindBuffer(GL_PIXEL_PACK_BUFFER, readBuffers[slot]);
        readTarget(nullptr);
        bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    }
    ++readPending;
    return 1;
}

int headlessFinishFrameRead(unsigned char* rgb)
{
    if (readPending == 0) return 0;
    const int slot = readFirst;
    readFirst = (readFirst + 1) % HEADLESS_READ_SLOTS;
    --readPending;
    if (!pixelBuffersAvailable) {
        flipRows(readCopies[slot].data(), rgb);
        return 1;
    }
    bindBuffer(GL_PIXEL_PACK_BUFFER, readBuffers[slot]);
    const void* rows = mapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (rows != nullptr) {
        flipRows(static_cast<const unsigned char*>(rows), rgb);
        unmapBuffer(GL_PIXEL_PACK_BUFFER);
    } else {
        std::memset(rgb, 0, FRAME_BYTES);  // a lost mapping gives a black frame rather than stale bytes
    }
    bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return rows != nullptr;
}

int headlessPendingFrameReads() { return readPending; }
int headlessReadsThroughPixelBuffers() { return pixelBuffersAvailable; }

// ---------------------------------------------------------------------------

int platformStartVideo()
{
    if (videoStarted) return 1;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "vantrel: no display for the offscreen target (%s)\n", SDL_GetError());
        return 0;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "x11") != 0) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        std::fprintf(stderr, "vantrel: the offscreen target needs an X display (is DISPLAY set?)\n");
        return 0;
    }
    videoStarted = 1;
    return 1;
}

void platformStopVideo()
{
    if (!videoStarted) return;
    platformPinGLDriver();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted = 0;
}

int platformSetDisplayMode(int, int, int)
{
    if (!config.displayModeAvailable) return 0;
    displayModeChanged = 1;
    return 1;
}

void platformRestoreDisplayMode()
{
    displayModeChanged = 0;
    ++displayModeRestores;
}
void platformShowCursor(int visible) { cursorHidden = !visible; }

int platformCreateWindow(const char* title, int width, int height, int fullscreen, int)
{
    if (config.failWindowStep == 1) return 0;
    window = SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window == nullptr) return 0;
    windowFullscreen = fullscreen;
    return 1;
}

void platformDestroyWindow()
{
    platformPinGLDriver();  // the window's GL library goes with it
    if (window != nullptr) SDL_DestroyWindow(window);
    window = nullptr;
    windowFullscreen = 0;
}

int platformChoosePixelFormat(int, int)
{
    if (config.failWindowStep == 2) return 0;
    // The frame lives in the offscreen target; the hidden window only needs a context.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    return 1;
}

int platformCreateContext()
{
    if (config.failWindowStep == 3 || window == nullptr) return 0;
    context = SDL_GL_CreateContext(window);
    rasterDiscard = 0;  // a new context rasterises
    return context != nullptr;
}

int platformMakeCurrent(int current)
{
    if (!current) {
        if (target.framebuffer != 0) dropFrameReads();
        platformDestroyTarget(&target);
        return SDL_GL_MakeCurrent(window, nullptr) == 0;
    }
    if (config.failWindowStep == 4) return 0;
    if (SDL_GL_MakeCurrent(window, context) != 0) return 0;
    if (target.framebuffer == 0) {
        if (!platformCreateTarget(&target, TARGET_WIDTH, TARGET_HEIGHT)) {
            std::fprintf(stderr, "vantrel: the GL driver has no offscreen framebuffer\n");
            return 0;
        }
        findPixelBuffers();
    }
    platformPrepareContext();
    return 1;
}

void platformDestroyContext()
{
    if (context != nullptr) SDL_GL_DeleteContext(context);
    context = nullptr;
}

void platformShowWindow() {}

void platformSwapBuffers()
{
    if (config.onSwap != nullptr) config.onSwap(config.onSwapUser);
    ++swapCount;
    const int64_t step = countsPerFrame();
    counter += step;
    headlessAudioAdvance(step);
}

int platformDrawingDiscarded() { return rasterDiscard; }

void platformAllowScreenSaver(int) {}

int platformPeekMessage(PlatformMessage* message)
{
    if (!script.empty() && script.front().demoSeconds <= headlessDemoSeconds() + 1e-9) {
        *message = script.front().message;
        script.erase(script.begin());
        return 1;
    }
    if (quitPosted) {
        quitPosted = 0;
        *message = PlatformMessage{WM_QUIT, static_cast<uintptr_t>(quitCode), 0};
        return 1;
    }
    return 0;
}

intptr_t platformDefaultWindowProc(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    defaulted.push_back(PlatformMessage{message, wParam, lParam});
    return 0;
}

void platformPostQuitMessage(int code)
{
    quitPosted = 1;
    quitCode = code;
}

namespace {
int recordMessageBox(const char* text, const char* caption, unsigned type, int owned)
{
    if (!config.quiet) platformEchoMessageBox(text, caption);
    HeadlessMessageBox box = {};
    std::snprintf(box.caption, sizeof box.caption, "%s", caption ? caption : "");
    std::snprintf(box.text, sizeof box.text, "%s", text ? text : "");
    box.type = type;
    box.owned = owned && window != nullptr;
    boxes.push_back(box);
    if ((type & 0x0F) == MB_YESNO) return config.messageBoxAnswer == IDNO ? IDNO : IDYES;
    return IDOK;
}
}  // namespace

int platformMessageBox(const char* text, const char* caption, unsigned type)
{
    return recordMessageBox(text, caption, type, 0);
}

int platformWindowMessageBox(const char* text, const char* caption, unsigned type)
{
    return recordMessageBox(text, caption, type, 1);
}

int platformQueryPerformanceFrequency(int64_t* frequency)
{
    // The demo clock asks for the frequency once, at its start: demo time 0.
    epoch = counter;
    if (!config.hasPerformanceCounter) {
        *frequency = 0;
        return 0;
    }
    *frequency = HEADLESS_COUNTER_FREQUENCY;
    return 1;
}

int platformQueryPerformanceCounter(int64_t* count)
{
    *count = counter;
    return 1;
}

uint32_t platformTimeGetTime()
{
    const int64_t ms = counter / (HEADLESS_COUNTER_FREQUENCY / 1000);
    return config.millisecondStart + static_cast<uint32_t>(ms);
}
