#pragma once
// Another program fed through a pipe: tools hand frames and sound to
// ffmpeg this way. Main thread only.

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// The path of `name` in a directory of PATH where it is an executable file;
// empty when there is none (or PATH is unset or empty).
std::string FindProgramOnPath(const std::string& name);

struct ChildProcess {
    int id = -1;     // process id; -1: not running
    int input = -1;  // write end of the pipe to its standard input; -1: closed
};

// Starts `path` with `arguments` (argv[0] first). Its standard input reads
// what WriteToChild writes, its standard output goes to /dev/null and its
// standard error is ours. From the first call on, a reader that has gone
// makes writes fail (EPIPE) instead of ending this process (SIGPIPE).
// False (with errno) when it cannot be started.
bool StartChild(const std::string& path, const std::vector<std::string>& arguments, ChildProcess& child);

// Writes all `size` bytes, waiting while the pipe is full (and going on
// after a signal). False when the child has closed its input or gone.
bool WriteToChild(ChildProcess& child, const void* bytes, std::size_t size);

// Closes its input and waits for it to end: its exit status (0 to 255), or
// -1 when a signal ended it or it was not running.
int FinishChild(ChildProcess& child);

}  // namespace platform
