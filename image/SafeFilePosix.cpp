// The POSIX half of CSafeFileStream: an exclusive temporary beside the
// target, fsync, rename(2); renameat2 or link(2) when nothing may be replaced.
#include "image/SafeFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel::platform {

namespace {

// Names tried before giving up: each a stale temporary of a crash or
// another copy's write in progress.
constexpr int kTempAttempts = 100;

} // namespace

FILE* OpenTempFileBeside(const std::string& target, std::string& tempName, std::string& failure) {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string filePart = slash == std::string::npos ? target : target.substr(slash + 1);
    for (int attempt = 1; attempt <= kTempAttempts; ++attempt) {
        const std::string name = folder + TempNameFor(filePart, attempt);
        // Mode 0666 less the umask, as any new file; the umask is read by
        // the kernel, never changed (other threads may be creating files).
        const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            break;
        FILE* stream = fdopen(fd, "w+b");
        if (!stream) {
            failure = std::strerror(errno);
            close(fd);
            unlink(name.c_str());
            return nullptr;
        }
        tempName = name;
        return stream;
    }
    failure = std::strerror(errno);
    return nullptr;
}

bool SyncToDisk(FILE* stream, std::string& failure) {
    if (fsync(fileno(stream)) != 0) {
        failure = std::strerror(errno);
        return false;
    }
    return true;
}

bool MoveOver(const std::string& from, const std::string& to, std::string& failure) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        failure = std::strerror(errno);
        return false;
    }
    return true;
}

MoveStatus MoveNew(const std::string& from, const std::string& to, std::string& failure) {
    int error = 0;
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return MoveStatus::Done;
    error = errno;
#endif
    // File systems without the flag: a second link is made only if the name
    // is free, then the temporary's name goes.
    if (error == 0 || error == EINVAL || error == ENOSYS) {
        if (link(from.c_str(), to.c_str()) == 0) {
            unlink(from.c_str());
            return MoveStatus::Done;
        }
        error = errno;
    }
    if (error == EEXIST)
        return MoveStatus::Exists;
    if (error == EACCES || error == EPERM) {
        failure = std::strerror(error);
        return MoveStatus::Refused;
    }
    if (error == ENOENT && access(from.c_str(), F_OK) != 0)
        return MoveStatus::Missing;
    failure = std::strerror(error);
    return MoveStatus::Failed;
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

FILE* ReopenCut(const std::string& path, int64_t size, std::string& failure) {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0 || lseek(fd, 0, SEEK_END) < 0) {
        failure = std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return nullptr;
    }
    FILE* stream = fdopen(fd, "r+b");
    if (!stream) {
        failure = std::strerror(errno);
        close(fd);
    }
    return stream;
}

void ClearWriteError() {}

std::string WriteFailureText(int errnoValue, const std::string&) {
    return errnoValue ? std::strerror(errnoValue) : "the file could not be written";
}

} // namespace vistrel::platform
