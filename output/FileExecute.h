#pragma once

// The executors of the single-image outputs: the clipboard, and the BMP,
// JPEG, PNG and GIF files with their numbered names.

#include "app/Execute.h"
#include "image/SafeFile.h"
#include "output/FileNaming.h"

#include <windows.h>

#include <optional>
#include <string>
#include <tuple>

// What a move of the safe-file layer found, in the naming step's terms.
FileOpStatus FileOpFrom(vistrel::MoveStatus status);

class CClipboardExecute : public CToExecute {
public:
    // `ownerWindow` owns the clipboard while it is written.
    CClipboardExecute(SettingsStore& settings, HWND ownerWindow);
    bool Store(BitmapHolder& bitmap) override;

private:
    HWND ownerWindow;
};

// A file output: works out the file's name (renaming the session's first
// file when the second capture comes), then writes the capture. Every file
// is replaced in one step by a complete image, or not touched; a numbered
// name never replaces a file the session did not write.
class CFileExecute : public CToExecute {
public:
    CFileExecute(SettingsStore& settings, const std::string& fileName);
    // A capture that could not be stored, or a first file that could not be
    // renamed, is described in LastFailure().
    bool Store(BitmapHolder& bitmap) final;
    int storedCount() const { return namer.StoredCount(); }

protected:
    // Writes the capture to `target`; on failure says why in `why`.
    virtual bool Write(HBITMAP bitmap, const std::string& target, std::string& why) = 0;

private:
    CFileNamer namer;
    // The first file as written, to tell it from a file another copy of the
    // program put under the same name since.
    std::optional<std::tuple<DWORD, DWORD, DWORD>> firstFileId;
};

class CBitmapExecute : public CFileExecute {
public:
    using CFileExecute::CFileExecute;

protected:
    bool Write(HBITMAP bitmap, const std::string& target, std::string& why) override;
};

class CJpgExecute : public CFileExecute {
public:
    using CFileExecute::CFileExecute;

protected:
    bool Write(HBITMAP bitmap, const std::string& target, std::string& why) override;
};

class CPngExecute : public CFileExecute {
public:
    using CFileExecute::CFileExecute;

protected:
    bool Write(HBITMAP bitmap, const std::string& target, std::string& why) override;
};

class CGifExecute : public CFileExecute {
public:
    using CFileExecute::CFileExecute;

protected:
    bool Write(HBITMAP bitmap, const std::string& target, std::string& why) override;
};
