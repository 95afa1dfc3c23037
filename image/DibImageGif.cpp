#include "image/DibImageGif.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "image/GifCodeWriter.h"

namespace vistrel {

namespace {

constexpr int kTileWidth = 17;
constexpr int kTileHeight = 15;
constexpr int32_t kGifMaxDimension = 0xFFFF;

void PutWord(CByteStream* file, uint32_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    file->Write(bytes, 1, 2);
}

void PutColourTable(CByteStream* file, const CDibImage& image) {
    uint8_t rgb[3 * 256];
    const uint32_t count = std::min<uint32_t>(image.ColourCount(), 256);
    for (uint32_t i = 0; i < count; ++i) {
        const RgbQuad c = image.PaletteEntry(i);
        rgb[3 * i] = c.rgbRed;
        rgb[3 * i + 1] = c.rgbGreen;
        rgb[3 * i + 2] = c.rgbBlue;
    }
    file->Write(rgb, 1, 3 * count);
}

// An empty container has no depth; it is written like a 1-bit image.
int GifDepth(const CDibImage& image) {
    return image.BitsPerPixel() > 0 ? image.BitsPerPixel() : 1;
}

} // namespace

CDibImageGif::CDibImageGif() : CDibImage(FormatGif) {}

void CDibImageGif::SetComment(const char* text) {
    std::snprintf(comment_, sizeof comment_, "%s", text);
}

// The file format holds 16-bit sizes and offsets; larger values would be cut
// and give a file that no longer matches its raster.
bool CDibImageGif::CheckSize(const CDibImage& image) {
    const ImageInfo& info = image.Info();
    if (image.Width() > kGifMaxDimension || image.Height() > kGifMaxDimension || info.xOffset < 0 ||
        info.yOffset < 0 || info.xOffset > kGifMaxDimension || info.yOffset > kGifMaxDimension) {
        SetErrorText("Image too large for GIF");
        return false;
    }
    return true;
}

// A write the stream refused makes the whole file unusable: say so.
bool CDibImageGif::FinishFile(CByteStream* file, bool ok) {
    file->PutByte(0x3B);
    if (!file->Flush() || file->HasError()) {
        SetErrorText("Write Error in GIF file");
        return false;
    }
    return ok;
}

bool CDibImageGif::Encode(CByteStream* file) {
    if (!file) {
        SetErrorText("Can't open GIF for writing");
        return false;
    }
    if (!CheckSize(*this)) {
        return false;
    }
    if (header_.biBitCount > 8) {
        return EncodeTrueColour(file);
    }
    WriteHeader(file);
    WriteGraphicControl(file);
    WriteImage(file, false);
    WriteComment(file);
    return FinishFile(file, true);
}

void CDibImageGif::WriteHeader(CByteStream* file) {
    file->Write("GIF89a", 1, 6);
    PutWord(file, static_cast<uint32_t>(Width()));
    PutWord(file, static_cast<uint32_t>(Height()));
    const int depth = GifDepth(*this);
    const uint8_t flags =
        header_.biClrUsed == 0 ? 0x11 : static_cast<uint8_t>(0x80 | ((depth - 1) << 5) | (depth - 1));
    const uint8_t rest[3] = {flags, 0, 0};
    file->Write(rest, 1, 3);
    if (header_.biClrUsed != 0) {
        PutColourTable(file, *this);
    }
}

void CDibImageGif::WriteGraphicControl(CByteStream* file) {
    graphicControl_[0] =
        static_cast<uint8_t>((info_.transparentIndex != -1 ? 1 : 0) | ((disposalMethod_ & 7) << 2));
    graphicControl_[1] = static_cast<uint8_t>(info_.frameDelay);
    graphicControl_[2] = static_cast<uint8_t>(info_.frameDelay >> 8);
    graphicControl_[3] = static_cast<uint8_t>(info_.transparentIndex);
    const uint8_t intro[3] = {0x21, 0xF9, 0x04};
    file->Write(intro, 1, 3);
    file->Write(graphicControl_, 1, 4);
    file->PutByte(0);
}

void CDibImageGif::WriteLoopExtension(CByteStream* file) {
    const uint8_t intro[3] = {0x21, 0xFF, 0x0B};
    file->Write(intro, 1, 3);
    file->Write("NETSCAPE2.0", 1, 11);
    const uint8_t sub[2] = {0x03, 0x01};
    file->Write(sub, 1, 2);
    PutWord(file, static_cast<uint32_t>(loopCount_));
    file->PutByte(0);
}

void CDibImageGif::WriteComment(CByteStream* file) {
    const size_t length = std::strlen(comment_);
    if (length == 0) {
        return;
    }
    const uint8_t intro[3] = {0x21, 0xFE, static_cast<uint8_t>(length)};
    file->Write(intro, 1, 3);
    file->Write(comment_, 1, length);
    file->PutByte(0);
}

void CDibImageGif::ResetRaster() {
    column_ = 0;
    row_ = Height() - 1;
    pixelsLeft_ = static_cast<uint64_t>(Width()) * static_cast<uint64_t>(Height());
    rowBytes_ = (dib_ && header_.biBitCount == 8 && pixelsLeft_ > 0) ? Row(row_) : nullptr;
    if (!rowBytes_ && pixelsLeft_ > 0) {
        rowBuffer_.resize(static_cast<size_t>(Width()));
    }
}

void CDibImageGif::UnpackRow() {
    for (int32_t x = column_; x < header_.biWidth; ++x) {
        rowBuffer_[static_cast<size_t>(x)] = PixelIndexAt(x, row_);
    }
}

void CDibImageGif::WriteImage(CByteStream* file, bool localColourTable) {
    ResetRaster();
    file->PutByte(0x2C);
    PutWord(file, static_cast<uint32_t>(info_.xOffset));
    PutWord(file, static_cast<uint32_t>(info_.yOffset));
    PutWord(file, static_cast<uint32_t>(Width()));
    PutWord(file, static_cast<uint32_t>(Height()));
    const int depth = GifDepth(*this);
    const bool withTable = localColourTable && header_.biClrUsed != 0;
    file->PutByte(withTable ? static_cast<uint8_t>(0x80 | (depth - 1)) : 0);
    if (withTable) {
        PutColourTable(file, *this);
    }
    const int minimumCodeSize = depth < 2 ? 2 : depth;
    file->PutByte(static_cast<uint8_t>(minimumCodeSize));
    switch (info_.gifCompression) {
    case GifUncompressed:
        CompressLiteral(minimumCodeSize + 1, file);
        break;
    case GifLzw:
        CompressLzw(minimumCodeSize + 1, file);
        break;
    default:
        CompressRunLength(minimumCodeSize + 1, file);
        break;
    }
    file->PutByte(0);
}

bool CDibImageGif::SaveMultipageToFile(const char* path, CDibImage* const* images, int count,
                                       bool localColourTables) {
    return WriteFileSafely(
        path, [&](CByteStream* file) { return EncodeMultipage(file, images, count, localColourTables); });
}

bool CDibImageGif::EncodeMultipage(CByteStream* file, CDibImage* const* images, int count,
                                   bool localColourTables) {
    const char* failure = nullptr;
    if (!file) {
        failure = "invalid file pointer";
    } else if (!images || count <= 0 || !images[0]) {
        failure = "multipage GIF, no images!";
    } else {
        for (int i = 0; i < count && !failure; ++i) {
            if (!images[i]) {
                failure = "Bad image pointer";
            } else if (!CheckFrame(*images[i])) {
                return false; // its text is set
            }
        }
    }
    if (failure) {
        SetErrorText(failure);
        return false;
    }
    animation_ = Animation{};
    for (int i = 0; i < count; ++i) {
        if (!AddAnimationFrame(file, *images[i], i > 0 && localColourTables)) {
            animation_ = Animation{};
            return false;
        }
    }
    return EndAnimation(file);
}

int DisposalBefore(int base, const GifArea& frame, const GifArea& next) {
    const bool covered = next.left <= frame.left && next.top <= frame.top && next.right >= frame.right &&
                         next.bottom >= frame.bottom;
    return !covered && (base == 0 || base == 1) ? 2 : base;
}

// A frame must be a palette image with pixels: its depth is the code size,
// and an empty one would give a screen of nothing.
bool CDibImageGif::CheckFrame(const CDibImage& image) {
    if (image.BitsPerPixel() > 8) {
        SetErrorText("multipage GIF, frame is not a palette image");
        return false;
    }
    if (image.Width() <= 0 || image.Height() <= 0) {
        SetErrorText("multipage GIF, frame has no pixels");
        return false;
    }
    return CheckSize(image);
}

// Rewrites the disposal of the frame written last, once the next is known.
bool CDibImageGif::SetFrameDisposal(CByteStream* file, const GifArea& next) {
    Animation& a = animation_;
    const int disposal = DisposalBefore(disposalMethod_ & 7, a.last, next);
    const uint8_t flags = static_cast<uint8_t>((a.lastFlags & ~0x1C) | (disposal << 2));
    if (flags == a.lastFlags && !a.flagsUnsure) {
        return true; // as written
    }
    const int64_t end = file->Tell();
    if (!(file->Seek(a.lastControl, SEEK_SET) && file->PutByte(flags) && file->Seek(end, SEEK_SET))) {
        a.flagsUnsure = true;
        return false;
    }
    a.lastFlags = flags;
    a.flagsUnsure = false;
    return true;
}

bool CDibImageGif::AddAnimationFrame(CByteStream* file, CDibImage& frame, bool localColourTable) {
    Animation& a = animation_;
    if (!file) {
        SetErrorText("invalid file pointer");
        return false;
    }
    if (!CheckFrame(frame)) {
        return false;
    }
    const ImageInfo& info = frame.Info();
    const GifArea area{info.xOffset, info.yOffset, info.xOffset + frame.Width(),
                       info.yOffset + frame.Height()};
    // A refused frame writes nothing: the animation can go on without it.
    const int32_t screenWidth = std::max(a.frames ? a.screenWidth : frame.Width(), area.right);
    const int32_t screenHeight = std::max(a.frames ? a.screenHeight : frame.Height(), area.bottom);
    if (screenWidth > kGifMaxDimension || screenHeight > kGifMaxDimension) {
        SetErrorText("Image too large for GIF");
        return false;
    }
    if (!a.writer) {
        a.writer.reset(new CDibImageGif);
    }
    a.writer->BorrowFrom(&frame);
    if (a.frames == 0) {
        // The first frame's size stands for the screen until the end.
        a.writer->WriteHeader(file);
        if (loopCount_ != 1) {
            a.writer->SetLoopCount(std::max(0, loopCount_ - 1));
            a.writer->WriteLoopExtension(file);
        }
        a.first = area;
    } else if (!SetFrameDisposal(file, area)) {
        SetErrorText("Write Error in GIF file");
        return false;
    }
    const AnimationState before = a;
    a.screenWidth = screenWidth;
    a.screenHeight = screenHeight;
    a.writer->SetDisposalMethod(disposalMethod_);
    a.lastControl = file->Tell() + 3;
    a.writer->WriteGraphicControl(file);
    a.lastFlags = a.writer->graphicControl_[0];
    a.writer->WriteImage(file, localColourTable);
    a.last = area;
    ++a.frames;
    a.beforeLast = before;
    if (!file->Flush() || file->HasError()) {
        // The file is cut back to the frame's start by the caller.
        TakeBackLastFrame();
        SetErrorText("Write Error in GIF file");
        return false;
    }
    return true;
}

void CDibImageGif::TakeBackLastFrame() {
    Animation& a = animation_;
    static_cast<AnimationState&>(a) = a.beforeLast;
    // The last frame's flags may have been rewritten for the frame taken
    // back: the end writes them again.
    a.flagsUnsure = a.frames > 0;
}

bool CDibImageGif::EndAnimation(CByteStream* file) {
    Animation& a = animation_;
    if (!file || a.frames == 0) {
        SetErrorText(file ? "multipage GIF, no images!" : "invalid file pointer");
        return false;
    }
    bool ok = true;
    // The animation loops: the last frame is followed by the first.
    if (a.frames > 1) {
        ok = SetFrameDisposal(file, a.first);
    }
    if (ok &&
        (a.screenWidth != a.first.right - a.first.left || a.screenHeight != a.first.bottom - a.first.top)) {
        const int64_t end = file->Tell();
        ok = file->Seek(6, SEEK_SET);
        PutWord(file, static_cast<uint32_t>(a.screenWidth));
        PutWord(file, static_cast<uint32_t>(a.screenHeight));
        ok = ok && file->Seek(end, SEEK_SET);
    }
    animation_ = Animation{};
    if (!ok) {
        SetErrorText("Write Error in GIF file");
        return false;
    }
    WriteComment(file);
    return FinishFile(file, true);
}

bool CDibImageGif::EncodeTrueColour(CByteStream* file) {
    WriteHeader(file);
    const int32_t width = Width();
    const int32_t height = Height();
    std::unique_ptr<CDibImageGif> tile(new CDibImageGif);
    int32_t tileW = -1, tileH = -1;
    for (int32_t ty = 0; ty < height; ty += kTileHeight) {
        for (int32_t tx = 0; tx < width; tx += kTileWidth) {
            const int32_t w = std::min(kTileWidth, width - tx);
            const int32_t h = std::min(kTileHeight, height - ty);
            if (w != tileW || h != tileH) {
                if (!tile->AllocateDib(w, h, 8, FormatGif)) {
                    SetErrorText("Out of memory");
                    return false;
                }
                tileW = w;
                tileH = h;
            }
            if (info_.transparentIndex >= 0) {
                tile->SetTransparentIndex(0);
                tile->SetPaletteEntry(0, info_.transparentColour);
            }
            for (int32_t i = 0; i < h; ++i) {
                for (int32_t j = 0; j < w; ++j) {
                    const uint32_t k = static_cast<uint32_t>(j + kTileWidth * i + 1);
                    const RgbQuad colour = PixelColourAt(tx + j, height - ty - h + i);
                    tile->SetPaletteEntry(k, colour);
                    tile->SetPixelIndexAt(j, i, tile->NearestPaletteIndex(colour));
                }
            }
            tile->SetOffset(tx, ty);
            tile->WriteGraphicControl(file);
            tile->WriteImage(file, true);
        }
    }
    WriteComment(file);
    return FinishFile(file, true);
}

void CDibImageGif::CompressLiteral(int initBits, CByteStream* file) {
    GifCodeWriter out(file, initBits);
    const int clear = out.ClearCode();
    out.Output(clear);
    const uint8_t* span;
    size_t n;
    while ((n = NextSpan(span)) > 0) {
        for (const uint8_t* end = span + n; span < end; ++span) {
            out.Output(*span);
            if (out.freeCode_ < GifCodeWriter::kMaxMaxCode) {
                ++out.freeCode_;
            } else {
                out.freeCode_ = clear + 2;
                out.clearFlag_ = true;
                out.Output(clear);
            }
        }
    }
    out.OutputEnd();
}

void CDibImageGif::CompressLzw(int initBits, CByteStream* file) {
    GifCodeWriter out(file, initBits);
    const int clear = out.ClearCode();
    constexpr int kHashShift = 4; // 8 minus the doublings that take 5003 past 65535
    out.Output(clear);
    const uint8_t* span;
    size_t n = NextSpan(span);
    if (n == 0) {
        out.OutputEnd();
        return;
    }
    std::fill(hashKeys_, hashKeys_ + kHashSize, -1);
    int prefix = *span++;
    --n;
    do {
        for (const uint8_t* end = span + n; span < end; ++span) {
            const int c = *span;
            const int32_t key = (static_cast<int32_t>(c) << GifCodeWriter::kMaxBits) + prefix;
            int slot = (c << kHashShift) ^ prefix;
            if (hashKeys_[slot] == key) {
                prefix = hashCodes_[slot];
                continue;
            }
            if (hashKeys_[slot] >= 0) {
                const int step = slot == 0 ? 1 : kHashSize - slot;
                bool hit = false;
                do {
                    slot -= step;
                    if (slot < 0) {
                        slot += kHashSize;
                    }
                    if (hashKeys_[slot] == key) {
                        hit = true;
                        break;
                    }
                } while (hashKeys_[slot] > 0);
                if (hit) {
                    prefix = hashCodes_[slot];
                    continue;
                }
            }
            out.Output(prefix);
            prefix = c;
            if (out.freeCode_ < GifCodeWriter::kMaxMaxCode) {
                hashCodes_[slot] = static_cast<uint16_t>(out.freeCode_++);
                hashKeys_[slot] = key;
            } else {
                std::fill(hashKeys_, hashKeys_ + kHashSize, -1);
                out.freeCode_ = clear + 2;
                out.clearFlag_ = true;
                out.Output(clear);
            }
        }
    } while ((n = NextSpan(span)) > 0);
    out.Output(prefix);
    out.OutputEnd();
}

} // namespace vistrel
