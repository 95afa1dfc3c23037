#include "image/SafeFile.h"

#include <cerrno>
#include <cstring>

namespace vistrel {

CSafeFileStream::CSafeFileStream(const std::string& target) : target_(target) {
    stream_ = platform::OpenTempFileBeside(target, temp_, failure_);
}

CSafeFileStream::~CSafeFileStream() {
    Discard();
}

void CSafeFileStream::Discard() {
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
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

bool CSafeFileStream::Commit() {
    if (!stream_) {
        return false;
    }
    bool ok = failure_.empty();
    errno = 0;
    if (ok && std::fflush(stream_) != 0) {
        NoteErrno();
        ok = false;
    }
    ok = ok && platform::SyncToDisk(stream_, failure_);
    // fclose may still find the disk full: only a clean close may replace.
    FILE* stream = stream_;
    stream_ = nullptr;
    errno = 0;
    if (std::fclose(stream) != 0 && ok) {
        NoteErrno();
        ok = false;
    }
    ok = ok && platform::MoveOver(temp_, target_, failure_);
    if (ok) {
        temp_.clear();
    } else {
        Discard();
    }
    return ok;
}

size_t CSafeFileStream::Read(void* buffer, size_t size, size_t count) {
    return stream_ ? std::fread(buffer, size, count, stream_) : 0;
}

size_t CSafeFileStream::Write(const void* buffer, size_t size, size_t count) {
    if (!stream_) {
        return 0;
    }
    errno = 0;
    const size_t written = std::fwrite(buffer, size, count, stream_);
    if (written != count) {
        NoteErrno();
    }
    return written;
}

bool CSafeFileStream::Seek(long offset, int origin) {
    return stream_ ? std::fseek(stream_, offset, origin) == 0 : false;
}

long CSafeFileStream::Tell() {
    return stream_ ? std::ftell(stream_) : 0;
}

long CSafeFileStream::Size() {
    if (!stream_) {
        return -1;
    }
    const long here = std::ftell(stream_);
    std::fseek(stream_, 0, SEEK_END);
    const long size = std::ftell(stream_);
    std::fseek(stream_, here, SEEK_SET);
    return size;
}

bool CSafeFileStream::Flush() {
    if (!stream_) {
        return false;
    }
    errno = 0;
    if (std::fflush(stream_) != 0) {
        NoteErrno();
        return false;
    }
    return true;
}

bool CSafeFileStream::AtEnd() {
    return stream_ ? std::feof(stream_) != 0 : true;
}

long CSafeFileStream::HasError() {
    if (!stream_) {
        return -1;
    }
    return std::ferror(stream_) || !failure_.empty() ? 1 : 0;
}

long CSafeFileStream::GetByte() {
    return stream_ ? std::fgetc(stream_) : -1;
}

} // namespace vistrel
