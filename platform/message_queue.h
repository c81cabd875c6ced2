#pragma once
// The queue behind messages.h that the SDL and web realisations share (the
// native Win32 one uses the system's): messages wait in arrival order, a
// posted quit comes back only when nothing else waits, and DispatchMessage
// calls the registered procedure. Each realisation fills it from its own
// events and takes from it in its PeekMessage. Main thread only.

#include "platform/messages.h"

namespace platform::queue {

// Appends a message.
void Push(std::uint32_t message, WPARAM wParam, LPARAM lParam);

// The oldest waiting message, else a posted quit (once); false when neither.
bool Take(Message* out);

// Drops every waiting message and a posted quit.
void Clear();

}  // namespace platform::queue
