// Whole-file writes on native Win32: the temporary file is made with
// CREATE_NEW under a random name, written and closed, then MoveFileEx with
// MOVEFILE_REPLACE_EXISTING puts it over the final name in one step (a
// plain rename refuses an existing target on Windows). Keeping an existing
// file adds FlushFileBuffers and MOVEFILE_WRITE_THROUGH, which returns once
// the replacement is on disk.
#include "platform/write_file.h"

#include <algorithm>
#include <random>

#include "platform/win32/win32.h"

namespace platform {

namespace fs = std::filesystem;

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

// A new file beside `path`, open for writing; INVALID_HANDLE_VALUE with the
// last error set when none could be made.
HANDLE CreateBeside(const fs::path& path, fs::path& temporary) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryNameBeside(path, static_cast<std::uint32_t>(random()));
        HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr)) return false;
        if (wrote == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += wrote;
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes, std::string& error,
                         WriteMode mode) {
    const bool keep = mode == WriteMode::KeepExisting;
    auto fail = [&](DWORD code) {
        error = "cannot write " + path.string() + ": " + SystemError(code) +
                (keep ? "; " + path.string() + " is unchanged" : "");
        return false;
    };
    std::error_code ignored;
    const fs::path target = fs::absolute(path, ignored);
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (keep) {
        attributes = GetFileAttributesW(target.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return fail(GetLastError());
    }
    fs::path temporary;
    HANDLE file = CreateBeside(target, temporary);
    if (file == INVALID_HANDLE_VALUE) return fail(GetLastError());
    bool ok = WriteAll(file, bytes);
    if (ok && keep) ok = FlushFileBuffers(file) != 0;
    DWORD code = GetLastError();
    if (!CloseHandle(file) && ok) {
        ok = false;
        code = GetLastError();
    }
    // The old file's attributes (read-only aside, which would block the
    // replacement), as the POSIX side keeps the mode.
    if (ok && keep) SetFileAttributesW(temporary.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    const DWORD how = MOVEFILE_REPLACE_EXISTING | (keep ? MOVEFILE_WRITE_THROUGH : 0);
    if (ok && !MoveFileExW(temporary.c_str(), target.c_str(), how)) {
        ok = false;
        code = GetLastError();
    }
    if (!ok) {
        DeleteFileW(temporary.c_str());
        return fail(code);
    }
    return true;
}

fs::path CreateTemporaryBeside(const fs::path& path, std::string& error) {
    fs::path temporary;
    HANDLE file = CreateBeside(path, temporary);
    if (file == INVALID_HANDLE_VALUE) {
        error = "cannot write " + path.string() + ": " + SystemError(GetLastError());
        return {};
    }
    CloseHandle(file);
    return temporary;
}

bool RenameOver(const fs::path& temporary, const fs::path& path, std::string& error) {
    if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    error = "cannot write " + path.string() + ": " + SystemError(GetLastError());
    return false;
}

}  // namespace platform
