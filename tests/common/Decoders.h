#pragma once

// Windows test programs reading pictures back with decoders that are not
// ours: OLE Automation's picture loader (BMP, GIF, JPEG) and libpng (PNG),
// as 0x00RRGGBB pixels, top row first.

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/common/Files.h"

struct ComScope {
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
};

// Top-down 0x00RRGGBB pixels of any bitmap, through GDI itself.
inline std::vector<uint32_t> PixelsOf(HBITMAP bitmap, int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC dc = GetDC(nullptr);
    const int lines = GetDIBits(dc, bitmap, 0, height, pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(lines, height);
    for (uint32_t& p : pixels) {
        p &= 0xFFFFFF;
    }
    return pixels;
}

// A file decoded by OLE Automation's picture loader, as pixels.
inline std::vector<uint32_t> DecodeWithOle(const std::string& path, int& width, int& height) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    std::vector<uint32_t> pixels;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return pixels;
    }
    IPicture* picture = nullptr;
    const HRESULT hr = OleLoadPicture(stream, static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                                      reinterpret_cast<void**>(&picture));
    stream->Release();
    if (FAILED(hr) || !picture) {
        ADD_FAILURE() << "OleLoadPicture failed on " << path << ": " << std::hex << hr;
        return pixels;
    }
    OLE_HANDLE handle = 0;
    picture->get_Handle(&handle);
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    BITMAP bm{};
    GetObject(bitmap, sizeof bm, &bm);
    width = bm.bmWidth;
    height = bm.bmHeight;
    pixels = PixelsOf(bitmap, width, height);
    picture->Release();
    return pixels;
}

inline std::vector<uint32_t> DecodePng(const std::string& path, int& width, int& height) {
    std::vector<uint32_t> pixels;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        return pixels;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return {};
    }
    png_init_io(png, f);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_alpha(png);
    png_read_update_info(png, info);
    width = static_cast<int>(png_get_image_width(png, info));
    height = static_cast<int>(png_get_image_height(png, info));
    std::vector<uint8_t> row(png_get_rowbytes(png, info));
    for (int y = 0; y < height; ++y) {
        png_read_row(png, row.data(), nullptr);
        for (int x = 0; x < width; ++x) {
            pixels.push_back((row[3 * x] << 16) | (row[3 * x + 1] << 8) | row[3 * x + 2]);
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return pixels;
}
