#include "capture/ControlExecute.h"

#include "app/Messages.h"
#include "capture/ScreenGrab.h"
#include "trigger/WaitingWindow.h"
#include "win/Handles.h"
#include "win/HookLibrary.h"

namespace {
constexpr int kFrameWidth = 2;
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
        }
        win::HookLibrary::Call("attachWnd", mainWindow);
        return false;
    }
    End();
    startPick = 1;
    capturedRect = pickedRect;
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
    if (display)
        InvertFrame(display.get(), pickedRect);
    frameShown = !frameShown;
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
    pickedRect = RECT{};
    if (under)
        GetWindowRect(under, &pickedRect);
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
            GetWindowRect(under, &pickedRect);
    }
    PostMessageA(mainWindow, MSG_CAPTURE, 0, 0);
}

void CControlExecute::InvertFrame(HDC display, const RECT& rect) {
    if (IsRectEmpty(&rect))
        return;
    if (waitingWindow && waitingWindow->hwnd() && !waitingWindow->hidden()) {
        RECT waiting{};
        GetWindowRect(waitingWindow->hwnd(), &waiting);
        ExcludeClipRect(display, waiting.left, waiting.top, waiting.right, waiting.bottom);
    }
    const int width = GetDeviceCaps(display, HORZRES);
    const int height = GetDeviceCaps(display, VERTRES);
    win::GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(0, 0, 0)));
    HGDIOBJ previous = SelectObject(display, brush.get());
    const int l = rect.left - kFrameWidth < 0 ? 0 : rect.left - kFrameWidth;
    const int t = rect.top - kFrameWidth < 0 ? 0 : rect.top - kFrameWidth;
    const int r = rect.right + kFrameWidth > width ? width - kFrameWidth : rect.right;
    const int b = rect.bottom + kFrameWidth > height ? height - kFrameWidth : rect.bottom;
    // The strips meet twice in the top-left 2x2 square (which keeps its
    // colour) and leave the bottom-right one alone.
    PatBlt(display, l, t, r - l, kFrameWidth, DSTINVERT);
    PatBlt(display, l, t, kFrameWidth, b - t, DSTINVERT);
    PatBlt(display, r, t, kFrameWidth, b - t, DSTINVERT);
    PatBlt(display, l, b, r - l, kFrameWidth, DSTINVERT);
    SelectObject(display, previous);
    SelectClipRgn(display, nullptr);
}
