// Message boxes on SDL. Each box is echoed to stderr and shown on the display,
// whether or not the video system is up: SDL's box opens its own connection,
// so a failure that has already closed the window still reaches the viewer.
// Without a display the default answer comes back at once.
#include <SDL.h>

#include <cstdio>

#include "platform/common/common.h"
#include "platform/platform.h"
#include "platform/sdl/internal.h"

namespace {

int showBox(const char* text, const char* caption, unsigned type, SDL_Window* owner)
{
    platformEchoMessageBox(text, caption);
    const bool yesNo = (type & 0x0F) == MB_YESNO;
    const int defaultAnswer = yesNo ? IDYES : IDOK;
    if (!sdlDisplayNamed()) return defaultAnswer;

    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((type & 0xF0) == MB_ICONSTOP) flags = SDL_MESSAGEBOX_ERROR;
    if ((type & 0xF0) == MB_ICONEXCLAMATION) flags = SDL_MESSAGEBOX_WARNING;

    SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
    };
    SDL_MessageBoxButtonData okButton[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"},
    };
    SDL_MessageBoxData data = {};
    data.flags = flags;
    data.window = owner;
    data.title = caption;
    data.message = text;
    data.numbuttons = yesNo ? 2 : 1;
    data.buttons = yesNo ? yesNoButtons : okButton;
    int answer = 0;
    if (SDL_ShowMessageBox(&data, &answer) != 0) {
        // Nobody saw the box: say so, so that the answer below is not taken for the viewer's.
        std::fprintf(stderr, "vantrel: the box could not be shown (%s); answered %s\n", SDL_GetError(),
                     yesNo ? "Yes" : "OK");
        return defaultAnswer;
    }
    if (answer < 0) return yesNo ? IDNO : IDOK;  // closed without a button
    return answer;
}

}  // namespace

int platformMessageBox(const char* text, const char* caption, unsigned type)
{
    return showBox(text, caption, type, nullptr);
}

int platformWindowMessageBox(const char* text, const char* caption, unsigned type)
{
    return showBox(text, caption, type, sdlMainWindow());
}
