// The embedded half of the resource stream: the song found among the
// executable's resources. Kept apart from the cursor operations so that the
// tools, which install the memory source over files, link no resources.
#include <cstdint>

#include "music/resource_stream.h"
#include "music/stream.h"
#include "platform/resources.h"

namespace music {

void* ResourceStreamOpen(const char* name) {
    const auto bytes = platform::FindResource(name ? name : "", "MUSIC");
    return CreateResourceStream(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void RegisterResourceStreamOps() {
    RegisterStreamOps(ResourceStreamOpen, ResourceStreamClose, ResourceStreamRead, ResourceStreamSeek,
                      ResourceStreamTell);
}

}  // namespace music
