#include "image/SafeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vistrel {

std::string TempNameFor(const std::string& filePart, int attempt) {
    std::string shown = filePart;
    if (filePart.size() > kTempNamePartMax) {
        // A long name would push the temporary past the system's limits; its
        // digest (FNV-1a) keeps temporaries of different names apart.
        uint32_t hash = 2166136261u;
        for (unsigned char c : filePart)
            hash = (hash ^ c) * 16777619u;
        char digest[9];
        std::snprintf(digest, sizeof digest, "%08x", static_cast<unsigned>(hash));
        shown = digest;
    }
    return "~vsr-" + shown + (attempt > 1 ? "." + std::to_string(attempt) : std::string()) + ".tmp";
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
        if (!platform::RemoveFile(temp_)) {
            leftBehind_ = temp_;
        }
        temp_.clear();
    }
}

void CSafeFileStream::NoteErrno() {
    if (failure_.empty()) {
        failure_ = platform::WriteFailureText(errno, temp_);
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
    platform::ClearWriteError();
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
    if (CommitKeeping()) {
        return true;
    }
    Discard();
    return false;
}

bool CSafeFileStream::CommitKeeping() {
    if (File() && !Complete()) {
        return false;
    }
    if (temp_.empty() || !failure_.empty()) {
        return false;
    }
    if (!platform::MoveOver(temp_, target_, failure_)) {
        return false;
    }
    temp_.clear();
    return true;
}

MoveStatus CSafeFileStream::CommitAsNew(const std::string& name) {
    if (temp_.empty() || File()) {
        return MoveStatus::Failed;
    }
    std::string why;
    const MoveStatus status = platform::MoveNew(temp_, name, why);
    if (status == MoveStatus::Done) {
        temp_.clear();
    } else if (status == MoveStatus::Failed) {
        failure_ = why;
    }
    return status;
}

bool CSafeFileStream::CutBack(int64_t size) {
    if (temp_.empty()) {
        return false;
    }
    // The stream's buffer may still hold what could not be written: it goes
    // with the stream, and the file is opened afresh at the cut.
    if (FILE* stream = File()) {
        Attach(nullptr);
        std::fclose(stream);
    }
    std::string why;
    FILE* reopened = platform::ReopenCut(temp_, size, why);
    if (!reopened) {
        failure_ = why;
        return false;
    }
    Attach(reopened);
    failure_.clear();
    return true;
}

size_t CSafeFileStream::Write(const void* buffer, size_t size, size_t count) {
    errno = 0;
    platform::ClearWriteError();
    const size_t written = CStdioStream::Write(buffer, size, count);
    if (written != count) {
        NoteErrno();
    }
    return written;
}

bool CSafeFileStream::PutByte(unsigned char byte) {
    errno = 0;
    platform::ClearWriteError();
    if (!CStdioStream::PutByte(byte)) {
        NoteErrno();
        return false;
    }
    return true;
}

bool CSafeFileStream::Flush() {
    errno = 0;
    platform::ClearWriteError();
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
