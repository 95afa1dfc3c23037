// The Windows boundary under Wine: device-dependent bitmaps through
// GetDIBits, packed DIBs in global memory, and files read back by decoders
// that are not ours (OleLoadPicture for GIF, BMP and JPEG; libpng for PNG).
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "tests/common/Decoders.h"
#include "tests/common/Files.h"

using namespace vistrel;

namespace {

constexpr int kWidth = 53;
constexpr int kHeight = 29;

std::string TempFile(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "vistrel-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

// A screen-compatible bitmap with flat areas, stripes and single pixels.
HBITMAP DrawScreenBitmap() {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kHeight);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 128, 255), RGB(250, 250, 250), RGB(12, 34, 56)};
    for (int i = 0; i < 4; ++i) {
        RECT r{i * kWidth / 4, 0, (i + 1) * kWidth / 4 + 1, kHeight};
        HBRUSH brush = CreateSolidBrush(colours[i]);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    }
    for (int i = 0; i < 40; ++i) {
        SetPixel(dc, (i * 7) % kWidth, (i * 5) % kHeight, RGB(i * 6, 255 - i * 5, i * 3));
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

double MeanDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size() || a.empty()) {
        return 256;
    }
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            sum += std::abs(int((a[i] >> shift) & 255) - int((b[i] >> shift) & 255));
        }
    }
    return sum / (3.0 * a.size());
}

int MaxDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int worst = a.size() == b.size() ? 0 : 256;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            worst = std::max(worst, std::abs(int((a[i] >> shift) & 255) - int((b[i] >> shift) & 255)));
        }
    }
    return worst;
}

} // namespace

TEST(WinBoundary, ScreenBitmapThroughGetDIBitsToFiles) {
    ComScope com;
    HBITMAP bitmap = DrawScreenBitmap();
    const std::vector<uint32_t> expected = PixelsOf(bitmap, kWidth, kHeight);
    CDibImage image(FormatBmp);
    image.ImportBitmap(bitmap);
    DeleteObject(bitmap);
    ASSERT_TRUE(image.HasPixels());
    EXPECT_EQ(image.BitsPerPixel(), 24); // a 32-bit screen bitmap
    EXPECT_STREQ(image.LastError(), "");

    struct Case {
        uint32_t format;
        const char* name;
        int tolerance;
    } cases[] = {{FormatBmp, "screen.bmp", 0}, {FormatJpeg, "screen.jpg", 16}, {FormatPng, "screen.png", 0}};
    for (const Case& c : cases) {
        const std::string path = TempFile(c.name);
        ASSERT_TRUE(image.SaveToFile(path.c_str(), c.format)) << c.name << ": " << image.LastError();
        int w = 0, h = 0;
        const std::vector<uint32_t> got =
            c.format == FormatPng ? DecodePng(path, w, h) : DecodeWithOle(path, w, h);
        EXPECT_EQ(w, kWidth) << c.name;
        EXPECT_EQ(h, kHeight) << c.name;
        if (c.tolerance == 0) {
            EXPECT_EQ(MaxDifference(got, expected), 0) << c.name;
        } else {
            // Lossy: isolated pixels and edges blur; flat areas keep their colour.
            EXPECT_LE(MeanDifference(got, expected), c.tolerance) << c.name;
            for (int i = 0; i < 4; ++i) {
                const size_t centre = static_cast<size_t>(kHeight / 2) * kWidth + (2 * i + 1) * kWidth / 8;
                EXPECT_LE(MaxDifference({got.at(centre)}, {expected.at(centre)}), 24)
                    << c.name << " area " << i;
            }
        }
        DeleteFileA(path.c_str());
    }
}

