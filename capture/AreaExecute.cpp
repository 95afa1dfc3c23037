#include "capture/AreaExecute.h"

#include "capture/AreaSource.h"
#include "capture/ScreenGrab.h"
#include "resources/resource.h"
#include "trigger/WaitingWindow.h"
#include "win/Handles.h"

#include <cstdio>

namespace {

// The frame's borders: S at the sides, T above the hole (caption included),
// B below it.
int SideBorder() {
    return GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYEDGE);
}
int TopInset() {
    return GetSystemMetrics(SM_CYSMCAPTION) + GetSystemMetrics(SM_CXFRAME) + GetSystemMetrics(SM_CXEDGE);
}
int BottomBorder() {
    return GetSystemMetrics(SM_CXFRAME) + GetSystemMetrics(SM_CXEDGE);
}

} // namespace

// ---- the frame ----

CSelectAreaDlg::CSelectAreaDlg(CWizardContainerDlg* waitingWindow, const AreaValues& area)
    : win::Dialog(IDD_SELECT_AREA), waitingWindow(waitingWindow), fixedDimensions(area.fixedDimensions),
      fixedPosition(area.fixedPosition), x(area.xPosition - SideBorder()), y(area.yPosition - TopInset()),
      windowWidth(area.width + 2 * SideBorder()), windowHeight(area.height + TopInset() + BottomBorder()) {}

bool CSelectAreaDlg::Open() {
    if (!Create(nullptr))
        return false;
    SetWindowPos(hwnd(), HWND_TOPMOST, x, y, windowWidth, windowHeight, SWP_SHOWWINDOW);
    return true;
}

BOOL CSelectAreaDlg::OnInitDialog() {
    CutHole();
    ShowCoordinates();
    return FALSE;
}

RECT CSelectAreaDlg::Hole() const {
    RECT window{}, client{};
    GetWindowRect(hwnd(), &window);
    GetClientRect(hwnd(), &client);
    const int left = window.left + SideBorder();
    const int top = window.top + TopInset();
    return RECT{left, top, left + client.right, top + client.bottom};
}

void CSelectAreaDlg::CutHole() {
    RECT window{}, client{};
    GetWindowRect(hwnd(), &window);
    GetClientRect(hwnd(), &client);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    win::GdiObject<HRGN> outer(CreateRectRgn(0, 0, width, height));
    win::GdiObject<HRGN> hole(
        CreateRectRgn(SideBorder(), TopInset(), SideBorder() + client.right, TopInset() + client.bottom));
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

bool CSelectAreaDlg::OnMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR& result) {
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
            limits->ptMinTrackSize = POINT{2 * SideBorder() + 1, TopInset() + BottomBorder() + 1};
        }
        result = 0;
        return true;
    }
    case 0x02E0: // WM_DPICHANGED
        // The hole is the area the user framed, in screen pixels: it keeps
        // its size on a monitor of another scale.
        result = 0;
        return true;
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
