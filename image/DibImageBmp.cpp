#include "image/DibImageBmp.h"

#include <cstring>

namespace vistrel {

bool CDibImageBmp::EncodeBmp(CByteStream* file) {
    if (!file) {
        return false;
    }
    // A header without pixels would pass for an image: write nothing.
    if (!dib_) {
        SetErrorText("BMP: no image to write");
        return false;
    }
    const uint32_t blockSize = static_cast<uint32_t>(DibBlockSize());
    const uint32_t fileSize = kBitmapFileHeaderSize + blockSize;
    const uint32_t offBits = kBitmapInfoHeaderSize + 4u * header_.biClrUsed + kBitmapFileHeaderSize;
    const uint8_t fileHeader[14] = {
        'B',
        'M',
        static_cast<uint8_t>(fileSize),
        static_cast<uint8_t>(fileSize >> 8),
        static_cast<uint8_t>(fileSize >> 16),
        static_cast<uint8_t>(fileSize >> 24),
        0,
        0,
        0,
        0,
        static_cast<uint8_t>(offBits),
        static_cast<uint8_t>(offBits >> 8),
        static_cast<uint8_t>(offBits >> 16),
        static_cast<uint8_t>(offBits >> 24),
    };
    bool ok = file->Write(fileHeader, 1, sizeof fileHeader) == sizeof fileHeader;
    std::memcpy(dib_, &header_, sizeof header_);
    ok = file->Write(dib_, 1, blockSize) == blockSize && ok;
    if (!ok || !file->Flush()) {
        SetErrorText("Write Error in BMP file");
        return false;
    }
    return true;
}

} // namespace vistrel
