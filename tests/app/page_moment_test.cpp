// The moment in the web page's address: what is read, the safe fallbacks,
// and the frame it opens on, which must be the one quandrix-capture writes
// for the same --start (the web tests compare the two pictures).
#include <gtest/gtest.h>

#include "app/page_moment.h"
#include "tools/capture/options.h"

namespace {

std::optional<app::PageMoment> Parse(const char* fragment, std::string& warnings) {
    warnings.clear();
    return app::ParsePageMoment(fragment, warnings);
}

TEST(PageMoment, ReadsTheMomentAndTheExitAmongOtherPairs) {
    std::string warnings;
    auto moment = Parse("t=14.5", warnings);
    ASSERT_TRUE(moment);
    EXPECT_EQ(moment->seconds, 14.5);
    EXPECT_EQ(moment->exitAt, -1.0);
    moment = Parse("sound=off&exit=3&t=4&", warnings);
    ASSERT_TRUE(moment);
    EXPECT_EQ(moment->seconds, 4.0);
    EXPECT_EQ(moment->exitAt, 3.0);
    EXPECT_EQ(warnings, "");
    EXPECT_FALSE(Parse("", warnings));
    EXPECT_FALSE(Parse("exit=3", warnings));  // an exit without a moment plays live
}

TEST(PageMoment, BadValuesFallBackWithAWarning) {
    std::string warnings;
    for (const char* fragment : {"t=", "t", "t=abc", "t=14.5s", "t=nan", "t=-nan"}) {
        EXPECT_FALSE(Parse(fragment, warnings)) << fragment;
        EXPECT_NE(warnings.find("not a number"), std::string::npos) << fragment;
    }
    EXPECT_EQ(Parse("t=-3", warnings)->seconds, 0.0);
    EXPECT_EQ(Parse("t=-inf", warnings)->seconds, 0.0);
    for (const char* fragment : {"t=1e9", "t=inf", "t=1e400", "t=300.001"}) {
        EXPECT_EQ(Parse(fragment, warnings)->seconds, app::kMaxMomentSeconds) << fragment;
        EXPECT_NE(warnings.find("past the latest"), std::string::npos) << fragment;
    }
    const auto moment = Parse("t=5&exit=zz", warnings);
    EXPECT_EQ(moment->exitAt, -1.0);
}

TEST(PageMoment, OpensOnTheFrameTheCaptureWrites) {
    for (const double seconds : {0.0, 0.001, 0.1, 0.5, 5.0, 9.0, 14.5, 14.51, 299.99, app::kMaxMomentSeconds}) {
        EXPECT_EQ(app::MomentFrame(seconds), capture::FirstFrameAtOrAfter(seconds, app::kMomentFps)) << seconds;
    }
    EXPECT_EQ(app::MomentFrame(0.5), 29);  // drawn at 30 / 60 s
}

}  // namespace
