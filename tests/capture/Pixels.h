#pragma once

// A captured bitmap's pixels as the tests read them back.

#include <windows.h>

#include <vector>

struct Pixels {
    int width = 0, height = 0;
    std::vector<DWORD> data; // top-down, 0x00RRGGBB

    COLORREF At(int x, int y) const {
        DWORD p = data[static_cast<size_t>(y) * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

inline Pixels Read(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    Pixels pixels;
    pixels.width = info.bmWidth;
    pixels.height = info.bmHeight;
    pixels.data.resize(static_cast<size_t>(info.bmWidth) * info.bmHeight);
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, info.bmHeight, pixels.data.data(), &header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return pixels;
}
