#include "tools/songfile/song_file.h"

#include <cerrno>
#include <filesystem>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

#include "music/resource_stream.h"
#include "music/stream.h"

namespace tools {

namespace {

// The installed file's bytes; they must outlive the installation.
std::unique_ptr<std::vector<std::uint8_t>> fileBytes;

// The whole file, or false with errno set.
bool ReadFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    // A folder is named as one: Windows' C library opens none and says only
    // "permission denied".
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        errno = EISDIR;
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::uint8_t chunk[65536];
    std::size_t got;
    bool ok = true;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            errno = EFBIG;  // the stream's positions are 32-bit
            ok = false;
            break;
        }
    }
    if (ok && std::ferror(file)) ok = false;
    const int error = errno;
    std::fclose(file);
    errno = error;
    return ok;
}

}  // namespace

int InstallSongFile(const std::string& path) {
    RemoveSongFile();
    auto bytes = std::make_unique<std::vector<std::uint8_t>>();
    errno = 0;
    if (!ReadFile(path, *bytes)) return errno != 0 ? errno : EIO;
    fileBytes = std::move(bytes);
    music::RegisterMemoryStreamOps(fileBytes->data(), fileBytes->size());
    return 0;
}

void RemoveSongFile() {
    music::RegisterStreamOps(nullptr, nullptr, nullptr, nullptr, nullptr);
    fileBytes.reset();
}

}  // namespace tools
