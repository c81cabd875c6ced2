// Decoding BMP and JPEG bytes into the bottom-up BGRX layout, with the size
// rule, the stretch and the refusal of absurd headers.
#include <gtest/gtest.h>

#include "platform/picture.h"
#include "test_pictures.h"

// stb's JPEG writer makes baseline files for the test; static, like every
// stb copy in this project.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace {

using gfxtest::PaletteBmp;
using gfxtest::PixelAt;
using gfxtest::Rgb;
using gfxtest::Span;

void ExpectRgb(Rgb got, Rgb want) {
    EXPECT_EQ(got.r, want.r);
    EXPECT_EQ(got.g, want.g);
    EXPECT_EQ(got.b, want.b);
}

const std::vector<Rgb> kPalette = {{0, 255, 0}, {10, 20, 30}, {200, 100, 50}, {1, 2, 3}};

TEST(DecodePicture, PaletteBmpGivesPaletteColoursBottomRowFirst) {
    // 4 x 2, top row 0 1 2 3, bottom row 3 2 1 0.
    const auto bmp = PaletteBmp(4, 2, 8, kPalette, {0, 1, 2, 3, 3, 2, 1, 0});
    const auto picture = platform::DecodePicture(Span(bmp), 4096);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 4);
    EXPECT_EQ(picture->height, 2);
    ASSERT_EQ(picture->pixels.size(), 4u * 2u * 4u);
    // Row 0 is the picture's bottom row; bytes are blue, green, red, 0.
    EXPECT_EQ(picture->pixels[0], 3);
    EXPECT_EQ(picture->pixels[1], 2);
    EXPECT_EQ(picture->pixels[2], 1);
    EXPECT_EQ(picture->pixels[3], 0);
    ExpectRgb(PixelAt(*picture, 0, 0), kPalette[3]);
    ExpectRgb(PixelAt(*picture, 3, 0), kPalette[0]);
    ExpectRgb(PixelAt(*picture, 0, 1), kPalette[0]);
    ExpectRgb(PixelAt(*picture, 2, 1), kPalette[2]);
    for (std::size_t i = 3; i < picture->pixels.size(); i += 4) EXPECT_EQ(picture->pixels[i], 0);
}

TEST(DecodePicture, TopDownAndOneBitBmps) {
    const auto topDown = PaletteBmp(2, 2, 8, kPalette, {1, 2, 3, 0}, true);
    const auto a = platform::DecodePicture(Span(topDown), 4096);
    ASSERT_TRUE(a);
    ExpectRgb(PixelAt(*a, 0, 1), kPalette[1]);  // first index is the top left
    ExpectRgb(PixelAt(*a, 1, 0), kPalette[0]);

    // 1 bit per pixel, 16 x 1, odd bits set.
    std::vector<std::uint8_t> bits(16);
    for (int x = 0; x < 16; ++x) bits[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(x & 1);
    const auto mono = PaletteBmp(16, 1, 1, {{0, 0, 0}, {255, 255, 255}}, bits);
    const auto b = platform::DecodePicture(Span(mono), 4096);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->width, 16);
    EXPECT_EQ(b->height, 1);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(PixelAt(*b, x, 0).g, (x & 1) ? 255 : 0) << x;
}

TEST(DecodePicture, StretchesToThePowerOfTwoByNearestSample) {
    // 3 x 3 -> 4 x 4: column and row c sample source (2c + 1) * 3 / 8 = 0, 1, 1, 2.
    const auto bmp = PaletteBmp(3, 3, 8, kPalette, {0, 1, 2, 1, 2, 3, 2, 3, 0});
    const auto picture = platform::DecodePicture(Span(bmp), 4096);
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->width, 4);
    ASSERT_EQ(picture->height, 4);
    const int source[4] = {0, 1, 1, 2};
    const std::uint8_t topDownIndices[9] = {0, 1, 2, 1, 2, 3, 2, 3, 0};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const int sourceRowFromBottom = source[y];
            const int sourceRowFromTop = 2 - sourceRowFromBottom;
            ExpectRgb(PixelAt(*picture, x, y), kPalette[topDownIndices[sourceRowFromTop * 3 + source[x]]]);
        }
    }
}

TEST(DecodePicture, NaturalSize1000x300Becomes1024x256AndLargeOnesAreClamped) {
    std::vector<std::uint8_t> indices(1000 * 300);
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>(i % 4);
    const auto bmp = PaletteBmp(1000, 300, 8, kPalette, indices);
    const auto picture = platform::DecodePicture(Span(bmp), 4096);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 1024);
    EXPECT_EQ(picture->height, 256);
    EXPECT_EQ(picture->pixels.size(), 1024u * 256u * 4u);

    const auto clamped = platform::DecodePicture(Span(bmp), 512);
    ASSERT_TRUE(clamped);
    EXPECT_EQ(clamped->width, 512);
    EXPECT_EQ(clamped->height, 256);
    // The stretch still covers the whole picture: the corners stay corners.
    ExpectRgb(PixelAt(*clamped, 0, 255), kPalette[0]);         // top left: index 0
    ExpectRgb(PixelAt(*clamped, 511, 0), kPalette[(299 * 1000 + 999) % 4]);
}

