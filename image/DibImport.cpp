// Import of a packed DIB from memory: the portable half of ImportDibHandle,
// also used by the command-line converter. Every read is checked against the
// size of the block.
#include <cmath>
#include <cstring>

#include "image/DibImage.h"

namespace vistrel {

namespace {

// One colour channel of a bit-field pixel, scaled so its top bit lands in bit 7.
struct Channel {
    uint32_t mask = 0;
    int low = 0;
    int bits = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (mask == 0) {
            return;
        }
        while (!((mask >> low) & 1)) {
            ++low;
        }
        while (low + bits < 32 && ((mask >> (low + bits)) & 1)) {
            ++bits;
        }
    }
    uint8_t From(uint32_t pixel) const {
        const uint32_t v = (pixel & mask) >> low;
        return static_cast<uint8_t>(bits >= 8 ? v >> (bits - 8) : v << (8 - bits));
    }
};

uint32_t ReadU32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int32_t DpiFrom(int32_t pelsPerMeter) {
    return static_cast<int32_t>(std::floor(pelsPerMeter * 254.0 / 10000.0 + 0.5));
}

} // namespace

bool CDibImage::ImportPackedDib(const void* data, size_t size, size_t pixelOffset) {
    FreeDib();
    const uint8_t* src = static_cast<const uint8_t*>(data);
    if (!src || size < kBitmapInfoHeaderSize) {
        SetErrorText("DIB truncated: no complete header");
        return false;
    }
    BitmapInfoHeader in;
    std::memcpy(&in, src, sizeof in);
    // Longer headers (V4, V5) keep the first 40 bytes' meaning.
    if (in.biSize < kBitmapInfoHeaderSize || in.biSize > size || in.biWidth < 0 || in.biHeight == INT32_MIN) {
        SetErrorText("DIB header inconsistent");
        return false;
    }
    const bool topDown = in.biHeight < 0;
    const int32_t width = in.biWidth;
    const int32_t height = topDown ? -in.biHeight : in.biHeight;
    const int depth = in.biBitCount;
    const bool bitfields = in.biCompression == kBiBitfields;
    const bool converted = depth == 16 || depth == 32;
    if (!(depth == 1 || depth == 4 || depth == 8 || depth == 24 || converted)) {
        SetErrorText("DIB depth not supported");
        return false;
    }
    if (!(in.biCompression == kBiRgb || (bitfields && converted))) {
        SetErrorText("DIB compression not supported"); // run-length and other encodings
        return false;
    }

    size_t offset = in.biSize;
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (depth == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
    if (bitfields) {
        // A 40-byte header is followed by the masks; longer ones hold them.
        if (in.biSize == kBitmapInfoHeaderSize) {
            if (size < offset + 12) {
                SetErrorText("DIB truncated: colour masks missing");
                return false;
            }
            offset += 12;
        } else if (in.biSize < kBitmapInfoHeaderSize + 12) {
            SetErrorText("DIB header inconsistent");
            return false;
        }
        for (int i = 0; i < 3; ++i) {
            masks[i] = ReadU32(src + kBitmapInfoHeaderSize + 4 * i);
        }
    }
    uint32_t tableEntries = 0;
    if (depth <= 8) {
        const uint32_t full = 1u << depth;
        tableEntries = (in.biClrUsed == 0 || in.biClrUsed > full) ? full : in.biClrUsed;
    } else if (in.biClrUsed <= 256) {
        tableEntries = in.biClrUsed; // an optional table that only skips ahead
    } else {
        SetErrorText("DIB header inconsistent");
        return false;
    }
    const size_t tableOffset = offset;
    if (size - offset < 4u * tableEntries) {
        SetErrorText("DIB truncated: colour table incomplete");
        return false;
    }
    offset += 4u * tableEntries;
    if (pixelOffset != 0) {
        offset = pixelOffset;
    }
    const uint64_t srcStride = (static_cast<uint64_t>(width) * depth + 31) / 32 * 4;
    if (offset > size || srcStride * static_cast<uint64_t>(height) > size - offset) {
        SetErrorText("DIB truncated: pixel rows incomplete");
        return false;
    }

    const int32_t xPels = in.biXPelsPerMeter;
    const int32_t yPels = in.biYPelsPerMeter;
    if (!AllocateDib(width, height, depth, 0)) {
        SetErrorText("DIB too large");
        return false;
    }
    SetXDpi(DpiFrom(xPels));
    SetYDpi(DpiFrom(yPels));
    std::memcpy(dib_, &header_, sizeof header_);

    if (depth <= 8) {
        std::memcpy(dib_ + kBitmapInfoHeaderSize, src + tableOffset, 4u * tableEntries);
    }
    const uint8_t* rows = src + offset;
    if (srcStride == 0) {
        return true; // no pixels: a height alone must not cost a loop over it
    }
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* s = rows + srcStride * static_cast<uint64_t>(topDown ? height - 1 - y : y);
        uint8_t* d = Row(y);
        if (!converted) {
            std::memcpy(d, s, static_cast<size_t>(srcStride));
            continue;
        }
        if (depth == 32 && masks[0] == 0xFF0000 && masks[1] == 0x00FF00 && masks[2] == 0x0000FF) {
            for (int32_t x = 0; x < width; ++x, s += 4, d += 3) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
            continue;
        }
        const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
        for (int32_t x = 0; x < width; ++x, d += 3) {
            uint32_t pixel;
            if (depth == 16) {
                pixel = s[0] | (s[1] << 8);
                s += 2;
            } else {
                pixel = ReadU32(s);
                s += 4;
            }
            d[0] = blue.From(pixel);
            d[1] = green.From(pixel);
            d[2] = red.From(pixel);
        }
    }
    return true;
}

bool CDibImage::ImportBmpFile(const void* data, size_t size) {
    FreeDib();
    const uint8_t* src = static_cast<const uint8_t*>(data);
    if (!src || size < kBitmapFileHeaderSize || src[0] != 'B' || src[1] != 'M') {
        SetErrorText("not a BMP file");
        return false;
    }
    const uint32_t offBits = ReadU32(src + 10);
    if (offBits < kBitmapFileHeaderSize + kBitmapInfoHeaderSize || offBits > size) {
        SetErrorText("BMP file header inconsistent");
        return false;
    }
    return ImportPackedDib(src + kBitmapFileHeaderSize, size - kBitmapFileHeaderSize,
                           offBits - kBitmapFileHeaderSize);
}

} // namespace vistrel
