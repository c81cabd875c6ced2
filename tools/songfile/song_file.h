#pragma once
// A song file behind the stream table: the whole file is read into memory
// and the player's memory source (music/resource_stream.h) is installed over
// it, so the loader's many small seeks cost nothing and a file is read with
// the same clamped cursor as the embedded song. Main thread only, and only
// while no song plays.

#include <string>

namespace tools {

// Reads the file at `path` and installs the memory source over its bytes.
// 0 on success, otherwise the errno of the failure (EFBIG for a file of 2 GiB
// or more, whose positions a stream cannot hold); the table is then empty.
int InstallSongFile(const std::string& path);

// Empties the stream table and frees the bytes.
void RemoveSongFile();

}  // namespace tools