TEST(DecodePicture, JpegDecodesToItsColours) {
    // 16 x 8 baseline JPEG: left half orange, right half blue.
    std::vector<std::uint8_t> rgb(16 * 8 * 3);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            std::uint8_t* p = &rgb[static_cast<std::size_t>((y * 16 + x) * 3)];
            p[0] = x < 8 ? 240 : 20;
            p[1] = x < 8 ? 140 : 60;
            p[2] = x < 8 ? 20 : 220;
        }
    }
    std::vector<std::byte> jpeg;
    stbi_write_jpg_to_func(
        [](void* context, void* data, int size) {
            auto* out = static_cast<std::vector<std::byte>*>(context);
            const auto* bytes = static_cast<const std::byte*>(data);
            out->insert(out->end(), bytes, bytes + size);
        },
        &jpeg, 16, 8, 3, rgb.data(), 100);
    ASSERT_FALSE(jpeg.empty());
    const auto picture = platform::DecodePicture(Span(jpeg), 4096);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 16);
    EXPECT_EQ(picture->height, 8);
    const Rgb left = PixelAt(*picture, 2, 4);
    const Rgb right = PixelAt(*picture, 13, 4);
    EXPECT_NEAR(left.r, 240, 6);
    EXPECT_NEAR(left.g, 140, 6);
    EXPECT_NEAR(left.b, 20, 6);
    EXPECT_NEAR(right.r, 20, 6);
    EXPECT_NEAR(right.g, 60, 6);
    EXPECT_NEAR(right.b, 220, 6);
}

TEST(DecodePicture, RefusesWhatIsNotAPictureOrTooLarge) {
    EXPECT_FALSE(platform::DecodePicture({}, 4096));
    const std::vector<std::byte> text = {std::byte{'h'}, std::byte{'e'}, std::byte{'l'}, std::byte{'l'},
                                         std::byte{'o'}};
    EXPECT_FALSE(platform::DecodePicture(Span(text), 4096));
    // Headers that claim huge pictures are refused before any pixel is read.
    EXPECT_FALSE(platform::DecodePicture(Span(gfxtest::BmpHeaderOnly(100000, 100000)), 4096));
    EXPECT_FALSE(platform::DecodePicture(Span(gfxtest::BmpHeaderOnly(5000, 1)), 4096));
    EXPECT_FALSE(platform::DecodePicture(Span(gfxtest::BmpHeaderOnly(3000, 3000)), 4096));  // 9 M pixels
    EXPECT_FALSE(platform::DecodePicture(Span(gfxtest::BmpHeaderOnly(0, 10)), 4096));
    // A valid picture, but no texture can be that small.
    const auto bmp = PaletteBmp(2, 2, 8, kPalette, {0, 1, 2, 3});
    EXPECT_FALSE(platform::DecodePicture(Span(bmp), 0));
}

TEST(DecodePicture, RefusesJpegTablesTheDecoderWouldOverrun) {
    // Huffman tables of more than 256 symbols (also behind leading fill
    // bytes), and scans that use a table no segment defined.
    for (const char* name : {"jpeg_bad_huffman.jpg", "jpeg_bad_huffman_fill_first.jpg", "jpeg_no_huffman_tables.jpg",
                             "regress_dht_overflow_after_fill_bytes.jpg", "regress_scan_with_undefined_table.jpg"}) {
        const auto bytes = gfxtest::ReadSourceFile(std::string("tests/gfx/decode_corpus/") + name);
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_FALSE(platform::DecodePicture(Span(bytes), 4096)) << name;
    }
    // The same files before the damage decode.
    for (const char* name : {"jpeg_baseline.jpg", "jpeg_progressive.jpg", "jpeg_restart.jpg", "jpeg_grey.jpg"}) {
        EXPECT_TRUE(platform::DecodePicture(Span(gfxtest::ReadSourceFile(std::string("tests/gfx/decode_corpus/") + name)), 4096))
            << name;
    }
}

TEST(DecodePicture, TruncatedDataNeverReadsPastTheEnd) {
    // Every prefix of a small BMP and of a shipped JPEG: nothing, or a
    // picture of the right shape (the sanitizer build checks the reads).
    const auto bmp = PaletteBmp(5, 3, 8, kPalette, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2});
    for (std::size_t n = 0; n < bmp.size(); ++n) {
        std::vector<std::byte> prefix(bmp.begin(), bmp.begin() + static_cast<std::ptrdiff_t>(n));
        const auto picture = platform::DecodePicture(Span(prefix), 4096);
        if (picture) {
            EXPECT_EQ(picture->pixels.size(), 4u * 4u * 4u);
        }
    }
    const auto jpeg = gfxtest::ReadSourceFile("data/images/caust0.jpg");
    ASSERT_FALSE(jpeg.empty());
    for (std::size_t n = 0; n < jpeg.size(); n += 97) {
        std::vector<std::byte> prefix(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(n));
        const auto picture = platform::DecodePicture(Span(prefix), 4096);
        if (picture) {
            EXPECT_EQ(picture->pixels.size(), 128u * 128u * 4u);
        }
    }
}

}  // namespace
