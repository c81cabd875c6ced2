#include "platform/thread.h"

#include <chrono>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace platform {

struct ThreadHandle {
    std::thread thread;
    int result = 0;
};

namespace {

// The highest priority this process may take for the calling thread:
// real-time round robin where the system allows it (root, CAP_SYS_NICE or
// an rtprio limit), else the lowest nice value RLIMIT_NICE grants, else
// nothing changes. Refusals are normal for a desktop user and are silent.
void RaiseCurrentThreadPriority() {
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_RR);
    if (pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0) return;
    rlimit limit{};
    if (getrlimit(RLIMIT_NICE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return;
    const int lowestNice = 20 - static_cast<int>(limit.rlim_cur);  // RLIMIT_NICE counts 20 - nice
    const auto tid = static_cast<id_t>(gettid());
    if (lowestNice < getpriority(PRIO_PROCESS, tid)) setpriority(PRIO_PROCESS, tid, lowestNice);
}

}  // namespace

ThreadHandle* StartTimeCriticalThread(const char* name, int (*entry)(void*), void* argument) {
    auto* handle = new (std::nothrow) ThreadHandle;
    if (!handle) return nullptr;
    try {
        handle->thread = std::thread([handle, entry, argument, threadName = std::string(name).substr(0, 15)] {
            pthread_setname_np(pthread_self(), threadName.c_str());  // the system keeps 15 characters
            RaiseCurrentThreadPriority();
            handle->result = entry(argument);
        });
    } catch (const std::system_error&) {
        delete handle;
        return nullptr;
    }
    return handle;
}

int JoinThread(ThreadHandle* thread) {
    if (!thread) return 0;
    thread->thread.join();
    const int result = thread->result;
    delete thread;
    return result;
}

void SleepMilliseconds(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace platform
