#pragma once

// The one operation that turns a rectangle of the screen into a bitmap.

#include <windows.h>

#include "win/Handles.h"

#include <optional>

// Copies `rect` (screen pixels, right and bottom exclusive; any monitor)
// into a new bitmap in the display's own format, cut to the virtual screen,
// with the pointer shown on the screen drawn when `drawCursor` is set. Returns
// false (and leaves `holder` empty) when nothing of the rectangle is on the
// screen or a device context or the bitmap cannot be made.
bool GrabScreenRect(const RECT& rect, win::GdiObject<HBITMAP>& holder, bool drawCursor);

// The size in pixels Windows draws the pointer at on a monitor of
// `monitorDpi`: the user's pointer size `baseSize` (at 96 DPI) when set, else
// the system's cursor size `cursorMetric` as answered for `metricDpi`, scaled
// to the monitor.
int PointerSize(std::optional<DWORD> baseSize, int cursorMetric, int metricDpi, int monitorDpi);

// Removes and dispatches every message waiting in this thread's queue, so
// windows that were uncovered or raised paint themselves before a grab.
void DispatchPendingMessages();
