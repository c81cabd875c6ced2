#pragma once
// Losing the window system while the program runs: the X server ends (a
// logout, a remote display that drops, a test's Xvfb stopped). Xlib's own
// answer is to call exit(), whose atexit handlers (SDL_Quit among them) then
// wait forever on the dead connection. Instead the program ends at once: the
// cleanup set here runs (the music stops and its thread is joined), one line
// goes to standard error and the process ends with kDisplayLostExitStatus,
// without atexit handlers or static destructors, so that nothing calls into
// the window system again. Textures, context and window die with the
// connection; there is no display mode to restore on a server that is gone.

namespace platform {

// EX_UNAVAILABLE of <sysexits.h>: the program did not end at the user's request.
inline constexpr int kDisplayLostExitStatus = 69;

// What has to happen before the end; runs on the thread that set it (the
// main thread), never on another and never in a child process. The function
// must not use the window system.
void SetDisplayLostCleanup(void (*cleanup)());

// Routes Xlib's fatal I/O errors to the ending above. Call it before the
// video starts and again once it runs (SDL may set a handler of its own);
// `connected`: the video now runs on an X server.
void WatchForDisplayLoss(bool connected);

// For a message box that could not be shown: when the video ran on an X
// server that can no longer be reached, ends as above; otherwise returns.
void EndIfDisplayLost();

}  // namespace platform
