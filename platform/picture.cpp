#include "platform/picture.h"

#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/stb_decode.h"

namespace platform {

namespace {

struct StbFree {
    void operator()(std::uint8_t* p) const { stb::Free(p); }
};

// The stb_image of Debian 12 (2.27) trusts some JPEG fields that a corrupt
// file can set. Fuzzing found each of these; such a file is refused here
// before stb sees it:
//   - a Huffman table (DHT) whose 16 code counts add up to more than 256
//     symbols: stb fills its 257-entry size table and 256-entry value table
//     from the counts unchecked;
//   - a scan (SOS) that decodes with a Huffman table no DHT has defined:
//     stb reads the never-initialised table and indexes far out of bounds.
// Walks every marker segment, including those between the scans of a
// progressive file; the entropy-coded data in between is skipped byte by
// byte (a 0xFF there is either stuffed or a marker). Data that is not a
// JPEG passes untouched.
bool JpegSegmentsAreSound(const std::uint8_t* d, std::size_t n) {
    // stb takes any run of 0xFF bytes before the start-of-image marker.
    std::size_t pos = 0;
    while (pos < n && d[pos] == 0xFF) ++pos;
    if (pos == 0 || pos >= n || d[pos] != 0xD8) return true;
    ++pos;
    // Bytes past the data read as 0, as stb reads them.
    auto at = [&](std::size_t i) -> std::size_t { return i < n ? d[i] : 0; };
    bool defined[2][4] = {};  // [DC = 0, AC = 1][table id]
    bool progressive = false;
    while (pos < n) {
        if (d[pos] != 0xFF) {
            ++pos;  // entropy-coded data
            continue;
        }
        while (pos < n && d[pos] == 0xFF) ++pos;  // fill bytes
        if (pos >= n) break;
        const std::uint8_t marker = d[pos++];
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no length
        if (marker == 0xD9) break;                                                         // end of image
        if (pos + 2 > n) break;  // truncated: stb fails on its own
        const std::size_t length = (at(pos) << 8) | at(pos + 1);
        if (length < 2) return false;
        if (marker == 0xC4) {
            // The tables as stb reads them: while the declared length
            // lasts, even past the segment's real end.
            std::size_t i = pos + 2;
            std::int64_t left = static_cast<std::int64_t>(length) - 2;
            while (left > 0) {
                const std::size_t tableClass = at(i) >> 4;
                const std::size_t id = at(i) & 15;
                std::size_t symbols = 0;
                for (std::size_t k = 1; k <= 16; ++k) symbols += at(i + k);
                if (symbols > 256) return false;
                if (tableClass <= 1 && id <= 3) defined[tableClass][id] = true;
                i += 17 + symbols;
                left -= static_cast<std::int64_t>(17 + symbols);
            }
        } else if (marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE) {
            progressive = true;
        } else if (marker == 0xDA) {
            // Components, then spectral start: a progressive DC scan uses
            // only DC tables, an AC scan only AC tables, a sequential scan
            // both. Ids above 3 are refused by stb itself.
            const std::size_t count = at(pos + 2);
            const std::size_t spectralStart = at(pos + 3 + 2 * count);
            for (std::size_t c = 0; c < count; ++c) {
                const std::size_t tables = at(pos + 4 + 2 * c);
                const std::size_t dc = tables >> 4;
                const std::size_t ac = tables & 15;
                const bool needDc = !progressive || spectralStart == 0;
                const bool needAc = !progressive || spectralStart != 0;
                if (needDc && dc <= 3 && !defined[0][dc]) return false;
                if (needAc && ac <= 3 && !defined[1][ac]) return false;
            }
        }
        pos += length;
    }
    return true;
}

}  // namespace

int TargetSize(int natural, int maxTextureSize) {
    if (natural < 1 || maxTextureSize < 1) return 0;
    if (natural > maxTextureSize) return maxTextureSize;
    // 2^k with k = floor(log2(n) + 0.5): the largest k with 2^(k - 0.5) <= n,
    // that is 2^(2k - 1) <= n^2. n^2 fits 64 bits for every int n.
    const std::uint64_t square = static_cast<std::uint64_t>(natural) * static_cast<std::uint64_t>(natural);
    int k = 0;
    while (k < 31 && (std::uint64_t{1} << (2 * (k + 1) - 1)) <= square) ++k;
    const std::int64_t size = std::int64_t{1} << k;
    return size > maxTextureSize ? maxTextureSize : static_cast<int>(size);
}

std::optional<DecodedPicture> DecodePicture(std::span<const std::byte> bytes, int maxTextureSize) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX) || maxTextureSize < 1) return std::nullopt;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const int length = static_cast<int>(bytes.size());

    if (!JpegSegmentsAreSound(data, bytes.size())) return std::nullopt;

    // The header alone first: refuse absurd sizes before stb allocates.
    int width = 0;
    int height = 0;
    if (!stb::Info(data, length, &width, &height)) return std::nullopt;
    // A top-down BMP reports its height negated. The most negative value
    // has no positive twin (and stb would negate it): it stays refused.
    if (height < 0 && height != INT_MIN) height = -height;
    if (width < 1 || height < 1 || width > maxPictureSide || height > maxPictureSide ||
        std::int64_t{width} * height > maxPicturePixels) {
        return std::nullopt;
    }

    int decodedWidth = 0;
    int decodedHeight = 0;
    std::unique_ptr<std::uint8_t, StbFree> rgb(stb::LoadRgb(data, length, &decodedWidth, &decodedHeight));
    // The full decode reads the header again; insist on the size checked above.
    if (!rgb || decodedWidth != width || decodedHeight != height) return std::nullopt;

    DecodedPicture picture;
    picture.width = TargetSize(width, maxTextureSize);
    picture.height = TargetSize(height, maxTextureSize);
    picture.pixels.resize(static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height) * 4);

    // stb gives rows top to bottom in red, green, blue; the target row r
    // (from the bottom) samples the source row at the centre of its span.
    const std::int64_t tw = picture.width;
    const std::int64_t th = picture.height;
    std::uint8_t* out = picture.pixels.data();
    for (std::int64_t row = 0; row < th; ++row) {
        const std::int64_t fromBottom = ((2 * row + 1) * height) / (2 * th);
        const std::int64_t sourceRow = height - 1 - fromBottom;
        const std::uint8_t* line = rgb.get() + sourceRow * width * 3;
        for (std::int64_t column = 0; column < tw; ++column) {
            const std::int64_t sourceColumn = ((2 * column + 1) * width) / (2 * tw);
            const std::uint8_t* p = line + sourceColumn * 3;
            out[0] = p[2];
            out[1] = p[1];
            out[2] = p[0];
            out[3] = 0;
            out += 4;
        }
    }
    return picture;
}

}  // namespace platform
