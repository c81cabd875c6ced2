#include "tools/xminfo/file_stream.h"

#include <algorithm>
#include <cerrno>
#include <limits>

#include "music/stream.h"

namespace xminfo {

namespace {

int openError = 0;

FileStream& AsStream(void* stream) { return *static_cast<FileStream*>(stream); }

}  // namespace

void* FileStreamOpen(const char* path) {
    std::FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) {
        openError = errno;
        return nullptr;
    }
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size < 0 || size > std::numeric_limits<std::int32_t>::max() || std::fseek(file, 0, SEEK_SET) != 0) {
        openError = size < 0 ? errno : EFBIG;
        std::fclose(file);
        return nullptr;
    }
    return new FileStream{file, static_cast<std::int32_t>(size), 0};
}

void FileStreamClose(void* stream) {
    if (!stream) return;
    std::fclose(AsStream(stream).file);
    delete static_cast<FileStream*>(stream);
}

std::int32_t FileStreamRead(void* destination, std::int32_t count, void* stream) {
    FileStream& s = AsStream(stream);
    const std::int32_t wanted = std::clamp(count, std::int32_t{0}, s.size - s.position);
    if (wanted == 0) return 0;
    const std::size_t got = std::fread(destination, 1, static_cast<std::size_t>(wanted), s.file);
    s.position += static_cast<std::int32_t>(got);
    return static_cast<std::int32_t>(got);
}

void FileStreamSeek(void* stream, std::int32_t offset, std::uint8_t origin) {
    FileStream& s = AsStream(stream);
    std::int64_t target = s.position;
    switch (origin) {
        case music::kSeekSet: target = offset; break;
        case music::kSeekCurrent: target = std::int64_t{s.position} + offset; break;
        case music::kSeekEnd: target = std::int64_t{s.size} + offset; break;
        default: return;
    }
    s.position = static_cast<std::int32_t>(std::clamp<std::int64_t>(target, 0, s.size));
    std::fseek(s.file, s.position, SEEK_SET);
}

std::int32_t FileStreamTell(void* stream) { return AsStream(stream).position; }

void RegisterFileStreamOps() {
    music::RegisterStreamOps(FileStreamOpen, FileStreamClose, FileStreamRead, FileStreamSeek, FileStreamTell);
}

int FileStreamOpenError() { return openError; }

}  // namespace xminfo
