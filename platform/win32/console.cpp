// The terminal on native Win32: the console's control handler for Ctrl+C
// and the console input (or a pipe or file standing in for it).
#include "platform/console.h"

#include <atomic>
#include <cstdio>

#include <io.h>

#include "platform/win32/win32.h"

namespace platform {

namespace {

std::atomic<bool> interrupted{false};

BOOL WINAPI OnControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        interrupted = true;
        return TRUE;
    }
    return FALSE;
}

// Reads and drops bytes up to the end of a line; true at a newline or at
// the end of the input.
bool ConsumeLine(HANDLE input) {
    char c = 0;
    DWORD got = 0;
    while (ReadFile(input, &c, 1, &got, nullptr) && got == 1) {
        if (c == '\n') return true;
    }
    return true;
}

}  // namespace

void CatchInterrupt() { SetConsoleCtrlHandler(OnControl, TRUE); }

bool InterruptRequested() { return interrupted; }

void ResetInterrupt() { interrupted = false; }

bool ConsoleLineEntered(unsigned milliseconds) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) return true;  // no input at all: its end
    switch (GetFileType(input)) {
    case FILE_TYPE_CHAR: {
        // A console: key events, of which Enter ends the wait.
        const ULONGLONG until = GetTickCount64() + milliseconds;
        for (;;) {
            const ULONGLONG now = GetTickCount64();
            if (now >= until) return false;
            if (WaitForSingleObject(input, static_cast<DWORD>(until - now)) != WAIT_OBJECT_0) return false;
            INPUT_RECORD record{};
            DWORD read = 0;
            if (!ReadConsoleInputA(input, &record, 1, &read) || read == 0) return true;
            if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
                record.Event.KeyEvent.wVirtualKeyCode == VK_RETURN) {
                return true;
            }
        }
    }
    case FILE_TYPE_PIPE: {
        const ULONGLONG until = GetTickCount64() + milliseconds;
        for (;;) {
            DWORD available = 0;
            if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) return true;  // writer gone
            if (available > 0) return ConsumeLine(input);
            if (GetTickCount64() >= until) return false;
            Sleep(5);
        }
    }
    default:
        return ConsumeLine(input);  // a file: its next line, or its end
    }
}

bool StandardOutputIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace platform
