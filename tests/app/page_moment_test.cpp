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

// The forms video sites write, and what is none of them: the browser test
// reads the same table from the page and the program alike.
TEST(PageMoment, ReadsTheFormsVideoSitesWriteAndRefusesTheRest) {
    std::string warnings;
    const struct {
        const char* value;
        double seconds;
    } kTimes[] = {{"14.5", 14.5}, {".5", 0.5},      {"7.", 7.0},     {"+3", 3.0},      {"90s", 90.0},
                  {"1.25s", 1.25}, {"1m30s", 90.0}, {"2m", 120.0},   {"1m", 60.0},     {"0h1m0.5s", 60.5},
                  {"0h", 0.0},    {"-0", 0.0},      {"0004", 4.0}};
    for (const auto& time : kTimes) {
        const auto moment = Parse((std::string("t=") + time.value).c_str(), warnings);
        ASSERT_TRUE(moment) << time.value;
        EXPECT_EQ(moment->seconds, time.seconds) << time.value;
        EXPECT_EQ(warnings, "") << time.value;
    }
    for (const char* fragment : {"t=", "t", "t=abc", "t=inf", "t=nan", "t=1e3", "t=0x10", "t=1:30", "t=90S",
                                 "t=1.5m", "t=1m30", "t=30s1m", "t=s", "t= 5", "t=5 ", "t=--5", "t=."}) {
        EXPECT_FALSE(Parse(fragment, warnings)) << fragment;
        const std::string pair = std::string(fragment) == "t" ? "t=" : fragment;  // a name alone has an empty value
        EXPECT_EQ(warnings, pair + " is not a time such as 14.5, 90s or 1m30s: ignored\n") << fragment;
    }
    EXPECT_EQ(Parse("t=-3", warnings)->seconds, 0.0);
    EXPECT_EQ(warnings, "t=-3 is before the start: 0 s instead\n");
    EXPECT_EQ(Parse("t=-1m", warnings)->seconds, 0.0);
    for (const char* fragment : {"t=1h2m3s", "t=300.001", "t=9999999999999999999999999999999999999999"}) {
        EXPECT_EQ(Parse(fragment, warnings)->seconds, app::kMaxMomentSeconds) << fragment;
        EXPECT_NE(warnings.find("past the latest moment: 300 s instead"), std::string::npos) << fragment;
    }
    EXPECT_EQ(Parse("t=5&exit=zz", warnings)->exitAt, -1.0);
    EXPECT_EQ(Parse("t=5&exit=1m", warnings)->exitAt, 60.0);
}

TEST(PageMoment, OpensOnTheFrameTheCaptureWrites) {
    for (const double seconds : {0.0, 0.001, 0.1, 0.5, 5.0, 9.0, 14.5, 14.51, 299.99, app::kMaxMomentSeconds}) {
        EXPECT_EQ(app::MomentFrame(seconds), capture::FirstFrameAtOrAfter(seconds, app::kMomentFps)) << seconds;
    }
    EXPECT_EQ(app::MomentFrame(0.5), 29);  // drawn at 30 / 60 s
}

}  // namespace
