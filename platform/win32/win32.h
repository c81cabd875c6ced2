#pragma once
// <windows.h> for the Win32 realisation of platform/, included after the
// platform headers: several Win32 names are macros (CreateWindow,
// PeekMessage, DispatchMessage, DefWindowProc, FindResource) that would
// rename the platform functions of the same name. They are undone here and
// the ANSI functions are called by their full names.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef CreateWindow
#undef PeekMessage
#undef DispatchMessage
#undef DefWindowProc
#undef FindResource
#undef MessageBox

namespace platform::win32 {

// The window the display made, for the message functions; null without one.
HWND MainWindow();

// The window class's procedure (messages.cpp): hands the message to the
// shell's procedure, remembering the window for DefWindowProc.
LRESULT CallWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace platform::win32
