#include "platform/file_space.h"

#include <limits>

#if defined(__linux__)
#include <fcntl.h>
#endif

namespace platform {

bool ReserveFileSpace(std::FILE* file, std::uint64_t bytes) {
#if defined(__linux__)
    if (!file || bytes == 0 || bytes > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
    // fallocate, not posix_fallocate: where the file system cannot reserve,
    // the C library's fallback would write a byte into every block first.
    return fallocate(fileno(file), 0, 0, static_cast<off_t>(bytes)) == 0;
#else
    (void)file;
    (void)bytes;
    return false;
#endif
}

}  // namespace platform
