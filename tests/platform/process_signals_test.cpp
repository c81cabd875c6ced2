#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/process_signals.h"

namespace {

using platform::Message;

TEST(ProcessSignals, LeaveSignalsArriveAsOneCloseRequestAfterTheWaitingMessages) {
    platform::InstallProcessSignals();
    platform::ClearMessageQueue();
    Message message;
    std::raise(SIGTERM);
    std::raise(SIGINT);
    std::raise(SIGHUP);
    ASSERT_TRUE(platform::PeekMessage(&message));
    EXPECT_EQ(message.message, platform::WM_CLOSE);
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_FALSE(platform::PeekMessage(&message));

    // A later one is a request of its own; the frame loop ignores it in the fade.
    platform::PostQuitMessage(0);
    std::raise(SIGHUP);
    ASSERT_TRUE(platform::PeekMessage(&message));
    EXPECT_EQ(message.message, platform::WM_CLOSE);
    ASSERT_TRUE(platform::PeekMessage(&message));
    EXPECT_EQ(message.message, platform::WM_QUIT);
    EXPECT_FALSE(platform::PeekMessage(&message));
}

// Milliseconds between two counter readings.
double Milliseconds(std::int64_t from, std::int64_t to) {
    std::int64_t frequency = 1;
    platform::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency);
}

TEST(ProcessSignals, TheClocksLeaveOutTheTimeBeforeAContinue) {
    platform::InstallProcessSignals();
    const std::uint32_t resumes = platform::ResumeCount();
    const std::int64_t before = platform::QueryPerformanceCounter();
    const std::uint32_t ticksBefore = platform::GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));  // as if stopped
    std::raise(SIGCONT);
    EXPECT_EQ(platform::ResumeCount(), resumes + 1);
    const std::int64_t resumed = platform::QueryPerformanceCounter();
    const std::uint32_t ticksResumed = platform::GetTickCount();
    EXPECT_LT(Milliseconds(before, resumed), 1.0);
    EXPECT_LE(ticksResumed - ticksBefore, 1u);

    // From there on time counts again.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(Milliseconds(resumed, platform::QueryPerformanceCounter()), 29.0);
    EXPECT_GE(platform::GetTickCount() - ticksResumed, 29u);
}

}  // namespace
