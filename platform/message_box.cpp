#include "platform/message_box.h"

#include <cstdio>

#include <SDL.h>

#include "platform/display_lost.h"

namespace platform {

namespace {

Uint32 IconFlag(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Exclamation: return SDL_MESSAGEBOX_WARNING;
    case BoxIcon::Stop: return SDL_MESSAGEBOX_ERROR;
    case BoxIcon::Information: return SDL_MESSAGEBOX_INFORMATION;
    }
    return SDL_MESSAGEBOX_WARNING;
}

// Shows the box; -1 when it could not be shown, else the pressed button's id.
int Show(const char* text, const char* caption, BoxIcon icon, const SDL_MessageBoxButtonData* buttons,
         int buttonCount) {
    const SDL_MessageBoxData data{IconFlag(icon), nullptr, caption, text, buttonCount, buttons, nullptr};
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0) {
        // The box fails when the X server went away while it was open (or
        // before); that is the end of the program, not an answer.
        EndIfDisplayLost();
        std::fprintf(stderr, "%s: %s\n(the message box could not be shown: %s)\n", caption, text, SDL_GetError());
        return -1;
    }
    return pressed;
}

}  // namespace

void MessageBoxOk(const char* text, const char* caption, BoxIcon icon) {
    const SDL_MessageBoxButtonData ok{
        SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "OK"};
    Show(text, caption, icon, &ok, 1);
}

BoxAnswer MessageBoxYesNo(const char* text, const char* caption, BoxIcon icon) {
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
    };
    return Show(text, caption, icon, buttons, 2) == 1 ? BoxAnswer::Yes : BoxAnswer::No;
}

}  // namespace platform
