// The GIF writer byte by byte: header flags, graphic control, loop blocks,
// code sizes, the coders' code sequences and sub-block sizes, the true-colour
// mosaic and the error texts. Pixels are judged by giflib.
#include <gtest/gtest.h>

#include <memory>

#include "TestImages.h"
#include "image/DibImageGif.h"
#include "image/SafeFile.h"
#include "tests/common/Files.h"

using namespace vistrel;
using namespace vistrel::test;

namespace {

using Bytes = std::vector<uint8_t>;

size_t Find(const Bytes& bytes, const Bytes& needle, size_t from = 0) {
    for (size_t i = from; i + needle.size() <= bytes.size(); ++i) {
        if (std::equal(needle.begin(), needle.end(), bytes.begin() + static_cast<long>(i))) {
            return i;
        }
    }
    return std::string::npos;
}

// The first image of a file whose layout is known: where its raster starts.
struct Raster {
    int minimumCodeSize = 0;
    std::vector<size_t> blockSizes;
    Bytes data;
    size_t end = 0; // just behind the block terminator
};

Raster ReadRaster(const Bytes& bytes, size_t at) {
    Raster r;
    r.minimumCodeSize = bytes.at(at++);
    while (bytes.at(at) != 0) {
        const size_t n = bytes[at++];
        r.blockSizes.push_back(n);
        r.data.insert(r.data.end(), bytes.begin() + static_cast<long>(at),
                      bytes.begin() + static_cast<long>(at + n));
        at += n;
    }
    r.end = at + 1;
    return r;
}

// Splits a raster into its codes, tracking the code width as a decoder does.
struct Code {
    int value;
    int width;
};
std::vector<Code> Codes(const Raster& r) {
    std::vector<Code> codes;
    const int clear = 1 << r.minimumCodeSize;
    int width = r.minimumCodeSize + 1;
    int next = clear + 2;
    bool first = true;
    size_t bit = 0;
    while (bit + width <= r.data.size() * 8) {
        int value = 0;
        for (int i = 0; i < width; ++i, ++bit) {
            value |= ((r.data[bit / 8] >> (bit % 8)) & 1) << i;
        }
        codes.push_back({value, width});
        if (value == clear) {
            width = r.minimumCodeSize + 1;
            next = clear + 2;
            first = true;
            continue;
        }
        if (value == clear + 1) {
            break;
        }
        if (!first && next < 4096) {
            ++next;
            if (next == (1 << width) && width < 12) {
                ++width;
            }
        }
        first = false;
    }
    return codes;
}

// Offset of the first image descriptor, walking the blocks of the file.
size_t FirstDescriptor(const Bytes& bytes) {
    size_t at = 13;
    if (bytes.at(10) & 0x80) {
        at += 3u << ((bytes[10] & 7) + 1);
    }
    while (bytes.at(at) == 0x21) {
        at += 2;
        while (bytes.at(at) != 0) {
            at += bytes[at] + 1u;
        }
        ++at;
    }
    EXPECT_EQ(bytes.at(at), 0x2C);
    return at;
}

// Offset of the first image's code size byte.
size_t RasterOffset(const Bytes& bytes) {
    const size_t descriptor = FirstDescriptor(bytes);
    const uint8_t flags = bytes.at(descriptor + 9);
    size_t at = descriptor + 10;
    if (flags & 0x80) {
        at += 3u << ((flags & 7) + 1);
    }
    return at;
}

std::unique_ptr<CDibImage> Indexed(int32_t w, int32_t h, int bits) {
    std::unique_ptr<CDibImage> image(new CDibImage(FormatGif));
    image->AllocateDib(w, h, bits, FormatGif);
    for (uint32_t i = 0; i < image->ColourCount(); ++i) {
        image->SetPaletteEntry(i, RgbQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 0});
    }
    return image;
}

Bytes Gif(CDibImage& image, uint32_t coder) {
    image.SetGifCompression(coder);
    bool ok = false;
    Bytes bytes = Encoded(image, FormatGif, &ok);
    EXPECT_TRUE(ok) << image.LastError();
    return bytes;
}

} // namespace

