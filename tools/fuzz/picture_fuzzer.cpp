// libFuzzer target: the GIF block reader on arbitrary bytes. Beyond running
// under ASan/UBSan it checks what the reader promises:
//   - the walk ends, every step moving forward, within a bound set by the size;
//   - every frame lies inside the data, after the header, in order;
//   - counting and walking agree, and each frame cut out on its own reads
//     back as exactly that one frame;
//   - where giflib reads the whole file and our walk reached the trailer, the
//     images and their places agree (only for small images: giflib decodes).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gif_lib.h>

#include "picture/GifBlockReader.h"

using namespace vistrel;

namespace {

// Decoding more pixels than this is no longer cheap.
constexpr uint64_t kGiflibPixels = 1u << 20;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

struct Source {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

int Read(GifFileType* gif, GifByteType* buffer, int length) {
    auto* s = static_cast<Source*>(gif->UserData);
    size_t n = s->size - s->pos;
    if (n > static_cast<size_t>(length)) {
        n = static_cast<size_t>(length);
    }
    std::memcpy(buffer, s->data + s->pos, n);
    s->pos += n;
    return static_cast<int>(n);
}

bool SameFrame(const GifFrame& a, const GifFrame& b) {
    return a.length == b.length && a.hasControl == b.hasControl && a.delay == b.delay &&
           a.disposal == b.disposal && a.left == b.left && a.top == b.top && a.width == b.width &&
           a.height == b.height;
}

// The frame alone, as the reader writes it, is read back as that frame only.
void CheckSingle(const GifBlockReader& reader, const GifFrame& frame) {
    std::vector<uint8_t> one(reader.SingleFrameSize(frame));
    reader.WriteSingleFrame(frame, one.data());
    GifBlockReader again(one.data(), one.size());
    Check(again.IsGif());
    GifFrame read;
    Check(again.NextFrame(read));
    Check(read.start == 13 + reader.GlobalTableSize());
    Check(SameFrame(read, frame));
    Check(!again.NextFrame(read));
    Check(again.TypeAt(again.Offset()) == GifBlock::Trailer);
}

// The type of the last block of a frame: an image or a plain-text block.
GifBlock LastBlock(const GifBlockReader& reader, const GifFrame& frame) {
    size_t position = frame.start;
    for (;;) {
        const size_t length = reader.BlockLength(position);
        Check(length > 0 && position + length <= frame.start + frame.length);
        if (position + length == frame.start + frame.length) {
            return reader.TypeAt(position);
        }
        position += length;
    }
}

// giflib's reading of the whole file against ours, images only (a plain-text
// block is a frame for us, an extension for giflib).
void CompareWithGiflib(const uint8_t* data, size_t size, const GifBlockReader& reader,
                       const std::vector<GifFrame>& frames) {
    Source source{data, size, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&source, Read, &error);
    if (!gif) {
        return;
    }
    if (DGifSlurp(gif) == GIF_OK) {
        std::vector<const GifFrame*> images;
        for (const GifFrame& frame : frames) {
            const GifBlock last = LastBlock(reader, frame);
            Check(last == GifBlock::Image || last == GifBlock::PlainText);
            if (last == GifBlock::Image) {
                images.push_back(&frame);
            }
        }
        Check(static_cast<int>(images.size()) == gif->ImageCount);
        // giflib gives a plain-text block's extensions to the next image.
        const bool plainText = images.size() != frames.size();
        for (size_t i = 0; i < images.size(); ++i) {
            const GifFrame& ours = *images[i];
            const GifImageDesc& desc = gif->SavedImages[i].ImageDesc;
            Check(ours.left == desc.Left && ours.top == desc.Top && ours.width == desc.Width &&
                  ours.height == desc.Height);
            GraphicsControlBlock control;
            if (!plainText && ours.hasControl &&
                DGifSavedExtensionToGCB(gif, static_cast<int>(i), &control) == GIF_OK) {
                Check(ours.delay == static_cast<uint32_t>(control.DelayTime));
                Check(ours.disposal == control.DisposalMode);
            }
        }
    }
    DGifCloseFile(gif, &error);
}

// giflib takes an extension's first sub-block for its header: when that one
// is already the terminator, giflib reads on into the next block and the two
// readings part. GIF89a ends the extension there, as we do.
bool GiflibReadsAlike(const uint8_t* data, const GifBlockReader& reader, size_t from,
                      size_t to) {
    for (size_t position = from; position < to;) {
        const size_t length = reader.BlockLength(position);
        Check(length > 0);
        if (data[position] == 0x21 && length >= 3 && data[position + 2] == 0) {
            return false;
        }
        position += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GifBlockReader reader(data, size);
    if (!reader.IsGif()) {
        GifFrame frame;
        Check(!reader.NextFrame(frame));
        Check(reader.CountFrames() == 0);
        return 0;
    }
    uint32_t rgb = 0;
    if (reader.BackgroundColour(rgb)) {
        Check(13 + reader.GlobalTableSize() <= size && rgb <= 0xFFFFFF);
    }

    const size_t first = 13 + reader.GlobalTableSize();
    std::vector<GifFrame> frames;
    GifFrame frame;
    size_t end = first;
    while (reader.NextFrame(frame)) {
        // A frame holds at least an image descriptor or a plain-text block,
        // so there are never more frames than bytes: the walk ends.
        Check(frames.size() < size);
        Check(frame.start >= end && frame.length > 0);
        Check(frame.start <= size && frame.length <= size - frame.start);
        Check(reader.Offset() == frame.start + frame.length);
        end = reader.Offset();
        frames.push_back(frame);
        CheckSingle(reader, frame);
    }
    // The walk stops at the trailer or at a block that does not fit.
    const size_t stop = reader.Offset();
    const size_t rest = reader.BlockLength(stop);
    Check(rest == 0 || (reader.TypeAt(stop) == GifBlock::Trailer && stop < size));
    Check(reader.CountFrames() == static_cast<int>(frames.size()));

    uint64_t pixels = 0;
    for (const GifFrame& f : frames) {
        pixels += static_cast<uint64_t>(f.width) * static_cast<uint64_t>(f.height);
    }
    if (reader.TypeAt(stop) == GifBlock::Trailer && pixels <= kGiflibPixels &&
        GiflibReadsAlike(data, reader, first, stop)) {
        CompareWithGiflib(data, size, reader, frames);
    }
    return 0;
}
