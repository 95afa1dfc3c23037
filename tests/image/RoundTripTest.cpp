// Every writer's files decoded by the reference libraries (giflib, libpng,
// libjpeg) and compared with the source pixels: depths 1, 4, 8 and 24,
// awkward sizes, every GIF coder, animations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <tuple>

#include "TestImages.h"
#include "image/DibImageGif.h"

using namespace vistrel;
using namespace vistrel::test;

namespace {

struct Size {
    int32_t width, height;
};

const Size kSizes[] = {{0, 0}, {1, 1}, {1, 37}, {37, 1}, {17, 15}, {18, 16}, {33, 31}, {255, 3}, {101, 77}};
const int kDepths[] = {1, 4, 8, 24};
const Pattern kPatterns[] = {Pattern::Noise, Pattern::Runs, Pattern::Gradient};

std::string Describe(Size s, int bits, Pattern p, int coder) {
    return std::to_string(s.width) + "x" + std::to_string(s.height) + " " + std::to_string(bits) +
           " bits, pattern " + std::to_string(static_cast<int>(p)) + ", coder " + std::to_string(coder);
}

void ExpectGifMatches(CDibImage& image, const std::string& what) {
    bool ok = false;
    const auto bytes = Encoded(image, FormatGif, &ok);
    ASSERT_TRUE(ok) << what << ": " << image.LastError();
    const DecodedGif gif = DecodeGifWithGiflib(bytes);
    ASSERT_TRUE(gif.ok) << what << ": " << gif.error;
    EXPECT_EQ(gif.screenWidth, image.Width()) << what;
    EXPECT_EQ(gif.screenHeight, image.Height()) << what;
    if (image.BitsPerPixel() <= 8) {
        ASSERT_EQ(gif.frames.size(), 1u) << what;
        EXPECT_EQ(gif.frames[0].indices, ExpectedIndices(image)) << what;
    }
    EXPECT_EQ(ComposeGif(gif), ExpectedRgb(image)) << what;
}

} // namespace

TEST(GifRoundTrip, EveryCoderDepthAndSize) {
    uint32_t seed = 1;
    for (int coder = 0; coder <= 2; ++coder) {
        for (int bits : kDepths) {
            for (Size s : kSizes) {
                if (s.width == 0) {
                    continue; // giflib refuses empty images: checked byte by byte
                }
                for (Pattern p : kPatterns) {
                    CDibImage image;
                    FillImage(image, s.width, s.height, bits, p, seed++);
                    image.SetGifCompression(static_cast<uint32_t>(coder));
                    ExpectGifMatches(image, Describe(s, bits, p, coder));
                }
            }
        }
    }
}

TEST(GifRoundTrip, FullHdEveryCoder) {
    for (int coder = 0; coder <= 2; ++coder) {
        for (Pattern p : {Pattern::Noise, Pattern::Runs}) {
            CDibImage image;
            FillImage(image, 1920, 1080, 8, p, 77);
            image.SetGifCompression(static_cast<uint32_t>(coder));
            ExpectGifMatches(image, Describe({1920, 1080}, 8, p, coder));
        }
    }
}

TEST(GifRoundTrip, LongRunsAndTableFills) {
    // Runs long enough to use the whole code space between clears, and
    // mixtures that make the LZW table fill many times.
    for (int coder = 0; coder <= 2; ++coder) {
        for (int bits : {1, 4, 8}) {
            CDibImage image;
            ASSERT_TRUE(image.AllocateDib(600, 500, bits, FormatBmp));
            for (uint32_t i = 0; i < image.ColourCount(); ++i) {
                image.SetPaletteEntry(i, RgbQuad{uint8_t(i * 7), uint8_t(i * 3), uint8_t(255 - i), 0});
            }
            Random random(9);
            const uint32_t levels = image.ColourCount();
            for (int32_t y = 0; y < 500; ++y) {
                for (int32_t x = 0; x < 600; ++x) {
                    uint32_t v;
                    if (y < 200) {
                        v = 1; // 120000 equal pixels
                    } else if (y < 300) {
                        v = (x / (1 + y % 13)) % levels;
                    } else {
                        v = random.Next() % (y % 3 == 0 ? 2 : levels);
                    }
                    image.SetPixelIndexAt(x, y, static_cast<uint8_t>(v));
                }
            }
            image.SetGifCompression(static_cast<uint32_t>(coder));
            ExpectGifMatches(image,
                             "long runs " + std::to_string(bits) + " bits coder " + std::to_string(coder));
        }
    }
}

