// Run-length GIF coder. It keeps no string table: it emits literal pixel codes
// and codes that the decoder's table is known to hold as runs of one pixel.
// After a clear, a literal p followed by the codes first, first + 1, ... makes
// the decoder build runs of p of lengths 2, 3, ...; long runs are sent as such
// "triangles", and a clear is spent whenever that is cheaper than repeating.
#include "image/DibImageGif.h"

#include <cstring>

namespace vistrel {

namespace {

// The per-code steps sit on the hot path of every run.
// The rare steps stay out of it, so that its state can stay in registers.
#if defined(__GNUC__)
#define VISTREL_HOT_INLINE __attribute__((always_inline)) inline
#define VISTREL_OUT_OF_LINE __attribute__((noinline))
#else
#define VISTREL_HOT_INLINE inline
#define VISTREL_OUT_OF_LINE
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

void StoreLittleEndian(uint8_t* out, uint64_t value) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (int i = 0; i < 8; ++i) {
        out[i] = static_cast<uint8_t>(value >> (8 * i));
    }
#else
    std::memcpy(out, &value, 8);
#endif
}

class RunLengthCoder {
    // The state every code touches. The hot loop keeps a copy in locals and
    // hands it back to the members around the general path, which works on
    // the members.
    struct Hot {
        uint64_t buffer;
        int bits;
        uint8_t* out; // next free byte of the sub-block
        int width;
        int codes;                     // since the last clear; 0 right after one
        int calm;                      // below this count, four more codes reach no width growth or clear
        unsigned long long literalMax; // 4, or 1 right after a clear
        int tableMatch;                // the pixel whose runs the table holds, or -1 below a run of 2
        int tableLength;
    };

public:
    RunLengthCoder(CByteStream* file, int initBits)
        : file_(file), widthInit_(initBits), clearCode_(1 << (initBits - 1)), endCode_(clearCode_ + 1),
          baseCode_(endCode_ + 1), bumpInit_((1 << (initBits - 1)) - 1),
          clearInit_(initBits <= 3 ? 9 : bumpInit_ - 1), maxCodes_((1 << 12) - ((1 << (initBits - 1)) + 3)) {
        hot_.buffer = 0;
        hot_.bits = 0;
        hot_.out = block_ + 1;
        DidClear();
        Output(clearCode_);
        Settle();
    }

    void Run(CDibImageGif& image) {
        Hot h = hot_;
        const uint8_t* span;
        size_t n = image.NextSpan(span);
        if (n > 0) {
            // The pending run, flushed when another pixel starts; it may go on
            // from one row to the next.
            int pixel = *span;
            unsigned long long count = 0;
            do {
                const uint8_t* p = span;
                const uint8_t* const end = span + n;
                if (*p == pixel) {
                    const uint8_t* runEnd = RunEnd(p + 1, end, *p);
                    count += static_cast<unsigned long long>(runEnd - p);
                    p = runEnd;
                }
                while (p < end) {
                    Flush(h, pixel, count);
                    pixel = *p;
                    const uint8_t* runEnd = RunEnd(p + 1, end, *p);
                    count = static_cast<unsigned long long>(runEnd - p);
                    p = runEnd;
                }
            } while ((n = image.NextSpan(span)) > 0);
            Flush(h, pixel, count);
        }
        hot_ = h;
        Output(endCode_);
        if (hot_.bits > 0) {
            *hot_.out++ = static_cast<uint8_t>(hot_.buffer);
        }
        if (hot_.out >= block_ + 1 + kBlock) {
            hot_.out = NextBlock(hot_.out);
        }
        if (hot_.out > block_ + 1) {
            block_[0] = static_cast<uint8_t>(hot_.out - block_ - 1);
            file_->Write(block_, 1, static_cast<size_t>(hot_.out - block_));
        }
    }

private:
    static constexpr int kBlock = 255;

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

    // Codes gather in a 64-bit buffer; each put stores all of it and keeps
    // only the bits of a byte not yet complete, so there is no branch on how
    // full the buffer is. Bytes counted past the sub-block move to the next.
    VISTREL_HOT_INLINE void Put(Hot& h, uint64_t codes, int bits) {
        h.buffer |= codes << h.bits;
        h.bits += bits;
        StoreLittleEndian(h.out, h.buffer);
        const int bytes = h.bits >> 3;
        h.out += bytes;
        h.buffer >>= 8 * bytes;
        h.bits &= 7;
        if (h.out >= block_ + 1 + kBlock) {
            h.out = NextBlock(h.out);
        }
    }

