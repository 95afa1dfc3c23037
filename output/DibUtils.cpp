#include "output/DibUtils.h"

#include "image/SafeFile.h"

#include <memory>
#include <vector>

namespace {

// Screen context with a palette selected and realised; the previous palette
// goes back (as a background palette) when the object ends.
class RealisedPalette {
public:
    RealisedPalette(HDC dc, HPALETTE palette) : dc_(dc) {
        if (palette) {
            previous_ = SelectPalette(dc_, palette, FALSE);
            RealizePalette(dc_);
        }
    }
    ~RealisedPalette() {
        if (previous_) {
            SelectPalette(dc_, previous_, TRUE);
            RealizePalette(dc_);
        }
    }
    RealisedPalette(const RealisedPalette&) = delete;
    RealisedPalette& operator=(const RealisedPalette&) = delete;

private:
    HDC dc_;
    HPALETTE previous_ = nullptr;
};

bool IsDibDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
}

// 1, 4, 8, 24 or 32: the smallest DIB depth holding `bits`.
int DibDepthFor(int bits, int deepest) {
    if (bits <= 1)
        return 1;
    if (bits <= 4)
        return 4;
    if (bits <= 8)
        return 8;
    if (bits <= 24 || deepest == 24)
        return 24;
    return 32;
}

// Packed DIB of `bitmap` at `bits`; with `realiseFirst` the palette is
// realised before the size query too (the clipboard form).
win::GlobalMemory MakeDib(HBITMAP bitmap, int bits, HPALETTE palette, bool realiseFirst) {
    if (!bitmap || !IsDibDepth(bits))
        return {};
    BITMAP info{};
    if (!GetObjectA(bitmap, sizeof info, &info))
        return {};

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = info.bmWidth;
    header.biHeight = info.bmHeight;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bits);
    header.biCompression = BI_RGB;
    const SIZE_T tableBytes = DibColourTableSize(header) * sizeof(RGBQUAD);

    win::WindowDC screen(nullptr);
    if (!screen)
        return {};
    std::unique_ptr<RealisedPalette> early;
    if (realiseFirst)
        early = std::make_unique<RealisedPalette>(screen.get(), palette);

    win::GlobalMemory dib(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, header.biSize + tableBytes));
    if (!dib)
        return {};
    {
        win::GlobalLockGuard lock(dib.get());
        if (!lock)
            return {};
        auto* head = static_cast<BITMAPINFOHEADER*>(lock.data());
        *head = header;
        if (!GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(info.bmHeight), nullptr,
                       reinterpret_cast<BITMAPINFO*>(head), DIB_RGB_COLORS))
            return {};
        // The query may rewrite fields; keep the layout we asked for.
        header.biSizeImage = head->biSizeImage;
        *head = header;
    }
    const DWORD computed = DibRowSize(header.biWidth, bits) * static_cast<DWORD>(header.biHeight);
    if (header.biSizeImage < computed)
        header.biSizeImage = computed;

    HGLOBAL grown = GlobalReAlloc(dib.get(), header.biSize + tableBytes + header.biSizeImage,
                                  GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!grown)
        return {};
    dib.release();
    dib.reset(grown);

    win::GlobalLockGuard lock(dib.get());
    if (!lock)
        return {};
    auto* head = static_cast<BITMAPINFOHEADER*>(lock.data());
    *head = header;
    std::unique_ptr<RealisedPalette> late;
    if (!realiseFirst)
        late = std::make_unique<RealisedPalette>(screen.get(), palette);
    BYTE* pixels = static_cast<BYTE*>(lock.data()) + header.biSize + tableBytes;
    if (!GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(header.biHeight), pixels,
                   reinterpret_cast<BITMAPINFO*>(head), DIB_RGB_COLORS))
        return {};
    // GDI may leave its own biClrUsed (or other fields) behind; the block
    // was laid out for our header, and readers size the table from it.
    *head = header;
    return dib;
}

} // namespace

