// The run-length coder byte for byte against a plain, one-pixel-at-a-time
// coder written straight from its rules: the fast coder may take shortcuts,
// but never send other bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "TestImages.h"
#include "image/DibImageGif.h"
#include "tools/bench/BenchPictures.h"

using namespace vistrel;
using namespace vistrel::test;

namespace {

using Bytes = std::vector<uint8_t>;

// The raster's sub-blocks as the plain coder writes them.
class PlainRunLengthCoder {
public:
    explicit PlainRunLengthCoder(int initBits)
        : initBits_(initBits), clear_(1 << (initBits - 1)), first_(clear_ + 2), growthInit_(clear_ - 1),
          forcedInit_(initBits <= 3 ? 9 : clear_ - 2), maxCodes_(4096 - (clear_ + 3)) {
        ClearReset();
        Emit(clear_);
    }

    Bytes Code(const Bytes& pixels) {
        int pixel = -1;
        uint64_t length = 0;
        for (const uint8_t p : pixels) {
            if (length > 0 && p != pixel) {
                Flush(pixel, length);
                length = 0;
            }
            pixel = p;
            ++length;
        }
        if (length > 0) {
            Flush(pixel, length);
        }
        Emit(clear_ + 1);
        if (bits_ > 0) {
            Put(static_cast<uint8_t>(buffer_));
        }
        if (!block_.empty()) {
            WriteBlock();
        }
        return out_;
    }

private:
    void Put(uint8_t byte) {
        block_.push_back(byte);
        if (block_.size() == 255) {
            WriteBlock();
        }
    }
    void WriteBlock() {
        out_.push_back(static_cast<uint8_t>(block_.size()));
        out_.insert(out_.end(), block_.begin(), block_.end());
        block_.clear();
    }
    void Emit(int code) {
        buffer_ |= static_cast<uint32_t>(code) << bits_;
        for (bits_ += width_; bits_ >= 8; bits_ -= 8, buffer_ >>= 8) {
            Put(static_cast<uint8_t>(buffer_));
        }
    }
    void ClearReset() {
        width_ = initBits_;
        growth_ = growthInit_;
        forced_ = forcedInit_;
        since_ = 0;
        tableLength_ = 0;
        justCleared_ = true;
    }
    void Plain(int code) {
        justCleared_ = false;
        Emit(code);
        if (++since_ >= growth_) {
            ++width_;
            growth_ += 1 << (width_ - 1);
        }
        if (since_ >= forced_) {
            Emit(clear_);
            ClearReset();
        }
    }
    void Restore() {
        forced_ = forcedInit_;
        if (since_ >= forced_) {
            Emit(clear_);
            ClearReset();
        }
    }
    uint64_t Triangle(uint64_t length) const {
        const uint64_t per = static_cast<uint64_t>(maxCodes_) * (maxCodes_ + 1) / 2;
        const uint64_t r = length % per;
        uint64_t k = static_cast<uint64_t>(std::sqrt(2.0 * static_cast<double>(r)));
        while (k > 0 && k * (k + 1) >= 2 * r) {
            --k;
        }
        while (k * (k + 1) < 2 * r) {
            ++k;
        }
        return length / per * maxCodes_ + k;
    }
    void FromClear(int p, uint64_t length) {
        forced_ = maxCodes_;
        tablePixel_ = p;
        for (uint64_t n = 1; length > 0; n = since_ == 0 ? 1 : n + 1) {
            const uint64_t take = n == 1 ? 1 : std::min(n, length);
            tableLength_ = n == 1 ? 1 : take == n ? static_cast<int>(n) : tableLength_ + 1;
            Plain(take == 1 ? p : first_ + static_cast<int>(take) - 2);
            length -= take;
        }
        Restore();
    }
    void Flush(int p, uint64_t length) {
        if (length == 1) {
            Plain(p);
        } else if (justCleared_) {
            FromClear(p, length);
        } else if (tableLength_ < 2 || tablePixel_ != p) {
            if (1 + Triangle(length) < length) {
                Emit(clear_);
                ClearReset();
                FromClear(p, length);
            } else {
                for (; length > 0; --length) {
                    Plain(p);
                }
            }
        } else {
            const uint64_t t = static_cast<uint64_t>(tableLength_);
            uint64_t repeats = length / t, leftover = length % t, extra = leftover > 0 ? 1 : 0;
            if (since_ + repeats + extra > static_cast<uint64_t>(maxCodes_)) {
                repeats = static_cast<uint64_t>(maxCodes_ - since_);
                leftover = length - repeats * t;
                extra = 1 + Triangle(leftover);
            }
            if (1 + Triangle(length) < repeats + extra) {
                Emit(clear_);
                ClearReset();
                FromClear(p, length);
                return;
            }
            forced_ = maxCodes_;
            for (; repeats > 0; --repeats) {
                Plain(first_ + tableLength_ - 2);
            }
            if (leftover > 0 && justCleared_) {
                FromClear(p, leftover);
            } else if (leftover > 0) {
                Plain(leftover == 1 ? p : first_ + static_cast<int>(leftover) - 2);
            }
            Restore();
        }
    }

