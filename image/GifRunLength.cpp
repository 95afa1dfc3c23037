// Run-length GIF coder. It keeps no string table: it emits literal pixel codes
// and codes that the decoder's table is known to hold as runs of one pixel.
// After a clear, a literal p followed by the codes first, first + 1, ... makes
// the decoder build runs of p of lengths 2, 3, ...; long runs are sent as such
// "triangles", and a clear is spent whenever that is cheaper than repeating.
#include "image/DibImageGif.h"
#include "image/GifCodeWriter.h"

#include <cstring>

namespace vistrel {

namespace {

// The per-code steps sit on the hot path of every run.
#if defined(__GNUC__)
#define VISTREL_HOT_INLINE __attribute__((always_inline)) inline
#else
#define VISTREL_HOT_INLINE inline
#endif

unsigned IntegerSqrt(unsigned x) {
    if (x < 2) {
        return x;
    }
    unsigned r = 1;
    for (unsigned v = x; v; v >>= 2) {
        r <<= 1;
    }
    for (;;) {
        const unsigned v = (x / r + r) / 2;
        if (v == r || v == r + 1) {
            return r;
        }
        r = v;
    }
}

// The smallest k with k(k + 1) >= 2r, for the short runs that dominate.
constexpr unsigned kSmallRuns = 4096;
struct SmallTriangleTable {
    uint8_t k[kSmallRuns];
    constexpr SmallTriangleTable() : k() {
        unsigned n = 0;
        for (unsigned r = 0; r < kSmallRuns; ++r) {
            while (n * (n + 1) < 2 * r) {
                ++n;
            }
            k[r] = static_cast<uint8_t>(n);
        }
    }
};
constexpr SmallTriangleTable kSmallTriangle{};

// Codes needed to send a run of `count` as triangles of at most `codes` codes.
unsigned TriangleCost(unsigned long long count, unsigned codes) {
    if (count<kSmallRuns&& static_cast<unsigned long long>(codes) * (codes + 1) / 2> count) {
        return kSmallTriangle.k[count];
    }
    const unsigned long long per = static_cast<unsigned long long>(codes) * (codes + 1) / 2;
    unsigned long long cost = count / per * codes;
    const unsigned r = static_cast<unsigned>(count % per);
    if (r > 0 && r < kSmallRuns) {
        cost += kSmallTriangle.k[r];
    } else if (r > 0) {
        unsigned n = IntegerSqrt(r);
        while (static_cast<unsigned long long>(n) * (n + 1) >= 2ull * r) {
            --n;
        }
        while (static_cast<unsigned long long>(n) * (n + 1) < 2ull * r) {
            ++n;
        }
        cost += n;
    }
    return cost > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned>(cost);
}

class RunLengthCoder {
public:
    RunLengthCoder(CByteStream* file, int initBits)
        : blocks_(file), widthInit_(initBits), clearCode_(1 << (initBits - 1)), endCode_(clearCode_ + 1),
          baseCode_(endCode_ + 1), bumpInit_((1 << (initBits - 1)) - 1),
          clearInit_(initBits <= 3 ? 9 : bumpInit_ - 1), maxCodes_((1 << 12) - ((1 << (initBits - 1)) + 3)) {
        DidClear();
        Output(clearCode_);
    }

    void Run(CDibImageGif& image) {
        int pixel = 0;
        unsigned long long count = 0;
        const uint8_t* span;
        size_t n;
        while ((n = image.NextSpan(span)) > 0) {
            const uint8_t* end = span + n;
            while (span < end) {
                const uint8_t c = *span;
                const uint8_t* runEnd = RunEnd(span + 1, end, c);
                if (c == pixel) {
                    count += static_cast<unsigned long long>(runEnd - span);
                } else {
                    if (count > 0) {
                        Flush(pixel, count);
                    }
                    pixel = c;
                    count = static_cast<unsigned long long>(runEnd - span);
                }
                span = runEnd;
            }
        }
        if (count > 0) {
            Flush(pixel, count);
        }
        Output(endCode_);
        while (bits_ > 0) {
            blocks_.Put(static_cast<uint8_t>(buffer_));
            buffer_ >>= 8;
            bits_ -= 8;
        }
        blocks_.Write();
    }

private:
    // Where a run of `c` starting before `p` ends: eight pixels at a time
    // through the flat areas that make up most screens.
    static const uint8_t* RunEnd(const uint8_t* p, const uint8_t* end, uint8_t c) {
        const uint64_t pattern = 0x0101010101010101ull * c;
        while (end - p >= 8) {
            uint64_t word;
            std::memcpy(&word, p, 8);
            const uint64_t diff = word ^ pattern;
            if (diff) {
                return p + (__builtin_ctzll(diff) >> 3);
            }
            p += 8;
        }
        while (p < end && *p == c) {
            ++p;
        }
        return p;
    }

    // Codes gather in a 64-bit buffer and leave it four bytes at a time.
    VISTREL_HOT_INLINE void Output(int code) {
        buffer_ |= static_cast<uint64_t>(code) << bits_;
        bits_ += width_;
        if (bits_ >= 32) {
            blocks_.Put4(static_cast<uint32_t>(buffer_));
            buffer_ >>= 32;
            bits_ -= 32;
        }
    }

