#pragma once
// The legacy OpenGL 1.1 and GLU declarations the drawing code uses: the
// system's on the desktop, the GL layer's on WebGL 2 in the browser.
#if defined(__EMSCRIPTEN__)
#include "webgl/legacy_gl.h"
#else
#if defined(_WIN32) && !defined(APIENTRY)
// Windows' GL headers want three calling-convention macros and would
// otherwise pull in all of <windows.h>, whose macros rename functions of
// ours (CreateWindow, PeekMessage, FindResource).
#define APIENTRY __stdcall
#define WINGDIAPI __declspec(dllimport)
#define CALLBACK __stdcall
#endif
#include <GL/gl.h>
// The extension declarations (point parameters); Mesa's gl.h includes them
// itself, Windows' does not.
#include <GL/glext.h>
#include <GL/glu.h>
#endif
