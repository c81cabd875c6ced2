#include "test_pictures.h"

#include <fstream>
#include <iterator>

namespace gfxtest {

namespace {

void Put16(std::vector<std::byte>& out, std::uint32_t v) {
    out.push_back(std::byte(v & 0xFF));
    out.push_back(std::byte((v >> 8) & 0xFF));
}

void Put32(std::vector<std::byte>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void Headers(std::vector<std::byte>& out, std::int32_t width, std::int32_t height, int bits, std::uint32_t colours,
             std::uint32_t pixelBytes) {
    const std::uint32_t offset = 14 + 40 + 4 * colours;
    out.push_back(std::byte{'B'});
    out.push_back(std::byte{'M'});
    Put32(out, offset + pixelBytes);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(bits));
    Put32(out, 0);  // uncompressed
    Put32(out, pixelBytes);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, colours);
    Put32(out, colours);
}

}  // namespace

std::vector<std::byte> PaletteBmp(int width, int height, int bits, const std::vector<Rgb>& palette,
                                  const std::vector<std::uint8_t>& indices, bool topDown) {
    const int rowBytes = ((width * bits + 31) / 32) * 4;
    std::vector<std::byte> out;
    Headers(out, width, topDown ? -height : height, bits, static_cast<std::uint32_t>(palette.size()),
            static_cast<std::uint32_t>(rowBytes * height));
    for (const Rgb& c : palette) {
        out.push_back(std::byte{c.b});
        out.push_back(std::byte{c.g});
        out.push_back(std::byte{c.r});
        out.push_back(std::byte{0});
    }
    for (int i = 0; i < height; ++i) {
        const int y = topDown ? i : height - 1 - i;  // file rows bottom-up unless top-down
        std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes), 0);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t index = indices[static_cast<std::size_t>(y * width + x)];
            const int bit = x * bits;
            row[static_cast<std::size_t>(bit / 8)] |=
                static_cast<std::uint8_t>(index << (8 - bits - bit % 8));
        }
        for (std::uint8_t b : row) out.push_back(std::byte{b});
    }
    return out;
}

std::vector<std::byte> BmpHeaderOnly(std::int32_t width, std::int32_t height) {
    std::vector<std::byte> out;
    Headers(out, width, height, 8, 2, 0);
    for (int i = 0; i < 8; ++i) out.push_back(std::byte{0x7F});
    return out;
}

std::vector<std::byte> ReadSourceFile(const std::string& relative) {
    std::ifstream in(std::string(QUANDRIX_SOURCE_DIR) + "/" + relative, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::byte> out(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = std::byte(static_cast<unsigned char>(bytes[i]));
    return out;
}

Rgb PixelAt(const platform::DecodedPicture& picture, int x, int yFromBottom) {
    const std::size_t i = (static_cast<std::size_t>(yFromBottom) * static_cast<std::size_t>(picture.width) +
                           static_cast<std::size_t>(x)) * 4;
    return {picture.pixels[i + 2], picture.pixels[i + 1], picture.pixels[i]};
}

}  // namespace gfxtest
