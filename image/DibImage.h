// CDibImage: one device-independent bitmap in the Windows packed-DIB layout
// (header, colour table, bottom-up rows padded to 4 bytes) plus the settings
// the encoders read. It is filled from GDI or a packed DIB and written out as
// BMP, GIF, JPEG or PNG through a CByteStream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "image/ByteStream.h"
#include "image/DibTypes.h"

#ifdef _WIN32
struct HBITMAP__;
#endif

namespace vistrel {

enum ImageFormat : uint32_t {
    FormatBmp = 1,
    FormatGif = 2,
    FormatJpeg = 3,
    FormatPng = 4,
};

enum GifCompression : uint32_t {
    GifRunLength = 0,
    GifUncompressed = 1,
    GifLzw = 2,
};

class CDibImage;

struct ImageInfo {
    uint32_t rowStride;
    uint8_t* pixels;
    CDibImage* borrowedFrom;
    uint32_t imageType;
    char lastError[256];
    int32_t transparentIndex;
    RgbQuad transparentColour;
    uint8_t jpegQuality;
    uint32_t frameDelay;
    int32_t xDpi;
    int32_t yDpi;
    bool alphaPaletteEnabled;
    int32_t xOffset;
    int32_t yOffset;
    uint32_t gifCompression;
};

class CDibImage {
public:
    explicit CDibImage(uint32_t imageType = 0);
    virtual ~CDibImage();
    CDibImage(const CDibImage&) = delete;
    CDibImage& operator=(const CDibImage&) = delete;

#ifdef _WIN32
    // Windows boundary (DibImageWin.cpp): a device-dependent bitmap through
    // GetDIBits on the screen DC, and a packed DIB in movable global memory.
    void ImportBitmap(HBITMAP__* bitmap);
    bool ImportDibHandle(void* globalHandle);
#endif
    // A packed DIB (header, colour masks or table, rows) of `size` bytes.
    // Everything it declares is checked against `size`; 32-bit and 16-bit
    // bit-field sources become 24-bit images.
    // `pixelOffset`, when not 0, is where the rows start (a BMP file says so).
    bool ImportPackedDib(const void* data, size_t size, size_t pixelOffset = 0);
    // A whole BMP file in memory: the 14-byte file header, then a packed DIB.
    bool ImportBmpFile(const void* data, size_t size);

    void SetFrameDelay(uint32_t hundredths) {
        info_.frameDelay = hundredths;
    }
    void SetGifCompression(uint32_t mode) {
        info_.gifCompression = mode;
    }
    void SetJpegQuality(uint8_t quality) {
        info_.jpegQuality = quality;
    }
    void SetTransparentIndex(int32_t index) {
        info_.transparentIndex = index;
    }
    void SetTransparentColour(RgbQuad colour) {
        info_.transparentColour = colour;
    }
    void SetAlphaPaletteEnabled(bool enabled) {
        info_.alphaPaletteEnabled = enabled;
    }
    void SetOffset(int32_t x, int32_t y) {
        info_.xOffset = x;
        info_.yOffset = y;
    }
    void SetXDpi(int32_t dpi);
    void SetYDpi(int32_t dpi);

    // Writes `path` through a temporary file that replaces it only when the
    // whole image was written; `LastError` says why when it was not.
    bool SaveToFile(const char* path, uint32_t format);
    bool Encode(CByteStream* file, uint32_t format);
    const char* LastError() const {
        return info_.lastError;
    }

    uint8_t* AllocateDib(int32_t width, int32_t height, int bitsPerPixel, uint32_t imageType);
    void BorrowFrom(CDibImage* source);

    uint8_t PixelIndexAt(int32_t x, int32_t y) const;
    void SetPixelIndexAt(int32_t x, int32_t y, uint8_t index);
    RgbQuad PixelColourAt(int32_t x, int32_t y) const;
    RgbQuad PaletteEntry(uint32_t index) const;
    void SetPaletteEntry(uint32_t index, RgbQuad colour);
    uint8_t NearestPaletteIndex(RgbQuad colour) const;
    bool IsGreyscale() const;
    int ColourType() const {
        return header_.biBitCount <= 8 ? 1 : 2;
    }
    void SwapIndex(uint8_t a, uint8_t b);

    bool HasPixels() const {
        return dib_ != nullptr;
    }
    int32_t Width() const {
        return dib_ ? header_.biWidth : 0;
    }
    int32_t Height() const {
        return dib_ ? header_.biHeight : 0;
    }
    int BitsPerPixel() const {
        return header_.biBitCount;
    }
    uint32_t ColourCount() const {
        return header_.biClrUsed;
    }
    uint32_t RowStride() const {
        return info_.rowStride;
    }
    // Row `y` of the bottom-up storage (0 is the bottom row).
    uint8_t* Row(int32_t y) const {
        return info_.pixels + static_cast<size_t>(y) * info_.rowStride;
    }
    const BitmapInfoHeader& Header() const {
        return header_;
    }
    const ImageInfo& Info() const {
        return info_;
    }
    // The packed DIB: header, colour table, rows.
    const uint8_t* DibBlock() const {
        return dib_;
    }
    size_t DibBlockSize() const;

protected:
    void SetErrorText(const char* text);
    // Runs `encode` on a safe stream over `path` (see SaveToFile).
    bool WriteFileSafely(const char* path, const std::function<bool(CByteStream*)>& encode);
    void FreeDib();
    RgbQuad* ColourTable() const {
        return reinterpret_cast<RgbQuad*>(dib_ + kBitmapInfoHeaderSize);
    }

    uint8_t* dib_ = nullptr;
    BitmapInfoHeader header_;
    ImageInfo info_;
    uint8_t* selectionMask_ = nullptr;
    uint8_t* alphaChannel_ = nullptr;
};

} // namespace vistrel
