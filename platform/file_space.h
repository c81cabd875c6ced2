#pragma once
// Telling the file system how large a file being written will be, so that it
// reserves the space at once instead of block by block as the writes come in:
// less work for each page written (a WAV of a minute is 10 MB), and a full
// disk shows before the writing starts. Main thread of a tool.

#include <cstdint>
#include <cstdio>

namespace platform {

// Reserves the first `bytes` bytes of the open `file`, which grows to at
// least that size (the bytes not yet written read as zeros). Only a hint:
// false where the system or the file system reserves nothing, and the file
// is then as it was.
bool ReserveFileSpace(std::FILE* file, std::uint64_t bytes);

}  // namespace platform
