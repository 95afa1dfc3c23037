#pragma once

// Conversions between the captured screen bitmap and packed DIBs (header,
// colour table, bottom-up rows in movable global memory), and the BMP writer.

#include <windows.h>

#include "win/Handles.h"

#include <string>

using Palette = win::GdiObject<HPALETTE>;

// Result codes of WriteDibFile.
enum WriteDibResult : int {
    kWriteDibOk = 0,
    kWriteDibCannotLock = 3,
    kWriteDibCannotWrite = 4,
    kWriteDibNoDib = 20,
};

// Colour-table entries of a DIB header: biClrUsed when set, else 2, 16 or
// 256 for 1, 4 or 8 bits per pixel, none for deeper images.
DWORD DibColourTableSize(const BITMAPINFOHEADER& header);

// Bytes of one pixel row: padded to a multiple of 4.
DWORD DibRowSize(int width, int bitsPerPixel);

// The system palette as a logical palette on displays of 8 bits or fewer;
// an empty object on deeper displays, where a palette changes nothing.
Palette CreateScreenPalette();

// The bitmap as an uncompressed packed DIB of `bitsPerPixel` (1, 4, 8, 24 or
// 32) made on the screen context with `palette` realised; none on failure.
win::GlobalMemory DibFromBitmap(HBITMAP bitmap, int bitsPerPixel, HPALETTE palette);

// As DibFromBitmap at the bitmap's own depth, 32 bits becoming 24.
win::GlobalMemory ClipboardDibFromBitmap(HBITMAP bitmap, HPALETTE palette);

// A device-dependent bitmap for the screen made from a packed DIB; none on failure.
win::GdiObject<HBITMAP> BitmapFromDib(HGLOBAL dib, HPALETTE palette);

// Writes the bitmap as a BMP file at the display's depth (15/16 bits become
// 24). True only when the whole file was written; `why` then says why not.
bool SaveBitmapFile(HBITMAP bitmap, HPALETTE palette, const char* path, std::string* why = nullptr);

// Writes a packed DIB as a BMP file, replacing an existing one in one step
// once the whole file is written; a failure leaves the old file as it was,
// and the system's reason in `why`.
int WriteDibFile(HGLOBAL dib, const char* path, std::string* why = nullptr);
