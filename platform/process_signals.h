#pragma once
// What a desktop or a terminal tells the process through signals: SIGTERM
// (logout, `kill`), SIGINT (Ctrl+C) and SIGHUP (the terminal closed) ask it
// to leave; SIGCONT says that it runs again after a stop (SIGSTOP, Ctrl+Z).
// The handlers only count, in lock-free atomics; the program looks at the
// counts from its own code (the message queue, the clock).

#include <cstdint>

namespace platform {

// Installs the handlers (SA_RESTART, so no call is interrupted). Once per
// process; later calls do nothing.
void InstallProcessSignals();

// True when a leave signal arrived since the last call; any number of them
// count as one.
bool TakeLeaveRequest();

// How many SIGCONTs have arrived; only grows.
std::uint32_t ResumeCount();

}  // namespace platform
