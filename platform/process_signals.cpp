#include "platform/process_signals.h"

#include <atomic>
#include <csignal>

#include <signal.h>

namespace platform {

namespace {

// Lock-free, hence safe to touch from a signal handler.
std::atomic<std::uint32_t> leaveSignals{0};
std::atomic<std::uint32_t> resumes{0};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

bool installed = false;

void OnLeave(int) { leaveSignals.fetch_add(1, std::memory_order_relaxed); }

void OnResume(int) { resumes.fetch_add(1, std::memory_order_relaxed); }

void Install(int number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(number, &action, nullptr);
}

}  // namespace

void InstallProcessSignals() {
    if (installed) return;
    installed = true;
    Install(SIGTERM, OnLeave);
    Install(SIGINT, OnLeave);
    Install(SIGHUP, OnLeave);
    Install(SIGCONT, OnResume);
}

bool TakeLeaveRequest() { return leaveSignals.exchange(0, std::memory_order_relaxed) != 0; }

std::uint32_t ResumeCount() { return resumes.load(std::memory_order_relaxed); }

}  // namespace platform
