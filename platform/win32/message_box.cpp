// Message boxes on native Win32: MessageBox, owned by the display's window
// while there is one.
#include "platform/message_box.h"

#include <cstdio>

#include "platform/win32/win32.h"

namespace platform {

namespace {

UINT IconFlag(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Exclamation: return MB_ICONEXCLAMATION;
    case BoxIcon::Stop: return MB_ICONSTOP;
    case BoxIcon::Information: return MB_ICONINFORMATION;
    }
    return MB_ICONEXCLAMATION;
}

// The pressed button, or 0 when the box could not be shown (then the text
// goes to standard error).
int Show(const char* text, const char* caption, UINT flags) {
    const int pressed = MessageBoxA(win32::MainWindow(), text, caption, flags);
    if (pressed == 0) {
        std::fprintf(stderr, "%s: %s\n(the message box could not be shown: error %lu)\n", caption, text,
                     GetLastError());
    }
    return pressed;
}

}  // namespace

void MessageBoxOk(const char* text, const char* caption, BoxIcon icon) { Show(text, caption, MB_OK | IconFlag(icon)); }

BoxAnswer MessageBoxYesNo(const char* text, const char* caption, BoxIcon icon) {
    return Show(text, caption, MB_YESNO | IconFlag(icon)) == IDYES ? BoxAnswer::Yes : BoxAnswer::No;
}

}  // namespace platform
