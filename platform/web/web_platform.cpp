// The web platform layer: the demo in a page, on Emscripten's HTML5 and WebGL
// interfaces. The 800 x 600 canvas #canvas holds a WebGL 2 context that the GL
// layer (web_gl.cpp) draws the demo's GL 1.1 calls into; the demo's loop is
// left as it is and gives the browser its turn at every buffer swap
// (emscripten_sleep under ASYNCIFY). Keys of the page become window messages,
// message boxes become page dialogs, the counter is performance.now().
//
// The test hook: the query parameter fps=N runs the page on a virtual clock as
// the headless layer does (1 / N s per swap), and at=T,T,... names demo times
// at which the page stops after showing the frame of that time (frame
// ceil(T x N)) until window.vantrelContinue() is called, so that a browser
// driver can take the canvas and send keys. Frames that are neither stopped at
// nor the one just before are run with rasterisation off, as the capture tool
// runs the frames it does not write.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/platform.h"
#include "platform/web/internal.h"
#include "platform/web/web_gl.h"

namespace {

constexpr int STOP_POLL_MS = 10;             // how often a stop looks for its continue, ms
constexpr int DIALOG_POLL_MS = 50;           // how often a dialog looks for its answer, ms
constexpr int64_t SETTLE_FRAMES = 1;         // frames drawn before a stop, for what copies the frame
constexpr double FRAME_TOLERANCE = 1e-6;     // frames, for the rounding of decimal times
constexpr int MAX_STOPS = 64;                // at= times taken

int videoStarted = 0;
int windowCreated = 0;
EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
int contextCurrent = 0;
std::deque<PlatformMessage> messages;        // key messages not yet taken
int quitPosted = 0;
int quitCode = 0;

int virtualFps = 0;                          // frames per second of the test clock; 0: the real clock
int64_t virtualCounter = 0;                  // counts of WEB_VIRTUAL_FREQUENCY
int64_t virtualEpoch = -1;                   // counter when the demo clock started; -1: not yet
std::vector<int64_t> stopFrames;             // demo frames to stop at, ascending

// The key code of a browser key, 0 for the keys the demo does not use.
unsigned keyCode(const EmscriptenKeyboardEvent* event)
{
    struct Name {
        const char* key;
        unsigned code;
    };
    static const Name NAMES[] = {{"Escape", VK_ESCAPE}, {" ", VK_SPACE},        {"Spacebar", VK_SPACE},
                                 {"ArrowLeft", VK_LEFT}, {"ArrowUp", VK_UP},     {"ArrowRight", VK_RIGHT},
                                 {"ArrowDown", VK_DOWN}, {"Left", VK_LEFT},      {"Up", VK_UP},
                                 {"Right", VK_RIGHT},    {"Down", VK_DOWN},      {"Esc", VK_ESCAPE}};
    for (const Name& name : NAMES)
        if (std::strcmp(event->key, name.key) == 0) return name.code;
    return 0;
}

// Key presses (repeats included, as the browser sends them while a key is held)
// and releases of the six keys become messages; the page does not scroll on them.
EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* event, void*)
{
    const unsigned code = keyCode(event);
    if (code == 0) return EM_FALSE;
    const unsigned message = type == EMSCRIPTEN_EVENT_KEYDOWN ? WM_KEYDOWN : WM_KEYUP;
    messages.push_back(PlatformMessage{message, code, 0});
    return EM_TRUE;
}

// Reads the test hook's parameters from the page's address.
EM_JS(int, pageFps, (), {
    var value = new URLSearchParams(window.location.search).get("fps");
    var fps = value === null ? 0 : parseInt(value, 10);
    return fps > 0 && 27720000 % fps == 0 ? fps : 0;
});
EM_JS(int, pageStopCount, (), {
    var value = new URLSearchParams(window.location.search).get("at");
    return value ? value.split(",").length : 0;
});
EM_JS(double, pageStopSeconds, (int index), {
    return parseFloat(new URLSearchParams(window.location.search).get("at").split(",")[index]);
});
// Marks the page stopped at a frame; window.vantrelContinue() clears it.
EM_JS(void, pageStop, (double frame, double seconds), {
    window.vantrelStopped = {frame: frame, seconds: seconds};
    window.vantrelContinued = false;
});
EM_JS(int, pageContinued, (), { return window.vantrelContinued ? 1 : 0; });
EM_JS(void, pageShowDialog, (const char* caption, const char* text, int wait), {
    if (Module.vantrelDialog) Module.vantrelDialog(UTF8ToString(caption), UTF8ToString(text), wait);
});
EM_JS(int, pageDialogOpen, (), { return Module.vantrelDialogOpen ? 1 : 0; });
EM_JS(void, pageFirstFrame, (), {
    if (Module.vantrelFirstFrame) Module.vantrelFirstFrame();
});

int64_t countsPerFrame() { return WEB_VIRTUAL_FREQUENCY / virtualFps; }

// Whether a demo frame is drawn: a stop, or a frame just before one.
int rasterised(int64_t frame)
{
    const auto next = std::lower_bound(stopFrames.begin(), stopFrames.end(), frame);
    if (next == stopFrames.end()) return stopFrames.empty();
    return *next - frame <= SETTLE_FRAMES;
}

// After the swap of a frame on the test clock: stops there if it was asked for,
// then sets up rasterisation for the next frame.
void afterVirtualSwap()
{
    if (virtualEpoch < 0) {
        webGLSetRasterDiscard(!rasterised(0));  // the loading image: frame 0 is the next drawn
        return;
    }
    const int64_t frame = (virtualCounter - virtualEpoch) / countsPerFrame();
    if (std::binary_search(stopFrames.begin(), stopFrames.end(), frame)) {
        pageStop(static_cast<double>(frame), static_cast<double>(frame) / virtualFps);
        while (!pageContinued()) emscripten_sleep(STOP_POLL_MS);
    }
    webGLSetRasterDiscard(!rasterised(frame + 1));
}

