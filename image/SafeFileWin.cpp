// The Windows half of CSafeFileStream: an exclusive temporary beside the
// target, FlushFileBuffers, and MoveFileEx with write-through, retried while
// a scanner or indexer holds one of the files for a moment.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstring>

#include "image/SafeFile.h"

namespace vistrel::platform {

namespace {

std::string SystemText(DWORD code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length && buffer ? std::string(buffer, length) : "error " + std::to_string(code);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// Names tried before giving up: each a stale temporary of a crash or
// another copy's write in progress.
constexpr int kTempAttempts = 100;

// Growing waits, about a second in all: an antivirus or the search indexer
// opens a file that was just written and lets it go soon after.
constexpr DWORD kMoveRetryMilliseconds[] = {10, 20, 40, 80, 160, 300, 400};

BOOL MoveFileRetrying(const std::string& from, const std::string& to, DWORD flags) {
    for (DWORD wait : kMoveRetryMilliseconds) {
        if (MoveFileExA(from.c_str(), to.c_str(), flags))
            return TRUE;
        if (!IsTransientMoveError(GetLastError()))
            return FALSE;
        Sleep(wait);
    }
    return MoveFileExA(from.c_str(), to.c_str(), flags);
}

// A buffered stream over an open file, which it then owns; none (and the
// file closed) when the runtime cannot make one.
FILE* StreamOver(HANDLE file, const char* mode, std::string& failure) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY | _O_RDWR);
    FILE* stream = fd >= 0 ? _fdopen(fd, mode) : nullptr;
    if (!stream) {
        failure = std::strerror(errno);
        if (fd >= 0)
            _close(fd);
        else
            CloseHandle(file);
    }
    return stream;
}

} // namespace

FILE* OpenTempFileBeside(const std::string& target, std::string& tempName, std::string& failure) {
    // The full path's file part is found by the system, which knows the
    // double-byte characters whose trail byte looks like a backslash.
    char full[MAX_PATH];
    char* filePart = nullptr;
    const DWORD length = GetFullPathNameA(target.c_str(), MAX_PATH, full, &filePart);
    if (length == 0 || length >= MAX_PATH || !filePart) {
        failure = SystemText(length == 0 ? GetLastError()
                             : filePart  ? ERROR_FILENAME_EXCED_RANGE
                                         : ERROR_INVALID_NAME);
        return nullptr;
    }
    const std::string folder(full, filePart);
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 1; attempt <= kTempAttempts && error == ERROR_FILE_EXISTS; ++attempt) {
        const std::string name = folder + TempNameFor(filePart, attempt);
        HANDLE file =
            CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            continue;
        }
        FILE* stream = StreamOver(file, "w+b", failure);
        if (!stream) {
            DeleteFileA(name.c_str());
            return nullptr;
        }
        tempName = name;
        return stream;
    }
    failure = SystemText(error);
    return nullptr;
}

bool SyncToDisk(FILE* stream, std::string& failure) {
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (file == INVALID_HANDLE_VALUE) {
        failure = SystemText(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!FlushFileBuffers(file)) {
        const DWORD error = GetLastError();
        // Some network and virtual drives cannot flush and say so: the bytes
        // are written all the same.
        if (error == ERROR_INVALID_FUNCTION)
            return true;
        failure = SystemText(error);
        return false;
    }
    return true;
}

bool IsTransientMoveError(unsigned long systemCode) {
    return systemCode == ERROR_SHARING_VIOLATION || systemCode == ERROR_ACCESS_DENIED ||
           systemCode == ERROR_LOCK_VIOLATION;
}

bool MoveOver(const std::string& from, const std::string& to, std::string& failure) {
    if (!MoveFileRetrying(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        failure = SystemText(GetLastError());
        return false;
    }
    return true;
}

MoveStatus MoveNew(const std::string& from, const std::string& to, std::string& failure) {
    if (MoveFileRetrying(from, to, MOVEFILE_WRITE_THROUGH))
        return MoveStatus::Done;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
        return MoveStatus::Exists;
    if (error == ERROR_FILE_NOT_FOUND)
        return MoveStatus::Missing;
    failure = SystemText(error);
    // A file of that name that is pending deletion denies access to it.
    return error == ERROR_ACCESS_DENIED ? MoveStatus::Refused : MoveStatus::Failed;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != FALSE;
}

FILE* ReopenCut(const std::string& path, int64_t size, std::string& failure) {
    // Shared as the temporary was made: readers may look, nobody else writes.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = size;
    if (file == INVALID_HANDLE_VALUE || !SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(file)) {
        failure = SystemText(GetLastError());
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        return nullptr;
    }
    FILE* stream = StreamOver(file, "r+b", failure);
    if (stream)
        _fseeki64(stream, 0, SEEK_END);
    return stream;
}

void ClearWriteError() {
    SetLastError(ERROR_SUCCESS);
}

// Less free space than this after a write that failed without a reason is
// a full disk: a drive that takes part of a write says nothing of the rest.
constexpr ULONGLONG kFullDiskSlack = 65536;

std::string WriteFailureText(int errnoValue, const std::string& path) {
    DWORD code = GetLastError();
    if (code == ERROR_SUCCESS && errnoValue == ENOSPC)
        code = ERROR_DISK_FULL;
    if (code == ERROR_SUCCESS && !path.empty()) {
        const std::string folder = path.substr(0, path.find_last_of("\\/") + 1);
        ULARGE_INTEGER free{};
        if (GetDiskFreeSpaceExA(folder.empty() ? nullptr : folder.c_str(), &free, nullptr, nullptr) &&
            free.QuadPart < kFullDiskSlack)
            code = ERROR_DISK_FULL;
    }
    if (code != ERROR_SUCCESS)
        return SystemText(code);
    return errnoValue ? std::strerror(errnoValue) : "the file could not be written";
}

} // namespace vistrel::platform
