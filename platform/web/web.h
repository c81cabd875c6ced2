#pragma once
// Shared by the web realisation of platform/ (Emscripten's html5.h and the
// page): which canvas is the window, and the event listeners that fill the
// message queue.

namespace platform::web {

// The page's canvas, the intro's window (CSS selector).
inline constexpr const char* kCanvas = "#canvas";

// Turns the page's key, mouse, visibility and unload events into window
// messages (messages.cpp). False when the page has no canvas.
bool ListenToPage();

// Removes those listeners.
void StopListening();

// A named moment of the start-up on the browser's performance timeline
// (User Timing: bench/web_page.py reads them, a browser's profiler shows
// them): "quandrix-context", "-song", "-sound", "-started", "-first-frame".
void Mark(const char* name);

}  // namespace platform::web