    void DidClear() {
        width_ = widthInit_;
        bump_ = bumpInit_;
        clearAt_ = clearInit_;
        codesSinceClear_ = 0;
        tableLength_ = 0;
        justCleared_ = true;
    }
    VISTREL_HOT_INLINE void OutputPlain(int code) {
        justCleared_ = false;
        Output(code);
        ++codesSinceClear_;
        if (codesSinceClear_ >= bump_) {
            ++width_;
            bump_ += 1 << (width_ - 1);
        }
        if (codesSinceClear_ >= clearAt_) {
            Output(clearCode_);
            DidClear();
        }
    }
    void RestoreClearAt() {
        clearAt_ = clearInit_;
        if (codesSinceClear_ >= clearAt_) {
            Output(clearCode_);
            DidClear();
        }
    }

    void FlushFromClear(int pixel, unsigned long long count) {
        clearAt_ = maxCodes_;
        tablePixel_ = pixel;
        unsigned long long n = 1;
        while (count > 0) {
            if (n == 1) {
                tableLength_ = 1;
                OutputPlain(pixel);
                --count;
            } else if (count >= n) {
                tableLength_ = static_cast<int>(n);
                OutputPlain(baseCode_ + static_cast<int>(n) - 2);
                count -= n;
            } else if (count == 1) {
                ++tableLength_;
                OutputPlain(pixel);
                count = 0;
            } else {
                ++tableLength_;
                OutputPlain(baseCode_ + static_cast<int>(count) - 2);
                count = 0;
            }
            n = codesSinceClear_ == 0 ? 1 : n + 1;
        }
        RestoreClearAt();
    }

    void FlushClearOrRepeat(int pixel, unsigned long long count) {
        // Up to 4 pixels a clear never pays: 1 + TriangleCost(L) >= L there.
        if (count <= 4) {
            for (; count > 0; --count) {
                OutputPlain(pixel);
            }
            return;
        }
        const unsigned long long withClear = 1ull + TriangleCost(count, maxCodes_);
        if (withClear < count) {
            Output(clearCode_);
            DidClear();
            FlushFromClear(pixel, count);
        } else {
            for (; count > 0; --count) {
                OutputPlain(pixel);
            }
        }
    }

    void FlushWithTable(int pixel, unsigned long long count) {
        const unsigned long long table = static_cast<unsigned long long>(tableLength_);
        if (count < table) {
            // One code covers it, and a clear (at least one more code) never pays.
            clearAt_ = maxCodes_;
            OutputPlain(count == 1 ? pixel : baseCode_ + static_cast<int>(count) - 2);
            RestoreClearAt();
            return;
        }
        // Most runs are shorter than the table's longest: no division then.
        unsigned long long repeats = 0;
        unsigned long long leftover = count;
        if (count >= table) {
            // A 32-bit division where it fits: it is much cheaper.
            if (count <= 0xFFFFFFFFull) {
                repeats = static_cast<uint32_t>(count) / static_cast<uint32_t>(table);
                leftover = static_cast<uint32_t>(count) % static_cast<uint32_t>(table);
            } else {
                repeats = count / table;
                leftover = count % table;
            }
        }
        unsigned long long extra = leftover ? 1 : 0;
        if (codesSinceClear_ + repeats + extra > static_cast<unsigned long long>(maxCodes_)) {
            repeats = maxCodes_ - codesSinceClear_;
            leftover = count - repeats * tableLength_;
            extra = 1ull + TriangleCost(leftover, maxCodes_);
        }
        if (1ull + TriangleCost(count, maxCodes_) < repeats + extra) {
            Output(clearCode_);
            DidClear();
            FlushFromClear(pixel, count);
            return;
        }
        clearAt_ = maxCodes_;
        for (; repeats > 0; --repeats) {
            OutputPlain(baseCode_ + tableLength_ - 2);
        }
        if (leftover) {
            if (justCleared_) {
                FlushFromClear(pixel, leftover);
            } else if (leftover == 1) {
                OutputPlain(pixel);
            } else {
                OutputPlain(baseCode_ + static_cast<int>(leftover) - 2);
            }
        }
        RestoreClearAt();
    }

    void Flush(int pixel, unsigned long long count) {
        if (count == 1) {
            OutputPlain(pixel);
        } else if (justCleared_) {
            FlushFromClear(pixel, count);
        } else if (tableLength_ < 2 || tablePixel_ != pixel) {
            FlushClearOrRepeat(pixel, count);
        } else {
            FlushWithTable(pixel, count);
        }
    }

    GifSubBlocks<255> blocks_;
    const int widthInit_;
    const int clearCode_;
    const int endCode_;
    const int baseCode_;
    const int bumpInit_;
    const int clearInit_;
    const int maxCodes_;
    int width_ = 0;
    int bump_ = 0;
    int clearAt_ = 0;
    int codesSinceClear_ = 0;
    int tableLength_ = 0;
    int tablePixel_ = 0;
    bool justCleared_ = true;
    uint64_t buffer_ = 0;
    int bits_ = 0;
};

} // namespace

void CDibImageGif::CompressRunLength(int initBits, CByteStream* file) {
    RunLengthCoder coder(file, initBits);
    coder.Run(*this);
}

} // namespace vistrel
