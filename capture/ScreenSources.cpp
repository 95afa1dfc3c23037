#include "capture/ScreenSources.h"

#include "capture/ScreenGrab.h"
#include "capture/ScreenLayout.h"
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

const char* ActiveWindowOffScreen(BOOL iconic, HRESULT cloakedResult, DWORD cloaked) {
    if (iconic)
        return "the active window is minimised";
    if (SUCCEEDED(cloakedResult) && cloaked != 0)
        return "the active window is not on the screen (another desktop, or a suspended app)";
    return nullptr;
}

CActiveWindowExecute::CActiveWindowExecute(SettingsStore& settings, int captureMouse, int clientCapture)
    : CWhatExecute(settings, captureMouse), clientCapture(clientCapture) {}

bool CActiveWindowExecute::Capture(BitmapHolder& bitmap, RECT& capturedRect,
                                   CWizardContainerDlg* waitingWindow) {
    HWND waiting = waitingWindow ? waitingWindow->hwnd() : nullptr;
    const bool waitingWasVisible = waiting && IsWindowVisible(waiting);
    if (waitingWasVisible)
        waitingWindow->HideForCapture();

    auto showWaitingAgain = [&] {
        if (waitingWasVisible && IsWindow(waiting))
            SetWindowPos(waiting, HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    };

    lastWhy.clear();
    HWND target = GetForegroundWindow();
    if (!target || target == waiting)
        return false;
    DWORD cloaked = 0;
    const HRESULT cloakedResult = win::CloakedState(target, cloaked);
    if (const char* why = ActiveWindowOffScreen(IsIconic(target), cloakedResult, cloaked)) {
        // No image, and the waiting page says why: the session goes on.
        showWaitingAgain();
        lastWhy = why;
        if (waitingWindow && waitingWindow->currentPage())
            waitingWindow->currentPage()->SetStatusText("The last capture gave no image: " + lastWhy + ".");
        saidWhy = true;
        return false;
    }
    // The reason shown for an earlier capture is no longer true.
    if (saidWhy && waitingWindow && waitingWindow->currentPage())
        waitingWindow->currentPage()->SetStatusText(std::string());
    saidWhy = false;
    if (target == GetDesktopWindow() && clientCapture == 0) {
        CFullscreenExecute whole(settings, captureMouse);
        return whole.Capture(bitmap, capturedRect, waitingWindow);
    }

    // Raised and with its frame redrawn, so nothing covers it in the image.
    SetWindowPos(target, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED);
    UpdateWindow(target);
    DispatchPendingMessages();
    // Until the compositor presents the raised window, whatever covered it
    // (the main window when it is not hidden) is still what a grab reads.
    win::FlushCompositor();

    RECT rect{};
    if (clientCapture == 1) {
        rect = ClientOnScreen(target);
    } else {
        // The visible frame: without the invisible resize borders, which
        // would carry strips of whatever lies behind the window.
        rect = win::VisibleFrame(target);
    }
    const bool grabbed = GrabScreenRect(rect, bitmap, captureMouse != 0);
    capturedRect = rect;

    showWaitingAgain();
    return grabbed;
}

void CActiveWindowExecute::Describe(std::string& text) {
    text = "will capture the active window.";
}
