// Bit packer shared by the uncompressed and the LZW coders: codes of growing
// width, least significant bit first, in data sub-blocks of 254 bytes.
#pragma once

#include <cstdint>

#include "image/ByteStream.h"

namespace vistrel {

class GifCodeWriter {
public:
    GifCodeWriter(CByteStream* file, int initBits)
        : freeCode_((1 << (initBits - 1)) + 2), file_(file), initBits_(initBits), width_(initBits),
          maxCode_((1 << initBits) - 1), clearCode_(1 << (initBits - 1)), endCode_(clearCode_ + 1) {}

    void Output(int code) {
        accumulator_ = bits_ > 0
                           ? (accumulator_ & ((1u << bits_) - 1)) | (static_cast<uint32_t>(code) << bits_)
                           : static_cast<uint32_t>(code);
        bits_ += width_;
        while (bits_ >= 8) {
            Put(static_cast<uint8_t>(accumulator_));
            accumulator_ >>= 8;
            bits_ -= 8;
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
        if (code == endCode_) {
            while (bits_ > 0) {
                Put(static_cast<uint8_t>(accumulator_));
                accumulator_ >>= 8;
                bits_ -= 8;
            }
            bits_ = 0;
            WriteBlock();
            file_->Flush();
        }
    }

    int ClearCode() const { return clearCode_; }
    int EndCode() const { return endCode_; }

    static constexpr int kMaxBits = 12;
    static constexpr int kMaxMaxCode = 1 << kMaxBits;
    static constexpr int kBlockSize = 254;

    int freeCode_;
    bool clearFlag_ = false;

private:
    void Put(uint8_t byte) {
        block_[++blockLength_] = byte;
        if (blockLength_ == kBlockSize) {
            WriteBlock();
        }
    }
    void WriteBlock() {
        if (blockLength_ > 0) {
            block_[0] = static_cast<uint8_t>(blockLength_);
            file_->Write(block_, 1, blockLength_ + 1);
            blockLength_ = 0;
        }
    }

    CByteStream* file_;
    int initBits_;
    int width_;
    int maxCode_;
    int clearCode_;
    int endCode_;
    uint32_t accumulator_ = 0;
    int bits_ = 0;
    int blockLength_ = 0;
    uint8_t block_[256];
};

} // namespace vistrel