TEST(GifBytes, HeaderFlagsAndColourTables) {
    struct Case {
        int bits;
        uint8_t flags;
        size_t tableBytes;
        int codeSize;
    } cases[] = {{8, 0xE7, 768, 8}, {4, 0xE3, 48, 4}, {1, 0x80, 6, 2}};
    for (const Case& c : cases) {
        auto image = Indexed(3, 2, c.bits);
        const Bytes bytes = Gif(*image, GifRunLength);
        ASSERT_EQ(Bytes(bytes.begin(), bytes.begin() + 13),
                  (Bytes{'G', 'I', 'F', '8', '9', 'a', 3, 0, 2, 0, c.flags, 0, 0}));
        EXPECT_EQ(Bytes(bytes.begin() + 16, bytes.begin() + 19),
                  (Bytes{0, 254, 1})); // entry 1: red, green, blue
        const size_t descriptor = 13 + c.tableBytes + 8;
        EXPECT_EQ(bytes.at(descriptor), 0x2C) << c.bits;
        EXPECT_EQ(bytes.at(descriptor + 9), 0) << "no local table, not interlaced";
        EXPECT_EQ(bytes.at(descriptor + 10), c.codeSize) << c.bits;
        EXPECT_EQ(bytes.back(), 0x3B);
    }
    CDibImage trueColour;
    FillImage(trueColour, 3, 2, 24, Pattern::Noise, 1);
    const Bytes bytes = Gif(trueColour, GifRunLength);
    EXPECT_EQ(bytes[10], 0x11);
}

TEST(GifBytes, GraphicControlWithoutTransparencyAndDelay) {
    auto image = Indexed(2, 2, 8);
    image->SetFrameDelay(150);
    const Bytes bytes = Gif(*image, GifRunLength);
    EXPECT_EQ(Bytes(bytes.begin() + 13 + 768, bytes.begin() + 13 + 768 + 8),
              (Bytes{0x21, 0xF9, 0x04, 0x00, 0x96, 0x00, 0xFF, 0x00}));
    image->SetTransparentIndex(9);
    const Bytes withTransparency = Gif(*image, GifRunLength);
    EXPECT_EQ(withTransparency[13 + 768 + 3], 0x01);
    EXPECT_EQ(withTransparency[13 + 768 + 6], 9);
    const DecodedGif gif = DecodeGifWithGiflib(withTransparency);
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.frames[0].transparent, 9);
    EXPECT_EQ(gif.frames[0].delay, 150);
}

TEST(GifBytes, AnimationLoopBlocks) {
    auto frame = Indexed(4, 4, 8);
    CDibImage* frames[] = {frame.get()};
    const Bytes loopBlock = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1};
    for (int loop : {0, 1, 3}) {
        CDibImageGif gif;
        if (loop) {
            gif.SetLoopCount(loop);
        }
        CMemoryStream stream;
        ASSERT_TRUE(gif.EncodeMultipage(&stream, frames, 1, false));
        const Bytes& bytes = stream.Data();
        const size_t at = Find(bytes, loopBlock);
        if (loop == 1) {
            EXPECT_EQ(at, std::string::npos);
            EXPECT_EQ(bytes.at(13 + 768), 0x21);
            EXPECT_EQ(bytes.at(13 + 768 + 1), 0xF9);
            continue;
        }
        ASSERT_EQ(at, 13u + 768) << "loop block right behind the header";
        const int expected = loop == 0 ? 0 : loop - 1;
        EXPECT_EQ(
            Bytes(bytes.begin() + static_cast<long>(at + 16), bytes.begin() + static_cast<long>(at + 19)),
            (Bytes{uint8_t(expected), 0, 0}));
        // Then one graphic control, one image and the trailer.
        EXPECT_EQ(
            Bytes(bytes.begin() + static_cast<long>(at + 19), bytes.begin() + static_cast<long>(at + 22)),
            (Bytes{0x21, 0xF9, 0x04}));
        const Raster r = ReadRaster(bytes, at + 19 + 8 + 10);
        EXPECT_EQ(r.end + 1, bytes.size());
        EXPECT_EQ(bytes.back(), 0x3B);
    }
}

