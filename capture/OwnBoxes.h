#pragma once

// Message boxes of ours that open while a session is armed (the first lost
// capture, the PRINTSCREEN notice). A grab would take them with the screen.
// Where Windows can leave a window out of every picture (display affinity
// WDA_EXCLUDEFROMCAPTURE, Windows 10 2004 and later) the box is asked to be
// left out and captures go on behind it, unless the box is the foreground
// window (the active window's capture would take its place); elsewhere no
// capture runs while the box is open: the capture waits until it closes.

#include <windows.h>

#include <vector>

namespace ownboxes {

// Windows' answers about one open box.
struct BoxAnswers {
    bool made = false;     // the box's window exists (and was asked)
    DWORD build = 0;       // the system's build number
    BOOL accepted = FALSE; // SetWindowDisplayAffinity took WDA_EXCLUDEFROMCAPTURE
    DWORD readBack = 0;    // GetWindowDisplayAffinity's answer afterwards
    bool foreground = false; // the foreground window: the active window's capture would take its place
};

// Whether to ask at all: before build 19041 the same value blacks the window
// out of pictures instead, and a black box is still a box in the picture.
bool CanLeaveOut(DWORD build);
// Whether a capture may run now with these boxes open: only when each one
// is left out of pictures and none stands in for the active window.
bool MayCaptureNow(const std::vector<BoxAnswers>& openBoxes);
// The same for this process's open boxes.
bool MayCaptureNow();

// A box of ours is open for the life of this object: the next top-level
// dialog this thread makes meanwhile is that box, asked to stay out of
// pictures where Windows can.
class OpenBox {
public:
    OpenBox();
    ~OpenBox();
    OpenBox(const OpenBox&) = delete;
    OpenBox& operator=(const OpenBox&) = delete;
};

} // namespace ownboxes
