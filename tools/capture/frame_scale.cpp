#include "tools/capture/frame_scale.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace capture {

namespace {

// Digits only, no sign, no spaces, at most five (nothing here is larger).
bool ReadDimension(const std::string& text, int& value) {
    if (text.empty() || text.size() > 5) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

}  // namespace

bool ParseVideoSize(const std::string& text, int sourceWidth, int sourceHeight, VideoSize& size,
                    std::string& error) {
    const std::size_t x = text.find_first_of("xX");
    int width = 0;
    int height = 0;
    if (x == std::string::npos || !ReadDimension(text.substr(0, x), width) ||
        !ReadDimension(text.substr(x + 1), height)) {
        error = "--size needs WIDTHxHEIGHT in pixels, such as 1920x1080 or 3840x2160, not \"" + text + "\"";
        return false;
    }
    const std::string given = "--size " + text + ": ";
    if (width < sourceWidth || height < sourceHeight) {
        error = given + "the picture is " + std::to_string(sourceWidth) + "x" + std::to_string(sourceHeight) +
                " and is only ever scaled up; give at least that";
        return false;
    }
    if (width > kMaxVideoWidth || height > kMaxVideoHeight) {
        error = given + "at most " + std::to_string(kMaxVideoWidth) + "x" + std::to_string(kMaxVideoHeight);
        return false;
    }
    if (width % 2 != 0 || height % 2 != 0) {
        error = given + "width and height must be even (the video's colour planes have half the size)";
        return false;
    }
    size = VideoSize{width, height};
    return true;
}

Placement PlaceFrame(int sourceWidth, int sourceHeight, VideoSize frame) {
    Placement place;
    place.factor = std::max(1, std::min(frame.width / sourceWidth, frame.height / sourceHeight));
    place.left = (frame.width - sourceWidth * place.factor) / 2 / 2 * 2;
    place.top = (frame.height - sourceHeight * place.factor) / 2 / 2 * 2;
    return place;
}

void ScaleFrame(const std::uint8_t* source, int sourceWidth, int sourceHeight, VideoSize frame,
                const Placement& place, std::uint8_t* out) {
    const std::size_t frameRow = static_cast<std::size_t>(frame.width) * 3;
    const std::size_t pictureRow = static_cast<std::size_t>(sourceWidth) * place.factor * 3;
    const std::size_t leftBytes = static_cast<std::size_t>(place.left) * 3;
    const int pictureRows = sourceHeight * place.factor;
    // Bars above and below, whole rows at once.
    std::memset(out, 0, frameRow * place.top);
    std::memset(out + frameRow * (place.top + pictureRows), 0,
                frameRow * (frame.height - place.top - pictureRows));
    for (int y = 0; y < sourceHeight; ++y) {
        std::uint8_t* first = out + frameRow * (place.top + static_cast<std::size_t>(y) * place.factor);
        std::memset(first, 0, leftBytes);
        std::memset(first + leftBytes + pictureRow, 0, frameRow - leftBytes - pictureRow);
        std::uint8_t* to = first + leftBytes;
        const std::uint8_t* from = source + static_cast<std::size_t>(y) * sourceWidth * 3;
        for (int x = 0; x < sourceWidth; ++x, from += 3) {
            for (int k = 0; k < place.factor; ++k, to += 3) {
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
            }
        }
        // The source row's other factor - 1 copies are the same bytes.
        for (int k = 1; k < place.factor; ++k) std::memcpy(first + frameRow * k, first, frameRow);
    }
}

}  // namespace capture
