#include "app/SingleCopy.h"

#include <string>

namespace {

// In the session's namespace, like the hook block it guards.
constexpr char kClaimName[] = "Local\\VistrelRunning";
constexpr char kMainWindowMark[] = "VistrelMainWindow";
constexpr char kWaitingCaption[] = "Vistrel Wizard";

struct Found {
    HWND main = nullptr;
    HWND waiting = nullptr;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM found) {
    if (!GetPropA(window, kMainWindowMark))
        return TRUE;
    reinterpret_cast<Found*>(found)->main = window;
    return FALSE;
}

BOOL CALLBACK FindWaitingWindow(HWND window, LPARAM found) {
    auto* f = reinterpret_cast<Found*>(found);
    char caption[32] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (GetWindow(window, GW_OWNER) != f->main || std::string(caption) != kWaitingCaption)
        return TRUE;
    f->waiting = window;
    return FALSE;
}

void BringRunningCopyForward() {
    Found found;
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&found));
    if (found.main)
        EnumWindows(FindWaitingWindow, reinterpret_cast<LPARAM>(&found));
    if (found.main && IsWindowVisible(found.main)) {
        if (IsIconic(found.main))
            ShowWindow(found.main, SW_RESTORE);
        // A message box or the Result dialog in front of it comes first.
        SetForegroundWindow(GetLastActivePopup(found.main));
    } else if (found.waiting) {
        // Hidden with its Hide button: the way back to that session's Cancel.
        ShowWindow(found.waiting, SW_SHOWNA);
        SetForegroundWindow(found.waiting);
    } else {
        // Still starting, or a copy of another user or integrity level.
        MessageBoxA(nullptr,
                    "Vistrel is already running in this session (perhaps as administrator or as another "
                    "user), and only one copy can watch the keyboard and mouse at a time.\n\nUse the running "
                    "copy, or close it and start Vistrel again.",
                    "Vistrel", MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
    }
}

} // namespace

bool SingleCopy::Claim() {
    SetLastError(ERROR_SUCCESS);
    claim_ = win::File(CreateMutexA(nullptr, FALSE, kClaimName));
    const DWORD error = GetLastError();
    // Denied: a copy of another user or integrity level (an elevated one) holds it.
    if (claim_ && error != ERROR_ALREADY_EXISTS)
        return true;
    if (!claim_ && error != ERROR_ACCESS_DENIED)
        return true; // no claim to be had, but nothing says another copy runs
    claim_.reset();
    BringRunningCopyForward();
    return false;
}

void SingleCopy::MarkMainWindow(HWND window) {
    SetPropA(window, kMainWindowMark, reinterpret_cast<HANDLE>(1));
}

void SingleCopy::UnmarkMainWindow(HWND window) {
    RemovePropA(window, kMainWindowMark);
}
