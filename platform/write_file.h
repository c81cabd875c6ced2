#pragma once
// Writing a new file so that it is complete or not there at all: the bytes
// go to a temporary name beside the final one, which is renamed into place
// once closed. A tool stopped half way leaves no truncated picture behind.
// Plain C++ file services, the same on every system. Main thread of a tool.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace platform {

// Writes `bytes` to `path` through `path` + ".tmp" and a rename, replacing a
// file of that name. False with the reason (the path and the system's
// message) in `error`; no file of either name is left then.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                         std::string& error);

}  // namespace platform
