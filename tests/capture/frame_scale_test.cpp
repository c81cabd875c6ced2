// The video frame sizes of quandrix-capture: what --size accepts, where the
// scaled picture lies, and the nearest-neighbour scaling itself.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/capture/frame_scale.h"

namespace {

using capture::Placement;
using capture::VideoSize;

TEST(FrameScale, SizesVideoSitesUseAreAcceptedAndBadOnesSayWhy) {
    VideoSize size;
    std::string error;
    ASSERT_TRUE(capture::ParseVideoSize("1920x1080", 640, 480, size, error)) << error;
    EXPECT_EQ(size.width, 1920);
    EXPECT_EQ(size.height, 1080);
    ASSERT_TRUE(capture::ParseVideoSize("3840X2160", 640, 480, size, error)) << error;
    EXPECT_EQ(size.height, 2160);
    ASSERT_TRUE(capture::ParseVideoSize("640x480", 640, 480, size, error)) << error;

    const std::vector<std::pair<std::string, std::string>> bad = {
        {"1920", "WIDTHxHEIGHT"},        {"1920x", "WIDTHxHEIGHT"},    {"x1080", "WIDTHxHEIGHT"},
        {"+1920x1080", "WIDTHxHEIGHT"},  {"1920x 1080", "WIDTHxHEIGHT"}, {"1920x1080x2", "WIDTHxHEIGHT"},
        {"1920,1080", "WIDTHxHEIGHT"},   {"999999x1080", "WIDTHxHEIGHT"}, {"", "WIDTHxHEIGHT"},
        {"320x240", "only ever scaled up"}, {"1280x400", "only ever scaled up"},
        {"15360x8640", "at most 7680x4320"}, {"1921x1080", "even"}, {"1920x1081", "even"},
    };
    for (const auto& [text, reason] : bad) {
        error.clear();
        EXPECT_FALSE(capture::ParseVideoSize(text, 640, 480, size, error)) << text;
        EXPECT_NE(error.find(reason), std::string::npos) << text << ": " << error;
    }
}

TEST(FrameScale, LargestWholeFactorCentredOnEvenBars) {
    const struct {
        VideoSize frame;
        int factor, left, top;
    } cases[] = {
        {{640, 480}, 1, 0, 0},     {{1920, 1080}, 2, 320, 60},  {{3840, 2160}, 4, 640, 120},
        {{1280, 720}, 1, 320, 120}, {{2560, 1440}, 3, 320, 0},   {{660, 490}, 1, 10, 4},  // 5 rounded down to 4
        {{7680, 4320}, 9, 960, 0},
    };
    for (const auto& c : cases) {
        const Placement place = capture::PlaceFrame(640, 480, c.frame);
        EXPECT_EQ(place.factor, c.factor) << c.frame.width;
        EXPECT_EQ(place.left, c.left) << c.frame.width;
        EXPECT_EQ(place.top, c.top) << c.frame.width;
    }
}

TEST(FrameScale, EverySourcePixelBecomesASquareBlockInsideBlackBars) {
    // A 3 x 2 source of distinct pixels into 10 x 6 (factor 2, bars 2 and 1
    // rounded to 2 and 0) and into 12 x 10 after a frame of garbage: the bars
    // are written too.
    const int w = 3;
    const int h = 2;
    std::vector<std::uint8_t> source(w * h * 3);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(10 + i);
    for (const VideoSize frame : {VideoSize{10, 6}, VideoSize{12, 10}}) {
        const Placement place = capture::PlaceFrame(w, h, frame);
        std::vector<std::uint8_t> out(frame.width * frame.height * 3, 0xAB);
        capture::ScaleFrame(source.data(), w, h, frame, place, out.data());
        for (int y = 0; y < frame.height; ++y) {
            for (int x = 0; x < frame.width; ++x) {
                const int sx = x - place.left;
                const int sy = y - place.top;
                const bool inside = sx >= 0 && sy >= 0 && sx < w * place.factor && sy < h * place.factor;
                for (int c = 0; c < 3; ++c) {
                    const int want = inside ? source[((sy / place.factor) * w + sx / place.factor) * 3 + c] : 0;
                    ASSERT_EQ(out[(y * frame.width + x) * 3 + c], want) << frame.width << " " << x << "," << y;
                }
            }
        }
    }
}

}  // namespace
