#include "tools/xmrender/wav_writer.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/file_space.h"
#include "platform/write_file.h"

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

WavWriter::~WavWriter() { Discard(); }

bool WavWriter::Fail(const std::string& reason) {
    if (ok_) error_ = "cannot write " + path_.string() + ": " + reason;
    ok_ = false;
    return false;
}

void WavWriter::Discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    std::error_code ignored;
    if (!temporary_.empty()) std::filesystem::remove(temporary_, ignored);
    temporary_.clear();
}

bool WavWriter::Open(const std::string& path, std::uint32_t rate, std::uint32_t frames) {
    path_ = path;
    std::string error;
    if (platform::WrittenStraight(path_)) {
        file_ = platform::OpenStraight(path_, error);
        if (!file_) {
            ok_ = false;
            error_ = error;
            return false;
        }
    } else {
        temporary_ = platform::CreateTemporaryBeside(path_, error);
        if (temporary_.empty()) {
            ok_ = false;
            error_ = error;
            return false;
        }
        file_ = std::fopen(temporary_.string().c_str(), "wb");
    }
    if (!file_) {
        const int code = errno;
        Discard();
        return Fail(std::strerror(code));
    }
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
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) return Fail(std::strerror(errno));
    // The size is known: the file system reserves it once (a third less of
    // the system's time per written page here) rather than page by page.
    if (!temporary_.empty()) platform::ReserveFileSpace(file_, header.size() + std::uint64_t{dataBytes});
    return true;
}

bool WavWriter::Write(const std::int16_t* values, std::size_t frames) {
    if (!file_ || !ok_) return false;
    const std::size_t count = frames * 2;
    if constexpr (std::endian::native == std::endian::little) {
        // The values are already in the file's byte order.
        if (std::fwrite(values, sizeof(std::int16_t), count, file_) != count) return Fail(std::strerror(errno));
        return true;
    }
    std::array<std::uint8_t, 4096> chunk;
    for (std::size_t i = 0; i < count;) {
        std::size_t n = 0;
        for (; n + 2 <= chunk.size() && i < count; ++i) {
            const auto v = static_cast<std::uint16_t>(values[i]);
            chunk[n++] = static_cast<std::uint8_t>(v);
            chunk[n++] = static_cast<std::uint8_t>(v >> 8);
        }
        if (std::fwrite(chunk.data(), 1, n, file_) != n) return Fail(std::strerror(errno));
    }
    return true;
}

bool WavWriter::Close() {
    if (!file_) return false;
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) Fail(std::strerror(errno));
    if (ok_ && !temporary_.empty()) {
        std::string error;
        if (!platform::RenameOver(temporary_, path_, error)) {
            ok_ = false;
            error_ = error;
        } else {
            temporary_.clear();
        }
    }
    Discard();
    return ok_;
}

}  // namespace xmrender
