#include "platform/write_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

bool WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes, std::string& error) {
    const fs::path temporary = fs::path(path) += ".tmp";
    std::FILE* file = std::fopen(temporary.string().c_str(), "wb");
    if (!file) {
        error = "cannot write " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int reason = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        reason = errno;
    }
    std::error_code code;
    if (ok) {
        fs::rename(temporary, path, code);
        if (!code) return true;
        reason = code.value();
    }
    fs::remove(temporary, code);
    error = "cannot write " + path.string() + ": " + std::strerror(reason);
    return false;
}

}  // namespace platform