int showBox(const char* text, const char* caption, unsigned type)
{
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    if ((type & 0x0F) == MB_YESNO) {
        // The only question is whether to play in a window, asked because a page
        // cannot change the display's mode: the page plays in its canvas, and its
        // Fullscreen button scales the canvas to the screen.
        std::fprintf(stderr, "vantrel: answered Yes: the demo plays in the page (its Fullscreen button fills the screen)\n");
        return IDYES;
    }
    const int wait = !virtualFps;  // on the test clock a box does not wait for a click
    pageShowDialog(caption ? caption : "", text ? text : "", wait);
    while (wait && pageDialogOpen()) emscripten_sleep(DIALOG_POLL_MS);
    return IDOK;
}

}  // namespace

int webVirtualClock() { return virtualFps; }

// ---------------------------------------------------------------------------

intptr_t platformDefaultWindowProc(unsigned, uintptr_t, intptr_t) { return 0; }

int platformPeekMessage(PlatformMessage* message)
{
    if (!messages.empty()) {
        *message = messages.front();
        messages.pop_front();
        return 1;
    }
    if (quitPosted) {
        quitPosted = 0;
        *message = PlatformMessage{WM_QUIT, static_cast<uintptr_t>(quitCode), 0};
        return 1;
    }
    return 0;
}

void platformPostQuitMessage(int code)
{
    quitPosted = 1;
    quitCode = code;
}

int platformMessageBox(const char* text, const char* caption, unsigned type) { return showBox(text, caption, type); }
int platformWindowMessageBox(const char* text, const char* caption, unsigned type)
{
    return showBox(text, caption, type);
}

int platformStartVideo()
{
    if (videoStarted) return 1;
    virtualFps = pageFps();
    stopFrames.clear();
    const int stops = std::min(pageStopCount(), MAX_STOPS);
    for (int i = 0; i < stops && virtualFps; ++i) {
        const double seconds = pageStopSeconds(i);
        if (std::isfinite(seconds) && seconds >= 0.0)
            stopFrames.push_back(static_cast<int64_t>(std::ceil(seconds * virtualFps - FRAME_TOLERANCE)));
    }
    std::sort(stopFrames.begin(), stopFrames.end());
    videoStarted = 1;
    return 1;
}

void platformStopVideo() { videoStarted = 0; }

// A page cannot change the display's mode.
int platformSetDisplayMode(int, int, int) { return 0; }
void platformRestoreDisplayMode() {}
void platformShowCursor(int) {}
int platformChoosePixelFormat(int, int) { return 1; }  // the context's attributes are set when it is made

int platformCreateWindow(const char*, int width, int height, int, int)
{
    if (emscripten_set_canvas_element_size("#canvas", width, height) != EMSCRIPTEN_RESULT_SUCCESS) {
        std::fprintf(stderr, "vantrel: the page has no canvas #canvas\n");
        return 0;
    }
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, onKey);
    windowCreated = 1;
    return 1;
}

void platformDestroyWindow()
{
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
    windowCreated = 0;
}

int platformCreateContext()
{
    if (!windowCreated) return 0;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;                  // no alpha bits: destination alpha reads 1
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;              // the demo's frame is not multisampled
    attributes.premultipliedAlpha = EM_FALSE;
    attributes.preserveDrawingBuffer = EM_TRUE;   // the frame stays from one swap to the next, as a window's does
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    context = emscripten_webgl_create_context("#canvas", &attributes);
    if (context <= 0) {
        std::fprintf(stderr, "vantrel: the browser gives no WebGL 2 context\n");
        context = 0;
        return 0;
    }
    return 1;
}

int platformMakeCurrent(int current)
{
    if (!current) {
        if (contextCurrent) webGLStop();
        contextCurrent = 0;
        return emscripten_webgl_make_context_current(0) == EMSCRIPTEN_RESULT_SUCCESS;
    }
    if (context == 0 || emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) return 0;
    if (!contextCurrent && !webGLStart()) return 0;
    contextCurrent = 1;
    return 1;
}

void platformDestroyContext()
{
    if (context != 0) emscripten_webgl_destroy_context(context);
    context = 0;
}

void platformShowWindow() {}

void platformSwapBuffers()
{
    static int swaps = 0;
    webGLFlush();
    if (++swaps == 1) pageFirstFrame();
    if (virtualFps) {
        afterVirtualSwap();
        const int64_t step = countsPerFrame();
        virtualCounter += step;
        webAudioAdvance(step);
    }
    // The browser shows the frame and runs its events while the demo's loop waits here.
    emscripten_sleep(0);
}

int platformDrawingDiscarded() { return webGLRasterDiscarded(); }

void platformAllowScreenSaver(int) {}

int platformQueryPerformanceFrequency(int64_t* frequency)
{
    if (virtualFps) {
        virtualEpoch = virtualCounter;  // asked once, as the demo clock starts: demo time 0
        *frequency = WEB_VIRTUAL_FREQUENCY;
    } else {
        *frequency = WEB_REAL_FREQUENCY;
    }
    return 1;
}

int platformQueryPerformanceCounter(int64_t* count)
{
    *count = virtualFps ? virtualCounter : static_cast<int64_t>(emscripten_get_now() * 1000.0);
    return 1;
}

uint32_t platformTimeGetTime()
{
    if (virtualFps) return static_cast<uint32_t>(virtualCounter / (WEB_VIRTUAL_FREQUENCY / 1000));
    return static_cast<uint32_t>(static_cast<int64_t>(emscripten_get_now()));
}