    VISTREL_OUT_OF_LINE uint8_t* NextBlock(uint8_t* out) {
        block_[0] = static_cast<uint8_t>(kBlock);
        file_->Write(block_, 1, kBlock + 1);
        const size_t over = static_cast<size_t>(out - (block_ + 1 + kBlock));
        std::memmove(block_ + 1, block_ + 1 + kBlock, over);
        return block_ + 1 + over;
    }

    // A run the general path would send as one or a few codes, none of them
    // reaching a width growth or a clear, is sent here with the same codes.
    VISTREL_HOT_INLINE void Flush(Hot& h, int pixel, unsigned long long count) {
        const bool table = pixel == h.tableMatch;
        // One code for a run the table holds whole (a literal for one pixel);
        // a run of up to four other pixels is cheaper as literals than after
        // a clear: that many literals in one put.
        if (count <= (table ? static_cast<unsigned long long>(h.tableLength) : h.literalMax) &&
            h.codes < h.calm) {
            const bool whole = table & (count != 1);
            const int codes = table ? 1 : static_cast<int>(count);
            Put(h,
                whole ? static_cast<uint64_t>(baseCode_ + static_cast<int>(count) - 2)
                      : static_cast<uint64_t>(pixel) * repeat_[count & 7],
                codes * h.width);
            h.codes += codes;
            return;
        }
        // The table's longest run and the rest: two codes never pay a clear.
        if (table && count <= 2ull * static_cast<unsigned>(h.tableLength) && h.codes < h.calm) {
            const unsigned long long rest = count - static_cast<unsigned>(h.tableLength);
            const int second = rest == 1 ? pixel : baseCode_ + static_cast<int>(rest) - 2;
            Put(h,
                static_cast<uint64_t>(baseCode_ + h.tableLength - 2) | static_cast<uint64_t>(second)
                                                                           << h.width,
                2 * h.width);
            h.codes += 2;
            return;
        }
        hot_ = h;
        FlushGeneral(pixel, count);
        h = hot_;
    }

    // The general path, on the members.
    void Output(int code) { Put(hot_, static_cast<uint64_t>(code), hot_.width); }

    void DidClear() {
        hot_.width = widthInit_;
        bump_ = bumpInit_;
        clearAt_ = clearInit_;
        hot_.codes = 0;
        hot_.tableLength = 0;
    }
    bool JustCleared() const { return hot_.codes == 0; }
    void Settle() {
        hot_.calm = (bump_ < clearAt_ ? bump_ : clearAt_) - 4;
        hot_.literalMax = JustCleared() ? 1 : 4;
        hot_.tableMatch = hot_.tableLength >= 2 ? tablePixel_ : -1;
        if (repeatWidth_ != hot_.width) {
            repeatWidth_ = hot_.width;
            for (int k = 1; k <= 4; ++k) {
                repeat_[k] = repeat_[k - 1] | 1ull << (hot_.width * (k - 1));
            }
        }
    }
    void OutputPlain(int code) {
        Output(code);
        ++hot_.codes;
        if (hot_.codes >= bump_) {
            ++hot_.width;
            bump_ += 1 << (hot_.width - 1);
        }
        if (hot_.codes >= clearAt_) {
            Output(clearCode_);
            DidClear();
        }
    }
    void RestoreClearAt() {
        clearAt_ = clearInit_;
        if (hot_.codes >= clearAt_) {
            Output(clearCode_);
            DidClear();
        }
    }

