#include "image/DibImage.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/DibImageBmp.h"
#include "image/DibImageGif.h"
#include "image/DibImageJpeg.h"
#include "image/DibImagePng.h"
#include "image/SafeFile.h"

namespace vistrel {

namespace {

int32_t PelsPerMeter(int32_t dpi) {
    // Absurd resolutions from a foreign header saturate instead of overflowing.
    const double pels = std::floor(dpi * 10000.0 / 254.0 + 0.5);
    return pels >= 2147483647.0 ? INT32_MAX : pels <= -2147483648.0 ? INT32_MIN : static_cast<int32_t>(pels);
}

} // namespace

CDibImage::CDibImage(uint32_t imageType) {
    std::memset(&header_, 0, sizeof header_);
    header_.biSize = kBitmapInfoHeaderSize;
    std::memset(&info_, 0, sizeof info_);
    info_.imageType = imageType;
    info_.jpegQuality = 75;
    info_.transparentIndex = -1;
    SetXDpi(72);
    SetYDpi(72);
}

CDibImage::~CDibImage() {
    FreeDib();
}

void CDibImage::FreeDib() {
    if (dib_ && !info_.borrowedFrom) {
        std::free(selectionMask_);
        std::free(alphaChannel_);
        std::free(dib_);
    }
    dib_ = nullptr;
    selectionMask_ = nullptr;
    alphaChannel_ = nullptr;
    info_.pixels = nullptr;
    info_.borrowedFrom = nullptr;
    info_.rowStride = 0;
    // An emptied container must not report the depth and palette it had;
    // only the resolution, a setting of its own, survives.
    const int32_t xPels = header_.biXPelsPerMeter, yPels = header_.biYPelsPerMeter;
    std::memset(&header_, 0, sizeof header_);
    header_.biSize = kBitmapInfoHeaderSize;
    header_.biXPelsPerMeter = xPels;
    header_.biYPelsPerMeter = yPels;
}

void CDibImage::SetErrorText(const char* text) {
    std::snprintf(info_.lastError, sizeof info_.lastError, "%s", text);
}

void CDibImage::SetXDpi(int32_t dpi) {
    info_.xDpi = dpi;
    header_.biXPelsPerMeter = PelsPerMeter(dpi);
}

void CDibImage::SetYDpi(int32_t dpi) {
    info_.yDpi = dpi;
    header_.biYPelsPerMeter = PelsPerMeter(dpi);
}

size_t CDibImage::DibBlockSize() const {
    if (!dib_) {
        return 0;
    }
    return kBitmapInfoHeaderSize + 4u * header_.biClrUsed + header_.biSizeImage;
}

uint8_t* CDibImage::AllocateDib(int32_t width, int32_t height, int bitsPerPixel, uint32_t imageType) {
    FreeDib();
    int depth;
    uint32_t colours;
    if (bitsPerPixel <= 1) {
        depth = 1;
        colours = 2;
    } else if (bitsPerPixel <= 4) {
        depth = 4;
        colours = 16;
    } else if (bitsPerPixel <= 8) {
        depth = 8;
        colours = 256;
    } else {
        depth = 24;
        colours = 0;
    }
    // Sizes that do not fit the header's 32-bit fields are refused instead of
    // wrapping around into a block too small for the rows.
    if (width < 0 || height < 0) {
        return nullptr;
    }
    const uint64_t stride = (static_cast<uint64_t>(width) * depth + 31) / 32 * 4;
    const uint64_t imageSize = stride * static_cast<uint64_t>(height);
    if (stride > 0xFFFFFFFFu || imageSize > 0x7FFFFFFFu - 2048u) {
        return nullptr;
    }

    info_.rowStride = static_cast<uint32_t>(stride);
    info_.imageType = imageType;
    header_.biSize = kBitmapInfoHeaderSize;
    header_.biWidth = width;
    header_.biHeight = height;
    header_.biPlanes = 1;
    header_.biBitCount = static_cast<uint16_t>(depth);
    header_.biCompression = kBiRgb;
    header_.biSizeImage = static_cast<uint32_t>(imageSize);
    header_.biClrUsed = colours;
    header_.biClrImportant = 0;

    // Cleared, rows included: pixels that are never filled (a failed GetDIBits)
    // must not carry old heap contents into a file.
    const size_t total = kBitmapInfoHeaderSize + 4u * colours + static_cast<size_t>(imageSize);
    dib_ = static_cast<uint8_t*>(std::calloc(total, 1));
    if (!dib_) {
        return nullptr;
    }
    std::memcpy(dib_, &header_, sizeof header_);
    info_.pixels = dib_ + kBitmapInfoHeaderSize + 4u * colours;
    return dib_;
}

void CDibImage::BorrowFrom(CDibImage* source) {
    FreeDib();
    header_ = source->header_;
    info_ = source->info_;
    dib_ = source->dib_;
    selectionMask_ = source->selectionMask_;
    alphaChannel_ = source->alphaChannel_;
    info_.borrowedFrom = source;
}

uint8_t CDibImage::PixelIndexAt(int32_t x, int32_t y) const {
    if (!dib_ || header_.biClrUsed == 0) {
        return 0;
    }
    if (x < 0 || y < 0 || x >= header_.biWidth || y >= header_.biHeight) {
        return info_.transparentIndex != -1 ? static_cast<uint8_t>(info_.transparentIndex) : 0;
    }
    const uint8_t* row = Row(y);
    switch (header_.biBitCount) {
    case 8:
        return row[x];
    case 4:
        return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
}

void CDibImage::SetPixelIndexAt(int32_t x, int32_t y, uint8_t index) {
    if (!dib_ || header_.biClrUsed == 0 || x < 0 || y < 0 || x >= header_.biWidth || y >= header_.biHeight) {
        return;
    }
    uint8_t* row = Row(y);
    switch (header_.biBitCount) {
    case 8:
        row[x] = index;
        break;
    case 4: {
        uint8_t& b = row[x >> 1];
        if (x & 1) {
            b = static_cast<uint8_t>((b & 0xF0) | (index & 0x0F));
        } else {
            b = static_cast<uint8_t>((b & 0x0F) | (index << 4));
        }
        break;
    }
    default: {
        uint8_t& b = row[x >> 3];
        const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
        b = (index & 1) ? static_cast<uint8_t>(b | bit) : static_cast<uint8_t>(b & ~bit);
        break;
    }
    }
}

RgbQuad CDibImage::PixelColourAt(int32_t x, int32_t y) const {
    RgbQuad colour{0, 0, 0, 0};
    if (!dib_) {
        return colour;
    }
    const bool indexed = header_.biClrUsed != 0;
    if (x < 0 || y < 0 || x >= header_.biWidth || y >= header_.biHeight) {
        if (indexed && info_.transparentIndex != -1) {
            return PaletteEntry(static_cast<uint32_t>(info_.transparentIndex));
        }
        return info_.transparentColour;
    }
    if (indexed) {
        return PaletteEntry(PixelIndexAt(x, y));
    }
    const uint8_t* p = Row(y) + static_cast<size_t>(x) * 3;
    colour.rgbBlue = p[0];
    colour.rgbGreen = p[1];
    colour.rgbRed = p[2];
    return colour;
}

RgbQuad CDibImage::PaletteEntry(uint32_t index) const {
    RgbQuad colour{0, 0, 0, 0};
    if (dib_ && index < header_.biClrUsed) {
        std::memcpy(&colour, dib_ + kBitmapInfoHeaderSize + 4u * index, 4);
    }
    return colour;
}

void CDibImage::SetPaletteEntry(uint32_t index, RgbQuad colour) {
    if (dib_ && index < header_.biClrUsed) {
        std::memcpy(dib_ + kBitmapInfoHeaderSize + 4u * index, &colour, 4);
    }
}

uint8_t CDibImage::NearestPaletteIndex(RgbQuad colour) const {
    if (!dib_ || header_.biClrUsed == 0) {
        return 0;
    }
    long best = 200000;
    uint32_t bestIndex = 0;
    const uint8_t* table = dib_ + kBitmapInfoHeaderSize;
    for (uint32_t i = 0; i < header_.biClrUsed; ++i) {
        const long db = static_cast<long>(table[4 * i]) - colour.rgbBlue;
        const long dg = static_cast<long>(table[4 * i + 1]) - colour.rgbGreen;
        const long dr = static_cast<long>(table[4 * i + 2]) - colour.rgbRed;
        const long distance = db * db + dg * dg + dr * dr;
        if (distance == 0) {
            return static_cast<uint8_t>(i);
        }
        if (distance < best) {
            best = distance;
            bestIndex = i;
        }
    }
    return static_cast<uint8_t>(bestIndex);
}

bool CDibImage::IsGreyscale() const {
    if (!dib_ || header_.biClrUsed == 0) {
        return false;
    }
    const uint8_t* table = dib_ + kBitmapInfoHeaderSize;
    for (uint32_t i = 0; i < header_.biClrUsed; ++i) {
        if (table[4 * i] != i || table[4 * i + 1] != i || table[4 * i + 2] != i) {
            return false;
        }
    }
    return true;
}

void CDibImage::SwapIndex(uint8_t a, uint8_t b) {
    if (!dib_ || header_.biClrUsed == 0 || header_.biWidth == 0) {
        return;
    }
    const RgbQuad ca = PaletteEntry(a);
    SetPaletteEntry(a, PaletteEntry(b));
    SetPaletteEntry(b, ca);
    for (int32_t y = 0; y < header_.biHeight; ++y) {
        for (int32_t x = 0; x < header_.biWidth; ++x) {
            const uint8_t index = PixelIndexAt(x, y);
            if (index == a) {
                SetPixelIndexAt(x, y, b);
            } else if (index == b) {
                SetPixelIndexAt(x, y, a);
            }
        }
    }
}

bool CDibImage::SaveToFile(const char* path, uint32_t format) {
    return WriteFileSafely(path, [&](CByteStream* file) { return Encode(file, format); });
}

bool CDibImage::WriteFileSafely(const char* path, const std::function<bool(CByteStream*)>& encode) {
    CSafeFileStream file(path);
    if (!file.IsOpen()) {
        SetErrorText(file.FailureText().c_str());
        return false;
    }
    const bool ok = encode(&file) && file.Commit();
    // The system's reason (a full disk, a locked file) says more than the
    // encoder's own write error.
    if (!ok && !file.FailureText().empty()) {
        SetErrorText(file.FailureText().c_str());
    }
    return ok;
}

bool CDibImage::Encode(CByteStream* file, uint32_t format) {
    auto run = [&](auto& codec, auto writer) {
        codec.BorrowFrom(this);
        const bool ok = (codec.*writer)(file);
        if (!ok) {
            SetErrorText(codec.LastError());
        }
        return ok;
    };
    switch (format) {
    case FormatBmp: {
        CDibImageBmp codec;
        return run(codec, &CDibImageBmp::EncodeBmp);
    }
    case FormatGif: {
        CDibImageGif codec;
        return run(codec, static_cast<bool (CDibImageGif::*)(CByteStream*)>(&CDibImageGif::Encode));
    }
    case FormatJpeg: {
        CDibImageJpeg codec;
        return run(codec, &CDibImageJpeg::EncodeJpeg);
    }
    case FormatPng: {
        CDibImagePng codec;
        return run(codec, &CDibImagePng::EncodePng);
    }
    default:
        SetErrorText("Encode: Unknown format");
        return false;
    }
}

} // namespace vistrel
