#include "capture/ScreenGrab.h"

#include "capture/ScreenLayout.h"

namespace {

// Draws the pointer shown on the screen into `dc`, whose origin is at
// `origin` on the screen: the cursor the system shows (not this thread's),
// at its own size and hot spot; nothing while the pointer is hidden.
void DrawPointer(HDC dc, POINT origin) {
    CURSORINFO shown{};
    shown.cbSize = sizeof shown;
    if (!GetCursorInfo(&shown) || !(shown.flags & CURSOR_SHOWING) || !shown.hCursor)
        return;
    ICONINFO info{};
    if (!GetIconInfo(shown.hCursor, &info))
        return;
    // GetIconInfo hands us copies of both masks; they are ours to delete.
    win::GdiObject<HBITMAP> mask(info.hbmMask), colour(info.hbmColor);
    // Width and height 0 without DI_DEFAULTSIZE: the cursor's own size.
    DrawIconEx(dc, shown.ptScreenPos.x - static_cast<int>(info.xHotspot) - origin.x,
               shown.ptScreenPos.y - static_cast<int>(info.yHotspot) - origin.y, shown.hCursor, 0, 0, 0,
               nullptr, DI_NORMAL);
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

    // Every monitor, at negative coordinates too: the display context spans them all.
    const RECT cut = CutToScreen(rect, VirtualScreen());
    if (IsRectEmpty(&cut))
        return false;
    const int width = cut.right - cut.left;
    const int height = cut.bottom - cut.top;
    win::GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    if (!bitmap)
        return false;
    {
        win::SelectionRestore selected(memory.get(), bitmap.get());
        if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), cut.left, cut.top, SRCCOPY))
            return false;
        if (drawCursor)
            DrawPointer(memory.get(), POINT{cut.left, cut.top});
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