    // The codes before the next width growth or clear change nothing but the
    // count of codes: they are sent with locals, a step of the triangle (n
    // pixels for one code) or a repeat of one code at a time, as long as
    // `count` holds a whole one. The loops after them go on from there.
    void SendSteps(int pixel, unsigned long long& count, unsigned long long& n) {
        Hot h = hot_;
        const int event = bump_ < clearAt_ ? bump_ : clearAt_;
        for (; count >= n && h.codes + 1 < event; ++n) {
            Put(h, static_cast<uint64_t>(n == 1 ? pixel : baseCode_ + static_cast<int>(n) - 2), h.width);
            ++h.codes;
            h.tableLength = static_cast<int>(n);
            count -= n;
        }
        hot_ = h;
    }
    void SendRepeats(int code, unsigned long long& repeats) {
        Hot h = hot_;
        const int event = bump_ < clearAt_ ? bump_ : clearAt_;
        for (; repeats > 0 && h.codes + 1 < event; --repeats) {
            Put(h, static_cast<uint64_t>(code), h.width);
            ++h.codes;
        }
        hot_ = h;
    }

    void FlushFromClear(int pixel, unsigned long long count) {
        clearAt_ = maxCodes_;
        tablePixel_ = pixel;
        unsigned long long n = 1;
        SendSteps(pixel, count, n);
        while (count > 0) {
            if (n == 1) {
                hot_.tableLength = 1;
                OutputPlain(pixel);
                --count;
            } else if (count >= n) {
                hot_.tableLength = static_cast<int>(n);
                OutputPlain(baseCode_ + static_cast<int>(n) - 2);
                count -= n;
            } else if (count == 1) {
                ++hot_.tableLength;
                OutputPlain(pixel);
                count = 0;
            } else {
                ++hot_.tableLength;
                OutputPlain(baseCode_ + static_cast<int>(count) - 2);
                count = 0;
            }
            n = JustCleared() ? 1 : n + 1;
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
        const unsigned long long table = static_cast<unsigned long long>(hot_.tableLength);
        if (count < table) {
            // One code covers it, and a clear (at least one more code) never pays.
            clearAt_ = maxCodes_;
            OutputPlain(count == 1 ? pixel : baseCode_ + static_cast<int>(count) - 2);
            RestoreClearAt();
            return;
        }
        unsigned long long repeats = count / table;
        unsigned long long leftover = count % table;
        unsigned long long extra = leftover ? 1 : 0;
        if (hot_.codes + repeats + extra > static_cast<unsigned long long>(maxCodes_)) {
            repeats = maxCodes_ - hot_.codes;
            leftover = count - repeats * table;
            extra = 1ull + TriangleCost(leftover, maxCodes_);
        }
        if (1ull + TriangleCost(count, maxCodes_) < repeats + extra) {
            Output(clearCode_);
            DidClear();
            FlushFromClear(pixel, count);
            return;
        }
        clearAt_ = maxCodes_;
        SendRepeats(baseCode_ + hot_.tableLength - 2, repeats);
        for (; repeats > 0; --repeats) {
            OutputPlain(baseCode_ + hot_.tableLength - 2);
        }
        if (leftover) {
            if (JustCleared()) {
                FlushFromClear(pixel, leftover);
            } else if (leftover == 1) {
                OutputPlain(pixel);
            } else {
                OutputPlain(baseCode_ + static_cast<int>(leftover) - 2);
            }
        }
        RestoreClearAt();
    }

    VISTREL_OUT_OF_LINE void FlushGeneral(int pixel, unsigned long long count) {
        if (count == 1) {
            OutputPlain(pixel);
        } else if (JustCleared()) {
            FlushFromClear(pixel, count);
        } else if (hot_.tableLength < 2 || tablePixel_ != pixel) {
            FlushClearOrRepeat(pixel, count);
        } else {
            FlushWithTable(pixel, count);
        }
        Settle();
    }

    CByteStream* const file_;
    const int widthInit_;
    const int clearCode_;
    const int endCode_;
    const int baseCode_;
    const int bumpInit_;
    const int clearInit_;
    const int maxCodes_;
    Hot hot_;
    int bump_ = 0;
    int clearAt_ = 0;
    int tablePixel_ = 0;
    // Factors that repeat one literal k times at the current width.
    uint64_t repeat_[8] = {};
    int repeatWidth_ = 0;
    // A count byte, a sub-block, and room for the bytes of one store past it.
    uint8_t block_[1 + kBlock + 8];
};

} // namespace

void CDibImageGif::CompressRunLength(int initBits, CByteStream* file) {
    RunLengthCoder coder(file, initBits);
    coder.Run(*this);
}

} // namespace vistrel
