// The real platform layer: an SDL window with a legacy OpenGL context, the
// system's counters and SDL's events turned into window messages.
#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <deque>

#include "platform/common/common.h"
#include "platform/platform.h"
#include "platform/sdl/internal.h"

namespace {

SDL_Window* window = nullptr;        // the demo's one window
SDL_GLContext context = nullptr;     // its GL context
int videoStarted = 0;                // SDL video initialised
int modeWidth = 0, modeHeight = 0;   // display mode asked for by platformSetDisplayMode; 0 = none
int quitPosted = 0;                  // platformPostQuitMessage was called and its message not yet taken
int quitCode = 0;                    // its exit code
std::deque<PlatformMessage> pending; // messages made from one event that are not yet taken
int pictureWidth = 0, pictureHeight = 0;  // the size the demo draws at, pixels
int scaled = 0;                      // 1: the demo draws into target, copied to the window at each swap
PictureTarget target;                // the picture while scaled
int cursorVisible = 1;               // as platformShowCursor last set it

// The class the window manager knows the window by (WM_CLASS on X11).
const char* const WINDOW_CLASS = "OpenGL";
// Side of the hidden window that tries a pixel format before the demo's window is made, pixels.
constexpr int PROBE_SIDE = 1;

int named(const char* variable)
{
    const char* value = SDL_getenv(variable);
    return value != nullptr && *value != '\0';
}

// Key codes of the keys the demo knows; other keys map into the same 0..255 range.
unsigned keyCodeOf(SDL_Keycode key)
{
    switch (key) {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    default: break;
    }
    if (key >= 'a' && key <= 'z') return static_cast<unsigned>(key - 'a' + 'A');
    if (key >= '0' && key <= '9') return static_cast<unsigned>(key);
    return 0xFF;  // a key without a code of its own
}

void push(unsigned message, uintptr_t wParam, intptr_t lParam)
{
    pending.push_back(PlatformMessage{message, wParam, lParam});
}

// Turns one SDL event into zero or more messages.
void translate(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_QUIT:
        push(WM_QUIT, 0, 0);
        break;
    case SDL_KEYDOWN:
        push(WM_KEYDOWN, keyCodeOf(event.key.keysym.sym), 0);
        break;
    case SDL_KEYUP:
        push(WM_KEYUP, keyCodeOf(event.key.keysym.sym), 0);
        break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            push(WM_CLOSE, 0, 0);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            push(WM_ACTIVATE, uintptr_t(1) << 16, 0);
            break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN:
            push(WM_ACTIVATE, 1, 0);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
            // Scaled, the demo goes on drawing its picture at its own size.
            const intptr_t w = (scaled ? pictureWidth : event.window.data1) & 0xFFFF;
            const intptr_t h = (scaled ? pictureHeight : event.window.data2) & 0xFFFF;
            push(WM_SIZE, 0, (h << 16) | w);
            break;
        }
        default:
            break;
        }
        break;
    default:
        break;
    }
}

}  // namespace

SDL_Window* sdlMainWindow()
{
    return window;
}

int sdlDisplayNamed()
{
    return named("DISPLAY") || named("WAYLAND_DISPLAY");
}

int platformStartVideo()
{
    if (videoStarted) return 1;
    const char* x11 = SDL_getenv("DISPLAY");
    if (!sdlDisplayNamed()) {
        std::fprintf(stderr, "vantrel: no display to open a window on (DISPLAY is not set)\n");
        return 0;
    }
    // With only an X display, ask for X alone rather than probing for others.
    if (!named("WAYLAND_DISPLAY")) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    // SDL's X11 driver reads the window class from the environment when video
    // starts, and gives it to every window it makes.
    SDL_setenv("SDL_VIDEO_X11_WMCLASS", WINDOW_CLASS, 1);
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
        std::fprintf(stderr, "vantrel: cannot open the display %s (%s)\n", x11 ? x11 : "", SDL_GetError());
        return 0;
    }
    // Without a display SDL falls back to drivers that show nothing; a demo nobody
    // can see is a failure, not a success.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
        std::fprintf(stderr, "vantrel: no display to open a window on (is DISPLAY set?)\n");
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS);
        return 0;
    }
    videoStarted = 1;
    return 1;
}

void platformStopVideo()
{
    if (!videoStarted) return;
    platformPinGLDriver();
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS);
    videoStarted = 0;
}

int platformSetDisplayMode(int width, int height, int bits)
{
    (void)bits;  // the colour depth of the desktop is kept; the GL context asks for its own
    SDL_DisplayMode want = {};
    want.w = width;
    want.h = height;
    SDL_DisplayMode got = {};
    // SDL snaps to the closest mode it has; anything but the exact size is not the mode asked for.
    if (SDL_GetClosestDisplayMode(0, &want, &got) == nullptr || got.w != width || got.h != height)
        return 0;
    modeWidth = width;
    modeHeight = height;
    return 1;
}

void platformRestoreDisplayMode()
{
    // Leaving exclusive fullscreen gives the desktop its own mode back.
    if (window != nullptr) SDL_SetWindowFullscreen(window, 0);
    modeWidth = modeHeight = 0;
}