TEST(GifBytes, OneBitImagesUseCodeSizeTwo) {
    auto image = Indexed(9, 3, 1);
    image->SetPixelIndexAt(4, 1, 1);
    for (uint32_t coder : {0u, 1u, 2u}) {
        const Bytes bytes = Gif(*image, coder);
        const Raster r = ReadRaster(bytes, RasterOffset(bytes));
        EXPECT_EQ(r.minimumCodeSize, 2);
        const std::vector<Code> codes = Codes(r);
        ASSERT_FALSE(codes.empty());
        EXPECT_EQ(codes.front().value, 4); // clear, 3 bits wide
        EXPECT_EQ(codes.front().width, 3);
        EXPECT_EQ(codes.back().value, 5);
        const DecodedGif gif = DecodeGifWithGiflib(bytes);
        ASSERT_TRUE(gif.ok);
        EXPECT_EQ(gif.frames[0].indices, ExpectedIndices(*image));
    }
}

TEST(GifBytes, LzwClearsWhenTheTableIsFullAndUses254ByteBlocks) {
    CDibImage image;
    FillImage(image, 300, 200, 8, Pattern::Noise, 4);
    const Bytes bytes = Gif(image, GifLzw);
    const Raster r = ReadRaster(bytes, RasterOffset(bytes));
    ASSERT_GT(r.blockSizes.size(), 2u);
    for (size_t i = 0; i + 1 < r.blockSizes.size(); ++i) {
        ASSERT_EQ(r.blockSizes[i], 254u) << i;
    }
    EXPECT_LE(r.blockSizes.back(), 254u);
    const std::vector<Code> codes = Codes(r);
    std::vector<size_t> clears;
    for (size_t i = 0; i < codes.size(); ++i) {
        if (codes[i].value == 256) {
            clears.push_back(i);
        }
    }
    ASSERT_GE(clears.size(), 3u);
    EXPECT_EQ(clears[0], 0u);
    // 4096 - 258 new strings, each sent with one code, and the code that filled it.
    EXPECT_EQ(clears[1] - clears[0] - 1, 4096u - 258 + 1);
    EXPECT_EQ(clears[2] - clears[1] - 1, 4096u - 258 + 1);
    EXPECT_EQ(codes[clears[1] - 1].width, 12);
    EXPECT_EQ(codes[clears[1] + 1].width, 9);
    const DecodedGif gif = DecodeGifWithGiflib(bytes);
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.frames[0].indices, ExpectedIndices(image));
}

TEST(GifBytes, UncompressedCoderSendsLiteralsOnly) {
    CDibImage image;
    FillImage(image, 200, 100, 8, Pattern::Runs, 6);
    const Bytes bytes = Gif(image, GifUncompressed);
    const Raster r = ReadRaster(bytes, RasterOffset(bytes));
    for (size_t i = 0; i + 1 < r.blockSizes.size(); ++i) {
        ASSERT_EQ(r.blockSizes[i], 254u);
    }
    size_t literals = 0;
    for (const Code& c : Codes(r)) {
        ASSERT_TRUE(c.value <= 257) << c.value;
        literals += c.value < 256;
    }
    EXPECT_EQ(literals, 200u * 100);
}

