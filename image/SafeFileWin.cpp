// The Windows half of CSafeFileStream: GetTempFileName beside the target,
// FlushFileBuffers, and MoveFileEx with replace and write-through.
#include <windows.h>

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

} // namespace

FILE* OpenTempFileBeside(const std::string& target, std::string& tempName, std::string& failure) {
    // The full path's file part is found by the system, which knows the
    // double-byte characters whose trail byte looks like a backslash.
    char full[MAX_PATH];
    char* filePart = nullptr;
    const DWORD length = GetFullPathNameA(target.c_str(), MAX_PATH, full, &filePart);
    if (length == 0 || length >= MAX_PATH) {
        failure = SystemText(length ? ERROR_FILENAME_EXCED_RANGE : GetLastError());
        return nullptr;
    }
    const std::string folder = filePart ? std::string(full, filePart) : std::string(full);
    char temp[MAX_PATH];
    if (!GetTempFileNameA(folder.c_str(), "vst", 0, temp)) {
        failure = SystemText(GetLastError());
        return nullptr;
    }
    FILE* stream = std::fopen(temp, "w+b");
    if (!stream) {
        failure = std::strerror(errno);
        DeleteFileA(temp);
        return nullptr;
    }
    tempName = temp;
    return stream;
}

bool SyncToDisk(FILE* stream, std::string& failure) {
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (file == INVALID_HANDLE_VALUE || !FlushFileBuffers(file)) {
        failure = SystemText(GetLastError());
        return false;
    }
    return true;
}

bool MoveOver(const std::string& from, const std::string& to, std::string& failure) {
    if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        failure = SystemText(GetLastError());
        return false;
    }
    return true;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != FALSE;
}

} // namespace vistrel::platform
