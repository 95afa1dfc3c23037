#pragma once

// The desktop compositor (dwmapi), loaded at run time: it is missing or
// answers "not implemented" on systems without one, and every caller then
// goes on with what the window manager itself reports.

#include <windows.h>

namespace win {

// The compositor's visible frame of a top-level window (without the invisible
// resize borders); false when there is no answer.
bool ExtendedFrameBounds(HWND window, RECT& frame);
// Asks the compositor not to animate `window` when it is shown or hidden, so
// a hidden window is gone at once instead of fading out over a capture.
void DisableTransitions(HWND window);
// The compositor's answer whether `window` is cloaked: kept off the screen
// while it stays a window (on another virtual desktop, a suspended store
// app); `cloaked` is non-zero then.
HRESULT CloakedState(HWND window, DWORD& cloaked);
// Waits until the compositor has presented the last change (a hide, a move).
void FlushCompositor();

// The frame to use for `window`, given GetWindowRect's answer, whether the
// window is top-level, and the compositor's answer (`result`, `frame`).
// Children keep their rectangle; so does a window whose compositor frame is
// missing, empty or not inside the rectangle.
RECT ChooseVisibleFrame(const RECT& windowRect, bool topLevel, HRESULT result, const RECT& frame);
// The visible frame of `window` in screen pixels.
RECT VisibleFrame(HWND window);

} // namespace win
