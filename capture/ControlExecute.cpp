#include "capture/ControlExecute.h"

#include "app/Messages.h"
#include "capture/ScreenGrab.h"
#include "capture/ScreenLayout.h"
#include "trigger/WaitingWindow.h"
#include "win/Compositor.h"
#include "win/Handles.h"
#include "win/HookLibrary.h"

namespace {

bool Showing(CWizardContainerDlg* waitingWindow) {
    return waitingWindow && waitingWindow->hwnd() && IsWindowVisible(waitingWindow->hwnd());
}

// The immediate trigger hid the waiting window before the pick began; the
// prompt must show all the same, unless the user hid the window.
void ShowPrompt(CWizardContainerDlg* waitingWindow) {
    if (waitingWindow->hwnd() && !waitingWindow->hidden() && !IsWindowVisible(waitingWindow->hwnd()))
        SetWindowPos(waitingWindow->hwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

} // namespace

CControlExecute::CControlExecute(SettingsStore& settings, int captureMouse, HWND mainWindow, int scroll)
    : CWhatExecute(settings, captureMouse), mainWindow(mainWindow), scroll(scroll) {}

void CControlExecute::Describe(std::string& text) {
    text = "will capture a selected control.";
}

bool CControlExecute::Capture(BitmapHolder& bitmap, RECT& capturedRect, CWizardContainerDlg* window) {
    waitingWindow = window;
    if (startPick == 1) {
        startPick = 0;
        clicked = false;
        if (waitingWindow) {
            auto page = std::make_unique<CControlWizardDlg>();
            if (page->Create(waitingWindow->hwnd()))
                waitingWindow->ShowPage(std::move(page));
            ShowPrompt(waitingWindow);
        }
        win::HookLibrary::Call("attachWnd", mainWindow);
        return false;
    }
    End();
    startPick = 1;
    capturedRect = pickedRect;
    // The waiting window may lie over the control (a click with no move, a
    // window that came up under it): it moves away before the grab.
    if (waitingWindow)
        waitingWindow->ClearForGrab(pickedRect);
    // The pointer is never part of a control's image.
    const bool grabbed = GrabScreenRect(pickedRect, bitmap, false);
    // The next pick starts with nothing outlined, so its first move draws a
    // fresh frame instead of inverting this one again.
    pickedWindow = nullptr;
    pickedRect = RECT{};
    return grabbed;
}

void CControlExecute::End() {
    if (startPick == 0)
        win::HookLibrary::Call("detachWnd");
    // A session cancelled during a pick leaves no frame behind.
    if (frameShown)
        ToggleFrame();
}

void CControlExecute::ToggleFrame() {
    win::OwnedDC display(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
    // Only a frame actually drawn (or erased) changes what is on the screen.
    if (!display || (!frameShown && !PlanFrame()))
        return;
    InvertFrame(display.get());
    frameShown = !frameShown;
}

bool CControlExecute::PlanFrame() {
    // Clipped to the picked window's monitor, which may lie left of or above the primary.
    if (!OutlineStrips(pickedRect, MonitorOf(pickedRect), frameStrips))
        return false;
    frameSkips = Showing(waitingWindow) && !waitingWindow->hidden();
    if (frameSkips)
        GetWindowRect(waitingWindow->hwnd(), &frameSkipped);
    return true;
}

void CControlExecute::OnPointerMove() {
    // Reports still queued when the pick ended, or moves after the press
    // that ends it, must not outline anything.
    if (tracking == 1 || startPick == 1 || clicked)
        return;
    tracking = 1;
    POINT at{};
    GetCursorPos(&at);
    HWND under = WindowFromPoint(at);
    if (under == pickedWindow) {
        tracking = 0;
        return;
    }
    if (frameShown)
        ToggleFrame();
    pickedWindow = under;
    pickedRect = under ? win::VisibleFrame(under) : RECT{};
    // Dispatches messages: another move meanwhile is ignored through `tracking`.
    if (waitingWindow)
        waitingWindow->MoveAwayFrom(pickedRect);
    ToggleFrame();
    tracking = 0;
}

void CControlExecute::OnButtonDown(HWND pressed, POINT at) {
    if (startPick == 1 || clicked)
        return;
    clicked = true;
    if (frameShown)
        ToggleFrame();
    // The window under the press is taken, not where the pointer went since:
    // moves queued behind the press are not handled before the capture. This
    // also covers a click before any move (the pointer already rested on the
    // control when the pick began).
    HWND under = WindowFromPoint(at);
    if (!under && IsWindow(pressed))
        under = pressed;
    if (under != pickedWindow) {
        pickedWindow = under;
        pickedRect = RECT{};
        if (under)
            pickedRect = win::VisibleFrame(under);
    }
    PostMessageA(mainWindow, MSG_CAPTURE, 0, 0);
}

void CControlExecute::InvertFrame(HDC display) {
    // The frame never paints over the waiting window.
    if (frameSkips)
        ExcludeClipRect(display, frameSkipped.left, frameSkipped.top, frameSkipped.right,
                        frameSkipped.bottom);
    win::GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(0, 0, 0)));
    HGDIOBJ previous = SelectObject(display, brush.get());
    for (const RECT& strip : frameStrips)
        PatBlt(display, strip.left, strip.top, strip.right - strip.left, strip.bottom - strip.top, DSTINVERT);
    SelectObject(display, previous);
    SelectClipRgn(display, nullptr);
}
