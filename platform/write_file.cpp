// Whole-file writes on POSIX: the bytes go to a new file beside the final
// one, which is closed and renamed over the final name; rename replaces a
// file in one step. On Linux the new file has no name while it is written
// (O_TMPFILE) and is linked under a random temporary name only once whole,
// so a tool killed half way (SIGKILL, a full disk's SIGXFSZ) leaves nothing
// behind; elsewhere, or where the file system cannot, it is made with
// O_EXCL under the random name from the start.
#include "platform/write_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

std::string Reason(int code) { return std::strerror(code); }

// A new file beside `path`, opened for writing with `permissions` (less the
// umask); -1 with errno set when none could be made.
int CreateBeside(const fs::path& path, mode_t permissions, fs::path& temporary) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryNameBeside(path, static_cast<std::uint32_t>(random()));
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, permissions);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

#if defined(O_TMPFILE)
// A file without a name in the folder of `path`; -1 where the system or the
// file system has none, or where /proc, through which it gets its name
// later, is missing.
int CreateUnnamedBeside(const fs::path& path, mode_t permissions) {
    if (access("/proc/self/fd", X_OK) != 0) return -1;
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    return open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, permissions);
}

// Gives the unnamed file `fd` a random temporary name beside `path`; false
// with errno set.
bool NameBeside(int fd, const fs::path& path, fs::path& temporary) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryNameBeside(path, static_cast<std::uint32_t>(random()));
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
        if (errno != EEXIST) break;
    }
    temporary.clear();
    return false;
}
#else
int CreateUnnamedBeside(const fs::path&, mode_t) { return -1; }
bool NameBeside(int, const fs::path&, fs::path&) {
    errno = ENOTSUP;
    return false;
}
#endif

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The standard stream (0, 1 or 2) that `path` names, or -1.
int StandardStreamOf(const fs::path& path) {
    struct stat target {};
    if (stat(path.c_str(), &target) != 0) return -1;
    for (int fd : {STDOUT_FILENO, STDERR_FILENO, STDIN_FILENO}) {
        struct stat stream {};
        if (fstat(fd, &stream) == 0 && SameFile(stream, target)) return fd;
    }
    return -1;
}

bool UnderSystemFolder(const fs::path& path) {
    std::error_code ignored;
    const fs::path absolute = fs::absolute(path, ignored).lexically_normal();
    auto part = absolute.begin();
    if (part == absolute.end() || *part != "/" || ++part == absolute.end()) return false;
    return *part == "dev" || *part == "proc";
}

}  // namespace

bool WrittenStraight(const fs::path& path) {
    if (UnderSystemFolder(path)) return true;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return true;
    return StandardStreamOf(path) >= 0;
}

std::FILE* OpenStraight(const fs::path& path, std::string& error) {
    // A stream open only for reading (standard input, often /dev/null) is
    // no way to write: the path is opened anew then.
    const int stream = StandardStreamOf(path);
    const bool writable = stream >= 0 && (fcntl(stream, F_GETFL) & O_ACCMODE) != O_RDONLY;
    const int fd = writable ? fcntl(stream, F_DUPFD_CLOEXEC, 0)
                            : open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    std::FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (!file) {
        error = "cannot write " + path.string() + ": " + Reason(errno);
        if (fd >= 0) close(fd);
    }
    return file;
}

bool WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes, std::string& error,
                         WriteMode mode) {
    const bool keep = mode == WriteMode::KeepExisting;
    auto fail = [&](int code) {
        error = "cannot write " + path.string() + ": " + Reason(code) + (keep ? "; " + path.string() + " is unchanged" : "");
        return false;
    };
    if (WrittenStraight(path)) {
        std::FILE* file = OpenStraight(path, error);
        if (!file) return false;
        const bool ok = WriteAll(fileno(file), bytes);
        const int code = errno;
        std::fclose(file);
        return ok ? true : fail(code);
    }
    fs::path target = path;
    mode_t permissions = 0666;
    if (keep) {
        char resolved[PATH_MAX];
        struct stat st {};
        if (!realpath(path.c_str(), resolved) || stat(resolved, &st) != 0) return fail(errno);
        target = resolved;
        permissions = st.st_mode & 07777;
    }
    fs::path temporary;
    const mode_t initial = keep ? 0600 : permissions;
    int fd = CreateUnnamedBeside(target, initial);
    const bool unnamed = fd >= 0;
    if (!unnamed) fd = CreateBeside(target, initial, temporary);
    if (fd < 0) return fail(errno);
    bool ok = WriteAll(fd, bytes);
    // The old mode exactly, whatever the umask would have taken from it.
    if (ok && keep) ok = fchmod(fd, permissions) == 0;
    if (ok && keep) ok = fsync(fd) == 0;
    if (ok && unnamed) ok = NameBeside(fd, target, temporary);
    int code = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        if (!temporary.empty()) unlink(temporary.c_str());
        return fail(code);
    }
    if (keep) {
        // The rename itself reaches the disk with the folder.
        const int dir = open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            fsync(dir);
            close(dir);
        }
    }
    return true;
}

fs::path CreateTemporaryBeside(const fs::path& path, std::string& error) {
    if (WrittenStraight(path)) {
        error = "cannot write " + path.string() + ": a device, a pipe or a standard stream, not a file to replace";
        return {};
    }
    fs::path temporary;
    const int fd = CreateBeside(path, 0666, temporary);
    if (fd < 0) {
        error = "cannot write " + path.string() + ": " + Reason(errno);
        return {};
    }
    close(fd);
    return temporary;
}

bool RenameOver(const fs::path& temporary, const fs::path& path, std::string& error) {
    if (rename(temporary.c_str(), path.c_str()) == 0) return true;
    error = "cannot write " + path.string() + ": " + Reason(errno);
    return false;
}

}  // namespace platform
