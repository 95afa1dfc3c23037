#include "capture/ScreenSources.h"

#include "capture/ScreenGrab.h"
#include "trigger/WaitingWindow.h"
#include "win/Compositor.h"
#include "win/Handles.h"

bool CFullscreenExecute::Capture(BitmapHolder& bitmap, RECT& capturedRect,
                                 CWizardContainerDlg* waitingWindow) {
    if (waitingWindow)
        waitingWindow->HideForCapture();
    win::OwnedDC display(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
    if (!display)
        return false;
    const int width = GetDeviceCaps(display.get(), HORZRES);
    const int height = GetDeviceCaps(display.get(), VERTRES);
    // Windows uncovered by the waiting window repaint before the grab.
    DispatchPendingMessages();
    capturedRect = RECT{0, 0, width, height};
    return GrabScreenRect(capturedRect, bitmap, captureMouse != 0);
}

void CFullscreenExecute::Describe(std::string& text) {
    text = "will capture the whole screen.";
}

CActiveWindowExecute::CActiveWindowExecute(SettingsStore& settings, int captureMouse, int clientCapture)
    : CWhatExecute(settings, captureMouse), clientCapture(clientCapture) {}

bool CActiveWindowExecute::Capture(BitmapHolder& bitmap, RECT& capturedRect,
                                   CWizardContainerDlg* waitingWindow) {
    HWND waiting = waitingWindow ? waitingWindow->hwnd() : nullptr;
    const bool waitingWasVisible = waiting && IsWindowVisible(waiting);
    if (waitingWasVisible)
        waitingWindow->HideForCapture();

    HWND target = GetForegroundWindow();
    if (!target || target == waiting)
        return false;
    if (target == GetDesktopWindow() && clientCapture == 0) {
        CFullscreenExecute whole(settings, captureMouse);
        return whole.Capture(bitmap, capturedRect, waitingWindow);
    }

    // Raised and with its frame redrawn, so nothing covers it in the image.
    SetWindowPos(target, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED);
    UpdateWindow(target);
    DispatchPendingMessages();

    RECT rect{};
    if (clientCapture == 1) {
        GetClientRect(target, &rect);
        POINT topLeft{rect.left, rect.top}, bottomRight{rect.right, rect.bottom};
        ClientToScreen(target, &topLeft);
        ClientToScreen(target, &bottomRight);
        rect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    } else {
        // The visible frame: without the invisible resize borders, which
        // would carry strips of whatever lies behind the window.
        rect = win::VisibleFrame(target);
    }
    const bool grabbed = GrabScreenRect(rect, bitmap, captureMouse != 0);
    capturedRect = rect;

    if (waitingWasVisible && IsWindow(waiting))
        SetWindowPos(waiting, HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return grabbed;
}

void CActiveWindowExecute::Describe(std::string& text) {
    text = "will capture the active window.";
}
