#include <gtest/gtest.h>

#include "app/frame_clock.h"

namespace {

struct FakeClock {
    static inline bool hasCounter = true;
    static inline std::int64_t frequency = 0;
    static inline std::int64_t counter = 0;
    static inline std::uint32_t ticks = 0;
    static inline int frequencyQueries = 0;

    static bool QueryFrequency(std::int64_t* out) {
        ++frequencyQueries;
        if (!hasCounter) return false;
        *out = frequency;
        return true;
    }
    static std::int64_t Counter() { return counter; }
    static std::uint32_t Ticks() { return ticks; }
};

class FrameClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        FakeClock::frequencyQueries = 0;
        app::ResetFrameClock({FakeClock::QueryFrequency, FakeClock::Counter, FakeClock::Ticks});
    }
    void TearDown() override { app::ResetFrameClock(app::SystemClockSource()); }
};

TEST_F(FrameClockTest, CounterGivesCountsOverFrequency) {
    FakeClock::hasCounter = true;
    FakeClock::frequency = 3'000'000;
    FakeClock::counter = 4'500'000;
    EXPECT_EQ(app::ReadClock(), 1.5L);
    FakeClock::counter = 4'500'001;
    EXPECT_NEAR(static_cast<double>(app::ReadClock() - 1.5L), 1.0 / 3'000'000, 1e-15);
    EXPECT_EQ(FakeClock::frequencyQueries, 1);  // asked once, on the first reading
}

TEST_F(FrameClockTest, WithoutCounterTheTickCountIsUsedSilently) {
    FakeClock::hasCounter = false;
    FakeClock::ticks = 0xFFFFFFFFu;  // taken as a non-negative value
    EXPECT_EQ(app::ReadClock(), 4294967.295L);
    FakeClock::ticks = 1234;
    EXPECT_EQ(app::ReadClock(), 1.234L);
    // The choice is made once: a counter that appears later is not used.
    FakeClock::hasCounter = true;
    FakeClock::frequency = 1000;
    FakeClock::counter = 99;
    EXPECT_EQ(app::ReadClock(), 1.234L);
    EXPECT_EQ(FakeClock::frequencyQueries, 1);
}

TEST_F(FrameClockTest, ACounterOfFrequencyZeroCountsAsNone) {
    FakeClock::hasCounter = true;
    FakeClock::frequency = 0;
    FakeClock::ticks = 500;
    EXPECT_EQ(app::ReadClock(), 0.5L);
}

TEST(SystemClock, RunsForward) {
    app::ResetFrameClock(app::SystemClockSource());
    const long double a = app::ReadClock();
    const long double b = app::ReadClock();
    EXPECT_GE(b, a);
}

}  // namespace
