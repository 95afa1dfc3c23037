// Bit packer shared by the uncompressed and the LZW coders: codes of growing
// width, least significant bit first, in data sub-blocks of 254 bytes.
#pragma once

#include <cstdint>

#include "image/ByteStream.h"

namespace vistrel {

// Data sub-blocks: a count byte, then up to `kSize` bytes.
template <int kSize> class GifSubBlocks {
public:
    explicit GifSubBlocks(CByteStream* file) : file_(file) {}

    void Put(uint8_t byte) {
        block_[++length_] = byte;
        if (length_ == kSize) {
            Write();
        }
    }
    // Four bytes, least significant first.
    void Put4(uint32_t bytes) {
        if (length_ + 4 < kSize) {
            block_[length_ + 1] = static_cast<uint8_t>(bytes);
            block_[length_ + 2] = static_cast<uint8_t>(bytes >> 8);
            block_[length_ + 3] = static_cast<uint8_t>(bytes >> 16);
            block_[length_ + 4] = static_cast<uint8_t>(bytes >> 24);
            length_ += 4;
        } else {
            for (int i = 0; i < 4; ++i, bytes >>= 8) {
                Put(static_cast<uint8_t>(bytes));
            }
        }
    }
    void Write() {
        if (length_ > 0) {
            block_[0] = static_cast<uint8_t>(length_);
            file_->Write(block_, 1, static_cast<size_t>(length_) + 1);
            length_ = 0;
        }
    }

private:
    CByteStream* file_;
    int length_ = 0;
    uint8_t block_[kSize + 1];
};

class GifCodeWriter {
public:
    GifCodeWriter(CByteStream* file, int initBits)
        : freeCode_((1 << (initBits - 1)) + 2), file_(file), blocks_(file), initBits_(initBits),
          width_(initBits), maxCode_((1 << initBits) - 1), clearCode_(1 << (initBits - 1)),
          endCode_(clearCode_ + 1) {}

    // Codes gather in a 64-bit accumulator and leave it four bytes at a time;
    // the byte order is the same as one byte at a time.
    void Output(int code) {
        accumulator_ |= static_cast<uint64_t>(code) << bits_;
        bits_ += width_;
        if (bits_ >= 32) {
            blocks_.Put4(static_cast<uint32_t>(accumulator_));
            accumulator_ >>= 32;
            bits_ -= 32;
        }
        if (freeCode_ > maxCode_ || clearFlag_) {
            if (clearFlag_) {
                width_ = initBits_;
                maxCode_ = (1 << width_) - 1;
                clearFlag_ = false;
            } else {
                ++width_;
                maxCode_ = width_ == kMaxBits ? kMaxMaxCode : (1 << width_) - 1;
            }
        }
    }

    // The end code, the last bits, the last sub-block, and a flush.
    void OutputEnd() {
        Output(endCode_);
        while (bits_ > 0) {
            blocks_.Put(static_cast<uint8_t>(accumulator_));
            accumulator_ >>= 8;
            bits_ -= 8;
        }
        bits_ = 0;
        blocks_.Write();
        file_->Flush();
    }

    int ClearCode() const { return clearCode_; }

    static constexpr int kMaxBits = 12;
    static constexpr int kMaxMaxCode = 1 << kMaxBits;
    static constexpr int kBlockSize = 254;

    int freeCode_;
    bool clearFlag_ = false;

private:
    CByteStream* file_;
    GifSubBlocks<kBlockSize> blocks_;
    int initBits_;
    int width_;
    int maxCode_;
    int clearCode_;
    int endCode_;
    uint64_t accumulator_ = 0;
    int bits_ = 0;
};

} // namespace vistrel
