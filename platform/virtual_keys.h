#pragma once
// SDL key codes to Win32 virtual-key codes. Split out so that the mapping can
// be tested without a display.

#include <cstdint>

namespace platform {

// The virtual-key code (1..254) for an SDL_Keycode, or 0 for a key that has
// none (no message is generated for it).
unsigned VirtualKeyFromKeycode(std::int32_t sdlKeycode);

}  // namespace platform
