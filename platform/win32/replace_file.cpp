// Rewriting a file on native Win32: a temporary file beside it, flushed,
// then MoveFileEx with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH,
// which replaces the old file in one step and returns once that is on disk.
#include "platform/replace_file.h"

#include <algorithm>

#include "platform/win32/win32.h"

namespace platform {

namespace {

std::string SystemError(DWORD code) {
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, std::span<const std::uint8_t> bytes, std::string& error) {
    char full[MAX_PATH];
    char* namePart = nullptr;
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, &namePart);
    const DWORD attributes = length && length < sizeof full ? GetFileAttributesA(full) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || !namePart) {
        error = path + ": " + SystemError(GetLastError());
        return false;
    }
    const std::string target = full;
    const std::string folder(full, static_cast<std::size_t>(namePart - full));
    char temp[MAX_PATH];
    if (!GetTempFileNameA(folder.c_str(), "qtp", 0, temp)) {
        error = "cannot create a temporary file next to " + target + ": " + SystemError(GetLastError());
        return false;
    }
    auto fail = [&](const std::string& what, HANDLE open) {
        error = what + ": " + SystemError(GetLastError()) + "; " + path + " is unchanged";
        if (open != INVALID_HANDLE_VALUE) CloseHandle(open);
        DeleteFileA(temp);
        return false;
    };
    HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail(std::string("cannot open ") + temp, file);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
            return fail(std::string("cannot write ") + temp, file);
        }
        done += wrote;
    }
    if (!FlushFileBuffers(file)) return fail(std::string("cannot flush ") + temp, file);
    if (!CloseHandle(file)) return fail(std::string("cannot close ") + temp, INVALID_HANDLE_VALUE);
    // The old file's attributes (read-only aside, which would block the
    // replacement), as the POSIX side keeps the mode.
    SetFileAttributesA(temp, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (!MoveFileExA(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return fail("cannot rename " + std::string(temp) + " over " + target, INVALID_HANDLE_VALUE);
    }
    return true;
}

}  // namespace platform