TEST(GifBytes, RunLengthLiteralGroupsOnNoise) {
    // No two neighbours equal: clear, then 254 literals and a clear, again
    // and again, all nine bits wide.
    auto image = Indexed(1000, 1, 8);
    for (int32_t x = 0; x < 1000; ++x) {
        image->SetPixelIndexAt(x, 0, static_cast<uint8_t>((x * 7) % 256));
    }
    const Bytes bytes = Gif(*image, GifRunLength);
    const Raster r = ReadRaster(bytes, RasterOffset(bytes));
    for (size_t i = 0; i + 1 < r.blockSizes.size(); ++i) {
        ASSERT_EQ(r.blockSizes[i], 255u);
    }
    const std::vector<Code> codes = Codes(r);
    size_t at = 0;
    ASSERT_EQ(codes[at++].value, 256);
    int32_t x = 0;
    while (x < 1000) {
        for (int i = 0; i < 254 && x < 1000; ++i, ++x) {
            ASSERT_EQ(codes[at].width, 9);
            ASSERT_EQ(codes[at++].value, (x * 7) % 256) << x;
        }
        if (x < 1000 || x % 254 == 0) {
            ASSERT_EQ(codes[at++].value, 256) << x;
        }
    }
    EXPECT_EQ(codes[at].value, 257);
    EXPECT_EQ(at + 1, codes.size());
}

TEST(GifBytes, RunLengthLongRunAfterClear) {
    auto image = Indexed(1000, 1, 8);
    for (int32_t x = 0; x < 1000; ++x) {
        image->SetPixelIndexAt(x, 0, 77);
    }
    const Bytes bytes = Gif(*image, GifRunLength);
    const std::vector<Code> codes = Codes(ReadRaster(bytes, RasterOffset(bytes)));
    std::vector<int> expected = {256, 77};
    for (int c = 258; c <= 300; ++c) {
        expected.push_back(c);
    }
    expected.push_back(266);
    expected.push_back(257);
    std::vector<int> values;
    for (const Code& c : codes) {
        values.push_back(c.value);
    }
    EXPECT_EQ(values, expected);
    const DecodedGif gif = DecodeGifWithGiflib(bytes);
    ASSERT_TRUE(gif.ok);
    EXPECT_EQ(gif.frames[0].indices, ExpectedIndices(*image));
}

TEST(GifBytes, EmptyContainerGivesCompleteFile) {
    CDibImage empty;
    const Bytes bytes = Gif(empty, GifRunLength);
    const Bytes expected = {'G',  'I',  'F',  '8', '9', 'a', 0,    0, 0, 0, 0x11, 0, 0, // screen
                            0x21, 0xF9, 0x04, 0,   0,   0,   0xFF, 0,                   // control
                            0x2C, 0,    0,    0,   0,   0,   0,    0, 0, 0, 2,          // image
                            0x01, 0x2C, 0x00,                                           // clear, end
                            0x3B};
    EXPECT_EQ(bytes, expected);
    for (uint32_t coder : {1u, 2u}) {
        EXPECT_EQ(Gif(empty, coder), expected);
    }
}

TEST(GifBytes, TrueColourMosaicOfPaletteTiles) {
    CDibImage image;
    FillImage(image, 40, 20, 24, Pattern::Noise, 8);
    // Repeated colours inside a tile share the first entry that holds them.
    image.Row(19)[0] = image.Row(19)[3];
    image.Row(19)[1] = image.Row(19)[4];
    image.Row(19)[2] = image.Row(19)[5];
    const Bytes bytes = Gif(image, GifRunLength);
    const DecodedGif gif = DecodeGifWithGiflib(bytes);
    ASSERT_TRUE(gif.ok) << gif.error;
    const int expected[][4] = {{0, 0, 17, 15}, {17, 0, 17, 15}, {34, 0, 6, 15},
                               {0, 15, 17, 5}, {17, 15, 17, 5}, {34, 15, 6, 5}};
    ASSERT_EQ(gif.frames.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(gif.frames[i].left, expected[i][0]);
        EXPECT_EQ(gif.frames[i].top, expected[i][1]);
        EXPECT_EQ(gif.frames[i].width, expected[i][2]);
        EXPECT_EQ(gif.frames[i].height, expected[i][3]);
        EXPECT_EQ(gif.frames[i].palette.size(), 768u);
    }
    EXPECT_EQ(gif.frames[0].indices[0], gif.frames[0].indices[1]);
    // Entry j + 17 i + 1 for tile column j and bottom-up tile row i: the top
    // row of a 15-row tile starts at 239.
    EXPECT_EQ(gif.frames[0].indices[1], 239);
    EXPECT_EQ(gif.frames[0].indices[2], 241);
    EXPECT_EQ(gif.frames[0].indices[17 * 14], 1);
    EXPECT_EQ(ComposeGif(gif), ExpectedRgb(image));
    const size_t firstDescriptor = FirstDescriptor(bytes);
    EXPECT_EQ(bytes[firstDescriptor + 9], 0x87); // local table of 256 entries
}

