// GIF89a writer: one image or an animation, indexed images of 1, 4 or 8 bits
// (true colour as a mosaic of palette tiles), with three raster coders that
// all produce standard variable-width code streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "image/DibImage.h"

namespace vistrel {

// A frame's place on the logical screen; right and bottom exclusive.
struct GifArea {
    int32_t left, top, right, bottom;
};

// How a frame leaves the screen for the one after it: a later frame that
// does not cover it would show its pixels around itself, so then the
// background comes back (2) in place of `base`'s "leave as is" (0 or 1).
int DisposalBefore(int base, const GifArea& frame, const GifArea& next);

class CDibImageGif : public CDibImage {
public:
    CDibImageGif();

    using CDibImage::Encode;
    bool Encode(CByteStream* file);
    bool EncodeMultipage(CByteStream* file, CDibImage* const* images, int count, bool localColourTables);
    // EncodeMultipage into the file `path`, which is replaced only by a
    // complete animation; a failure leaves an earlier file as it was.
    bool SaveMultipageToFile(const char* path, CDibImage* const* images, int count, bool localColourTables);
    bool EncodeTrueColour(CByteStream* file);

    // The same animation written one frame at a time, so that no frame has
    // to stay in memory: each frame goes to `file` as it comes, and the end
    // completes the file (the screen as large as the largest frame, the
    // trailer). `file` must be seekable when frame sizes differ. The bytes
    // equal those of EncodeMultipage over the same frames.
    // A frame whose bytes could not all be written is forgotten again: cut
    // back to where it began (its Tell before the call), the file ends with
    // the frames before it, and EndAnimation completes it with them.
    bool AddAnimationFrame(CByteStream* file, CDibImage& frame, bool localColourTable);
    bool EndAnimation(CByteStream* file);
    // Forgets the frame added last although its call succeeded (its bytes
    // did not reach the disk after all); the file is cut back as above.
    void TakeBackLastFrame();
    int AnimationFrames() const { return animation_.frames; }

    void SetLoopCount(int32_t count) { loopCount_ = count; }
    void SetDisposalMethod(int32_t method) { disposalMethod_ = method; }
    void SetComment(const char* text);

    void WriteHeader(CByteStream* file);
    void WriteLoopExtension(CByteStream* file);
    void WriteGraphicControl(CByteStream* file);
    void WriteImage(CByteStream* file, bool localColourTable);
    void WriteComment(CByteStream* file);

    void CompressRunLength(int initBits, CByteStream* file);
    void CompressLiteral(int initBits, CByteStream* file);
    void CompressLzw(int initBits, CByteStream* file);

    // The next palette index in GIF order (top row first), or -1 at the end.
    int NextPixel() {
        if (pixelsLeft_ == 0) {
            return -1;
        }
        --pixelsLeft_;
        const int pixel = rowBytes_ ? rowBytes_[column_] : PixelIndexAt(column_, row_);
        if (++column_ == header_.biWidth) {
            column_ = 0;
            --row_;
            if (rowBytes_ && row_ >= 0) {
                rowBytes_ = Row(row_);
            }
        }
        return pixel;
    }

    // The rest of the current row in GIF order as one span of indices, or 0
    // at the end. Rows below 8 bits are unpacked into one row buffer.
    size_t NextSpan(const uint8_t*& span) {
        if (pixelsLeft_ == 0) {
            return 0;
        }
        const size_t n = static_cast<size_t>(header_.biWidth - column_);
        if (rowBytes_) {
            span = rowBytes_ + column_;
        } else {
            UnpackRow();
            span = rowBuffer_.data() + column_;
        }
        pixelsLeft_ -= n;
        column_ = 0;
        --row_;
        if (rowBytes_ && row_ >= 0) {
            rowBytes_ = Row(row_);
        }
        return n;
    }

    static constexpr int kHashSize = 5003;

private:
    void ResetRaster();
    void UnpackRow();
    bool FinishFile(CByteStream* file, bool ok);
    bool CheckSize(const CDibImage& image);
    bool CheckFrame(const CDibImage& image);
    bool SetFrameDisposal(CByteStream* file, const GifArea& next);

    // What the file holds of an animation; kept apart from the writer so
    // that a frame that failed half-way can be taken back.
    struct AnimationState {
        int frames = 0;
        GifArea first{}, last{};
        int32_t screenWidth = 0, screenHeight = 0;
        int64_t lastControl = -1; // where the last frame's graphic control flags are
        uint8_t lastFlags = 0;    // those flags as the file holds them
        bool flagsUnsure = false; // a rewrite of them failed half-way
    };
    struct Animation : AnimationState {
        std::unique_ptr<CDibImageGif> writer; // borrows each frame in turn
        AnimationState beforeLast;            // before the frame added last
    };
    Animation animation_;

    uint8_t graphicControl_[4] = {};
    int32_t column_ = 0;
    int32_t row_ = 0;
    uint64_t pixelsLeft_ = 0;
    const uint8_t* rowBytes_ = nullptr; // 8-bit rows are read in place
    std::vector<uint8_t> rowBuffer_;
    int32_t hashKeys_[kHashSize];
    uint16_t hashCodes_[kHashSize];
    char comment_[256] = {};
    int32_t loopCount_ = 0;
    int32_t disposalMethod_ = 0;
};

} // namespace vistrel
