// Writing a file so that it is either wholly replaced or not touched at all:
// the bytes go to a temporary file in the target's folder, reach the disk,
// and only then take the target's name in one step. A failure at any point
// removes the temporary and leaves an earlier file of that name as it was.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "image/ByteStream.h"

namespace vistrel {

// What a move that must not replace found. Refused: the system denied the
// name (on Windows a file there that is pending deletion).
enum class MoveStatus { Done, Exists, Missing, Refused, Failed };

class CSafeFileStream : public CStdioStream {
public:
    explicit CSafeFileStream(const std::string& target);
    // Without a Commit the temporary file goes and the target stays untouched.
    ~CSafeFileStream() override;

    bool IsOpen() const { return File() != nullptr; }
    // Flushes the bytes to the disk and moves them over the target; false
    // (and nothing changed) when any earlier write or this step failed.
    bool Commit();
    // Commit that keeps the completed temporary when only the move failed
    // (the target held open or read-only), for a caller that puts it under
    // another name with CommitAsNew, or leaves it with Keep.
    bool CommitKeeping();
    // Moves the completed temporary to `name` only if no file has that name.
    MoveStatus CommitAsNew(const std::string& name);
    // Leaves the temporary on the disk: the destructor no longer removes it.
    void Keep() { temp_.clear(); }
    // Cuts the temporary back to its first `size` bytes and forgets an
    // earlier failure, so that a file whose last part could not be written
    // (a full disk) can be completed with what came before. False, with the
    // reason kept, when even that fails.
    bool CutBack(int64_t size);
    // Flushes the bytes to the disk and closes the temporary without moving
    // it, so that it can be shown first; a later Commit moves it, and
    // without one the destructor removes it. False when anything failed.
    bool Complete();
    // Makes what was written so far durable, so that a long file written in
    // steps leaves little for Complete or Commit to wait for.
    bool Sync();
    // The temporary's path; empty once it is moved or removed.
    const std::string& TempPath() const { return temp_; }
    // The system's words for the first failure; empty while nothing failed.
    const std::string& FailureText() const { return failure_; }
    // A temporary that could not be removed; empty when none was left.
    const std::string& LeftBehind() const { return leftBehind_; }

    // Writes and flushes keep the reason of a failure.
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool PutByte(unsigned char byte) override;
    bool Flush() override;
    long HasError() override;

private:
    void NoteErrno();
    void Discard();

    std::string target_;
    std::string temp_;
    std::string failure_;
    std::string leftBehind_;
};

// "~vsr-shot.png.tmp" beside "dir/shot.png", then "~vsr-shot.png.2.tmp"...
// for `attempt` 1, 2...: a name that says what the file is, should a crash
// leave it behind. `filePart` is the target's name without its folder; one
// longer than kTempNamePartMax stands as a digest of itself ("~vsr-1a2b3c4d.tmp"),
// so that different long names still give different temporaries.
constexpr size_t kTempNamePartMax = 100;
std::string TempNameFor(const std::string& filePart, int attempt);

// The platform's half (SafeFilePosix.cpp, SafeFileWin.cpp).
namespace platform {
// A new, empty file named by TempNameFor in the folder of `target`, opened
// for reading and writing; its name in `tempName`. None with `failure` set.
FILE* OpenTempFileBeside(const std::string& target, std::string& tempName, std::string& failure);
// Makes what was written to `stream` durable before it is renamed.
bool SyncToDisk(FILE* stream, std::string& failure);
// Moves `from` over `to` in one step, replacing `to` if it exists.
bool MoveOver(const std::string& from, const std::string& to, std::string& failure);
// Moves `from` to `to` in one step only if no file is named `to`.
MoveStatus MoveNew(const std::string& from, const std::string& to, std::string& failure);
bool RemoveFile(const std::string& path);
// Opens the existing file `path` for reading and writing, cut to its first
// `size` bytes, positioned at its end. None with `failure` set.
FILE* ReopenCut(const std::string& path, int64_t size, std::string& failure);
// Forgets the system's last error before a write, so that the text below
// names the write's own failure.
void ClearWriteError();
// The system's words for the write to `path` that just failed; `errnoValue`
// is what the C library said.
std::string WriteFailureText(int errnoValue, const std::string& path);
#ifdef _WIN32
// A moment's hold by another program (access denied, sharing or lock
// violation): the move is tried again a little later.
bool IsTransientMoveError(unsigned long systemCode);
#endif
} // namespace platform

} // namespace vistrel
