#pragma once
// The byte-stream table through which the player reads its song, and
// ModuleStream, the loader's handle on it.
//
// The loader never knows where the bytes come from: the intro installs the
// ResourceStream operations (music/resource_stream.h) over its embedded song;
// the tools, the tests and the fuzzers install the memory source of the same
// file over bytes they hold. Main thread only, and only while no song plays.

#include <cstdint>

namespace music {

// The five operations, installed together. A source handle is whatever the
// open operation returns; the other four receive it back unchanged.
using StreamOpenOp = void* (*)(const char* name);                                  // none: nullptr
using StreamCloseOp = void (*)(void* source);                                      // releases the handle
using StreamReadOp = std::int32_t (*)(void* destination, std::int32_t count, void* source);  // bytes copied
using StreamSeekOp = void (*)(void* source, std::int32_t offset, std::uint8_t origin);
using StreamTellOp = std::int32_t (*)(void* source);                               // bytes from the start

// Seek origins.
inline constexpr std::uint8_t kSeekSet = 0;      // offset from the start
inline constexpr std::uint8_t kSeekCurrent = 1;  // offset from the current position
inline constexpr std::uint8_t kSeekEnd = 2;      // offset from the end

struct StreamOps {
    StreamOpenOp open = nullptr;
    StreamCloseOp close = nullptr;
    StreamReadOp read = nullptr;
    StreamSeekOp seek = nullptr;
    StreamTellOp tell = nullptr;
};

// Installs the five operations when all are given; when any one is missing,
// clears all five, so the table is never half filled.
void RegisterStreamOps(StreamOpenOp open, StreamCloseOp close, StreamReadOp read, StreamSeekOp seek,
                       StreamTellOp tell);

// The installed table (all five set or all five empty).
const StreamOps& InstalledStreamOps();

// True when all five operations are installed.
bool StreamOpsInstalled();

// The loader's handle: the source handle that open returned.
struct ModuleStream {
    void* source = nullptr;  // owned through the installed close operation
};

// Calls open(name) through the table; nullptr when the table is empty or open
// returns none. The caller releases the result with CloseModuleStream.
ModuleStream* OpenModuleStream(const char* name);

// Calls close on the source, then releases the handle. nullptr is ignored.
void CloseModuleStream(ModuleStream* stream);

// Forward to read, seek and tell. For a missing stream: read copies nothing
// and returns 0, seek does nothing, tell returns 0.
std::int32_t StreamRead(void* destination, std::int32_t count, ModuleStream* stream);
void StreamSeek(ModuleStream* stream, std::int32_t offset, std::uint8_t origin);
std::int32_t StreamTell(ModuleStream* stream);

}  // namespace music
