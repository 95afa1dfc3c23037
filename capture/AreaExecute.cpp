#include "capture/AreaExecute.h"

#include "capture/AreaSource.h"
#include "capture/ScreenGrab.h"
#include "capture/ScreenLayout.h"
#include "resources/resource.h"
#include "trigger/WaitingWindow.h"
#include "win/Handles.h"
#include "win/SystemLibrary.h"

#include <cstdio>

namespace {

// The frame's borders at the system's DPI: S at the sides, T above the hole
// (caption included), B below it. Only the first guess of the frame's size:
// Windows draws the borders for the DPI of the frame's monitor, so the frame
// is then fitted to what its client area really is.
int SideBorder() {
    return GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYEDGE);
}
int TopInset() {
    return GetSystemMetrics(SM_CYSMCAPTION) + GetSystemMetrics(SM_CXFRAME) + GetSystemMetrics(SM_CXEDGE);
}
int BottomBorder() {
    return GetSystemMetrics(SM_CXFRAME) + GetSystemMetrics(SM_CXEDGE);
}

// Windows 10 1607 and later: the frame's borders at another monitor's DPI.
bool FrameInsetsForDpi(HWND window, UINT dpi, RECT& insets) {
    using AdjustFn = BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT);
    auto adjust = win::SystemFunctionAs<AdjustFn>("user32.dll", "AdjustWindowRectExForDpi");
    insets = RECT{};
    return adjust && adjust(&insets, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), FALSE,
                            static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)), dpi);
}

} // namespace

// ---- the frame ----

CSelectAreaDlg::CSelectAreaDlg(CWizardContainerDlg* waitingWindow, const AreaValues& area)
    : win::Dialog(IDD_SELECT_AREA), waitingWindow(waitingWindow), fixedDimensions(area.fixedDimensions),
      fixedPosition(area.fixedPosition), typed{area.xPosition, area.yPosition, area.xPosition + area.width,
                                               area.yPosition + area.height},
      x(area.xPosition - SideBorder()), y(area.yPosition - TopInset()),
      windowWidth(area.width + 2 * SideBorder()), windowHeight(area.height + TopInset() + BottomBorder()) {}

bool CSelectAreaDlg::Open() {
    if (!Create(nullptr))
        return false;
    SetWindowPos(hwnd(), HWND_TOPMOST, x, y, windowWidth, windowHeight, SWP_SHOWWINDOW);
    // Placed on its monitor, the frame has that monitor's borders: fitted
    // again so the hole is the typed area. A second round covers a move that
    // changed the monitor, and with it the borders, once more.
    for (int round = 0; round < 2; ++round) {
        const RECT hole = Hole();
        if (EqualRect(&hole, &typed))
            break;
        FitAround(typed);
    }
    return true;
}

void CSelectAreaDlg::FitAround(const RECT& hole) {
    RECT window{};
    GetWindowRect(hwnd(), &window);
    const RECT fitted = FrameAround(hole, window, Hole());
    // The locks hold the frame at this place and size from here on.
    x = fitted.left;
    y = fitted.top;
    windowWidth = fitted.right - fitted.left;
    windowHeight = fitted.bottom - fitted.top;
    SetWindowPos(hwnd(), HWND_TOPMOST, x, y, windowWidth, windowHeight, SWP_NOACTIVATE);
}

BOOL CSelectAreaDlg::OnInitDialog() {
    CutHole();
    ShowCoordinates();
    return FALSE;
}

RECT CSelectAreaDlg::Hole() const {
    // The client area as the window manager placed it, whatever the DPI of
    // the monitor the borders were drawn for.
    return ClientOnScreen(hwnd());
}

