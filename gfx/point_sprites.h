#pragma once
// The point-sprite probe: whether the point cloud may size and attenuate its
// points through GL_ARB_point_parameters. Set once by LoadTextures, only
// read afterwards; main thread.

#include "gfx/gl.h"

namespace gfx {

// True only when the extension is listed and both entry points are known.
extern bool pointSpritesAvailable;
// The extension's entry points; null unless the probe found them.
extern PFNGLPOINTPARAMETERFARBPROC glPointParameterfARB;    // (parameter name, one float)
extern PFNGLPOINTPARAMETERFVARBPROC glPointParameterfvARB;  // (parameter name, pointer to floats)

struct PointSpriteProbe {
    bool available = false;
    PFNGLPOINTPARAMETERFARBPROC pointParameterf = nullptr;
    PFNGLPOINTPARAMETERFVARBPROC pointParameterfv = nullptr;
};

// Looks an entry point up by name; nullptr when the driver has none.
using ProcAddressLookup = void* (*)(const char* name);

// The probe on a given extension string (null counts as empty): when it
// contains "GL_ARB_point_parameters" as a substring, both entry points are
// looked up and `available` is true only if both were found; otherwise
// nothing is looked up.
PointSpriteProbe ProbePointSprites(const char* extensions, ProcAddressLookup lookup);

// The probe on the current context (glGetString(GL_EXTENSIONS) and
// platform::GetGlProcAddress), stored in the three globals above.
void ProbePointSpritesOnContext();

// The three globals back to "no point sprites" (tests, and before a probe on
// a new context).
void ResetPointSprites();

}  // namespace gfx
