// Writing a file so that it is either wholly replaced or not touched at all:
// the bytes go to a temporary file in the target's folder, reach the disk,
// and only then take the target's name in one step. A failure at any point
// removes the temporary and leaves an earlier file of that name as it was.
#pragma once

#include <cstdio>
#include <string>

#include "image/ByteStream.h"

namespace vistrel {

class CSafeFileStream : public CByteStream {
public:
    explicit CSafeFileStream(const std::string& target);
    // Without a Commit the temporary file goes and the target stays untouched.
    ~CSafeFileStream() override;
    CSafeFileStream(const CSafeFileStream&) = delete;
    CSafeFileStream& operator=(const CSafeFileStream&) = delete;

    bool IsOpen() const { return stream_ != nullptr; }
    // Flushes the bytes to the disk and moves them over the target; false
    // (and nothing changed) when any earlier write or this step failed.
    bool Commit();
    // The system's words for the first failure; empty while nothing failed.
    const std::string& FailureText() const { return failure_; }

    // The stream ends with Commit or the destructor, not here.
    bool Close() override { return true; }
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool AtEnd() override;
    long HasError() override;
    long GetByte() override;

private:
    void NoteErrno();
    void Discard();

    std::string target_;
    std::string temp_;
    FILE* stream_ = nullptr;
    std::string failure_;
};

// The platform's half (SafeFilePosix.cpp, SafeFileWin.cpp).
namespace platform {
// A new, empty, uniquely named file in the folder of `target`, opened for
// reading and writing; its name in `tempName`. None with `failure` set.
FILE* OpenTempFileBeside(const std::string& target, std::string& tempName, std::string& failure);
// Makes what was written to `stream` durable before it is renamed.
bool SyncToDisk(FILE* stream, std::string& failure);
// Moves `from` over `to` in one step, replacing `to` if it exists.
bool MoveOver(const std::string& from, const std::string& to, std::string& failure);
bool RemoveFile(const std::string& path);
} // namespace platform

} // namespace vistrel
