#pragma once
// The web page the intro runs in: its state for the page's own script and
// for tests, and the browser's frame pacing (the page hands main the
// address's fragment as its argument). Realised by
// platform/web/ only; the desktop builds neither have nor need a page.
// Main thread only.

namespace platform {

// The show's state as the page reads it: the attribute data-show of the
// page's root element, e.g. "running" or "holding".
void SetPageState(const char* state);

// Calls frame(argument) once per display frame, before the browser shows
// the canvas, for as long as it returns true; then finish(argument) once,
// whose result ends the program as main's return value would. Never
// returns: the browser calls back after the caller's main has unwound, so
// `argument` must outlive main (a static).
[[noreturn]] void RunFrames(bool (*frame)(void*), int (*finish)(void*), void* argument);

}  // namespace platform
