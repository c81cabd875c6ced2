// Leave requests on native Win32. The desktop asks the intro to close through
// its window (WM_CLOSE, WM_QUERYENDSESSION's default), so no signal is
// needed for that; a console the program may have been started from still
// sends Ctrl+C, Ctrl+Break and its own closing, counted here. Windows does
// not stop and continue processes, so nothing resumes.
#include "platform/process_signals.h"

#include <atomic>

#include "platform/win32/win32.h"

namespace platform {

namespace {

std::atomic<std::uint32_t> leaveRequests{0};
bool installed = false;

BOOL WINAPI OnControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        leaveRequests.fetch_add(1, std::memory_order_relaxed);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void InstallProcessSignals() {
    if (installed) return;
    installed = true;
    SetConsoleCtrlHandler(OnControl, TRUE);
}

bool TakeLeaveRequest() { return leaveRequests.exchange(0, std::memory_order_relaxed) != 0; }

std::uint32_t ResumeCount() { return 0; }

}  // namespace platform
