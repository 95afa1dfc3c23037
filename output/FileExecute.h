#pragma once

// The executors of the single-image outputs: the clipboard, and the BMP,
// JPEG, PNG and GIF files with their numbered names.

#include "app/Execute.h"
#include "output/FileNaming.h"

#include <windows.h>

#include <string>

class CClipboardExecute : public CToExecute {
public:
    // `ownerWindow` owns the clipboard while it is written.
    CClipboardExecute(SettingsStore& settings, HWND ownerWindow);
    bool Store(BitmapHolder& bitmap) override;

private:
    HWND ownerWindow;
};

// A file output: works out the file's name (renaming the session's first
// file when the second capture comes), then writes the capture.
class CFileExecute : public CToExecute {
public:
    CFileExecute(SettingsStore& settings, const std::string& fileName);
    // Throws win::FileError when the first file could not be renamed; the
    // capture has been written under its own numbered name by then.
    bool Store(BitmapHolder& bitmap) final;
    int storedCount() const { return namer.StoredCount(); }

protected:
    virtual bool Write(HBITMAP bitmap, const std::string& target) = 0;

private:
    CFileNamer namer;
};

class CBitmapExecute : public CFileExecute {
public:
    using CFileExecute::CFileExecute;

protected:
    bool Write(HBITMAP bitmap, const std::string& target) override;
};

class CJpgExecute : public CFileExecute {
public:
    using CFileExecute::CFileExecute;

protected:
    bool Write(HBITMAP bitmap, const std::string& target) override;
};

class CPngExecute : public CFileExecute {
public:
    using CFileExecute::CFileExecute;

protected:
    bool Write(HBITMAP bitmap, const std::string& target) override;
};

class CGifExecute : public CFileExecute {
public:
    using CFileExecute::CFileExecute;

protected:
    bool Write(HBITMAP bitmap, const std::string& target) override;
};
