/* Preloaded into the intro by bench/intro_profile.py: notes when the first
 * frame is presented and how many frames were, without touching the
 * program. SDL_GL_SwapWindow is where a frame reaches the screen.
 *
 * QUANDRIX_PROBE_T0: CLOCK_MONOTONIC in nanoseconds just before the exec.
 * QUANDRIX_PROBE_OUT: file that receives "first_frame_ns N" at once and, at
 * exit, "frame_at_ns T" (CLOCK_MONOTONIC) for every frame presented. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

enum { kMaxFrames = 1 << 20 };
static unsigned long long frameTimes[kMaxFrames];
static unsigned long frames;

static unsigned long long Now(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (unsigned long long)now.tv_sec * 1000000000ull + (unsigned long long)now.tv_nsec;
}

static void Note(const char* what, unsigned long long value) {
    const char* path = getenv("QUANDRIX_PROBE_OUT");
    FILE* out = path ? fopen(path, "a") : NULL;
    if (!out) return;
    fprintf(out, "%s %llu\n", what, value);
    fclose(out);
}

static void AtExit(void) {
    const char* path = getenv("QUANDRIX_PROBE_OUT");
    FILE* out = path ? fopen(path, "a") : NULL;
    if (!out) return;
    for (unsigned long i = 0; i < frames && i < kMaxFrames; ++i) fprintf(out, "frame_at_ns %llu\n", frameTimes[i]);
    fclose(out);
}

void SDL_GL_SwapWindow(void* window) {
    static void (*real)(void*);
    if (!real) real = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    real(window);
    const unsigned long long now = Now();
    if (frames < kMaxFrames) frameTimes[frames] = now;
    if (frames++ == 0) {
        const char* t0 = getenv("QUANDRIX_PROBE_T0");
        Note("first_frame_ns", t0 ? now - strtoull(t0, NULL, 10) : 0);
        atexit(AtExit);
    }
}
