#pragma once
// Rewriting a file so that it is never half written: the new bytes go to a
// temporary file in the same folder (with the old file's permissions),
// are flushed to the disk and renamed over the old file in one step. Main
// thread of a tool.

#include <cstdint>
#include <span>
#include <string>

namespace platform {

// Replaces the contents of the existing file `path` with `bytes`. On false
// `error` says what failed, and the file is as it was.
bool ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes, std::string& error);

}  // namespace platform
