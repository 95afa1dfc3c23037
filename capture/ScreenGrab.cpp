#include "capture/ScreenGrab.h"

#include "capture/ScreenLayout.h"
#include "win/SystemLibrary.h"

#include <optional>

namespace {

constexpr int kDefaultDpi = 96;

// The user's pointer size (Settings > Accessibility > Mouse pointer) at
// 96 DPI; none when never set.
std::optional<DWORD> PointerBaseSize() {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Cursors", "CursorBaseSize", RRF_RT_REG_DWORD, nullptr,
                     &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

int SystemDpi() {
    win::OwnedDC screen(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
    return screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : kDefaultDpi;
}

// The DPI of the monitor at `point` (Windows 8.1 and later), else the system's.
int MonitorDpi(POINT point, int systemDpi) {
    using GetDpiFn = HRESULT WINAPI(HMONITOR, int, UINT*, UINT*);
    auto get = win::SystemFunctionAs<GetDpiFn>("shcore.dll", "GetDpiForMonitor");
    UINT x = 0, y = 0;
    if (!get || FAILED(get(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), 0 /* effective */, &x, &y)))
        return systemDpi;
    return static_cast<int>(x);
}

// The size Windows shows the pointer at, at `point`.
int ShownPointerSize(POINT point) {
    const int systemDpi = SystemDpi();
    const int monitorDpi = MonitorDpi(point, systemDpi);
    using ForDpiFn = int WINAPI(int, UINT);
    if (auto forDpi = win::SystemFunctionAs<ForDpiFn>("user32.dll", "GetSystemMetricsForDpi"))
        return PointerSize(PointerBaseSize(), forDpi(SM_CXCURSOR, static_cast<UINT>(monitorDpi)), monitorDpi,
                           monitorDpi);
    return PointerSize(PointerBaseSize(), GetSystemMetrics(SM_CXCURSOR), systemDpi, monitorDpi);
}

// Draws the pointer shown on the screen into `dc`, whose origin is at
// `origin` on the screen: the cursor the system shows (not this thread's),
// at the size Windows shows it on that monitor, with its hot spot scaled
// alike; nothing while the pointer is hidden. An animated pointer shows its
// first frame: Windows does not tell which frame is on the screen.
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
    BITMAP own{};
    if (!GetObjectA(info.hbmMask, sizeof own, &own) || own.bmWidth <= 0)
        return;
    const int size = ShownPointerSize(shown.ptScreenPos);
    const int hotX = MulDiv(static_cast<int>(info.xHotspot), size, own.bmWidth);
    const int hotY = MulDiv(static_cast<int>(info.yHotspot), size, own.bmWidth);
    DrawIconEx(dc, shown.ptScreenPos.x - hotX - origin.x, shown.ptScreenPos.y - hotY - origin.y,
               shown.hCursor, size, size, 0, nullptr, DI_NORMAL);
}

} // namespace

int PointerSize(std::optional<DWORD> baseSize, int cursorMetric, int metricDpi, int monitorDpi) {
    // Windows offers pointer sizes from 32 to 256 at 96 DPI; anything else is no answer.
    constexpr DWORD kSmallest = 32, kLargest = 256;
    if (monitorDpi <= 0)
        return cursorMetric;
    if (baseSize && *baseSize >= kSmallest && *baseSize <= kLargest)
        return MulDiv(static_cast<int>(*baseSize), monitorDpi, kDefaultDpi);
    return metricDpi > 0 ? MulDiv(cursorMetric, monitorDpi, metricDpi) : cursorMetric;
}

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
