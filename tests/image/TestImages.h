// Helpers for the image tests: synthetic images of every depth, decoding
// with the reference libraries, and file plumbing.
#pragma once

#include "tests/common/Files.h"

#include <cstdint>
#include <string>
#include <vector>

#include "image/DibImage.h"

namespace vistrel::test {

// Deterministic pseudo-random numbers (xorshift), so failures repeat.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed ? seed : 1) {}
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }

private:
    uint32_t state_;
};

enum class Pattern { Noise, Runs, Gradient };

// An indexed (1, 4, 8 bits) or true-colour (24 bits) image with a distinct
// palette and pixels following `pattern`.
void FillImage(CDibImage& image, int32_t width, int32_t height, int bits, Pattern pattern, uint32_t seed);

// Top-down pixels as RGB triples, taken through the container's own
// colour lookup (the expectation every decoder is compared with).
std::vector<uint8_t> ExpectedRgb(const CDibImage& image);
// Top-down palette indices.
std::vector<uint8_t> ExpectedIndices(const CDibImage& image);

struct DecodedGifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    int delay = -1;       // from the graphic control block, -1 when missing
    int transparent = -1; // -1 when not flagged
    int disposal = 0;
    std::vector<uint8_t> indices; // top-down
    std::vector<uint8_t> palette; // RGB triples of the table in force
};
struct DecodedGif {
    bool ok = false;
    std::string error;
    int screenWidth = 0, screenHeight = 0;
    int loopCount = -1; // -1 without a NETSCAPE2.0 block
    std::vector<DecodedGifFrame> frames;
    std::string comment;
};
// giflib's DGifSlurp over the bytes.
DecodedGif DecodeGifWithGiflib(const std::vector<uint8_t>& bytes);
// The frames up to `last` (all when -1) composed onto an RGB screen of
// zeros, transparency and disposal 2 (back to zeros) honoured.
std::vector<uint8_t> ComposeGif(const DecodedGif& gif, int last = -1);

struct DecodedPng {
    bool ok = false;
    std::string error;
    uint32_t width = 0, height = 0;
    int colourType = -1, bitDepth = -1;
    int paletteEntries = 0;
    int transparencyEntries = -1; // -1 without tRNS
    std::vector<uint8_t> rgb;     // expanded to 8-bit RGB, top-down
};
// libpng's reader, expanding palettes and low bit depths.
DecodedPng DecodePngWithLibpng(const std::vector<uint8_t>& bytes);

struct DecodedJpeg {
    bool ok = false;
    std::string error;
    uint32_t width = 0, height = 0;
    int components = 0;
    bool jfif = false;
    int densityUnit = -1, xDensity = -1, yDensity = -1;
    std::vector<uint16_t> lumaQuant; // the first quantisation table, natural order
    std::vector<uint8_t> pixels;     // RGB or grey, top-down
};
DecodedJpeg DecodeJpegWithLibjpeg(const std::vector<uint8_t>& bytes);
// The luminance table libjpeg makes for `quality`.
std::vector<uint16_t> ReferenceLumaQuant(int quality);

std::vector<uint8_t> Encoded(CDibImage& image, uint32_t format, bool* ok = nullptr);
void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::string TempPath(const std::string& name);

} // namespace vistrel::test