TEST(WinBoundary, PaletteDibHandleToGifEveryCoder) {
    ComScope com;
    // An 8-bit packed DIB in movable memory, as the animated output makes it.
    const int stride = (kWidth + 3) & ~3;
    const SIZE_T size =
        sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD) + static_cast<SIZE_T>(stride) * kHeight;
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(handle));
    header->biSize = sizeof *header;
    header->biWidth = kWidth;
    header->biHeight = kHeight;
    header->biPlanes = 1;
    header->biBitCount = 8;
    header->biXPelsPerMeter = 3780;
    auto* table = reinterpret_cast<RGBQUAD*>(header + 1);
    for (int i = 0; i < 256; ++i) {
        table[i] = RGBQUAD{BYTE(i), BYTE(255 - i), BYTE(i * 3), 0};
    }
    auto* rows = reinterpret_cast<BYTE*>(table + 256);
    std::vector<uint32_t> expected;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const BYTE index = static_cast<BYTE>((x / 5 + y * 3) % 256);
            rows[(kHeight - 1 - y) * stride + x] = index; // bottom-up
            expected.push_back((table[index].rgbRed << 16) | (table[index].rgbGreen << 8) |
                               table[index].rgbBlue);
        }
    }
    GlobalUnlock(handle);

    CDibImage image(FormatGif);
    ASSERT_TRUE(image.ImportDibHandle(handle));
    EXPECT_EQ(image.Info().xDpi, 96);
    for (uint32_t coder : {0u, 1u, 2u}) {
        image.SetGifCompression(coder);
        const std::string path = TempFile(("dib" + std::to_string(coder) + ".gif").c_str());
        ASSERT_TRUE(image.SaveToFile(path.c_str(), FormatGif)) << image.LastError();
        int w = 0, h = 0;
        const std::vector<uint32_t> got = DecodeWithOle(path, w, h);
        EXPECT_EQ(w, kWidth);
        EXPECT_EQ(h, kHeight);
        EXPECT_EQ(MaxDifference(got, expected), 0) << "coder " << coder;
        DeleteFileA(path.c_str());
    }

    // A handle smaller than the block it declares is refused.
    HGLOBAL small = GlobalAlloc(GMEM_MOVEABLE, 100);
    std::memcpy(GlobalLock(small), header, 40);
    GlobalUnlock(small);
    EXPECT_FALSE(image.ImportDibHandle(small));
    EXPECT_FALSE(image.HasPixels());
    EXPECT_FALSE(image.ImportDibHandle(nullptr));
    GlobalFree(small);
    GlobalFree(handle);
}

TEST(WinBoundary, BitFieldDibFromGdiBecomesTrueColour) {
    HBITMAP bitmap = DrawScreenBitmap();
    const std::vector<uint32_t> expected = PixelsOf(bitmap, kWidth, kHeight);
    // GDI converts the picture into a 5-6-5 DIB section; its bits, behind a
    // header and the three masks, make the packed DIB.
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = kWidth;
    info.header.biHeight = kHeight;
    info.header.biPlanes = 1;
    info.header.biBitCount = 16;
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP section =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(section, nullptr);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    HGDIOBJ oldFrom = SelectObject(from, bitmap);
    HGDIOBJ oldTo = SelectObject(to, section);
    BitBlt(to, 0, 0, kWidth, kHeight, from, 0, 0, SRCCOPY);
    GdiFlush();
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    ReleaseDC(nullptr, screen);

    const int stride = ((kWidth + 1) / 2) * 4;
    const SIZE_T size = sizeof info + static_cast<SIZE_T>(stride) * kHeight;
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, size);
    auto* block = static_cast<uint8_t*>(GlobalLock(handle));
    std::memcpy(block, &info, sizeof info);
    std::memcpy(block + sizeof info, bits, static_cast<size_t>(stride) * kHeight);
    GlobalUnlock(handle);
    DeleteObject(section);
    DeleteObject(bitmap);

    CDibImage image(FormatBmp);
    ASSERT_TRUE(image.ImportDibHandle(handle));
    GlobalFree(handle);
    EXPECT_EQ(image.BitsPerPixel(), 24);
    // Each channel keeps its top 5 or 6 bits.
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const RgbQuad c = image.PixelColourAt(x, kHeight - 1 - y);
            const uint32_t e = expected[static_cast<size_t>(y) * kWidth + x];
            ASSERT_EQ(c.rgbRed, (e >> 16) & 0xF8) << x << "," << y;
            ASSERT_EQ(c.rgbGreen, (e >> 8) & 0xFC) << x << "," << y;
            ASSERT_EQ(c.rgbBlue, e & 0xF8) << x << "," << y;
        }
    }
}
