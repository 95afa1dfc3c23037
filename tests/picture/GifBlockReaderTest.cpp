// The GIF block reader on files of our encoder, hand-made block mixes and
// every truncation of a small animation; each cut frame is read back by giflib.

#include "picture/GifBlockReader.h"

#include "TestImages.h"
#include "image/ByteStream.h"
#include "image/DibImageGif.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vistrel;
using namespace vistrel::test;

namespace {

std::vector<uint8_t> Animation(int frames, int width, int height, int bits, bool local = false) {
    std::vector<std::unique_ptr<CDibImage>> images;
    std::vector<CDibImage*> pointers;
    for (int i = 0; i < frames; ++i) {
        images.push_back(std::make_unique<CDibImage>(FormatBmp));
        FillImage(*images.back(), width, height, bits, Pattern::Runs, 7 + i);
        images.back()->SetFrameDelay(10 + i);
        images.back()->SetGifCompression(GifLzw);
        pointers.push_back(images.back().get());
    }
    CDibImageGif writer;
    CMemoryStream out;
    EXPECT_TRUE(writer.EncodeMultipage(&out, pointers.data(), frames, local));
    return out.Data();
}

std::vector<GifFrame> Frames(const std::vector<uint8_t>& bytes) {
    GifBlockReader reader(bytes.data(), bytes.size());
    std::vector<GifFrame> frames;
    GifFrame frame;
    while (reader.NextFrame(frame))
        frames.push_back(frame);
    EXPECT_EQ(reader.CountFrames(), static_cast<int>(frames.size()));
    return frames;
}

std::vector<uint8_t> Single(const std::vector<uint8_t>& bytes, const GifFrame& frame) {
    GifBlockReader reader(bytes.data(), bytes.size());
    std::vector<uint8_t> out(reader.SingleFrameSize(frame));
    reader.WriteSingleFrame(frame, out.data());
    return out;
}

// Each frame cut out decodes, alone, to the same frame as in the whole file.
void ExpectFramesCutExactly(const std::vector<uint8_t>& bytes, size_t expected) {
    const DecodedGif whole = DecodeGifWithGiflib(bytes);
    ASSERT_TRUE(whole.ok) << whole.error;
    const std::vector<GifFrame> frames = Frames(bytes);
    ASSERT_EQ(frames.size(), expected);
    ASSERT_EQ(whole.frames.size(), expected);
    for (size_t i = 0; i < frames.size(); ++i) {
        const DecodedGif one = DecodeGifWithGiflib(Single(bytes, frames[i]));
        ASSERT_TRUE(one.ok) << "frame " << i << ": " << one.error;
        ASSERT_EQ(one.frames.size(), 1u);
        const DecodedGifFrame &a = one.frames[0], &b = whole.frames[i];
        EXPECT_EQ(a.indices, b.indices) << "frame " << i;
        EXPECT_EQ(a.palette, b.palette) << "frame " << i;
        EXPECT_EQ(frames[i].delay, static_cast<uint32_t>(b.delay < 0 ? 0 : b.delay));
        EXPECT_EQ(frames[i].hasControl, b.delay >= 0);
        EXPECT_EQ(frames[i].width, b.width);
        EXPECT_EQ(frames[i].height, b.height);
        EXPECT_EQ(frames[i].left, b.left);
        EXPECT_EQ(frames[i].top, b.top);
    }
}

// Header with a 2-entry global table (red, blue; background index 1).
std::vector<uint8_t> Header(const char* version) {
    std::vector<uint8_t> b = {'G', 'I', 'F'};
    b.insert(b.end(), version, version + 3);
    b.insert(b.end(), {4, 0, 2, 0, 0x80, 1, 0, 255, 0, 0, 0, 0, 255});
    return b;
}

void Append(std::vector<uint8_t>& b, std::initializer_list<uint8_t> bytes) {
    b.insert(b.end(), bytes);
}

// A 2x1 image of index `colour` at (1, 1), with a control block.
void AppendFrame(std::vector<uint8_t>& b, uint8_t colour, int disposal, int delay) {
    Append(b, {0x21, 0xF9, 4, static_cast<uint8_t>(disposal << 2), static_cast<uint8_t>(delay), 0, 0, 0});
    // Four codes of 3 bits: clear (4), two literals, end (5).
    const uint32_t bits = 4u | (uint32_t{colour} << 3) | (uint32_t{colour} << 6) | (5u << 9);
    Append(b, {0x2C, 1, 0, 1, 0, 2, 0, 1, 0, 0, 2, 2, static_cast<uint8_t>(bits),
               static_cast<uint8_t>(bits >> 8), 0});
}

} // namespace

