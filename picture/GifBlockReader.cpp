#include "picture/GifBlockReader.h"

#include <cstring>

namespace vistrel {

namespace {

// Descriptor bytes of an image block, up to the packed byte included.
constexpr size_t kDescriptor = 10;

} // namespace

GifBlockReader::GifBlockReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {
    isGif_ = size_ >= 13 && std::memcmp(data_, "GIF", 3) == 0;
    if (isGif_ && (data_[10] & 0x80))
        globalTableSize_ = size_t{3} << ((data_[10] & 7) + 1);
    Reset();
}

int GifBlockReader::Word(size_t position) const {
    if (position + 2 > size_)
        return 0;
    return data_[position] | (data_[position + 1] << 8);
}

bool GifBlockReader::BackgroundColour(uint32_t& rgb) const {
    if (!isGif_ || globalTableSize_ == 0 || Start() > size_)
        return false;
    const size_t entry = 13 + size_t{3} * data_[11];
    if (entry + 3 > Start())
        return false;
    rgb = (uint32_t{data_[entry]} << 16) | (uint32_t{data_[entry + 1]} << 8) | data_[entry + 2];
    return true;
}

void GifBlockReader::Reset() {
    offset_ = Start();
}

GifBlock GifBlockReader::TypeAt(size_t position) const {
    if (!isGif_ || position >= size_)
        return GifBlock::Unknown;
    switch (data_[position]) {
    case 0x2C:
        return GifBlock::Image;
    case 0x3B:
        return GifBlock::Trailer;
    case 0x21:
        if (position + 1 >= size_)
            return GifBlock::Unknown;
        switch (data_[position + 1]) {
        case 0xFF:
            return GifBlock::Application;
        case 0xFE:
            return GifBlock::Comment;
        case 0xF9:
            return GifBlock::GraphicControl;
        case 0x01:
            return GifBlock::PlainText;
        default:
            return GifBlock::Unknown;
        }
    default:
        return GifBlock::Unknown;
    }
}

size_t GifBlockReader::SubBlocksLength(size_t position) const {
    size_t total = 0;
    for (;;) {
        if (position + total >= size_)
            return 0;
        const size_t count = data_[position + total];
        total += count + 1;
        if (count == 0)
            return total;
    }
}

size_t GifBlockReader::BlockLength(size_t position) const {
    switch (TypeAt(position)) {
    case GifBlock::Unknown:
        return 0;
    case GifBlock::Trailer:
        return 1;
    case GifBlock::Image: {
        if (position + kDescriptor > size_)
            return 0;
        const uint8_t packed = data_[position + 9];
        const size_t localTable = (packed & 0x80) ? size_t{3} << ((packed & 7) + 1) : 0;
        // The descriptor, its table, the minimum code size byte, the raster.
        const size_t head = kDescriptor + localTable + 1;
        const size_t raster = SubBlocksLength(position + head);
        return raster ? head + raster : 0;
    }
    default: {
        // Every extension: introducer and label, then sub-blocks (the fixed
        // part of an application, control or plain-text block is the first).
        const size_t body = SubBlocksLength(position + 2);
        return body ? 2 + body : 0;
    }
    }
}

bool GifBlockReader::SkipBlock() {
    const size_t length = BlockLength(offset_);
    if (length == 0 || length > size_ - offset_)
        return false;
    offset_ += length;
    return true;
}

bool GifBlockReader::SkipGraphicBlock() {
    for (;;) {
        switch (TypeAt(offset_)) {
        case GifBlock::Unknown:
        case GifBlock::Trailer:
            return false;
        case GifBlock::PlainText:
        case GifBlock::Image:
            return SkipBlock();
        default:
            if (!SkipBlock())
                return false;
        }
    }
}

int GifBlockReader::CountFrames() {
    Reset();
    int frames = 0;
    while (SkipGraphicBlock())
        ++frames;
    return frames;
}

bool GifBlockReader::NextFrame(GifFrame& frame) {
    frame = GifFrame{};
    GifBlock type = TypeAt(offset_);
    while (type == GifBlock::Application || type == GifBlock::Comment) {
        if (!SkipBlock())
            return false;
        type = TypeAt(offset_);
    }
    frame.start = offset_;
    if (type == GifBlock::GraphicControl) {
        // Block size 4 at least: flags, delay, transparent index.
        if (offset_ + 7 <= size_ && data_[offset_ + 2] >= 4) {
            frame.hasControl = true;
            frame.disposal = (data_[offset_ + 3] & 0x1C) >> 2;
            frame.delay = static_cast<uint32_t>(Word(offset_ + 4));
        }
        do {
            if (!SkipBlock())
                return false;
            type = TypeAt(offset_);
        } while (type == GifBlock::Application || type == GifBlock::Comment ||
                 type == GifBlock::GraphicControl);
    }
    if (type != GifBlock::Image && type != GifBlock::PlainText)
        return false;
    if (type == GifBlock::Image && offset_ + kDescriptor <= size_) {
        frame.left = Word(offset_ + 1);
        frame.top = Word(offset_ + 3);
        frame.width = Word(offset_ + 5);
        frame.height = Word(offset_ + 7);
    }
    if (!SkipBlock())
        return false;
    frame.length = offset_ - frame.start;
    return true;
}

size_t GifBlockReader::SingleFrameSize(const GifFrame& frame) const {
    return Start() + frame.length + 1;
}

void GifBlockReader::WriteSingleFrame(const GifFrame& frame, uint8_t* out) const {
    std::memcpy(out, data_, Start());
    std::memcpy(out + Start(), data_ + frame.start, frame.length);
    out[Start() + frame.length] = 0x3B;
}

} // namespace vistrel