void platformShowCursor(int visible)
{
    cursorVisible = visible;
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

int platformCreateWindow(const char* title, int width, int height, int kind, int scale)
{
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (kind == WINDOW_FULLSCREEN) flags |= SDL_WINDOW_FULLSCREEN;
    if (kind == WINDOW_DESKTOP) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;  // no mode change
    if (scale < 1 || kind != WINDOW_FRAMED) scale = 1;
    pictureWidth = width;
    pictureHeight = height;
    scaled = kind == WINDOW_DESKTOP || scale > 1;
    int windowWidth = width * scale, windowHeight = height * scale;
    SDL_DisplayMode desktop = {};
    // The desktop's own size, so the window covers it even where no window
    // manager makes it fullscreen.
    if (kind == WINDOW_DESKTOP && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
        windowWidth = desktop.w;
        windowHeight = desktop.h;
    }
    window = SDL_CreateWindow(title, 0, 0, windowWidth, windowHeight, flags);
    if (window == nullptr) return 0;
    if (kind == WINDOW_FULLSCREEN) {
        SDL_DisplayMode mode = {};
        SDL_DisplayMode want = {};
        want.w = modeWidth ? modeWidth : width;
        want.h = modeHeight ? modeHeight : height;
        if (SDL_GetClosestDisplayMode(0, &want, &mode) == nullptr || SDL_SetWindowDisplayMode(window, &mode) != 0) {
            SDL_DestroyWindow(window);
            window = nullptr;
            return 0;
        }
    }
    return 1;
}

void platformDestroyWindow()
{
    platformPinGLDriver();  // the window's GL library goes with it
    if (window != nullptr) SDL_DestroyWindow(window);
    window = nullptr;
    scaled = 0;
}

int platformChoosePixelFormat(int colourBits, int depthBits)
{
    if (!videoStarted) return 0;
    // A 16-bit request asks for at least 5-6-5; drivers may give more. No alpha
    // bits: the flash overlay relies on destination alpha reading 1.
    const int red = colourBits >= 24 ? 8 : 5;
    const int green = colourBits >= 24 ? 8 : 6;
    const int blue = colourBits >= 24 ? 8 : 5;
    if (SDL_GL_SetAttribute(SDL_GL_RED_SIZE, red) != 0 || SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, green) != 0 ||
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, blue) != 0 || SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0) != 0 ||
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits) != 0 || SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0) != 0 ||
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1) != 0 || SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 0) != 0)
        return 0;
    // Immediate mode and texture object 0 need a compatibility context.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    // The attributes are read when a GL window is made (on X11 they fix its
    // visual), so they are set before the demo's window exists. A hidden window
    // of that format tells whether the display has one at all.
    SDL_Window* probe = SDL_CreateWindow("", 0, 0, PROBE_SIDE, PROBE_SIDE, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (probe == nullptr) return 0;
    SDL_DestroyWindow(probe);
    return 1;
}

int platformCreateContext()
{
    if (window == nullptr) return 0;
    context = SDL_GL_CreateContext(window);
    if (context == nullptr) return 0;
    int depth = 0;
    int doubleBuffer = 0;
    SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth);
    SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffer);
    if (depth < 16 || !doubleBuffer) {
        SDL_GL_DeleteContext(context);
        context = nullptr;
        return 0;
    }
    return 1;
}

int platformMakeCurrent(int current)
{
    if (current) {
        if (SDL_GL_MakeCurrent(window, context) != 0) return 0;
        SDL_GL_SetSwapInterval(1);  // vsync where the driver allows it
        if (scaled && target.framebuffer == 0 && !platformCreateTarget(&target, pictureWidth, pictureHeight)) {
            std::fprintf(stderr, "vantrel: the GL driver cannot scale the picture (no frame buffer objects)\n");
            return 0;
        }
        platformPrepareContext();
        return 1;
    }
    platformDestroyTarget(&target);
    return SDL_GL_MakeCurrent(window, nullptr) == 0;
}

void platformDestroyContext()
{
    if (context != nullptr) SDL_GL_DeleteContext(context);
    context = nullptr;
}

void platformShowWindow()
{
    if (window == nullptr) return;
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    SDL_SetWindowInputFocus(window);
    // SDL gives a hidden cursor to the windows that exist when it is hidden;
    // this one was made after, so it is told again.
    SDL_ShowCursor(cursorVisible ? SDL_ENABLE : SDL_DISABLE);
}

void platformSwapBuffers()
{
    if (window == nullptr) return;
    if (target.framebuffer != 0) {
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(window, &w, &h);
        platformPresentTarget(target, w, h);
    }
    SDL_GL_SwapWindow(window);
    platformBindTarget(target);  // the demo draws its next frame into the picture again
}

int platformDrawingDiscarded() { return 0; }

void platformAllowScreenSaver(int allow)
{
    if (allow)
        SDL_EnableScreenSaver();
    else
        SDL_DisableScreenSaver();
}

int platformPeekMessage(PlatformMessage* message)
{
    if (pending.empty() && videoStarted) {
        SDL_Event event;
        while (pending.empty() && SDL_PollEvent(&event)) translate(event);
    }
    if (!pending.empty()) {
        *message = pending.front();
        pending.pop_front();
        return 1;
    }
    if (quitPosted) {
        quitPosted = 0;
        *message = PlatformMessage{WM_QUIT, static_cast<uintptr_t>(quitCode), 0};
        return 1;
    }
    return 0;
}

intptr_t platformDefaultWindowProc(unsigned, uintptr_t, intptr_t)
{
    // SDL handles its own events; a message the demo leaves alone needs nothing more.
    return 0;
}

void platformPostQuitMessage(int code)
{
    quitPosted = 1;
    quitCode = code;
}

int platformQueryPerformanceFrequency(int64_t* frequency)
{
    const Uint64 f = SDL_GetPerformanceFrequency();
    *frequency = static_cast<int64_t>(f);
    return f != 0;
}

int platformQueryPerformanceCounter(int64_t* count)
{
    *count = static_cast<int64_t>(SDL_GetPerformanceCounter());
    return 1;
}

uint32_t platformTimeGetTime()
{
    return SDL_GetTicks();
}
