#include "tools/songfile/song_file.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "music/resource_stream.h"
#include "music/stream.h"

namespace tools {

namespace {

// The installed file's bytes; they must outlive the installation.
struct FileBytes {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;
};
FileBytes fileBytes;

constexpr std::size_t kMaxSongBytes = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

// The whole file, or false with errno set. A regular file is read with one
// read into storage of its size, neither zeroed first nor copied while it
// grows (a song of a megabyte is mostly sample data); a file that turns out
// longer than it said, or has no size, is read on in growing pieces.
bool ReadFile(const std::string& path, FileBytes& bytes) {
    // A folder is named as one: Windows' C library opens none and says only
    // "permission denied".
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        errno = EISDIR;
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > kMaxSongBytes) {
        errno = EFBIG;  // the stream's positions are 32-bit
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::setvbuf(file, nullptr, _IONBF, 0);  // the read goes straight into the bytes
    // One byte more than expected, so that the end of the file shows in the same read.
    std::size_t capacity = (error ? 65536 : static_cast<std::size_t>(size)) + 1;
    bytes.data.reset(new (std::nothrow) std::uint8_t[capacity]);
    bytes.size = 0;
    bool ok = bytes.data != nullptr;
    if (!ok) errno = ENOMEM;
    while (ok) {
        bytes.size += std::fread(bytes.data.get() + bytes.size, 1, capacity - bytes.size, file);
        if (bytes.size < capacity) break;  // the end, or an error
        if (bytes.size > kMaxSongBytes) {
            errno = EFBIG;
            ok = false;
            break;
        }
        capacity = std::min(2 * capacity, kMaxSongBytes + 1);
        std::unique_ptr<std::uint8_t[]> larger(new (std::nothrow) std::uint8_t[capacity]);
        if (!larger) {
            errno = ENOMEM;
            ok = false;
            break;
        }
        std::memcpy(larger.get(), bytes.data.get(), bytes.size);
        bytes.data = std::move(larger);
    }
    if (ok && std::ferror(file)) ok = false;
    const int readError = errno;
    std::fclose(file);
    errno = readError;
    return ok;
}

}  // namespace

int InstallSongFile(const std::string& path) {
    RemoveSongFile();
    errno = 0;
    if (!ReadFile(path, fileBytes)) {
        const int error = errno != 0 ? errno : EIO;
        fileBytes = {};
        return error;
    }
    music::RegisterMemoryStreamOps(fileBytes.data.get(), fileBytes.size);
    return 0;
}

void RemoveSongFile() {
    music::RegisterStreamOps(nullptr, nullptr, nullptr, nullptr, nullptr);
    fileBytes = {};
}

}  // namespace tools
