#include "app/DialogPicture.h"

#include "win/PictureLoad.h"
#include "win/Text.h"

namespace {

const DWORD kReadChunk = 4096;

bool IsZero(const RECT& rect) {
    return rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0;
}

// The whole file in movable global memory, as the picture loader's stream wants it.
win::GlobalMemory ReadWholeFile(HANDLE file, DWORD& size) {
    size = 0;
    LARGE_INTEGER length;
    if (!GetFileSizeEx(file, &length) || length.QuadPart <= 0 || length.QuadPart > MAXDWORD / 2)
        return win::GlobalMemory();
    win::GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(length.QuadPart)));
    win::GlobalLockGuard lock(memory.get());
    if (!lock)
        return win::GlobalMemory();
    BYTE* data = static_cast<BYTE*>(lock.data());
    DWORD total = static_cast<DWORD>(length.QuadPart);
    while (size < total) {
        DWORD got = 0;
        DWORD want = total - size < kReadChunk ? total - size : kReadChunk;
        if (!ReadFile(file, data + size, want, &got, nullptr) || got == 0)
            break;
        size += got;
    }
    return memory;
}

} // namespace

bool DialogPicture::LoadFromFile(const std::string& path, HWND owner) {
    return LoadFromFile(win::Widen(path), owner);
}

// Wide: the program's folder may hold letters outside the code page.
bool DialogPicture::LoadFromFile(const std::wstring& path, HWND owner) {
    win::File file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const std::wstring text = win::Widen(win::SystemErrorText(GetLastError()));
        const std::wstring caption = L"Error opening file: " + path;
        MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK);
        return false;
    }
    DWORD size = 0;
    win::GlobalMemory memory = ReadWholeFile(file.get(), size);
    picture_ = win::PictureFromMemory(std::move(memory), size);
    return !empty();
}

bool DialogPicture::LoadFromFolderFile(UINT folderId, UINT nameId, HWND owner) {
    const std::string folder = win::LoadText(folderId);
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    // Started elsewhere (the Start menu's shortcut starts in the user's
    // Pictures folder): the folder beside the program.
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return LoadFromFile(win::ProgramFolder() + win::Widen(folder + win::LoadText(nameId)), owner);
    return LoadFromFile(folder + win::LoadText(nameId), owner);
}

SIZE DialogPicture::SizeInPixels(HDC dc) const {
    SIZE size = {0, 0};
    if (!picture_)
        return size;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture_->get_Width(&width);
    picture_->get_Height(&height);
    win::WindowDC screen(nullptr);
    HDC target = dc ? dc : screen.get();
    // HIMETRIC is a mapping mode of its own: let the context convert.
    POINT corners[2] = {{0, 0}, {width, height}};
    int oldMode = SetMapMode(target, MM_HIMETRIC);
    LPtoDP(target, corners, 2);
    SetMapMode(target, oldMode);
    POINT origin = corners[0], extent = corners[1];
    size.cx = extent.x - origin.x;
    size.cy = extent.y - origin.y;
    if (size.cx < 0)
        size.cx = -size.cx;
    if (size.cy < 0)
        size.cy = -size.cy;
    return size;
}

bool DialogPicture::RenderAt(HDC dc, int left, int top, int right, int bottom) const {
    if (!picture_)
        return false;
    if (left == 0 && top == 0 && right == 0 && bottom == 0) {
        SIZE size = SizeInPixels(dc);
        right = size.cx;
        bottom = size.cy;
    }
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture_->get_Width(&width);
    picture_->get_Height(&height);
    return SUCCEEDED(
        picture_->Render(dc, left, top, right - left, bottom - top, 0, height, width, -height, nullptr));
}

bool DialogPicture::DrawInPlaceOf(HDC paintDc, HWND placeholder) {
    if (!picture_)
        return false;
    if (IsZero(placement_)) {
        RECT rect;
        GetWindowRect(placeholder, &rect);
        MapWindowPoints(nullptr, GetParent(placeholder), reinterpret_cast<POINT*>(&rect), 2);
        win::WindowDC placeholderDc(placeholder);
        SIZE size = SizeInPixels(placeholderDc.get());
        placement_.left = rect.left + (rect.right - rect.left - size.cx) / 2;
        placement_.right = placement_.left + size.cx;
        placement_.top = rect.top + (rect.bottom - rect.top - size.cy) / 2;
        placement_.bottom = placement_.top + size.cy;
        ShowWindow(placeholder, SW_HIDE);
    }
    return RenderAt(paintDc, placement_.left, placement_.top, placement_.right, placement_.bottom);
}
