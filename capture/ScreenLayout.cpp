#include "capture/ScreenLayout.h"

#include <algorithm>

namespace {
constexpr int kStrip = 2;
} // namespace

RECT VirtualScreen() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

RECT MonitorOf(const RECT& rect) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info))
        return VirtualScreen();
    return info.rcMonitor;
}

RECT CutToScreen(const RECT& rect, const RECT& screen) {
    RECT cut{std::max(rect.left, screen.left), std::max(rect.top, screen.top),
             std::min(rect.right, screen.right), std::min(rect.bottom, screen.bottom)};
    if (cut.right <= cut.left || cut.bottom <= cut.top)
        return RECT{};
    return cut;
}

bool OutlineStrips(const RECT& rect, const RECT& monitor, RECT strips[4]) {
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return false;
    const LONG l = std::max<LONG>(rect.left - kStrip, monitor.left);
    const LONG t = std::max<LONG>(rect.top - kStrip, monitor.top);
    const LONG r = rect.right + kStrip > monitor.right ? monitor.right - kStrip : rect.right;
    const LONG b = rect.bottom + kStrip > monitor.bottom ? monitor.bottom - kStrip : rect.bottom;
    strips[0] = RECT{l, t, r, t + kStrip};
    strips[1] = RECT{l, t, l + kStrip, b};
    strips[2] = RECT{r, t, r + kStrip, b};
    strips[3] = RECT{l, b, r, b + kStrip};
    return true;
}

RECT ClientOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    POINT topLeft{0, 0}, bottomRight{client.right, client.bottom};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    return RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

RECT FrameAround(const RECT& hole, const RECT& window, const RECT& client) {
    return RECT{hole.left - (client.left - window.left), hole.top - (client.top - window.top),
                hole.right + (window.right - client.right), hole.bottom + (window.bottom - client.bottom)};
}

AreaLimits AreaLimitsOn(const RECT& screen) {
    return AreaLimits{screen.left,
                      static_cast<int>(screen.right) - 1,
                      screen.top,
                      static_cast<int>(screen.bottom) - 1,
                      static_cast<int>(screen.right - screen.left),
                      static_cast<int>(screen.bottom - screen.top)};
}
