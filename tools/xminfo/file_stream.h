#pragma once
// FileStream: stream operations over a file on disk, for the tools that load
// songs the way the intro does but from files (the intro itself reads none).
// Same contract as the resource stream: reads stop at the end, seeks are
// clamped to 0..size. Files of 2 GiB or more do not open.

#include <cstdint>
#include <cstdio>

namespace xminfo {

struct FileStream {
    std::FILE* file = nullptr;     // owned
    std::int32_t size = 0;         // bytes
    std::int32_t position = 0;     // 0..size
};

void* FileStreamOpen(const char* path);  // nullptr when the file cannot be opened
void FileStreamClose(void* stream);
std::int32_t FileStreamRead(void* destination, std::int32_t count, void* stream);
void FileStreamSeek(void* stream, std::int32_t offset, std::uint8_t origin);
std::int32_t FileStreamTell(void* stream);

// Installs the five operations above as the stream table.
void RegisterFileStreamOps();

// errno of the last failed FileStreamOpen (EFBIG for a file too large).
int FileStreamOpenError();

}  // namespace xminfo