TEST(GifBytes, ErrorTexts) {
    auto image = Indexed(4, 4, 8);
    CDibImageGif gif;
    gif.BorrowFrom(image.get());
    EXPECT_FALSE(gif.Encode(nullptr));
    EXPECT_STREQ(gif.LastError(), "Can't open GIF for writing");

    CDibImageGif animation;
    CMemoryStream stream;
    CDibImage* frames[] = {image.get(), nullptr};
    EXPECT_FALSE(animation.EncodeMultipage(nullptr, frames, 1, false));
    EXPECT_STREQ(animation.LastError(), "invalid file pointer");
    EXPECT_FALSE(animation.EncodeMultipage(&stream, frames, 0, false));
    EXPECT_STREQ(animation.LastError(), "multipage GIF, no images!");
    EXPECT_FALSE(animation.EncodeMultipage(&stream, nullptr, 1, false));
    EXPECT_STREQ(animation.LastError(), "multipage GIF, no images!");
    EXPECT_FALSE(animation.EncodeMultipage(&stream, frames, 2, false));
    EXPECT_STREQ(animation.LastError(), "Bad image pointer");
}

TEST(GifBytes, RefusedWritesAreReported) {
    for (uint32_t coder : {0u, 1u, 2u}) {
        auto image = Indexed(64, 64, 8);
        image->SetGifCompression(coder);
        CMemoryStream full(100);
        EXPECT_FALSE(image->Encode(&full, FormatGif));
        EXPECT_STREQ(image->LastError(), "Write Error in GIF file");
    }
}

TEST(GifBytes, SizesBeyondSixteenBitsAreRefused) {
    auto image = Indexed(70000, 1, 1);
    CMemoryStream stream;
    EXPECT_FALSE(image->Encode(&stream, FormatGif));
    EXPECT_STREQ(image->LastError(), "Image too large for GIF");
}

TEST(GifBytes, AnimationFramesMustBePaletteImages) {
    auto indexed = Indexed(4, 4, 8);
    CDibImage trueColour;
    FillImage(trueColour, 4, 4, 24, Pattern::Noise, 1);
    CDibImage* frames[] = {indexed.get(), &trueColour};
    CDibImageGif gif;
    CMemoryStream stream;
    EXPECT_FALSE(gif.EncodeMultipage(&stream, frames, 2, true));
    EXPECT_STREQ(gif.LastError(), "multipage GIF, frame is not a palette image");
    EXPECT_TRUE(stream.Data().empty());
}

namespace {

std::unique_ptr<CDibImage> Filled(int32_t w, int32_t h, uint8_t index) {
    auto image = Indexed(w, h, 8);
    for (int32_t y = 0; y < h; ++y) {
        std::memset(image->Row(y), index, image->Info().rowStride);
    }
    image->SetGifCompression(GifLzw);
    return image;
}

} // namespace