DWORD DibColourTableSize(const BITMAPINFOHEADER& header) {
    if (header.biClrUsed)
        return header.biClrUsed;
    switch (header.biBitCount) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

DWORD DibRowSize(int width, int bitsPerPixel) {
    return static_cast<DWORD>((static_cast<long long>(bitsPerPixel) * width + 31) / 32 * 4);
}

Palette CreateScreenPalette() {
    win::WindowDC screen(nullptr);
    if (!screen)
        return {};
    const int depth = GetDeviceCaps(screen.get(), BITSPIXEL) * GetDeviceCaps(screen.get(), PLANES);
    // Deeper displays have no system palette; a table of 2^16 or 2^24 entries
    // would cost memory and change nothing.
    if (depth < 1 || depth > 8)
        return {};
    const UINT count = 1u << depth;
    std::vector<BYTE> record(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    auto* logical = reinterpret_cast<LOGPALETTE*>(record.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(count);
    GetSystemPaletteEntries(screen.get(), 0, count, logical->palPalEntry);
    return Palette(CreatePalette(logical));
}

win::GlobalMemory DibFromBitmap(HBITMAP bitmap, int bitsPerPixel, HPALETTE palette) {
    return MakeDib(bitmap, bitsPerPixel, palette, false);
}

win::GlobalMemory ClipboardDibFromBitmap(HBITMAP bitmap, HPALETTE palette) {
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info))
        return {};
    return MakeDib(bitmap, DibDepthFor(info.bmPlanes * info.bmBitsPixel, 24), palette, true);
}

win::GdiObject<HBITMAP> BitmapFromDib(HGLOBAL dib, HPALETTE palette) {
    if (!dib)
        return {};
    win::GlobalLockGuard lock(dib);
    if (!lock)
        return {};
    win::WindowDC screen(nullptr);
    if (!screen)
        return {};
    RealisedPalette realised(screen.get(), palette);
    auto* header = static_cast<BITMAPINFOHEADER*>(lock.data());
    const BYTE* pixels = static_cast<const BYTE*>(lock.data()) + header->biSize +
                         DibColourTableSize(*header) * sizeof(RGBQUAD);
    return win::GdiObject<HBITMAP>(CreateDIBitmap(screen.get(), header, CBM_INIT, pixels,
                                                  reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS));
}

bool SaveBitmapFile(HBITMAP bitmap, HPALETTE palette, const char* path, std::string* why) {
    int depth;
    {
        win::OwnedDC display(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
        if (!display)
            return false;
        depth = GetDeviceCaps(display.get(), BITSPIXEL) * GetDeviceCaps(display.get(), PLANES);
    }
    win::GlobalMemory dib = DibFromBitmap(bitmap, DibDepthFor(depth, 32), palette);
    if (!dib)
        return false;
    return WriteDibFile(dib.get(), path, why) == kWriteDibOk;
}

int WriteDibFile(HGLOBAL dib, const char* path, std::string* why) {
    if (!dib)
        return kWriteDibNoDib;
    win::GlobalLockGuard lock(dib);
    if (!lock)
        return kWriteDibCannotLock;
    auto* header = static_cast<BITMAPINFOHEADER*>(lock.data());
    const DWORD tableBytes = DibColourTableSize(*header) * sizeof(RGBQUAD);
    header->biSizeImage = DibRowSize(header->biWidth, header->biBitCount) *
                          static_cast<DWORD>(header->biHeight < 0 ? -header->biHeight : header->biHeight);
    const DWORD dibBytes = header->biSize + tableBytes + header->biSizeImage;

    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4D42; // "BM"
    fileHeader.bfSize = sizeof fileHeader + dibBytes;
    fileHeader.bfOffBits = sizeof fileHeader + header->biSize + tableBytes;

    // A short BMP would pass for a capture: the file is replaced only by a
    // complete one.
    vistrel::CSafeFileStream file(path);
    const bool ok = file.IsOpen() && file.Write(&fileHeader, 1, sizeof fileHeader) == sizeof fileHeader &&
                    file.Write(header, 1, dibBytes) == dibBytes && file.Commit();
    if (!ok) {
        if (why)
            *why = file.FailureText();
        return kWriteDibCannotWrite;
    }
    return kWriteDibOk;
}
