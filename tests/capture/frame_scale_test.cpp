// The video frame sizes of quandrix-capture: what --size accepts, where the
// scaled picture lies, and the nearest-neighbour scaling itself.
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
    ASSERT_TRUE(capture::ParseVideoSize("3840X2160", 640, 480, size, error)) << error;
    EXPECT_EQ(size.width * 10000 + size.height, 38402160);
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"1920", "WIDTHxHEIGHT"}, {"+1920x1080", "WIDTHxHEIGHT"}, {"1920x 1080", "WIDTHxHEIGHT"},
        {"1920x1080x2", "WIDTHxHEIGHT"}, {"999999x1080", "WIDTHxHEIGHT"}, {"320x240", "only ever scaled up"},
        {"1280x400", "scaled up"}, {"15360x8640", "at most 7680x4320"}, {"1921x1080", "even"}, {"1920x1081", "even"},
    };
    for (const auto& [text, reason] : bad) {
        EXPECT_FALSE(capture::ParseVideoSize(text, 640, 480, size, error)) << text;
        EXPECT_NE(error.find(reason), std::string::npos) << text << ": " << error;
    }
}

TEST(FrameScale, LargestWholeFactorCentredOnEvenBars) {
    const struct { VideoSize frame; int factor, left, top; } cases[] = {
        {{640, 480}, 1, 0, 0},      {{1920, 1080}, 2, 320, 60}, {{3840, 2160}, 4, 640, 120},
        {{2560, 1440}, 3, 320, 0},  {{660, 490}, 1, 10, 4},  // a bar of 5 rounds down to 4
    };
    for (const auto& c : cases) {
        const Placement place = capture::PlaceFrame(640, 480, c.frame);
        EXPECT_EQ(std::vector<int>({place.factor, place.left, place.top}), std::vector<int>({c.factor, c.left, c.top}))
            << c.frame.width;
    }
}

TEST(FrameScale, EverySourcePixelBecomesASquareBlockInsideBlackBars) {
    // 3 x 2 distinct pixels into 10 x 6 and 12 x 10 filled with garbage
    // first: the bars are written too.
    const int w = 3, h = 2;
    std::vector<std::uint8_t> source(w * h * 3);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(10 + i);
    for (const VideoSize frame : {VideoSize{10, 6}, VideoSize{12, 10}}) {
        const Placement place = capture::PlaceFrame(w, h, frame);
        std::vector<std::uint8_t> out(frame.width * frame.height * 3, 0xAB);
        capture::ScaleFrame(source.data(), w, h, frame, place, out.data());
        for (int i = 0; i < frame.width * frame.height * 3; ++i) {
            const int sx = i / 3 % frame.width - place.left, sy = i / 3 / frame.width - place.top;
            const bool inside = sx >= 0 && sy >= 0 && sx < w * place.factor && sy < h * place.factor;
            ASSERT_EQ(out[i], inside ? source[(sy / place.factor * w + sx / place.factor) * 3 + i % 3] : 0) << i;
        }
    }
}

}  // namespace
