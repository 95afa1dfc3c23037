#include "output/FileExecute.h"

#include "image/DibImage.h"
#include "output/ClipboardStore.h"
#include "output/DibUtils.h"
#include "win/FileError.h"
#include "win/Text.h"

namespace {

std::string MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (MoveFileA(from.c_str(), to.c_str()))
        return {};
    return win::SystemErrorText(GetLastError());
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Writes through the image container; a file the encoder created but could
// not finish is removed, so no broken image is left under a capture's name.
bool SaveThroughContainer(vistrel::CDibImage& image, const std::string& target, uint32_t format) {
    const bool existed = Exists(target);
    if (image.SaveToFile(target.c_str(), format))
        return true;
    if (!existed)
        DeleteFileA(target.c_str());
    return false;
}

} // namespace

CClipboardExecute::CClipboardExecute(SettingsStore& settings, HWND ownerWindow)
    : CToExecute(settings), ownerWindow(ownerWindow) {}

bool CClipboardExecute::Store(BitmapHolder& bitmap) {
    return StoreBitmapOnClipboard(ownerWindow, bitmap.get());
}

CFileExecute::CFileExecute(SettingsStore& settings, const std::string& fileName)
    : CToExecute(settings), namer(fileName, [](unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }) {}

bool CFileExecute::Store(BitmapHolder& bitmap) {
    NamingResult naming = namer.Next(MoveWithoutReplacing);
    const bool written = Write(bitmap.get(), naming.target);
    if (!naming.renameError.empty())
        throw win::FileError("The file \"" + naming.renameFrom + "\" could not be renamed to \"" +
                             naming.renameTo + "\".\n" + naming.renameError);
    return written;
}

bool CBitmapExecute::Write(HBITMAP bitmap, const std::string& target) {
    Palette palette = CreateScreenPalette();
    return SaveBitmapFile(bitmap, palette.get(), target.c_str());
}

bool CJpgExecute::Write(HBITMAP bitmap, const std::string& target) {
    vistrel::CDibImage image(vistrel::FormatBmp);
    image.ImportBitmap(bitmap);
    if (image.HasPixels() && image.BitsPerPixel() <= 8 && !image.IsGreyscale()) {
        // JPEG holds no palette: a capture of a palette display goes in as
        // true colour, or the output could never write on such a display.
        Palette palette = CreateScreenPalette();
        win::GlobalMemory dib = DibFromBitmap(bitmap, 24, palette.get());
        const int32_t xDpi = image.Info().xDpi, yDpi = image.Info().yDpi;
        if (dib && image.ImportDibHandle(dib.get())) {
            // A DIB made by GDI carries no resolution; keep the screen's.
            image.SetXDpi(xDpi);
            image.SetYDpi(yDpi);
        }
    }
    return SaveThroughContainer(image, target, vistrel::FormatJpeg);
}

bool CPngExecute::Write(HBITMAP bitmap, const std::string& target) {
    vistrel::CDibImage image(vistrel::FormatBmp);
    image.ImportBitmap(bitmap);
    return SaveThroughContainer(image, target, vistrel::FormatPng);
}

bool CGifExecute::Write(HBITMAP bitmap, const std::string& target) {
    Palette palette = CreateScreenPalette();
    vistrel::CDibImage image(vistrel::FormatBmp);
    // The platform's 8-bit conversion is the whole colour reduction.
    win::GlobalMemory dib = DibFromBitmap(bitmap, 8, palette.get());
    if (dib)
        image.ImportDibHandle(dib.get());
    return SaveThroughContainer(image, target, vistrel::FormatGif);
}
