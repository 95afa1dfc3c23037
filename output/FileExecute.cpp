#include "output/FileExecute.h"

#include "image/DibImage.h"
#include "output/ClipboardStore.h"
#include "output/DibUtils.h"
#include "win/Text.h"

namespace {

constexpr char kNotConverted[] = "the capture could not be converted";

bool IsExistsError(DWORD error) {
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

FileOpStatus MoveWithoutReplacing(const std::string& from, const std::string& to, std::string& why) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH))
        return FileOpStatus::Done;
    const DWORD error = GetLastError();
    if (IsExistsError(error))
        return FileOpStatus::Exists;
    if (error == ERROR_FILE_NOT_FOUND)
        return FileOpStatus::Missing;
    why = win::SystemErrorText(error);
    return FileOpStatus::Failed;
}

FileOpStatus CreateNewFile(const std::string& path, std::string& why) {
    win::File file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        return FileOpStatus::Done;
    const DWORD error = GetLastError();
    if (IsExistsError(error))
        return FileOpStatus::Exists;
    why = win::SystemErrorText(error);
    return FileOpStatus::Failed;
}

const NamingFileOps kNamingOps{MoveWithoutReplacing, CreateNewFile};

bool SaveThroughContainer(vistrel::CDibImage& image, const std::string& target, uint32_t format,
                          std::string& why) {
    if (!image.HasPixels()) {
        why = kNotConverted;
        return false;
    }
    if (image.SaveToFile(target.c_str(), format))
        return true;
    why = image.LastError();
    return false;
}

} // namespace

CClipboardExecute::CClipboardExecute(SettingsStore& settings, HWND ownerWindow)
    : CToExecute(settings), ownerWindow(ownerWindow) {}

bool CClipboardExecute::Store(BitmapHolder& bitmap) {
    lastFailure.clear();
    std::string why;
    if (StoreBitmapOnClipboard(ownerWindow, bitmap.get(), kClipboardRetryMilliseconds, &why))
        return true;
    lastFailure = "Could not put the capture on the clipboard: " + why;
    return false;
}

CFileExecute::CFileExecute(SettingsStore& settings, const std::string& fileName)
    : CToExecute(settings), namer(fileName, [](unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }) {}

bool CFileExecute::Store(BitmapHolder& bitmap) {
    lastFailure.clear();
    NamingResult naming = namer.Next(kNamingOps);
    std::string why = naming.reserveError;
    bool written = false;
    if (why.empty()) {
        written = Write(bitmap.get(), naming.target, why);
        if (!written && naming.reserved)
            DeleteFileA(naming.target.c_str());
    }
    namer.Written(written);
    if (!naming.renameError.empty())
        lastFailure =
            "Could not rename " + naming.renameFrom + " to " + naming.renameTo + ": " + naming.renameError;
    if (!written) {
        if (!lastFailure.empty())
            lastFailure += "\n";
        lastFailure += "Could not save " + naming.target + ": " + (why.empty() ? kNotConverted : why);
    }
    return written;
}

bool CBitmapExecute::Write(HBITMAP bitmap, const std::string& target, std::string& why) {
    Palette palette = CreateScreenPalette();
    return SaveBitmapFile(bitmap, palette.get(), target.c_str(), &why);
}

bool CJpgExecute::Write(HBITMAP bitmap, const std::string& target, std::string& why) {
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
    return SaveThroughContainer(image, target, vistrel::FormatJpeg, why);
}

bool CPngExecute::Write(HBITMAP bitmap, const std::string& target, std::string& why) {
    vistrel::CDibImage image(vistrel::FormatBmp);
    image.ImportBitmap(bitmap);
    return SaveThroughContainer(image, target, vistrel::FormatPng, why);
}

bool CGifExecute::Write(HBITMAP bitmap, const std::string& target, std::string& why) {
    Palette palette = CreateScreenPalette();
    vistrel::CDibImage image(vistrel::FormatBmp);
    // The platform's 8-bit conversion is the whole colour reduction.
    win::GlobalMemory dib = DibFromBitmap(bitmap, 8, palette.get());
    if (dib)
        image.ImportDibHandle(dib.get());
    return SaveThroughContainer(image, target, vistrel::FormatGif, why);
}
