#pragma once

// Lets this thread's windows run for a while: paints, timers and posted
// messages are handled as the message loop would, for at least `milliseconds`
// (one round when 0).

#include <windows.h>

#include "capture/ScreenGrab.h"

inline void PumpFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        DispatchPendingMessages();
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}
