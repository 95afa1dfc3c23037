// An animation written past 4 GiB: the fields the end rewrites (the screen
// size at the file's start, each frame's disposal) land at their offsets.
// Run natively and on Windows, where `long` has 32 bits.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "image/DibImageGif.h"

using namespace vistrel;

namespace {

// A file of any length that keeps only the bytes written: holes read as 0.
class SparseStream : public CByteStream {
public:
    bool Close() override { return true; }
    size_t Read(void* buffer, size_t size, size_t count) override {
        auto* out = static_cast<uint8_t*>(buffer);
        size_t n = 0;
        for (; n < size * count && pos_ < size_; ++n)
            out[n] = At(pos_++);
        return size ? n / size : 0;
    }
    size_t Write(const void* buffer, size_t size, size_t count) override {
        const auto* in = static_cast<const uint8_t*>(buffer);
        for (size_t i = 0; i < size * count; ++i, ++pos_) {
            std::vector<uint8_t>& page = pages_[pos_ / kPage];
            page.resize(kPage);
            page[pos_ % kPage] = in[i];
        }
        size_ = std::max(size_, pos_);
        return count;
    }
    bool Seek(int64_t offset, int origin) override {
        const int64_t at = (origin == SEEK_CUR ? pos_ : origin == SEEK_END ? size_ : 0) + offset;
        if (at < 0 || at > size_)
            return false;
        pos_ = at;
        return true;
    }
    int64_t Tell() override { return pos_; }
    int64_t Size() override { return size_; }
    bool Flush() override { return true; }
    bool AtEnd() override { return pos_ >= size_; }
    long HasError() override { return 0; }
    long GetByte() override { return pos_ < size_ ? At(pos_++) : -1; }

    // As if that many bytes of earlier frames had been written.
    void Skip(int64_t bytes) {
        pos_ += bytes;
        size_ = std::max(size_, pos_);
    }
    uint8_t At(int64_t at) const {
        const auto page = pages_.find(at / kPage);
        return page == pages_.end() ? 0 : page->second[at % kPage];
    }

private:
    static constexpr int64_t kPage = 65536;
    std::map<int64_t, std::vector<uint8_t>> pages_;
    int64_t pos_ = 0;
    int64_t size_ = 0;
};

std::unique_ptr<CDibImage> Frame(int32_t size, uint8_t index) {
    auto image = std::make_unique<CDibImage>(FormatBmp);
    image->AllocateDib(size, size, 8, FormatBmp);
    for (uint32_t i = 0; i < 256; ++i)
        image->SetPaletteEntry(i, RgbQuad{static_cast<uint8_t>(i), 0, 0, 0});
    for (int32_t y = 0; y < size; ++y)
        std::memset(image->Row(y), index, static_cast<size_t>(size));
    image->SetGifCompression(GifLzw);
    return image;
}

} // namespace

TEST(LargeStream, AnAnimationPastFourGibibytesRewritesItsFieldsInPlace) {
    constexpr int64_t kGap = int64_t{5} << 30;
    SparseStream file;
    CDibImageGif writer;
    auto first = Frame(20, 1), second = Frame(10, 2), third = Frame(30, 3);
    ASSERT_TRUE(writer.AddAnimationFrame(&file, *first, false));
    file.Skip(kGap);
    ASSERT_TRUE(writer.AddAnimationFrame(&file, *second, false));
    const int64_t thirdStart = file.Tell();
    ASSERT_GT(thirdStart, kGap);
    ASSERT_TRUE(writer.AddAnimationFrame(&file, *third, false));
    ASSERT_TRUE(writer.EndAnimation(&file)) << writer.LastError();

    // The screen grew to the third frame: its size stands at bytes 6 to 9.
    EXPECT_EQ(file.At(6) | file.At(7) << 8, 30);
    EXPECT_EQ(file.At(8) | file.At(9) << 8, 30);
    // The third frame's graphic control: after it the first frame comes
    // back (the loop) and does not cover it, so it gives its area back.
    ASSERT_EQ(file.At(thirdStart), 0x21);
    ASSERT_EQ(file.At(thirdStart + 1), 0xF9);
    EXPECT_EQ((file.At(thirdStart + 3) >> 2) & 7, 2);
    // Nothing went anywhere else: the file ends with its trailer.
    EXPECT_EQ(file.At(file.Size() - 1), 0x3B);
    EXPECT_LT(file.Size() - thirdStart, 1000);
}
