// The two benchmark pictures, 1920x1080: a synthetic desktop and a noisy
// photo-like one. Shared by imgbench and the tests that check the coders'
// bytes on exactly what is measured.
#pragma once

#include <cstdint>

#include "image/DibImage.h"

namespace vistrel::bench {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

// xorshift, so the pictures are the same in every run.
inline uint32_t NextRandom(uint32_t& seed) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    return seed;
}

// A desktop: background gradient, windows with title-bar gradients, flat
// client areas holding lines of text-like glyphs, a task bar.
inline void MakeDesktop(CDibImage& image, bool indexed) {
    image.AllocateDib(kWidth, kHeight, indexed ? 8 : 24, FormatBmp);
    if (indexed) {
        for (uint32_t i = 0; i < 256; ++i) {
            image.SetPaletteEntry(
                i, RgbQuad{uint8_t((i & 7) * 36), uint8_t(((i >> 3) & 7) * 36), uint8_t((i >> 6) * 85), 0});
        }
    }
    auto put = [&](int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) {
        const int32_t row = kHeight - 1 - y;
        if (indexed) {
            image.Row(row)[x] = static_cast<uint8_t>((b >> 5) | ((g >> 5) << 3) | ((r >> 6) << 6));
        } else {
            uint8_t* p = image.Row(row) + 3 * x;
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    };
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            put(x, y, 0, static_cast<uint8_t>(60 + y / 8), static_cast<uint8_t>(120 + x / 16));
        }
    }
    uint32_t seed = 777;
    for (int w = 0; w < 6; ++w) {
        const int32_t left = 40 + w * 250, top = 30 + w * 120, right = left + 900, bottom = top + 600;
        for (int32_t y = top; y < bottom && y < kHeight - 40; ++y) {
            for (int32_t x = left; x < right && x < kWidth; ++x) {
                if (y < top + 28) {
                    put(x, y, 10, static_cast<uint8_t>(40 + (x - left) / 6), 200); // title bar
                } else {
                    put(x, y, 240, 240, 240);
                }
            }
        }
        // Lines of "text": glyphs of 7x11 cells with pseudo-random strokes.
        for (int32_t line = top + 40; line + 12 < bottom && line + 12 < kHeight - 40; line += 16) {
            for (int32_t gx = left + 8; gx + 8 < right && gx + 8 < kWidth; gx += 8) {
                if (NextRandom(seed) % 9 == 0) {
                    continue; // a space
                }
                const uint32_t glyph = NextRandom(seed);
                for (int32_t cy = 0; cy < 11; ++cy) {
                    for (int32_t cx = 0; cx < 6; ++cx) {
                        if ((glyph >> ((cy * 3 + cx) % 31)) & 1 && (cx == 0 || cy % 5 == 0 || cx == 5)) {
                            put(gx + cx, line + cy, 0, 0, 0);
                        }
                    }
                }
            }
        }
    }
    for (int32_t y = kHeight - 40; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            put(x, y, 200, 200, 210);
        }
    }
}

// A photo-like image: smooth shapes plus sensor noise.
inline void MakeNoisy(CDibImage& image, bool indexed) {
    image.AllocateDib(kWidth, kHeight, indexed ? 8 : 24, FormatBmp);
    if (indexed) {
        for (uint32_t i = 0; i < 256; ++i) {
            image.SetPaletteEntry(
                i, RgbQuad{uint8_t((i & 7) * 36), uint8_t(((i >> 3) & 7) * 36), uint8_t((i >> 6) * 85), 0});
        }
    }
    uint32_t seed = 4242;
    for (int32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = image.Row(y);
        for (int32_t x = 0; x < kWidth; ++x) {
            const int n = static_cast<int>(NextRandom(seed) % 41) - 20;
            auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
            const uint8_t r = clamp(128 + (x - 960) * (y - 540) / 4000 + n);
            const uint8_t g = clamp(90 + x / 12 + n);
            const uint8_t b = clamp(200 - y / 6 + n);
            if (indexed) {
                row[x] = static_cast<uint8_t>((b >> 5) | ((g >> 5) << 3) | ((r >> 6) << 6));
            } else {
                row[3 * x] = b;
                row[3 * x + 1] = g;
                row[3 * x + 2] = r;
            }
        }
    }
}

} // namespace vistrel::bench
