#include "output/FileExecute.h"

#include "image/DibImage.h"
#include "image/SafeFile.h"
#include "output/ClipboardStore.h"
#include "output/DibUtils.h"
#include "win/Text.h"

#include <optional>
#include <tuple>

namespace {

constexpr char kNotConverted[] = "the capture could not be converted";

FileOpStatus MoveWithoutReplacing(const std::string& from, const std::string& to, std::string& why) {
    return FileOpFrom(vistrel::platform::MoveNew(from, to, why));
}

// The volume and index that name one file whatever it is called; none when
// the file cannot be opened.
std::optional<std::tuple<DWORD, DWORD, DWORD>> FileIdOf(const std::string& path) {
    win::File file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info))
        return std::nullopt;
    return std::make_tuple(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
}

// Beside the numbered name, private to this process: another copy of the
// program numbering the same name writes its own.
std::string TemporaryFor(const SplitName& name, const std::string& target) {
    const std::string folder = name.directory.empty() ? std::string() : name.directory + name.separator;
    const std::string filePart = target.substr(folder.size());
    return folder + vistrel::TempNameFor(std::to_string(GetCurrentProcessId()) + "-" + filePart, 1);
}

bool SaveThroughContainer(vistrel::CDibImage& image, const std::string& target, uint32_t format,
                          std::string& why) {
    if (!image.HasPixels()) {
        why =
            *image.LastError() ? std::string(kNotConverted) + " (" + image.LastError() + ")" : kNotConverted;
        return false;
    }
    if (image.SaveToFile(target.c_str(), format))
        return true;
    why = image.LastError();
    return false;
}

} // namespace

FileOpStatus FileOpFrom(vistrel::MoveStatus status) {
    switch (status) {
    case vistrel::MoveStatus::Done:
        return FileOpStatus::Done;
    case vistrel::MoveStatus::Exists:
        return FileOpStatus::Exists;
    case vistrel::MoveStatus::Missing:
        return FileOpStatus::Missing;
    case vistrel::MoveStatus::Refused:
        return FileOpStatus::Refused;
    default:
        return FileOpStatus::Failed;
    }
}

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
    lastNotice.clear();
    NamingFileOps ops{MoveWithoutReplacing, [this](const std::string& path) {
                          // Unknown ids cannot tell: the rename goes ahead as it always did.
                          const auto id = FileIdOf(path);
                          return !firstFileId || !id || *id == *firstFileId;
                      }};
    NamingResult naming = namer.Next(ops);
    std::string why;
    bool written;
    if (!naming.numbered) {
        // The entered name is replaced on purpose, in one step.
        written = Write(bitmap.get(), naming.target, why);
        if (written)
            firstFileId = FileIdOf(naming.target);
    } else {
        const std::string temp = TemporaryFor(namer.Name(), naming.target);
        written = Write(bitmap.get(), temp, why);
        if (written && !namer.Claim(temp, naming, ops, why)) {
            written = false;
            DeleteFileA(temp.c_str());
        }
    }
    namer.Written(written);
    // The capture of the failed rename stands under the entered name: no loss.
    if (!naming.renameError.empty())
        lastNotice = "Could not rename " + naming.renameFrom + " to " + naming.renameTo + ": " +
                     naming.renameError + "\nThat capture is kept as " + naming.renameFrom + ".";
    if (!written)
        lastFailure = "Could not save " + naming.target + ": " + (why.empty() ? kNotConverted : why);
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
