#include "platform/console.h"

#include <csignal>

#include <poll.h>
#include <unistd.h>

namespace platform {

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

}  // namespace

void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested() { return interrupted != 0; }

void ResetInterrupt() { interrupted = 0; }

bool ConsoleLineEntered(unsigned milliseconds) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&input, 1, static_cast<int>(milliseconds));
    if (ready <= 0) return false;  // timeout, or a signal arrived
    if ((input.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) return false;
    // Consume up to the end of the line.
    char c = 0;
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got <= 0 || c == '\n') return true;
    }
}

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace platform
