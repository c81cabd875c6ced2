#include "platform/replace_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

bool ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes, std::string& error) {
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const std::string target = resolved;
    struct stat st {};
    if (stat(target.c_str(), &st) != 0) {
        error = target + ": " + std::strerror(errno);
        return false;
    }
    const std::size_t slash = target.rfind('/');
    std::string temp = target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".textpatch-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot create a temporary file next to " + target + ": " + std::strerror(errno);
        return false;
    }
    auto fail = [&](const std::string& what) {
        error = what + ": " + std::strerror(errno) + "; " + path + " is unchanged";
        close(fd);
        unlink(temp.c_str());
        return false;
    };
    if (fchmod(fd, st.st_mode & 07777) != 0) return fail("cannot set the mode of " + temp);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return fail("cannot write " + temp);
        }
        done += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0) return fail("cannot flush " + temp);
    if (close(fd) != 0) {
        error = std::string("cannot close ") + temp + ": " + std::strerror(errno) + "; " + path + " is unchanged";
        unlink(temp.c_str());
        return false;
    }
    if (rename(temp.c_str(), target.c_str()) != 0) {
        error = "cannot rename " + temp + " over " + target + ": " + std::strerror(errno) + "; " + path + " is unchanged";
        unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int dir = open(target.substr(0, slash + 1).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

}  // namespace platform
