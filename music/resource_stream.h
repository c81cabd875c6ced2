#pragma once
// ResourceStream: the stream operations the intro installs, a read-only
// cursor over an embedded resource of type "MUSIC". The bytes belong to the
// executable; the stream never writes or releases them. Main thread only.

#include <cstddef>
#include <cstdint>

namespace music {

// The source handle of the resource stream.
struct ResourceStream {
    std::int32_t size = 0;                 // bytes of the resource, >= 0
    std::int32_t position = 0;             // offset of the next byte to read, 0..size
    const std::uint8_t* data = nullptr;    // first byte; not owned, never written
};

// A stream over bytes that outlive it (size 0 for no data); release it with
// ResourceStreamClose. Sizes beyond the signed 32-bit range give size 0.
ResourceStream* CreateResourceStream(const std::uint8_t* data, std::size_t size);

// The five operations, in the order RegisterStreamOps takes them.
//
// open: the resource of type "MUSIC" with this name. A name that matches
// nothing still gives a stream, of size 0, so that the loader rejects it by
// its signature; open itself never fails.
void* ResourceStreamOpen(const char* name);
// close: releases the record only.
void ResourceStreamClose(void* stream);
// read: copies min(count, size - position) bytes (none for a negative count),
// advances the position by as many and returns the number copied; the rest of
// the destination is left untouched.
std::int32_t ResourceStreamRead(void* destination, std::int32_t count, void* stream);
// seek: origin 0 sets the position to offset, 1 adds offset, 2 sets it to
// size + offset; any other origin leaves it. The result is clamped to 0..size,
// so a seek before the start stops at the start and one past the end at the
// end.
void ResourceStreamSeek(void* stream, std::int32_t offset, std::uint8_t origin);
// tell: the position.
std::int32_t ResourceStreamTell(void* stream);

// Installs the five operations above as the stream table.
void RegisterResourceStreamOps();

// Installs the memory source: the same cursor operations, with an open that
// ignores the name and gives a fresh stream over these bytes, which must
// outlive the installation. A song a tool read from a file and a test's
// bytes are loaded this way, through the very reads and clamped seeks that
// load the embedded song.
void RegisterMemoryStreamOps(const std::uint8_t* data, std::size_t size);

}  // namespace music