    const int initBits_, clear_, first_, growthInit_, forcedInit_, maxCodes_;
    int width_ = 0, growth_ = 0, forced_ = 0, since_ = 0, tableLength_ = 0, tablePixel_ = 0;
    bool justCleared_ = true;
    uint32_t buffer_ = 0;
    int bits_ = 0;
    Bytes block_, out_;
};

// A one-image file without comment: header, colour table, graphic control,
// descriptor, code size, sub-blocks, terminator, trailer.
Bytes RasterOf(const Bytes& file) {
    const size_t codeSize = 13 + (3u << ((file.at(10) & 7) + 1)) + 8 + 10;
    EXPECT_EQ(file.at(file.size() - 2), 0);
    EXPECT_EQ(file.back(), 0x3B);
    return Bytes(file.begin() + static_cast<long>(codeSize) + 1, file.end() - 2);
}

// Compares the coder's raster with the plain coder's.
void ExpectPlainBytes(CDibImage& image) {
    image.SetGifCompression(GifRunLength);
    bool ok = false;
    const Bytes file = Encoded(image, FormatGif, &ok);
    ASSERT_TRUE(ok) << image.LastError();
    const int bits = image.BitsPerPixel();
    const Bytes expected = PlainRunLengthCoder((bits == 1 ? 2 : bits) + 1).Code(ExpectedIndices(image));
    const Bytes raster = RasterOf(file);
    ASSERT_EQ(raster.size(), expected.size()) << image.Width() << "x" << image.Height() << "x" << bits;
    for (size_t i = 0; i < raster.size(); ++i) {
        ASSERT_EQ(raster[i], expected[i]) << "byte " << i << " of " << image.Width() << "x" << image.Height();
    }
}

// An image made of runs: `lengths` gives each run's length, colours take
// turns among `colours`, rows follow each other top first.
std::unique_ptr<CDibImage> RunsImage(int32_t width, int32_t height, int bits,
                                     const std::vector<uint32_t>& lengths,
                                     const std::vector<uint8_t>& colours) {
    std::unique_ptr<CDibImage> image(new CDibImage(FormatGif));
    image->AllocateDib(width, height, bits, FormatGif);
    size_t run = 0, colour = 0;
    uint32_t left = lengths.empty() ? 0 : lengths[0];
    for (int32_t y = height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < width; ++x) {
            while (left == 0) {
                ++run;
                colour = (colour + 1) % colours.size();
                left = lengths[run % lengths.size()];
            }
            image->SetPixelIndexAt(x, y, colours[colour]);
            --left;
        }
    }
    return image;
}

