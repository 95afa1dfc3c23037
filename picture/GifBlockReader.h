// Walks the block structure of a GIF far enough to cut an animation into
// single-frame GIFs; the pixels are never decoded here. Every read stays
// inside the data: damaged or hostile data ends the walk, keeping the
// frames before the damage. No platform types, so it builds everywhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistrel {

enum class GifBlock { Unknown, Application, Comment, GraphicControl, PlainText, Image, Trailer };

// One frame: its bytes in the data run from `start` for `length` bytes (an
// optional graphic control extension with its image or plain-text block).
struct GifFrame {
    size_t start = 0;
    size_t length = 0;
    bool hasControl = false; // without one, the frame has no delay of its own
    uint32_t delay = 0;      // hundredths of a second
    int disposal = 0;
    int left = 0, top = 0, width = 0, height = 0;
};

class GifBlockReader {
public:
    GifBlockReader(const uint8_t* data, size_t size);

    // Begins with "GIF" and holds a whole screen descriptor; any version.
    bool IsGif() const { return isGif_; }
    int ScreenWidth() const { return Word(6); }
    int ScreenHeight() const { return Word(8); }
    size_t GlobalTableSize() const { return globalTableSize_; }
    // The background colour from the global table as 0xRRGGBB; false without one.
    bool BackgroundColour(uint32_t& rgb) const;

    // Back to the first block after the header and global table.
    void Reset();
    size_t Offset() const { return offset_; }
    GifBlock TypeAt(size_t position) const;
    // Bytes of the block at `position`; 0 when unknown or not inside the data.
    size_t BlockLength(size_t position) const;
    bool SkipBlock();
    // Skips to after the next image or plain-text block; false at the end or on damage.
    bool SkipGraphicBlock();
    // Frames from the first block on; stops at the first damage.
    int CountFrames();
    // The next frame; false at the trailer, an unknown block or damage.
    bool NextFrame(GifFrame& frame);

    // Bytes of a GIF holding only `frame`: header, screen descriptor and
    // global table, the frame's blocks, the trailer.
    size_t SingleFrameSize(const GifFrame& frame) const;
    // Writes that GIF to `out`, which holds SingleFrameSize bytes.
    void WriteSingleFrame(const GifFrame& frame, uint8_t* out) const;

private:
    int Word(size_t position) const;
    // Length of a sub-block chain from `position` to its zero terminator
    // included; 0 when it runs past the data.
    size_t SubBlocksLength(size_t position) const;
    size_t Start() const { return 13 + globalTableSize_; }

    const uint8_t* data_;
    size_t size_;
    bool isGif_ = false;
    size_t globalTableSize_ = 0;
    size_t offset_ = 0;
};

} // namespace vistrel