TEST(GifRoundTrip, AnimationKeepsFramesDelaysOffsetsAndLoop) {
    for (int coder = 0; coder <= 2; ++coder) {
        std::vector<std::unique_ptr<CDibImage>> frames;
        std::vector<CDibImage*> pointers;
        for (int i = 0; i < 4; ++i) {
            frames.emplace_back(new CDibImage(FormatGif));
            FillImage(*frames.back(), 40 - 5 * i, 30 - 3 * i, 8, i % 2 ? Pattern::Noise : Pattern::Runs,
                      100 + i);
            frames.back()->SetFrameDelay(10 * (i + 1));
            frames.back()->SetOffset(2 * i, 3 * i);
            frames.back()->SetGifCompression(static_cast<uint32_t>(coder));
            pointers.push_back(frames.back().get());
        }
        for (bool local : {false, true}) {
            CDibImageGif gif;
            gif.SetLoopCount(3);
            gif.SetComment("made by vistrel");
            CMemoryStream stream;
            ASSERT_TRUE(gif.EncodeMultipage(&stream, pointers.data(), 4, local)) << gif.LastError();
            const DecodedGif decoded = DecodeGifWithGiflib(stream.Data());
            ASSERT_TRUE(decoded.ok) << decoded.error;
            ASSERT_EQ(decoded.frames.size(), 4u);
            EXPECT_EQ(decoded.loopCount, 2);
            EXPECT_EQ(decoded.comment, "made by vistrel");
            EXPECT_EQ(decoded.screenWidth, 40);
            EXPECT_EQ(decoded.screenHeight, 30);
            for (int i = 0; i < 4; ++i) {
                const DecodedGifFrame& f = decoded.frames[i];
                EXPECT_EQ(f.delay, 10 * (i + 1));
                EXPECT_EQ(f.left, 2 * i);
                EXPECT_EQ(f.top, 3 * i);
                EXPECT_EQ(f.indices, ExpectedIndices(*frames[i]));
                // Without local tables every frame uses the first one's palette.
                const CDibImage& paletteOwner = (local || i == 0) ? *frames[i] : *frames[0];
                for (uint32_t c = 0; c < 256; ++c) {
                    const RgbQuad q = paletteOwner.PaletteEntry(c);
                    ASSERT_EQ(f.palette[3 * c], q.rgbRed);
                    ASSERT_EQ(f.palette[3 * c + 2], q.rgbBlue);
                }
            }
        }
    }
}

TEST(PngRoundTrip, EveryDepthAndSize) {
    uint32_t seed = 500;
    for (int bits : kDepths) {
        for (Size s : kSizes) {
            if (s.width == 0) {
                continue; // PNG has no empty images: checked with the error texts
            }
            for (Pattern p : kPatterns) {
                CDibImage image;
                FillImage(image, s.width, s.height, bits, p, seed++);
                bool ok = false;
                const auto bytes = Encoded(image, FormatPng, &ok);
                const std::string what = Describe(s, bits, p, -1);
                ASSERT_TRUE(ok) << what << image.LastError();
                const DecodedPng png = DecodePngWithLibpng(bytes);
                ASSERT_TRUE(png.ok) << what << png.error;
                EXPECT_EQ(png.colourType, bits == 24 ? 2 : 3) << what;
                EXPECT_EQ(png.bitDepth, bits == 24 ? 8 : bits) << what;
                EXPECT_EQ(png.rgb, ExpectedRgb(image)) << what;
            }
        }
    }
    CDibImage image;
    FillImage(image, 1920, 1080, 24, Pattern::Noise, 3);
    const DecodedPng png = DecodePngWithLibpng(Encoded(image, FormatPng));
    EXPECT_EQ(png.rgb, ExpectedRgb(image));
}

TEST(JpegRoundTrip, TrueColourAndGreyWithinTolerance) {
    for (Size s : kSizes) {
        if (s.width == 0) {
            continue;
        }
        for (bool grey : {false, true}) {
            CDibImage image;
            FillImage(image, s.width, s.height, grey ? 8 : 24, Pattern::Gradient, 9);
            if (grey) {
                for (uint32_t i = 0; i < 256; ++i) {
                    image.SetPaletteEntry(i, RgbQuad{uint8_t(i), uint8_t(i), uint8_t(i), 0});
                }
            } else {
                // Smooth colour: JPEG's tolerance is only fair on smooth images.
                for (int32_t y = 0; y < s.height; ++y) {
                    for (int32_t x = 0; x < s.width; ++x) {
                        uint8_t* p = image.Row(y) + 3 * x;
                        p[0] = static_cast<uint8_t>(40 + x / 2);
                        p[1] = static_cast<uint8_t>(200 - y);
                        p[2] = static_cast<uint8_t>(90 + (x + y) / 4);
                    }
                }
            }
            image.SetJpegQuality(95);
            bool ok = false;
            const auto bytes = Encoded(image, FormatJpeg, &ok);
            const std::string what = Describe(s, grey ? 8 : 24, Pattern::Gradient, -1);
            ASSERT_TRUE(ok) << what << image.LastError();
            const DecodedJpeg jpeg = DecodeJpegWithLibjpeg(bytes);
            ASSERT_TRUE(jpeg.ok) << what << jpeg.error;
            ASSERT_EQ(jpeg.components, grey ? 1 : 3);
            std::vector<uint8_t> expected = ExpectedRgb(image);
            if (grey) {
                std::vector<uint8_t> g;
                for (size_t i = 0; i < expected.size(); i += 3) {
                    g.push_back(expected[i]);
                }
                expected = g;
            }
            ASSERT_EQ(jpeg.pixels.size(), expected.size()) << what;
            int worst = 0;
            for (size_t i = 0; i < expected.size(); ++i) {
                worst = std::max(worst, std::abs(int(jpeg.pixels[i]) - int(expected[i])));
            }
            EXPECT_LE(worst, 8) << what;
        }
    }
}
