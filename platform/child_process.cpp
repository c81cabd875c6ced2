#include "platform/child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {

std::string FindProgramOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (!path || name.empty() || name.find('/') != std::string::npos) return {};
    const std::string dirs = path;
    std::size_t from = 0;
    while (from <= dirs.size()) {
        std::size_t to = dirs.find(':', from);
        if (to == std::string::npos) to = dirs.size();
        // An empty entry is the current directory, which a tool should not
        // pick a program from.
        if (to > from) {
            const std::string candidate = dirs.substr(from, to - from) + "/" + name;
            struct stat info {};
            if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        from = to + 1;
    }
    return {};
}

bool StartChild(const std::string& path, const std::vector<std::string>& arguments, ChildProcess& child) {
    child = ChildProcess{};
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t id = -1;
    const int result = posix_spawn(&id, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[0]);
    if (result != 0) {
        close(ends[1]);
        errno = result;
        return false;
    }
    child.id = id;
    child.input = ends[1];
    return true;
}

bool WriteToChild(ChildProcess& child, const void* bytes, std::size_t size) {
    if (child.input < 0) return false;
    const auto* at = static_cast<const unsigned char*>(bytes);
    while (size > 0) {
        const ssize_t wrote = write(child.input, at, size);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        at += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return true;
}

int FinishChild(ChildProcess& child) {
    if (child.input >= 0) close(child.input);
    child.input = -1;
    if (child.id < 0) return -1;
    int status = 0;
    pid_t waited;
    do {
        waited = waitpid(child.id, &status, 0);
    } while (waited < 0 && errno == EINTR);
    child.id = -1;
    if (waited < 0 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace platform
