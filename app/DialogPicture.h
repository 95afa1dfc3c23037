#pragma once

// A picture file drawn centred over a small placeholder control of a dialog,
// loaded through OLE Automation's picture loader (GIF, BMP, JPEG...). The
// placement is worked out on the first draw and kept; the placeholder is
// hidden then.

#include "win/Handles.h"

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <string>

class DialogPicture {
public:
    // Loads `path` (relative to the working directory). A file that cannot be
    // opened is reported in a message box owned by `owner`; a file that is no
    // picture fails silently. Either way the object is then empty.
    bool LoadFromFile(const std::string& path, HWND owner);
    bool LoadFromFile(const std::wstring& path, HWND owner);
    // The path is the text of string `folderId` followed by that of `nameId`,
    // in the working folder when it has that folder, else beside the program.
    bool LoadFromFolderFile(UINT folderId, UINT nameId, HWND owner);
    // The picture's size in device pixels of `dc` (the screen when none); (0, 0) when empty.
    SIZE SizeInPixels(HDC dc) const;
    // Draws the whole picture into the rectangle; all zero means at (0, 0) in its own size.
    bool RenderAt(HDC dc, int left, int top, int right, int bottom) const;
    // Draws the picture centred on `placeholder`, whose parent owns `paintDc`.
    bool DrawInPlaceOf(HDC paintDc, HWND placeholder);
    void Release() { picture_.reset(); }

    bool empty() const { return !picture_; }
    const RECT& placement() const { return placement_; }

private:
    win::ComPtr<IPicture> picture_;
    RECT placement_ = {0, 0, 0, 0};
};
