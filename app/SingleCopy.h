#pragma once

// One Vistrel per user session. The hook block and the trigger combinations
// belong to the session: a second copy would take them from the first, whose
// sessions would then stop reacting without a word. A second start instead
// brings the running copy forward and ends.

#include "win/Handles.h"

#include <windows.h>

class SingleCopy {
public:
    // True when no other copy runs in this session: this one may go on and
    // keeps the claim until it is destroyed. Otherwise the running copy's
    // main window comes to the front (restored when minimised); during a
    // session that hid it, its waiting window shows again; when neither is
    // found the user is told. False then: this one must end.
    bool Claim();
    // Marks the main window so that a second start can find it.
    static void MarkMainWindow(HWND window);
    static void UnmarkMainWindow(HWND window);

private:
    win::File claim_;
};