TEST(GifRunLength, BenchmarkPicturesAsThePlainCoder) {
    CDibImage desktop, noisy;
    bench::MakeDesktop(desktop, true);
    bench::MakeNoisy(noisy, true);
    ExpectPlainBytes(desktop);
    ExpectPlainBytes(noisy);
}

TEST(GifRunLength, RandomImagesOfOddSizes) {
    const int32_t sizes[][2] = {{1, 1}, {3, 5}, {17, 9}, {255, 3}, {101, 77}, {1001, 7}, {7, 301}};
    for (const int bits : {1, 4, 8}) {
        for (const auto& size : sizes) {
            for (const Pattern pattern : {Pattern::Noise, Pattern::Runs, Pattern::Gradient}) {
                CDibImage image;
                FillImage(image, size[0], size[1], bits, pattern, static_cast<uint32_t>(size[0] * 31 + bits));
                ExpectPlainBytes(image);
            }
        }
    }
}

// Runs of random lengths, short ones around the table's longest run and a
// few long ones that rebuild it, among two or three colours so that the
// table's pixel comes back often.
TEST(GifRunLength, RandomRunsAroundTheTableLimits) {
    for (uint32_t seed = 1; seed <= 24; ++seed) {
        Random random(seed);
        std::vector<uint32_t> lengths(4000);
        for (uint32_t& length : lengths) {
            const uint32_t kind = random.Next() % 10;
            length = 1 + random.Next() % (kind < 4 ? 6 : kind < 7 ? 130 : kind < 9 ? 700 : 9000);
        }
        const int bits = seed % 3 == 0 ? 1 : seed % 3 == 1 ? 4 : 8;
        const uint8_t top = static_cast<uint8_t>((1u << bits) - 1);
        const std::vector<uint8_t> colours =
            seed % 2 ? std::vector<uint8_t>{0, top} : std::vector<uint8_t>{top, 1, 0};
        ExpectPlainBytes(*RunsImage(997 + static_cast<int32_t>(seed), 301, bits, lengths, colours));
    }
}

// After a triangle of 44 codes the table holds runs up to 44: every run
// length from 1 to 200 of the table's pixel, each after one other pixel,
// with the forced clear and the width growth falling anywhere among them.
TEST(GifRunLength, EveryRunLengthAfterATriangle) {
    for (const int bits : {1, 4, 8}) {
        std::vector<uint32_t> lengths;
        for (uint32_t length = 1; length <= 200; ++length) {
            lengths.insert(lengths.end(), {1000, 1, length, 1});
        }
        ExpectPlainBytes(*RunsImage(1023, 213, bits, lengths, {0, 1}));
    }
}

// A triangle of 3800 codes, then a run whose repeats of the longest run
// would pass the most codes allowed between clears: they stop there, and
// the rest starts again after the clear.
TEST(GifRunLength, RunsBeyondTheCodesBetweenClears) {
    for (const int bits : {1, 4, 8}) {
        ExpectPlainBytes(*RunsImage(2731, 2731, bits, {3800 * 3801 / 2, 1, 200000, 1, 5000}, {1, 0}));
    }
}

TEST(GifRunLength, RefusedWritesFailWithTheirTextAfterTheSameBytes) {
    CDibImage image;
    bench::MakeDesktop(image, true);
    image.SetGifCompression(GifRunLength);
    const Bytes whole = Encoded(image, FormatGif);
    for (const size_t limit : {size_t{900}, size_t{1057}, size_t{1313}, size_t{40000}, whole.size() - 3}) {
        CMemoryStream full(limit);
        EXPECT_FALSE(image.Encode(&full, FormatGif)) << limit;
        EXPECT_STREQ(image.LastError(), "Write Error in GIF file");
        ASSERT_EQ(full.Data().size(), limit);
        EXPECT_TRUE(std::equal(full.Data().begin(), full.Data().end(), whole.begin())) << limit;
    }
}

} // namespace