void CSelectAreaDlg::CutHole() {
    RECT window{};
    GetWindowRect(hwnd(), &window);
    RECT client = Hole();
    OffsetRect(&client, -window.left, -window.top);
    win::GdiObject<HRGN> outer(CreateRectRgn(0, 0, window.right - window.left, window.bottom - window.top));
    win::GdiObject<HRGN> hole(CreateRectRgn(client.left, client.top, client.right, client.bottom));
    if (!outer || !hole || CombineRgn(outer.get(), outer.get(), hole.get(), RGN_DIFF) == ERROR)
        return;
    // The window owns the region from here on.
    if (SetWindowRgn(hwnd(), outer.get(), TRUE))
        outer.release();
}

void CSelectAreaDlg::ShowCoordinates() {
    const RECT hole = Hole();
    char text[96];
    // Signed: monitors left of or above the primary one have negative positions.
    std::snprintf(text, sizeof text, "X: %ld Y: %ld Width: %ld Height: %ld", static_cast<long>(hole.left),
                  static_cast<long>(hole.top), static_cast<long>(hole.right - hole.left),
                  static_cast<long>(hole.bottom - hole.top));
    SetWindowTextA(hwnd(), text);
    if (waitingWindow && waitingWindow->currentPage())
        waitingWindow->currentPage()->SetStatusText(text);
}

bool CSelectAreaDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_SIZE:
        CutHole();
        ShowCoordinates();
        result = 0;
        return true;
    case WM_MOVE:
        ShowCoordinates();
        result = 0;
        return true;
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        if (fixedDimensions == 1) {
            limits->ptMinTrackSize = limits->ptMaxTrackSize = POINT{windowWidth, windowHeight};
        } else {
            // The hole is never smaller than one pixel.
            RECT window{};
            GetWindowRect(hwnd(), &window);
            const RECT hole = Hole();
            limits->ptMinTrackSize = POINT{window.right - window.left - (hole.right - hole.left) + 1,
                                           window.bottom - window.top - (hole.bottom - hole.top) + 1};
        }
        result = 0;
        return true;
    }
    case 0x02E0: { // WM_DPICHANGED
        // The hole is the area the user framed, in screen pixels: it keeps
        // its size on a monitor of another scale, and the frame around it
        // takes that monitor's borders.
        RECT insets{};
        const RECT hole = Hole();
        if (FrameInsetsForDpi(hwnd(), LOWORD(wParam), insets)) {
            windowWidth = hole.right - hole.left + insets.right - insets.left;
            windowHeight = hole.bottom - hole.top + insets.bottom - insets.top;
            SetWindowPos(hwnd(), nullptr, 0, 0, windowWidth, windowHeight,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        result = 0;
        return true;
    }
    case WM_MOVING:
        if (fixedPosition == 1) {
            auto* proposed = reinterpret_cast<RECT*>(lParam);
            proposed->left = x;
            proposed->top = y;
        }
        result = TRUE;
        return true;
    default:
        return false;
    }
}

// ---- the executor ----

CAreaExecute::CAreaExecute(SettingsStore& settings, int captureMouse, CAreaDlg& page, const AreaValues& area)
    : CWhatExecute(settings, captureMouse), page(page), area(area) {}

CAreaExecute::~CAreaExecute() = default;

int CAreaExecute::Begin(CWizardContainerDlg* window) {
    waitingWindow = window;
    frame = std::make_unique<CSelectAreaDlg>(waitingWindow, area);
    if (!frame->Open())
        frame.reset();
    return 1;
}

bool CAreaExecute::Capture(BitmapHolder& bitmap, RECT& capturedRect, CWizardContainerDlg*) {
    if (!frame)
        return false;
    // The frame stays (its hole is exactly the grab); the waiting window,
    // which opens over the first-start area, moves out of the hole.
    const RECT hole = frame->Hole();
    if (waitingWindow)
        waitingWindow->ClearForGrab(hole);
    page.ShowArea(hole.left, hole.top, hole.right - hole.left, hole.bottom - hole.top);
    capturedRect = hole;
    return GrabScreenRect(hole, bitmap, captureMouse != 0);
}

void CAreaExecute::Describe(std::string& text) {
    text = "will capture a selected area.";
}

void CAreaExecute::End() {
    if (frame)
        ShowWindow(frame->hwnd(), SW_HIDE);
}
