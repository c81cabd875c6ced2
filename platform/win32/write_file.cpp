// Whole-file writes on native Win32: the temporary file is made with
// CREATE_NEW under a random name, written and closed, then MoveFileEx with
// MOVEFILE_REPLACE_EXISTING puts it over the final name in one step (a
// plain rename refuses an existing target on Windows). Keeping an existing
// file adds FlushFileBuffers and MOVEFILE_WRITE_THROUGH, which returns once
// the replacement is on disk. What the POSIX writer gets from rename and
// realpath is done by hand: a read-only target is replaced as rename
// replaces a file whose mode forbids writing, and a symbolic link is
// followed to the file it names.
#include "platform/write_file.h"

#include <algorithm>
#include <cwctype>
#include <fcntl.h>
#include <io.h>
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

// An existing file's identity, without opening it for reading or writing.
bool IdentityOf(const fs::path& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    return ok;
}

// The C library's descriptor (0, 1 or 2) of the standard stream that `path`
// names, or -1.
int StandardStreamOf(const fs::path& path) {
    BY_HANDLE_FILE_INFORMATION target{};
    if (!IdentityOf(path, target)) return -1;
    const std::pair<DWORD, int> streams[] = {{STD_OUTPUT_HANDLE, 1}, {STD_ERROR_HANDLE, 2}, {STD_INPUT_HANDLE, 0}};
    for (const auto& [which, fd] : streams) {
        HANDLE stream = GetStdHandle(which);
        BY_HANDLE_FILE_INFORMATION info{};
        if (stream && stream != INVALID_HANDLE_VALUE && GetFileType(stream) == FILE_TYPE_DISK &&
            GetFileInformationByHandle(stream, &info) && info.dwVolumeSerialNumber == target.dwVolumeSerialNumber &&
            info.nFileIndexHigh == target.nFileIndexHigh && info.nFileIndexLow == target.nFileIndexLow) {
            return fd;
        }
    }
    return -1;
}

// NUL, CON, PRN, AUX, COM1-9 and LPT1-9 name devices in every folder and
// with any extension ("nul.txt" is NUL too); \\.\ names the device space.
bool NamesDevice(const fs::path& path) {
    const std::wstring text = path.wstring();
    if (text.rfind(L"\\\\.\\", 0) == 0 || text.rfind(L"//./", 0) == 0) return true;
    std::wstring stem = path.filename().wstring();
    stem = stem.substr(0, stem.find(L'.'));
    while (!stem.empty() && (stem.back() == L' ' || stem.back() == L':')) stem.pop_back();
    std::transform(stem.begin(), stem.end(), stem.begin(), [](wchar_t c) { return std::towupper(c); });
    if (stem == L"NUL" || stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"CONIN$" ||
        stem == L"CONOUT$") {
        return true;
    }
    return stem.size() == 4 && (stem.rfind(L"COM", 0) == 0 || stem.rfind(L"LPT", 0) == 0) && stem[3] >= L'1' &&
           stem[3] <= L'9';
}

// The file a name finally leads to, symbolic links and junctions followed;
// the name itself when it leads nowhere yet.
fs::path FinalPath(const fs::path& path) {
    std::error_code ignored;
    const fs::path absolute = fs::absolute(path, ignored);
    HANDLE file = CreateFileW(absolute.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return absolute;
    std::wstring final(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(file);
    if (length == 0 || length >= final.size()) return absolute;
    final.resize(length);
    // "\\?\C:\..." and "\\?\UNC\server\...": the plain forms serve as well
    // below the length limit, and read better in messages.
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + final.substr(8);
    if (final.rfind(L"\\\\?\\", 0) == 0 && final.size() < MAX_PATH) return final.substr(4);
    return final;
}

// MoveFileEx over `target`, which a read-only attribute would block: it is
// taken off first, and put back should the move fail.
bool MoveOver(const fs::path& temporary, const fs::path& target, DWORD how) {
    const DWORD old = GetFileAttributesW(target.c_str());
    const bool readOnly = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly) SetFileAttributesW(target.c_str(), old & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (MoveFileExW(temporary.c_str(), target.c_str(), how)) return true;
    const DWORD code = GetLastError();
    if (readOnly) SetFileAttributesW(target.c_str(), old);
    SetLastError(code);
    return false;
}

}  // namespace

bool WrittenStraight(const fs::path& path) {
    if (NamesDevice(path)) return true;
    std::error_code ignored;
    HANDLE file = CreateFileW(fs::absolute(path, ignored).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(file);
    CloseHandle(file);
    return type != FILE_TYPE_DISK || StandardStreamOf(path) >= 0;
}

std::FILE* OpenStraight(const fs::path& path, std::string& error) {
    // Standard input is no way to write: the path is opened anew then.
    const int stream = StandardStreamOf(path);
    std::FILE* file = nullptr;
    if (stream > 0) {
        const int fd = _dup(stream);
        if (fd >= 0) {
            _setmode(fd, _O_BINARY);
            file = _fdopen(fd, "wb");
            if (!file) _close(fd);
        }
    } else {
        file = _wfopen(path.c_str(), L"wb");
    }
    if (!file) error = "cannot write " + path.string() + ": " + SystemError(GetLastError());
    return file;
}

bool WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes, std::string& error,
                         WriteMode mode) {
    const bool keep = mode == WriteMode::KeepExisting;
    auto fail = [&](DWORD code) {
        error = "cannot write " + path.string() + ": " + SystemError(code) +
                (keep ? "; " + path.string() + " is unchanged" : "");
        return false;
    };
    if (WrittenStraight(path)) {
        std::FILE* file = OpenStraight(path, error);
        if (!file) return false;
        SetLastError(ERROR_SUCCESS);
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        const DWORD code = GetLastError();
        return std::fclose(file) == 0 && ok ? true : fail(code ? code : ERROR_WRITE_FAULT);
    }
    // A new file replaces a link itself, as rename does on POSIX; keeping
    // an existing file rewrites the file the link names.
    std::error_code ignored;
    const fs::path target = keep ? FinalPath(path) : fs::absolute(path, ignored);
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
    // The old file's attributes, read-only included, as the POSIX side
    // keeps the mode.
    if (ok && keep) SetFileAttributesW(temporary.c_str(), attributes);
    const DWORD how = MOVEFILE_REPLACE_EXISTING | (keep ? MOVEFILE_WRITE_THROUGH : 0);
    if (ok && !MoveOver(temporary, target, how)) {
        ok = false;
        code = GetLastError();
    }
    if (!ok) {
        SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(temporary.c_str());
        return fail(code);
    }
    return true;
}

fs::path CreateTemporaryBeside(const fs::path& path, std::string& error) {
    if (WrittenStraight(path)) {
        error = "cannot write " + path.string() + ": a device, a pipe or a standard stream, not a file to replace";
        return {};
    }
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
    if (MoveOver(temporary, path, MOVEFILE_REPLACE_EXISTING)) return true;
    error = "cannot write " + path.string() + ": " + SystemError(GetLastError());
    return false;
}

}  // namespace platform
