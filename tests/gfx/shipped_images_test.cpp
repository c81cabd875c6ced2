// The image resources the intro ships: file formats, sizes, and the
// properties the drawing code relies on (keys, fades, tiling, loops).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gfx/image_textures.h"
#include "platform/resources.h"

namespace {

constexpr int kMaxTextureSize = 8192;

std::span<const std::byte> Resource(const char* name) { return platform::FindResource(name, "MYBITMAP"); }

std::uint32_t Le(std::span<const std::byte> b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | std::to_integer<std::uint32_t>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

struct BmpHeader {
    std::int32_t width, height;
    int bits;
    std::uint32_t compression, colours, infoSize;
};

BmpHeader ReadBmpHeader(std::span<const std::byte> b) {
    return {static_cast<std::int32_t>(Le(b, 18, 4)), static_cast<std::int32_t>(Le(b, 22, 4)),
            static_cast<int>(Le(b, 28, 2)), Le(b, 30, 4), Le(b, 46, 4), Le(b, 14, 4)};
}

// The start-of-frame marker of a JPEG: 0xC0 baseline, 0xC2 progressive.
int JpegFrameMarker(std::span<const std::byte> b, int* width, int* height) {
    std::size_t i = 2;
    while (i + 9 < b.size()) {
        if (std::to_integer<int>(b[i]) != 0xFF) return -1;
        const int marker = std::to_integer<int>(b[i + 1]);
        const std::size_t length = (std::to_integer<std::size_t>(b[i + 2]) << 8) | std::to_integer<std::size_t>(b[i + 3]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            *height = (std::to_integer<int>(b[i + 5]) << 8) | std::to_integer<int>(b[i + 6]);
            *width = (std::to_integer<int>(b[i + 7]) << 8) | std::to_integer<int>(b[i + 8]);
            return marker;
        }
        i += 2 + length;
    }
    return -1;
}

gfx::TextureImage Texture(gfx::SlotId id) {
    const auto image = gfx::MakeImageTexture(gfx::Slot(id), kMaxTextureSize);
    EXPECT_TRUE(image);
    return image ? *image : gfx::TextureImage{};
}

const std::uint8_t* Texel(const gfx::TextureImage& t, int x, int y) {
    return &t.pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(t.width) + static_cast<std::size_t>(x)) * 4];
}

TEST(ShippedImages, FormatsAndSizesAreThoseOfTheTable) {
    for (const gfx::TextureSlotInfo& slot : gfx::imageSlots) {
        SCOPED_TRACE(slot.resourceName);
        const auto bytes = Resource(slot.resourceName);
        ASSERT_GT(bytes.size(), 64u);
        const bool bmp = std::to_integer<int>(bytes[0]) == 'B' && std::to_integer<int>(bytes[1]) == 'M';
        switch (slot.id) {
            case gfx::SlotId::Logo:
            case gfx::SlotId::Credits:
            case gfx::SlotId::Font2:
            case gfx::SlotId::Font: {
                ASSERT_TRUE(bmp);
                const BmpHeader h = ReadBmpHeader(bytes);
                EXPECT_EQ(h.infoSize, 40u);
                EXPECT_EQ(h.width, slot.width);
                EXPECT_EQ(h.height, slot.height);  // positive: stored bottom-up
                EXPECT_EQ(h.compression, 0u);
                const int bits = slot.id == gfx::SlotId::Font ? 1 : 8;
                EXPECT_EQ(h.bits, bits);
                EXPECT_GE(h.colours, 2u);
                EXPECT_LE(h.colours, 1u << bits);
                break;
            }
            default: {
                ASSERT_FALSE(bmp);
                int w = 0, h = 0;
                const int marker = JpegFrameMarker(bytes, &w, &h);
                EXPECT_EQ(marker, slot.id == gfx::SlotId::Rock ? 0xC2 : 0xC0);  // progressive / baseline
                EXPECT_EQ(w, slot.width);
                EXPECT_EQ(h, slot.height);
            }
        }
        const auto image = gfx::MakeImageTexture(slot, kMaxTextureSize);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, slot.width);
        EXPECT_EQ(image->height, slot.height);
        EXPECT_EQ(image->pixels.size(), static_cast<std::size_t>(slot.width * slot.height * 4));
    }
}

TEST(ShippedImages, LogoKeyFadeAndVisibleWindow) {
    const gfx::TextureImage logo = Texture(gfx::SlotId::Logo);
    ASSERT_EQ(logo.width, 1024);
    std::set<int> alphas;
    int keyed = 0;
    for (int y = 0; y < logo.height; ++y) {
        for (int x = 0; x < logo.width; ++x) {
            const std::uint8_t* t = Texel(logo, x, y);
            const int sum = t[0] + t[1] + t[2];
            // No colour where the fade rule overflows.
            ASSERT_FALSE(sum >= 57 && sum <= 60 && !(t[0] == 0 && t[2] == 0 && t[1] != 0)) << x << "," << y;
            alphas.insert(t[3]);
            if (t[3] == 0) ++keyed;
            // The quad shows texture columns of about 198 to 826 and rows 0
            // to 209 (t = 0 at the bottom): everything visible lies there.
            if (t[3] != 0) {
                ASSERT_GE(x, 198);
                ASSERT_LE(x, 826);
                ASSERT_LE(y, 209);
            }
        }
    }
    EXPECT_TRUE(alphas.count(225));  // the body
    EXPECT_GT(alphas.size(), 20u);   // a real fade at the edges
    EXPECT_GT(keyed, 1024 * 256 / 2);
    // The background is the exact key colour of the palette.
    std::size_t size = 0;
    const auto picture =
        gfx::DecodePicture(gfx::CopyResourceToMemory("IDB_LOGO", "MYBITMAP", &size), kMaxTextureSize);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels[0], 0);
    EXPECT_EQ(picture->pixels[1], 255);
    EXPECT_EQ(picture->pixels[2], 0);
}