TEST(GifBlockReader, FramesOfOurEncoderWithAndWithoutGlobalTable) {
    ExpectFramesCutExactly(Animation(1, 33, 17, 8), 1);
    ExpectFramesCutExactly(Animation(2, 64, 48, 4, true), 2);
    ExpectFramesCutExactly(Animation(50, 20, 10, 8), 50);
    // A true-colour image is written as palette tiles with no global table.
    CDibImage colour(FormatBmp);
    FillImage(colour, 34, 30, 24, Pattern::Noise, 3);
    const std::vector<uint8_t> tiles = Encoded(colour, FormatGif);
    GifBlockReader reader(tiles.data(), tiles.size());
    EXPECT_EQ(reader.GlobalTableSize(), 0u);
    uint32_t rgb = 0;
    EXPECT_FALSE(reader.BackgroundColour(rgb));
    ExpectFramesCutExactly(tiles, 4);
}

TEST(GifBlockReader, SkipsCommentApplicationAndPlainTextBlocksAndIgnoresTheVersion) {
    for (const char* version : {"89a", "87a", "99z"}) {
        std::vector<uint8_t> b = Header(version);
        Append(b, {0x21, 0xFE, 3, 'h', 'e', 'y', 2, '!', '!', 0});
        Append(b, {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
        AppendFrame(b, 0, 2, 3);
        Append(b, {0x21, 0xFE, 1, 'x', 0});
        AppendFrame(b, 1, 3, 50);
        // A plain-text block is a frame of its own, without a size.
        Append(b, {0x21, 0x01, 12, 0, 0, 0, 0, 4, 0, 2, 0, 4, 2, 1, 0, 2, 'h', 'i', 0});
        AppendFrame(b, 1, 0, 10);
        b.push_back(0x3B);
        GifBlockReader reader(b.data(), b.size());
        ASSERT_TRUE(reader.IsGif()) << version;
        EXPECT_EQ(reader.ScreenWidth(), 4);
        EXPECT_EQ(reader.ScreenHeight(), 2);
        uint32_t rgb = 0;
        EXPECT_TRUE(reader.BackgroundColour(rgb));
        EXPECT_EQ(rgb, 0x0000FFu);
        const std::vector<GifFrame> frames = Frames(b);
        ASSERT_EQ(frames.size(), 4u) << version;
        EXPECT_EQ(frames[0].disposal, 2);
        EXPECT_EQ(frames[0].delay, 3u);
        EXPECT_EQ(frames[1].disposal, 3);
        EXPECT_EQ(frames[1].delay, 50u);
        EXPECT_FALSE(frames[2].hasControl) << "the plain text has no control block of its own";
        EXPECT_EQ(frames[2].width, 0);
        EXPECT_EQ(frames[3].width, 2);
        EXPECT_EQ(frames[3].left, 1);
        const DecodedGif second = DecodeGifWithGiflib(Single(b, frames[1]));
        ASSERT_TRUE(second.ok) << second.error;
        EXPECT_EQ(second.frames[0].indices, std::vector<uint8_t>(2, 1));
    }
    const uint8_t notGif[] = {'G', 'I', 'X', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x2C};
    EXPECT_FALSE(GifBlockReader(notGif, sizeof notGif).IsGif());
    EXPECT_EQ(GifBlockReader(nullptr, 100).CountFrames(), 0);
}

TEST(GifBlockReader, EveryTruncationKeepsOnlyTheWholeFramesBeforeTheCut) {
    const std::vector<uint8_t> full = Animation(3, 12, 9, 8);
    std::vector<size_t> ends;
    for (const GifFrame& f : Frames(full))
        ends.push_back(f.start + f.length);
    ASSERT_EQ(ends.size(), 3u);
    for (size_t cut = 0; cut < full.size(); ++cut) {
        // Exactly `cut` bytes on the heap: a read past them is caught by ASan.
        std::unique_ptr<uint8_t[]> data(new uint8_t[cut ? cut : 1]);
        std::copy(full.begin(), full.begin() + cut, data.get());
        GifBlockReader reader(data.get(), cut);
        size_t whole = 0;
        while (whole < ends.size() && ends[whole] <= cut)
            ++whole;
        ASSERT_EQ(reader.CountFrames(), static_cast<int>(whole)) << "cut at " << cut;
        reader.Reset();
        GifFrame frame;
        size_t seen = 0;
        while (reader.NextFrame(frame))
            ASSERT_EQ(frame.start + frame.length, ends[seen++]) << "cut at " << cut;
        ASSERT_EQ(seen, whole) << "cut at " << cut;
    }
    // A local table announced larger than the data, and a sub-block count past the end.
    std::vector<uint8_t> hostile = Header("89a");
    Append(hostile, {0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0x87, 2, 200, 1});
    EXPECT_EQ(GifBlockReader(hostile.data(), hostile.size()).CountFrames(), 0);
}
