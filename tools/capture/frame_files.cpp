#include "tools/capture/frame_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

// Static, so that no other user of stb_image_write in one program can clash.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"

namespace capture {

namespace fs = std::filesystem;

std::string FrameFileName(std::int64_t index) {
    char name[40];
    std::snprintf(name, sizeof name, "frame_%05lld.png", static_cast<long long>(index));
    return name;
}

bool WriteFileAtomically(const fs::path& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
    const fs::path temporary = fs::path(path) += ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
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

namespace {

void Append(void* context, void* data, int size) {
    auto& png = *static_cast<std::vector<std::uint8_t>*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    png.insert(png.end(), bytes, bytes + size);
}

}  // namespace

void EncodePng(const std::uint8_t* rgb, int width, int height, std::vector<std::uint8_t>& png) {
    png.clear();
    stbi_write_png_to_func(Append, &png, width, height, 3, rgb, width * 3);
}

bool PrepareOutputDirectory(const fs::path& dir, std::string& error) {
    std::error_code code;
    fs::create_directories(dir, code);
    if (!fs::is_directory(dir)) {
        error = "cannot write into " + dir.string() + ": " +
                (code ? code.message() : std::string("it exists and is not a directory"));
        return false;
    }
    const fs::path probe = TemporaryNameBeside(dir / "frame", "probe");
    std::FILE* file = std::fopen(probe.c_str(), "wb");
    if (!file) {
        error = "cannot write into " + dir.string() + ": " + std::strerror(errno);
        return false;
    }
    std::fclose(file);
    fs::remove(probe, code);
    return true;
}

fs::path TemporaryNameBeside(const fs::path& path, const std::string& tag) {
    std::random_device random;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    return fs::path(path) += "." + tag + "-" + suffix;
}

}  // namespace capture
