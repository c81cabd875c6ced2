#include "platform/display_lost.h"

#include <atomic>
#include <csignal>
#include <cstdio>

#include <X11/Xlib.h>
#include <pthread.h>
#include <unistd.h>

namespace platform {

namespace {

struct DisplayLoss {
    void (*cleanup)() = nullptr;
    pthread_t owner{};  // the thread that set the cleanup
    pid_t process = 0;  // SDL shows message boxes from a child process
    bool connected = false;  // the video has run on an X server
    std::atomic<bool> ending{false};
};

DisplayLoss loss;

[[noreturn]] void End() {
    if (getpid() != loss.process) {
        // A message box's child: its parent notices the loss itself and says so.
        _exit(1);
    }
    // The cleanup may not run twice, nor on a thread that does not own the
    // state it stops.
    const bool first = !loss.ending.exchange(true);
    if (first && loss.cleanup && pthread_equal(pthread_self(), loss.owner)) loss.cleanup();
    std::fputs("Display lost: the connection to the X server has closed.\n", stderr);
    std::fflush(stderr);
    _exit(kDisplayLostExitStatus);
}

int OnFatalIoError(::Display*) { End(); }

}  // namespace

void SetDisplayLostCleanup(void (*cleanup)()) {
    loss.cleanup = cleanup;
    loss.owner = pthread_self();
    loss.process = getpid();
}

void WatchForDisplayLoss(bool connected) {
    if (loss.process == 0) loss.process = getpid();
    // A write to the socket of a server that has just ended would otherwise
    // kill the process with SIGPIPE before Xlib could see the error and call
    // the handler below, skipping the cleanup and the exit status.
    std::signal(SIGPIPE, SIG_IGN);
    XSetIOErrorHandler(OnFatalIoError);
    loss.connected = loss.connected || connected;
}

void EndIfDisplayLost() {
    if (!loss.connected) return;
    ::Display* probe = XOpenDisplay(nullptr);
    if (!probe) End();
    XCloseDisplay(probe);
}

}  // namespace platform
