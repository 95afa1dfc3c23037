#pragma once

// The main window's part in a capture session, for tests that run one: the
// session's posted messages handed to the session under test.

#include <windows.h>

#include "app/CaptureSession.h"
#include "app/Messages.h"

// The session the test main window serves; none between sessions.
inline CCaptureSession* session = nullptr;

inline LRESULT CALLBACK TestMainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == MSG_CAPTURE && session)
        session->OnCapture();
    else if (m == MSG_END_SESSION && session)
        session->OnEndSession();
    else
        return DefWindowProcA(w, m, wp, lp);
    return 0;
}