TEST(ShippedImages, AlphaRulesOfTheOtherImages) {
    for (gfx::SlotId id : {gfx::SlotId::Credits, gfx::SlotId::Caustics0, gfx::SlotId::Caustics3}) {
        const gfx::TextureImage t = Texture(id);
        for (std::size_t i = 3; i < t.pixels.size(); i += 4) ASSERT_EQ(t.pixels[i], 0);
    }
    const gfx::TextureImage rock = Texture(gfx::SlotId::Rock);
    for (std::size_t i = 3; i < rock.pixels.size(); i += 4) ASSERT_EQ(rock.pixels[i], 255);
    // The credits picture is a picture, not a flat fill.
    const gfx::TextureImage credits = Texture(gfx::SlotId::Credits);
    std::set<std::uint32_t> colours;
    for (std::size_t i = 0; i < credits.pixels.size(); i += 4) {
        colours.insert(credits.pixels[i] | credits.pixels[i + 1] << 8 | credits.pixels[i + 2] << 16);
    }
    EXPECT_GT(colours.size(), 128u);
}

TEST(ShippedImages, ScrollerFontHasSixtyFourDistinctGlyphs) {
    const gfx::TextureImage font = Texture(gfx::SlotId::Font);
    ASSERT_EQ(font.width, 512);
    ASSERT_EQ(font.height, 8);
    std::set<std::vector<bool>> shapes;
    for (int code = 32; code < 96; ++code) {
        std::vector<bool> shape;
        int ink = 0;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const std::uint8_t* t = Texel(font, 8 * (code - 32) + x, y);
                const bool on = t[3] == 255;
                EXPECT_EQ(on, t[0] + t[1] + t[2] > 0);
                shape.push_back(on);
                ink += on;
            }
        }
        if (code == ' ') {
            EXPECT_EQ(ink, 0);
        } else {
            EXPECT_GE(ink, 4) << static_cast<char>(code);
        }
        shapes.insert(shape);
    }
    EXPECT_EQ(shapes.size(), 64u);
}

// Mean absolute step between neighbouring texels across the wrap edge,
// against the mean step inside: a seam shows as a much larger edge step.
double EdgeStepRatio(const gfx::TextureImage& t, bool vertical) {
    double inside = 0, edge = 0;
    int insideCount = 0, edgeCount = 0;
    for (int y = 0; y < t.height; ++y) {
        for (int x = 0; x < t.width; ++x) {
            const int nx = vertical ? x : (x + 1) % t.width;
            const int ny = vertical ? (y + 1) % t.height : y;
            const bool across = vertical ? ny == 0 : nx == 0;
            double d = 0;
            for (int c = 0; c < 3; ++c) d += std::abs(Texel(t, x, y)[c] - Texel(t, nx, ny)[c]);
            (across ? edge : inside) += d;
            ++(across ? edgeCount : insideCount);
        }
    }
    return (edge / edgeCount) / (inside / insideCount);
}

TEST(ShippedImages, RockAndCausticsTileSeamlessly) {
    for (gfx::SlotId id : {gfx::SlotId::Rock, gfx::SlotId::Caustics0, gfx::SlotId::Caustics1,
                            gfx::SlotId::Caustics2, gfx::SlotId::Caustics3}) {
        const gfx::TextureImage t = Texture(id);
        EXPECT_LT(EdgeStepRatio(t, false), 1.5) << static_cast<int>(id);
        EXPECT_LT(EdgeStepRatio(t, true), 1.5) << static_cast<int>(id);
    }
}

TEST(ShippedImages, CausticsLoop) {
    // Frame 3 leads into frame 0 no harder than any frame into the next.
    std::vector<gfx::TextureImage> frames;
    for (gfx::SlotId id : {gfx::SlotId::Caustics0, gfx::SlotId::Caustics1, gfx::SlotId::Caustics2,
                            gfx::SlotId::Caustics3}) {
        frames.push_back(Texture(id));
    }
    double steps[4];
    for (int f = 0; f < 4; ++f) {
        const auto& a = frames[static_cast<std::size_t>(f)].pixels;
        const auto& b = frames[static_cast<std::size_t>((f + 1) % 4)].pixels;
        double d = 0;
        for (std::size_t i = 0; i < a.size(); ++i) d += std::abs(a[i] - b[i]);
        steps[f] = d;
        EXPECT_GT(d, 0.0);  // the frames differ
    }
    const double mean = (steps[0] + steps[1] + steps[2]) / 3;
    EXPECT_LT(steps[3], 1.3 * mean);
    EXPECT_GT(steps[3], 0.7 * mean);
}

}  // namespace
