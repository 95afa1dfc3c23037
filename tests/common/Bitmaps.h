#pragma once

// Test captures: bitmaps compatible with the screen, as a real capture is,
// painted with flat colours.

#include <windows.h>

#include <initializer_list>

#include "win/Handles.h"

struct ColourPatch {
    RECT rect;
    COLORREF colour;
};

// Painted with `patches` in order, later ones over earlier ones.
inline win::GdiObject<HBITMAP> MakeTestBitmap(int width, int height,
                                              std::initializer_list<ColourPatch> patches) {
    HDC screen = GetDC(nullptr);
    win::GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen, width, height));
    win::OwnedDC memory(CreateCompatibleDC(screen));
    ReleaseDC(nullptr, screen);
    win::SelectionRestore selected(memory.get(), bitmap.get());
    for (const ColourPatch& patch : patches) {
        win::GdiObject<HBRUSH> brush(CreateSolidBrush(patch.colour));
        FillRect(memory.get(), &patch.rect, brush.get());
    }
    return bitmap;
}

// One colour all over.
inline win::GdiObject<HBITMAP> MakeTestBitmap(int width, int height, COLORREF colour) {
    return MakeTestBitmap(width, height, {{RECT{0, 0, width, height}, colour}});
}
