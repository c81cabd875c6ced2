// Whole-file writes on POSIX: the temporary file is made with O_EXCL under a
// random name, written, closed and renamed over the final name; rename
// replaces a file in one step.
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

}  // namespace

bool WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes, std::string& error,
                         WriteMode mode) {
    const bool keep = mode == WriteMode::KeepExisting;
    auto fail = [&](int code) {
        error = "cannot write " + path.string() + ": " + Reason(code) + (keep ? "; " + path.string() + " is unchanged" : "");
        return false;
    };
    if (IsDeviceOrPipe(path)) {
        const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return fail(errno);
        const bool ok = WriteAll(fd, bytes);
        const int code = errno;
        close(fd);
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
    const int fd = CreateBeside(target, keep ? 0600 : permissions, temporary);
    if (fd < 0) return fail(errno);
    bool ok = WriteAll(fd, bytes);
    // The old mode exactly, whatever the umask would have taken from it.
    if (ok && keep) ok = fchmod(fd, permissions) == 0;
    if (ok && keep) ok = fsync(fd) == 0;
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
        unlink(temporary.c_str());
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
    if (IsDeviceOrPipe(path)) {
        error = "cannot write " + path.string() + ": not a regular file";
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
