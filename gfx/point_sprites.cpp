#include "gfx/point_sprites.h"

#include <cstring>

#include "platform/display.h"

namespace gfx {

bool pointSpritesAvailable = false;
PFNGLPOINTPARAMETERFARBPROC glPointParameterfARB = nullptr;
PFNGLPOINTPARAMETERFVARBPROC glPointParameterfvARB = nullptr;

PointSpriteProbe ProbePointSprites(const char* extensions, ProcAddressLookup lookup) {
    PointSpriteProbe probe;
    probe.available = true;
    if (!extensions || !std::strstr(extensions, "GL_ARB_point_parameters")) {
        probe.available = false;
        return probe;
    }
    probe.pointParameterf = reinterpret_cast<PFNGLPOINTPARAMETERFARBPROC>(lookup("glPointParameterfARB"));
    probe.pointParameterfv = reinterpret_cast<PFNGLPOINTPARAMETERFVARBPROC>(lookup("glPointParameterfvARB"));
    if (!probe.pointParameterf || !probe.pointParameterfv) probe.available = false;
    return probe;
}

void ResetPointSprites() {
    pointSpritesAvailable = false;
    glPointParameterfARB = nullptr;
    glPointParameterfvARB = nullptr;
}

void ProbePointSpritesOnContext() {
    const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const PointSpriteProbe probe = ProbePointSprites(extensions, &platform::GetGlProcAddress);
    pointSpritesAvailable = probe.available;
    glPointParameterfARB = probe.pointParameterf;
    glPointParameterfvARB = probe.pointParameterfv;
}

}  // namespace gfx
