#pragma once

// Where the screen is: the virtual screen spans every monitor (left of or
// above the primary ones have negative coordinates); the primary monitor
// starts at (0, 0). The deciding functions take the system's answers as
// arguments, so layouts this machine does not have can be checked.

#include <windows.h>

// The bounding rectangle of all monitors.
RECT VirtualScreen();
// The monitor that holds most of `rect` (the nearest one when none does).
RECT MonitorOf(const RECT& rect);

// `rect` cut to `screen`; empty when nothing of it lies on the screen.
RECT CutToScreen(const RECT& rect, const RECT& screen);

// The four 2-pixel strips that outline `rect` just outside it, pulled inside
// `monitor` at its edges: top, left, right, bottom. The top-left 2x2 square
// lies in two strips (inverted twice, it keeps its colour) and the
// bottom-right one in none. False, and no strips, for an empty `rect`.
bool OutlineStrips(const RECT& rect, const RECT& monitor, RECT strips[4]);

// `window`'s client area in screen pixels.
RECT ClientOnScreen(HWND window);
// The window rectangle whose client area is `hole`, for a window whose
// rectangle is `window` and client area `client` (screen pixels) now: its
// borders as measured, whatever DPI they were drawn for.
RECT FrameAround(const RECT& hole, const RECT& window, const RECT& client);

// The positions and sizes an area may take on `screen`.
struct AreaLimits {
    int minX, maxX, minY, maxY, maxWidth, maxHeight;
};
AreaLimits AreaLimitsOn(const RECT& screen);
