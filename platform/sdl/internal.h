// Shared inside the real platform layer.
#pragma once

#include <SDL.h>

// The demo's window while it exists, else null (the owner of window-owned boxes).
SDL_Window* sdlMainWindow();
// Whether the environment names a display (X or Wayland) to show a window or box on.
int sdlDisplayNamed();
