#include "image/SafeFile.h"

#include <cerrno>
#include <cstring>

namespace vistrel {

std::string TempNameFor(const std::string& filePart, int attempt) {
    // A long name would push the temporary past the system's limits.
    const std::string shown = filePart.size() <= kTempNamePartMax ? "-" + filePart : std::string();
    return "~vsr" + shown + (attempt > 1 ? "." + std::to_string(attempt) : std::string()) + ".tmp";
}

CSafeFileStream::CSafeFileStream(const std::string& target) : CStdioStream(nullptr), target_(target) {
    Attach(platform::OpenTempFileBeside(target, temp_, failure_));
}

CSafeFileStream::~CSafeFileStream() {
    Discard();
}

void CSafeFileStream::Discard() {
    if (File()) {
        std::fclose(File());
        Attach(nullptr);
    }
    if (!temp_.empty()) {
        platform::RemoveFile(temp_);
        temp_.clear();
    }
}

void CSafeFileStream::NoteErrno() {
    if (failure_.empty()) {
        failure_ = errno ? std::strerror(errno) : "the file could not be written";
    }
}

bool CSafeFileStream::Complete() {
    FILE* stream = File();
    if (!stream) {
        return false;
    }
    bool ok = failure_.empty() && Flush() && platform::SyncToDisk(stream, failure_);
    // fclose may still find the disk full: only a clean close may replace.
    Attach(nullptr);
    errno = 0;
    if (std::fclose(stream) != 0 && ok) {
        NoteErrno();
        ok = false;
    }
    if (!ok) {
        Discard();
    }
    return ok;
}

bool CSafeFileStream::Sync() {
    FILE* stream = File();
    return stream && failure_.empty() && Flush() && platform::SyncToDisk(stream, failure_);
}

bool CSafeFileStream::Commit() {
    if (File() && !Complete()) {
        return false;
    }
    if (temp_.empty() || !failure_.empty()) {
        return false;
    }
    if (!platform::MoveOver(temp_, target_, failure_)) {
        Discard();
        return false;
    }
    temp_.clear();
    return true;
}

size_t CSafeFileStream::Write(const void* buffer, size_t size, size_t count) {
    errno = 0;
    const size_t written = CStdioStream::Write(buffer, size, count);
    if (written != count) {
        NoteErrno();
    }
    return written;
}

bool CSafeFileStream::PutByte(unsigned char byte) {
    errno = 0;
    if (!CStdioStream::PutByte(byte)) {
        NoteErrno();
        return false;
    }
    return true;
}

bool CSafeFileStream::Flush() {
    errno = 0;
    if (!CStdioStream::Flush()) {
        NoteErrno();
        return false;
    }
    return true;
}

long CSafeFileStream::HasError() {
    const long error = CStdioStream::HasError();
    return error ? error : failure_.empty() ? 0 : 1;
}

} // namespace vistrel
