#pragma once

// The one operation that turns a rectangle of the screen into a bitmap.

#include <windows.h>

#include "win/Handles.h"

// Copies `rect` (screen pixels, right and bottom exclusive; any monitor)
// into a new bitmap in the display's own format, cut to the virtual screen,
// with the pointer shown on the screen drawn when `drawCursor` is set. Returns
// false (and leaves `holder` empty) when nothing of the rectangle is on the
// screen or a device context or the bitmap cannot be made.
bool GrabScreenRect(const RECT& rect, win::GdiObject<HBITMAP>& holder, bool drawCursor);

// Removes and dispatches every message waiting in this thread's queue, so
// windows that were uncovered or raised paint themselves before a grab.
void DispatchPendingMessages();
