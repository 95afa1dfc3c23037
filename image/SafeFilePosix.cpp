// The POSIX half of CSafeFileStream: mkstemp beside the target, fsync, rename(2).
#include "image/SafeFile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vistrel::platform {

FILE* OpenTempFileBeside(const std::string& target, std::string& tempName, std::string& failure) {
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string pattern = folder + ".vistrel-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        failure = std::strerror(errno);
        return nullptr;
    }
    // mkstemp makes the file private; the finished file gets the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    FILE* stream = fdopen(fd, "w+b");
    if (!stream) {
        failure = std::strerror(errno);
        close(fd);
        unlink(name.data());
        return nullptr;
    }
    tempName = name.data();
    return stream;
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

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

} // namespace vistrel::platform
