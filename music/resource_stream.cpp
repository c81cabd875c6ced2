#include "music/resource_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "music/stream.h"

namespace music {

namespace {

ResourceStream& AsStream(void* stream) { return *static_cast<ResourceStream*>(stream); }

// The memory source's bytes (not owned).
const std::uint8_t* memoryData = nullptr;
std::size_t memorySize = 0;

void* MemoryStreamOpen(const char*) { return CreateResourceStream(memoryData, memorySize); }

}  // namespace

ResourceStream* CreateResourceStream(const std::uint8_t* data, std::size_t size) {
    auto* stream = new ResourceStream;
    if (data && size > 0 && size <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        stream->size = static_cast<std::int32_t>(size);
        stream->data = data;
    }
    return stream;
}

void ResourceStreamClose(void* stream) { delete static_cast<ResourceStream*>(stream); }

std::int32_t ResourceStreamRead(void* destination, std::int32_t count, void* stream) {
    ResourceStream& s = AsStream(stream);
    const std::int32_t n = std::clamp(count, std::int32_t{0}, s.size - s.position);
    if (n > 0) std::memcpy(destination, s.data + s.position, static_cast<std::size_t>(n));
    s.position += n;
    return n;
}

void ResourceStreamSeek(void* stream, std::int32_t offset, std::uint8_t origin) {
    ResourceStream& s = AsStream(stream);
    // In 64 bits, so that no offset can overflow the sum before the clamp.
    std::int64_t target = s.position;
    switch (origin) {
        case kSeekSet: target = offset; break;
        case kSeekCurrent: target = std::int64_t{s.position} + offset; break;
        case kSeekEnd: target = std::int64_t{s.size} + offset; break;
        default: return;
    }
    s.position = static_cast<std::int32_t>(std::clamp<std::int64_t>(target, 0, s.size));
}

std::int32_t ResourceStreamTell(void* stream) { return AsStream(stream).position; }

void RegisterMemoryStreamOps(const std::uint8_t* data, std::size_t size) {
    memoryData = data;
    memorySize = size;
    RegisterStreamOps(MemoryStreamOpen, ResourceStreamClose, ResourceStreamRead, ResourceStreamSeek,
                      ResourceStreamTell);
}

}  // namespace music