// A window that grows and then shrinks: the screen takes the largest frame,
// and the frame before a smaller one gives its area back to the background.
TEST(GifBytes, FramesOfDifferentSizes) {
    auto a = Filled(300, 200, 1), b = Filled(420, 280, 2), c = Filled(240, 160, 3);
    CDibImage* frames[] = {a.get(), b.get(), c.get()};
    CDibImageGif whole;
    CMemoryStream atOnce;
    ASSERT_TRUE(whole.EncodeMultipage(&atOnce, frames, 3, false)) << whole.LastError();
    const DecodedGif gif = DecodeGifWithGiflib(atOnce.Data());
    ASSERT_TRUE(gif.ok) << gif.error;
    EXPECT_EQ(gif.screenWidth, 420);
    EXPECT_EQ(gif.screenHeight, 280);
    ASSERT_EQ(gif.frames.size(), 3u);
    EXPECT_EQ(gif.frames[0].disposal, 0); // covered by the larger second frame
    EXPECT_EQ(gif.frames[1].disposal, 2); // the third is smaller
    EXPECT_EQ(gif.frames[2].disposal, 0); // the first, after the loop, covers it
    const std::vector<uint8_t> third = ComposeGif(gif, 2);
    const RgbQuad colour = c->PaletteEntry(3);
    for (int y = 0; y < 280; ++y) {
        for (int x = 0; x < 420; ++x) {
            const uint8_t* p = &third[(static_cast<size_t>(y) * 420 + x) * 3];
            const bool inside = x < 240 && y < 160;
            ASSERT_EQ(p[0], inside ? colour.rgbRed : 0) << x << "," << y;
        }
    }

    // One frame at a time into a file: the same bytes.
    const std::string path = TempPath("sizes.gif");
    {
        CSafeFileStream file(path);
        CDibImageGif stepwise;
        for (CDibImage* frame : frames) {
            ASSERT_TRUE(stepwise.AddAnimationFrame(&file, *frame, false)) << stepwise.LastError();
        }
        ASSERT_TRUE(stepwise.EndAnimation(&file));
        ASSERT_TRUE(file.Commit());
    }
    EXPECT_EQ(ReadFileBytes(path), atOnce.Data());
    std::remove(path.c_str());

    // Frames of one size keep the first frame's screen and disposal 0 alone.
    CDibImage* same[] = {a.get(), a.get(), a.get()};
    CMemoryStream fullScreen;
    ASSERT_TRUE(whole.EncodeMultipage(&fullScreen, same, 3, false));
    const Bytes& bytes = fullScreen.Data();
    EXPECT_EQ(Bytes(bytes.begin() + 6, bytes.begin() + 10), (Bytes{300 & 0xFF, 300 >> 8, 200, 0}));
    size_t controls = 0;
    for (size_t at = Find(bytes, {0x21, 0xF9, 0x04}); at != std::string::npos;
         at = Find(bytes, {0x21, 0xF9, 0x04}, at + 1), ++controls) {
        EXPECT_EQ(bytes.at(at + 3), 0);
    }
    EXPECT_EQ(controls, 3u);
}

// An empty frame is refused (no 0x0 screen); a refused write is told at the
// frame where it happened.
TEST(GifBytes, StepwiseAnimationFailures) {
    CDibImage empty(FormatBmp);
    CDibImageGif gif;
    CMemoryStream stream;
    EXPECT_FALSE(gif.AddAnimationFrame(&stream, empty, false));
    EXPECT_STREQ(gif.LastError(), "multipage GIF, frame has no pixels");
    EXPECT_TRUE(stream.Data().empty());
    CDibImage* withEmpty[] = {&empty};
    EXPECT_FALSE(gif.EncodeMultipage(&stream, withEmpty, 1, false));

    auto frame = Filled(64, 64, 5);
    CMemoryStream small(1000);
    CDibImageGif writer;
    EXPECT_TRUE(writer.AddAnimationFrame(&small, *frame, false)) << "the first frame fits";
    const size_t whole = small.Data().size();
    EXPECT_FALSE(writer.AddAnimationFrame(&small, *Filled(300, 300, 6), false));
    EXPECT_STREQ(writer.LastError(), "Write Error in GIF file");

    // The half-written frame is forgotten: the file cut back to where it
    // began ends as an animation of the first frame alone, on its screen.
    CMemoryStream cut;
    cut.Write(small.Data().data(), 1, whole);
    ASSERT_TRUE(writer.EndAnimation(&cut)) << writer.LastError();
    const DecodedGif decoded = DecodeGifWithGiflib(cut.Data());
    ASSERT_TRUE(decoded.ok) << decoded.error;
    EXPECT_EQ(decoded.screenWidth, 64);
    EXPECT_EQ(decoded.frames.size(), 1u);
}
