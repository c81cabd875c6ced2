#pragma once
// Writing a file so that it is complete or not there at all: the bytes go to
// a new temporary file beside the final one, under a name no other writer
// picks, which is renamed over the final name once written and closed. A
// tool stopped half way, a full disk or two tools writing one path at once
// never leave a truncated file under the final name. Every tool writes its
// files through here. Main thread of a tool.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>

namespace platform {

enum class WriteMode {
    // A new file, or one put over whatever has the name; a new file's usual
    // permissions. For outputs that can be made again (pictures, frames).
    Create,
    // Rewrites an existing file in place of the old one: a symbolic link is
    // followed to its target, the new file keeps the old one's mode (its
    // attributes on Windows), and the bytes and the rename reach the disk
    // before this returns, so that a crash cannot lose the old file either.
    KeepExisting,
};

// Writes `bytes` to `path` as `mode` says; into a device or pipe straight. False with the reason in `error`
// ("cannot write PATH: ...", plus "PATH is unchanged" when it existed); the
// temporary file is gone then and `path` is as it was.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes, std::string& error,
                         WriteMode mode = WriteMode::Create);

// For a file written piece by piece, here or by another program (ffmpeg):
// creates a new empty temporary file beside `path` and returns its name, or
// an empty path with "cannot write PATH: ..." in `error` (also when `path` is
// a device or pipe, which has no "beside"). The caller renames it with RenameOver or
// removes it.
std::filesystem::path CreateTemporaryBeside(const std::filesystem::path& path, std::string& error);

// True for an existing path that is neither a regular file nor a folder: a
// device or a pipe such as /dev/null, /dev/stdout or a FIFO. Such a path is
// written into as it stands; a rename over it would replace the device's
// name itself (as root, /dev/null would become a file).
inline bool IsDeviceOrPipe(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) return false;
    return !std::filesystem::is_regular_file(status) && !std::filesystem::is_directory(status);
}

// Renames `temporary` over `path` in one step, replacing a file there. False
// with "cannot write PATH: ..." in `error`; `temporary` is left in place then.
bool RenameOver(const std::filesystem::path& temporary, const std::filesystem::path& path, std::string& error);

// The temporary name beside `path` for one attempt: ".NAME.tmp-" and eight
// hex digits of `random`, in the same folder (a rename never crosses file
// systems; the leading dot hides it from a plain listing on POSIX).
inline std::filesystem::path TemporaryNameBeside(const std::filesystem::path& path, std::uint32_t random) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random));
    return path.parent_path() / ("." + path.filename().string() + ".tmp-" + suffix);
}

}  // namespace platform
