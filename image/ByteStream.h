// The byte sink every encoder writes to, and its implementations over a
// stdio FILE and over memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace vistrel {

// Offsets are 64 bits everywhere: `long` has 32 on 64-bit Windows, and a
// long animation passes 2 GiB.
class CByteStream {
public:
    virtual ~CByteStream() = default;
    virtual bool Close() = 0;
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    virtual bool Seek(int64_t offset, int origin) = 0;
    virtual int64_t Tell() = 0;
    virtual int64_t Size() = 0;
    virtual bool Flush() = 0;
    virtual bool AtEnd() = 0;
    virtual long HasError() = 0;
    virtual bool PutByte(unsigned char byte) { return Write(&byte, 1, 1) == 1; }
    virtual long GetByte() = 0;
};

// Over a standard buffered stream; a caller's stream is never closed here.
class CStdioStream : public CByteStream {
public:
    CStdioStream(); // owns the stream it may later be given
    explicit CStdioStream(FILE* stream);
    ~CStdioStream() override;
    CStdioStream(const CStdioStream&) = delete;
    CStdioStream& operator=(const CStdioStream&) = delete;

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int64_t offset, int origin) override;
    int64_t Tell() override;
    int64_t Size() override;
    bool Flush() override;
    bool AtEnd() override;
    long HasError() override;
    bool PutByte(unsigned char byte) override;
    long GetByte() override;

protected:
    FILE* File() const { return stream_; }
    // Puts a caller's stream in place (never owned), or none.
    void Attach(FILE* stream) {
        stream_ = stream;
        ownsStream_ = false;
    }

private:
    FILE* stream_;
    bool ownsStream_;
};

// A growable in-memory stream, for tests, the fuzzer and the benchmark.
// A write limit makes it refuse writes past that many bytes (a full disk).
class CMemoryStream : public CByteStream {
public:
    explicit CMemoryStream(size_t writeLimit = static_cast<size_t>(-1)) : limit_(writeLimit) {}

    bool Close() override { return true; }
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int64_t offset, int origin) override;
    int64_t Tell() override { return static_cast<int64_t>(pos_); }
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    bool Flush() override { return !error_; }
    bool AtEnd() override { return pos_ >= data_.size(); }
    long HasError() override { return error_ ? 1 : 0; }
    long GetByte() override;

    const std::vector<unsigned char>& Data() const { return data_; }
    void Reserve(size_t bytes) { data_.reserve(bytes); }
    void Clear() {
        data_.clear();
        pos_ = 0;
        error_ = false;
    }

private:
    std::vector<unsigned char> data_;
    size_t pos_ = 0;
    size_t limit_;
    bool error_ = false;
};

} // namespace vistrel
