#include "capture/ScreenGrab.h"

#include <algorithm>

namespace {

// Draws the current pointer into `dc`, whose origin is at `origin` on the screen.
void DrawPointer(HDC dc, POINT origin) {
    POINT position;
    HCURSOR cursor = GetCursor();
    if (!cursor || !GetCursorPos(&position))
        return;
    ICONINFO info{};
    if (!GetIconInfo(cursor, &info))
        return;
    // GetIconInfo hands us copies of both masks; they are ours to delete.
    win::GdiObject<HBITMAP> mask(info.hbmMask), colour(info.hbmColor);
    DrawIcon(dc, position.x - static_cast<int>(info.xHotspot) - origin.x,
             position.y - static_cast<int>(info.yHotspot) - origin.y, cursor);
}

} // namespace

bool GrabScreenRect(const RECT& rect, win::GdiObject<HBITMAP>& holder, bool drawCursor) {
    holder.reset();
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return false;

    win::OwnedDC screen(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
    if (!screen)
        return false;
    win::OwnedDC memory(CreateCompatibleDC(screen.get()));
    if (!memory)
        return false;

    const int screenWidth = GetDeviceCaps(screen.get(), HORZRES);
    const int screenHeight = GetDeviceCaps(screen.get(), VERTRES);
    const LONG left = std::max<LONG>(rect.left, 0);
    const LONG top = std::max<LONG>(rect.top, 0);
    const LONG right = std::min<LONG>(rect.right, screenWidth);
    const LONG bottom = std::min<LONG>(rect.bottom, screenHeight);
    if (right <= left || bottom <= top)
        return false;

    const int width = right - left;
    const int height = bottom - top;
    win::GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    if (!bitmap)
        return false;
    {
        win::SelectionRestore selected(memory.get(), bitmap.get());
        if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), left, top, SRCCOPY))
            return false;
        if (drawCursor)
            DrawPointer(memory.get(), POINT{left, top});
    }
    holder = std::move(bitmap);
    return true;
}

void DispatchPendingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Not ours to consume: the outer loop must still see it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
