// DIB conversions and the BMP writer on bitmaps of known colours.

#include "output/DibUtils.h"
#include "tests/common/Bitmaps.h"
#include "tests/common/Files.h"
#include "tests/common/ImportPatch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

int DisplayDepth() {
    HDC screen = GetDC(nullptr);
    int depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    return depth;
}

// A screen-compatible bitmap: top half red, bottom half green.
win::GdiObject<HBITMAP> MakeCapture(int width, int height) {
    return MakeTestBitmap(
        width, height, {{RECT{0, 0, width, height / 2}, kRed}, {RECT{0, height / 2, width, height}, kGreen}});
}

// Colour of pixel (x, y), y counted from the top, of a locked packed DIB.
COLORREF DibPixel(const BYTE* dib, int x, int y) {
    auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    auto* table = reinterpret_cast<const RGBQUAD*>(dib + h->biSize);
    const BYTE* row = dib + h->biSize + DibColourTableSize(*h) * 4 +
                      static_cast<size_t>(h->biHeight - 1 - y) * DibRowSize(h->biWidth, h->biBitCount);
    switch (h->biBitCount) {
    case 8: {
        RGBQUAD q = table[row[x]];
        return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    case 24:
        return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    case 32:
        return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    }
    return CLR_INVALID;
}

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

TEST(DibFromBitmap, MakesEveryDepthWithTheRightLayout) {
    auto bitmap = MakeCapture(33, 10);
    Palette palette = CreateScreenPalette();
    for (int bits : {1, 4, 8, 24, 32}) {
        win::GlobalMemory dib = DibFromBitmap(bitmap.get(), bits, palette.get());
        ASSERT_TRUE(dib) << bits;
        win::GlobalLockGuard lock(dib.get());
        auto* h = static_cast<const BITMAPINFOHEADER*>(lock.data());
        EXPECT_EQ(h->biSize, 40u);
        EXPECT_EQ(h->biWidth, 33);
        EXPECT_EQ(h->biHeight, 10);
        EXPECT_EQ(h->biPlanes, 1);
        EXPECT_EQ(h->biBitCount, bits);
        EXPECT_EQ(h->biCompression, static_cast<DWORD>(BI_RGB));
        const DWORD row = bits == 1 ? 8 : bits == 4 ? 20 : bits == 8 ? 36 : bits == 24 ? 100 : 132;
        EXPECT_EQ(DibRowSize(33, bits), row) << bits;
        EXPECT_GE(GlobalSize(dib.get()), 40 + DibColourTableSize(*h) * 4 + row * 10) << bits;
        if (bits >= 8) {
            EXPECT_EQ(DibPixel(static_cast<const BYTE*>(lock.data()), 0, 0), kRed) << bits;
            EXPECT_EQ(DibPixel(static_cast<const BYTE*>(lock.data()), 32, 9), kGreen) << bits;
        }
    }
}

TEST(DibFromBitmap, RefusesMissingBitmapsAndOddDepths) {
    auto bitmap = MakeCapture(4, 4);
    EXPECT_FALSE(DibFromBitmap(nullptr, 24, nullptr));
    for (int bits : {0, 2, 16, 48})
        EXPECT_FALSE(DibFromBitmap(bitmap.get(), bits, nullptr)) << bits;
}

TEST(ClipboardDib, IsTwentyFourBitsFromADeepDisplayAndConvertsBack) {
    auto bitmap = MakeCapture(1, 6);
    win::GlobalMemory dib = ClipboardDibFromBitmap(bitmap.get(), nullptr);
    ASSERT_TRUE(dib);
    {
        win::GlobalLockGuard lock(dib.get());
        auto* h = static_cast<const BITMAPINFOHEADER*>(lock.data());
        const int depth = DisplayDepth();
        EXPECT_EQ(h->biBitCount, depth > 8 ? 24 : 8);
        if (depth > 8) {
            // Rows of one pixel: three bytes padded to four, the bottom row first.
            const BYTE* rows = static_cast<const BYTE*>(lock.data()) + 40;
            EXPECT_EQ(rows[1], 255) << "bottom row green";
            EXPECT_EQ(rows[4 * 5 + 2], 255) << "top row red, five padded rows up";
            EXPECT_EQ(rows[4 * 5 + 1], 0);
        }
        EXPECT_EQ(DibPixel(static_cast<const BYTE*>(lock.data()), 0, 0), kRed);
        EXPECT_EQ(DibPixel(static_cast<const BYTE*>(lock.data()), 0, 5), kGreen);
    }
    win::GdiObject<HBITMAP> back = BitmapFromDib(dib.get(), nullptr);
    ASSERT_TRUE(back);
    win::GlobalMemory again = DibFromBitmap(back.get(), 24, nullptr);
    win::GlobalLockGuard lock(again.get());
    EXPECT_EQ(DibPixel(static_cast<const BYTE*>(lock.data()), 0, 0), kRed);
    EXPECT_EQ(DibPixel(static_cast<const BYTE*>(lock.data()), 0, 5), kGreen);
    EXPECT_FALSE(BitmapFromDib(nullptr, nullptr));
}

TEST(SaveBitmapFile, WritesTheDisplayDepthWithACorrectHeader) {
    const std::string path = TempPath("vistrel-dib-test.bmp");
    auto bitmap = MakeCapture(21, 8);
    Palette palette = CreateScreenPalette();
    ASSERT_TRUE(SaveBitmapFile(bitmap.get(), palette.get(), path.c_str()));
    std::vector<BYTE> bytes = ReadFileBytes(path);
    ASSERT_GT(bytes.size(), 54u);

    const int depth = DisplayDepth();
    const int expectedBits = depth <= 8 ? 8 : depth <= 24 ? 24 : 32;
    const DWORD table = expectedBits == 8 ? 1024 : 0;
    const DWORD pixels = DibRowSize(21, expectedBits) * 8;
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(ValueAt<DWORD>(bytes, 2), bytes.size());
    EXPECT_EQ(ValueAt<DWORD>(bytes, 2), 54 + table + pixels);
    EXPECT_EQ(ValueAt<DWORD>(bytes, 10), 54 + table);
    EXPECT_EQ(ValueAt<WORD>(bytes, 28), expectedBits);
    EXPECT_EQ(ValueAt<DWORD>(bytes, 30), 0u);
    EXPECT_EQ(ValueAt<DWORD>(bytes, 34), pixels);
    EXPECT_EQ(DibPixel(bytes.data() + 14, 0, 0), kRed);
    EXPECT_EQ(DibPixel(bytes.data() + 14, 20, 7), kGreen);

    // The platform's own reader agrees.
    win::GdiObject<HBITMAP> loaded(static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    ASSERT_TRUE(loaded);
    BITMAP info{};
    GetObjectA(loaded.get(), sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 21);
    EXPECT_EQ(info.bmHeight, 8);
    DeleteFileA(path.c_str());
}

TEST(WriteDibFile, ReportsMissingDibAndUnwritablePath) {
    EXPECT_EQ(WriteDibFile(nullptr, "x.bmp"), kWriteDibNoDib);
    auto bitmap = MakeCapture(4, 4);
    win::GlobalMemory dib = DibFromBitmap(bitmap.get(), 24, nullptr);
    ASSERT_TRUE(dib);
    const std::string missing = TempPath("no-such-dir-vistrel\\a.bmp");
    EXPECT_EQ(WriteDibFile(dib.get(), missing.c_str()), kWriteDibCannotWrite);
    EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);

    // A file another program holds open without sharing: left alone.
    const std::string locked = TempPath("vistrel-in-use.bmp");
    FILE* f = std::fopen(locked.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("keep", f);
    std::fclose(f);
    {
        win::File inUse(CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(inUse);
        EXPECT_EQ(WriteDibFile(dib.get(), locked.c_str()), kWriteDibCannotWrite);
    }
    EXPECT_EQ(ReadFileBytes(locked).size(), 4u);
    DeleteFileA(locked.c_str());
}

// GDI as some drivers answer: a 24-bit GetDIBits that leaves a colour count
// in the header.
using GetDIBitsFunction = int(WINAPI*)(HDC, HBITMAP, UINT, UINT, LPVOID, LPBITMAPINFO, UINT);
GetDIBitsFunction realGetDIBits = nullptr;

int WINAPI GetDIBitsLeavingColourCount(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits,
                                       LPBITMAPINFO info, UINT usage) {
    const int result = realGetDIBits(dc, bitmap, start, lines, bits, info, usage);
    if (info->bmiHeader.biBitCount == 24)
        info->bmiHeader.biClrUsed = 7;
    return result;
}

TEST(DibFromBitmap, AColourCountLeftByGdiDoesNotMoveThePixels) {
    win::GlobalMemory dib;
    {
        ImportPatch patch("gdi32.dll", "GetDIBits",
                          reinterpret_cast<const void*>(&GetDIBitsLeavingColourCount));
        ASSERT_TRUE(patch.ok()) << "GetDIBits not found among the program's imports";
        realGetDIBits = patch.real<GetDIBitsFunction>();
        auto bitmap = MakeCapture(5, 4);
        dib = DibFromBitmap(bitmap.get(), 24, nullptr);
    }
    ASSERT_TRUE(dib);
    const std::string path = TempPath("vistrel-clrused.bmp");
    ASSERT_EQ(WriteDibFile(dib.get(), path.c_str()), kWriteDibOk);
    EXPECT_EQ(ValueAt<DWORD>(ReadFileBytes(path), 10), 54u) << "pixel offset";
    // The platform's own reader and a bitmap made back from the DIB show the same picture.
    win::GdiObject<HBITMAP> loaded(static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    win::GdiObject<HBITMAP> back = BitmapFromDib(dib.get(), nullptr);
    DeleteFileA(path.c_str());
    ASSERT_TRUE(loaded && back);
    win::OwnedDC memory(CreateCompatibleDC(nullptr));
    for (HBITMAP shown : {loaded.get(), back.get()}) {
        win::SelectionRestore selected(memory.get(), shown);
        EXPECT_EQ(GetPixel(memory.get(), 0, 0), kRed);
        EXPECT_EQ(GetPixel(memory.get(), 4, 3), kGreen);
    }
}

TEST(CreateScreenPalette, HoldsTheSystemPaletteOnlyOnPaletteDisplays) {
    Palette palette = CreateScreenPalette();
    if (DisplayDepth() <= 8) {
        ASSERT_TRUE(palette);
        EXPECT_EQ(GetPaletteEntries(palette.get(), 0, 0, nullptr), 1u << DisplayDepth());
    } else {
        EXPECT_FALSE(palette);
    }
}

} // namespace
