#include "image/ByteStream.h"

#include <cstring>

#ifdef _WIN32
#define VISTREL_FSEEK _fseeki64
#define VISTREL_FTELL _ftelli64
#else
#define VISTREL_FSEEK fseeko
#define VISTREL_FTELL ftello
#endif

namespace vistrel {

CStdioStream::CStdioStream() : stream_(nullptr), ownsStream_(true) {}

CStdioStream::CStdioStream(FILE* stream) : stream_(stream), ownsStream_(stream == nullptr) {}

CStdioStream::~CStdioStream() {
    if (ownsStream_ && stream_) {
        std::fclose(stream_);
    }
}

bool CStdioStream::Close() {
    if (!stream_ || !ownsStream_) {
        return true;
    }
    const int result = std::fclose(stream_);
    stream_ = nullptr;
    return result == 0;
}

size_t CStdioStream::Read(void* buffer, size_t size, size_t count) {
    return stream_ ? std::fread(buffer, size, count, stream_) : 0;
}

size_t CStdioStream::Write(const void* buffer, size_t size, size_t count) {
    return stream_ ? std::fwrite(buffer, size, count, stream_) : 0;
}

bool CStdioStream::Seek(int64_t offset, int origin) {
    return stream_ ? VISTREL_FSEEK(stream_, offset, origin) == 0 : false;
}

int64_t CStdioStream::Tell() {
    return stream_ ? VISTREL_FTELL(stream_) : 0;
}

int64_t CStdioStream::Size() {
    if (!stream_) {
        return -1;
    }
    const int64_t here = VISTREL_FTELL(stream_);
    VISTREL_FSEEK(stream_, 0, SEEK_END);
    const int64_t size = VISTREL_FTELL(stream_);
    VISTREL_FSEEK(stream_, here, SEEK_SET);
    return size;
}

bool CStdioStream::Flush() {
    return stream_ ? std::fflush(stream_) == 0 : false;
}

bool CStdioStream::AtEnd() {
    return stream_ ? std::feof(stream_) != 0 : true;
}

long CStdioStream::HasError() {
    return stream_ ? std::ferror(stream_) : -1;
}

bool CStdioStream::PutByte(unsigned char byte) {
    return stream_ ? std::fputc(byte, stream_) == byte : false;
}

long CStdioStream::GetByte() {
    return stream_ ? std::fgetc(stream_) : -1;
}

size_t CMemoryStream::Read(void* buffer, size_t size, size_t count) {
    if (size == 0) {
        return 0;
    }
    const size_t available = (data_.size() - pos_) / size;
    const size_t items = count < available ? count : available;
    if (items == 0) {
        return 0;
    }
    std::memcpy(buffer, data_.data() + pos_, items * size);
    pos_ += items * size;
    return items;
}

size_t CMemoryStream::Write(const void* buffer, size_t size, size_t count) {
    if (size == 0 || count == 0) {
        return 0;
    }
    size_t items = count;
    const size_t room = pos_ < limit_ ? (limit_ - pos_) / size : 0;
    if (items > room) {
        items = room;
        error_ = true;
    }
    const size_t bytes = items * size;
    if (bytes == 0) {
        return 0;
    }
    if (pos_ + bytes > data_.size()) {
        data_.resize(pos_ + bytes);
    }
    std::memcpy(data_.data() + pos_, buffer, bytes);
    pos_ += bytes;
    return items;
}

bool CMemoryStream::Seek(int64_t offset, int origin) {
    int64_t base = 0;
    if (origin == SEEK_CUR) {
        base = static_cast<int64_t>(pos_);
    } else if (origin == SEEK_END) {
        base = static_cast<int64_t>(data_.size());
    }
    const int64_t target = base + offset;
    if (target < 0 || static_cast<size_t>(target) > data_.size()) {
        return false;
    }
    pos_ = static_cast<size_t>(target);
    return true;
}

long CMemoryStream::GetByte() {
    return pos_ < data_.size() ? data_[pos_++] : -1;
}

} // namespace vistrel
