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

// Writes `bytes` to `path` as `mode` says; a path WrittenStraight is
// written into as it stands (OpenStraight). False with the reason in `error`
// ("cannot write PATH: ...", plus "PATH is unchanged" when it existed); the
// temporary file is gone then and `path` is as it was. Where the system
// offers files without a name (Linux), the bytes go to one that takes its
// temporary name only once written, so that even a kill leaves nothing.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes, std::string& error,
                         WriteMode mode = WriteMode::Create);

// For a file written piece by piece, here or by another program (ffmpeg):
// creates a new empty temporary file beside `path` and returns its name, or
// an empty path with "cannot write PATH: ..." in `error` (also when `path` is
// WrittenStraight, which has no "beside"). The caller renames it with
// RenameOver or removes it.
std::filesystem::path CreateTemporaryBeside(const std::filesystem::path& path, std::string& error);

// True for a path that is written into as it stands rather than replaced by
// a new file: an existing device or pipe (/dev/null, NUL, CON, a FIFO), any
// path under /dev or /proc (/dev/stdout, /proc/self/fd/1), and a file that is
// open as the process's standard input, output or error. A rename over such
// a path would replace the device or the link itself (as root, /dev/null
// would become a file), and `tool /dev/stdout > out.wav` would leave out.wav
// empty while a new file took the link's place.
bool WrittenStraight(const std::filesystem::path& path);

// Opens a path WrittenStraight for writing in binary: through the standard
// stream's own file when it is one (so that the position and the append
// mode the shell gave it hold), else the path itself, made or emptied if it
// is a file. nullptr with "cannot write PATH: ..." in `error`.
std::FILE* OpenStraight(const std::filesystem::path& path, std::string& error);

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
