#include "app/ResultDlg.h"

#include "resources/resource.h"

#include <algorithm>
#include <cstring>

RECT CScrollBitmapDlg::lastPreviewRect{-1, -1, -1, -1};

namespace {

constexpr int kMinimumWidth = 50;
constexpr int kMinimumHeight = 100;
const char kWaitingCaption[] = "Vistrel Wizard";

struct WaitingSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindWaitingWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WaitingSearch*>(data);
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (GetWindow(window, GW_OWNER) == search->owner && std::strcmp(caption, kWaitingCaption) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

RECT KeepInside(const RECT& window, const RECT& area) {
    const LONG width = window.right - window.left, height = window.bottom - window.top;
    LONG left = std::min(window.left, area.right - width);
    LONG top = std::min(window.top, area.bottom - height);
    left = std::max(left, area.left);
    top = std::max(top, area.top);
    return RECT{left, top, left + width, top + height};
}

CScrollBitmapDlg::CScrollBitmapDlg(HWND owner) : win::Dialog(IDD_RESULT), owner(owner) {
    icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN));
    WaitingSearch search{owner, nullptr};
    if (owner)
        EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), FindWaitingWindow,
                          reinterpret_cast<LPARAM>(&search));
    waitingWindow = search.found;
    if (waitingWindow) {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        GetWindowPlacement(waitingWindow, &placement);
        // Only a window that is on the screen now comes back afterwards; one
        // hidden for a grab or minimised stays as it is.
        if (IsWindowVisible(waitingWindow) && (placement.showCmd & 1)) {
            keepWaitingWindow = false;
            ShowWindow(waitingWindow, SW_HIDE);
        }
    }
}

CScrollBitmapDlg::~CScrollBitmapDlg() {
    ReleaseMemoryDc();
}

void CScrollBitmapDlg::ReleaseMemoryDc() {
    // The capture is read with GetDIBits after the preview: it must not stay selected.
    if (memoryDc && memoryDcPrevious)
        SelectObject(memoryDc.get(), memoryDcPrevious);
    memoryDcPrevious = nullptr;
    memoryDc.reset();
}

RECT CScrollBitmapDlg::DialogUnits(int left, int top, int right, int bottom) const {
    RECT r{left, top, right, bottom};
    MapDialogRect(hwnd(), &r);
    return r;
}

BOOL CScrollBitmapDlg::OnInitDialog() {
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    {
        win::WindowDC client(hwnd());
        memoryDc.reset(CreateCompatibleDC(client.get()));
    }
    ShowWindow(Item(IDC_VSCROLL), SW_HIDE);
    ShowWindow(Item(IDC_HSCROLL), SW_HIDE);
    if (GifMode() && picture.Attach(Item(IDC_PICTURE)) && picture.Load(gifPath.c_str()))
        picture.Draw();
    SizeWindow();
    laidOut = true;
    Layout();
    // A key in another program asked for the capture; its hook allowed vsr
    // to take the foreground, so the user sees the preview at once.
    SetForegroundWindow(hwnd());
    return TRUE;
}

SIZE CScrollBitmapDlg::ImageSize() const {
    if (GifMode())
        return picture.PictureSize();
    BITMAP info{};
    if (bitmap)
        GetObjectA(bitmap, sizeof info, &info);
    return SIZE{info.bmWidth, info.bmHeight};
}

void CScrollBitmapDlg::SizeWindow() {
    const SIZE image = ImageSize();
    const RECT margins = DialogUnits(21, 7, 58, 25);
    int width = image.cx + margins.left + margins.right;
    int height = image.cy + margins.bottom;

    RECT window, client;
    GetWindowRect(hwnd(), &window);
    GetClientRect(hwnd(), &client);
    width += (window.right - window.left) - client.right;
    height += (window.bottom - window.top) - client.bottom;
    width = std::max(width, kMinimumWidth);
    height = std::max(height, kMinimumHeight);

    win::OwnedDC display(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
    if (display) {
        width = std::min(width, GetDeviceCaps(display.get(), HORZRES));
        height = std::min(height, GetDeviceCaps(display.get(), VERTRES));
    }
    const RECT& last = lastPreviewRect;
    RECT place = window;
    if (!(last.left == -1 && last.top == -1 && last.right == -1 && last.bottom == -1))
        place = last;
    place.right = place.left + width;
    place.bottom = place.top + height;
    // The template opens beside the owner, perhaps partly off the screen:
    // Accept and Drop must stay where the user can press them.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromRect(&place, MONITOR_DEFAULTTONEAREST), &monitor))
        place = KeepInside(place, monitor.rcWork);
    MoveWindow(hwnd(), place.left, place.top, width, height, TRUE);
    ShowWindow(hwnd(), SW_SHOW);
}

void CScrollBitmapDlg::Layout() {
    HWND picture = Item(IDC_PICTURE);
    if (!picture || !laidOut)
        return;
    RECT client;
    GetClientRect(hwnd(), &client);
    const RECT margins = DialogUnits(21, 7, 58, 25);
    const RECT dropTop = DialogUnits(0, 0, 0, 29);
    SetWindowPos(picture, nullptr, 0, 0, client.right - (margins.left + margins.right),
                 client.bottom - margins.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
    const int buttonX = client.right - margins.right;
    SetWindowPos(Item(IDOK), nullptr, buttonX, margins.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(Item(IDC_DROP), nullptr, buttonX, dropTop.bottom, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetUpScrolling();
}

void CScrollBitmapDlg::SetUpScrolling() {
    const RECT thickness = DialogUnits(0, 0, 10, 10);
    scrollX = scrollY = 0;
    HWND picture = Item(IDC_PICTURE);
    GetClientRect(picture, &view);
    MapWindowPoints(picture, hwnd(), reinterpret_cast<POINT*>(&view), 2);
    viewWidth = view.right - view.left;
    viewHeight = view.bottom - view.top;

    bitmapInfo = BITMAP{};
    if (GifMode()) {
        const SIZE image = this->picture.PictureSize();
        bitmapInfo.bmWidth = image.cx;
        bitmapInfo.bmHeight = image.cy;
    } else if (bitmap) {
        GetObjectA(bitmap, sizeof bitmapInfo, &bitmapInfo);
        if (!memoryDcPrevious)
            memoryDcPrevious = SelectObject(memoryDc.get(), bitmap);
    }
    destX = view.left;
    destY = view.top;
    SetWindowPos(Item(IDC_VSCROLL), nullptr, view.left + viewWidth, view.top, thickness.right, viewHeight,
                 SWP_NOZORDER);
    SetWindowPos(Item(IDC_HSCROLL), nullptr, view.left, view.top + viewHeight, viewWidth, thickness.bottom,
                 SWP_NOZORDER);
    SetUpBar(IDC_HSCROLL, bitmapInfo.bmWidth, viewWidth, view.left, destX);
    SetUpBar(IDC_VSCROLL, bitmapInfo.bmHeight, viewHeight, view.top, destY);
    ShowScrolledPart();
    InvalidateRect(hwnd(), &view, TRUE);
}

// The animation shows the part of its canvas the scroll bars point at.
void CScrollBitmapDlg::ShowScrolledPart() {
    if (GifMode())
        picture.SetPaintRect(RECT{scrollX, scrollY, scrollX + std::min(viewWidth, int(bitmapInfo.bmWidth)),
                                  scrollY + std::min(viewHeight, int(bitmapInfo.bmHeight))});
}

void CScrollBitmapDlg::SetUpBar(int barId, int imageSize, int viewSize, int viewStart, int& dest) {
    HWND bar = Item(barId);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
    info.nMin = 0;
    info.nMax = std::max(imageSize - viewSize, 0);
    SetScrollInfo(bar, SB_CTL, &info, TRUE);
    if (viewSize >= imageSize) {
        ShowWindow(bar, SW_HIDE);
        dest = viewStart + (viewSize - imageSize) / 2;
    } else {
        ShowWindow(bar, SW_SHOW);
    }
}

void CScrollBitmapDlg::Scroll(int barId, WORD request, WORD thumbPosition, int& offset) {
    HWND bar = Item(barId);
    int minimum = 0, maximum = 0;
    GetScrollRange(bar, SB_CTL, &minimum, &maximum);
    switch (request) {
    case SB_LINELEFT:
        offset = std::max(offset - 1, 0);
        break;
    case SB_LINERIGHT:
        offset = std::min(offset + 1, maximum);
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        offset = thumbPosition;
        break;
    case SB_LEFT:
        offset = 0;
        break;
    case SB_RIGHT:
        offset = maximum;
        break;
    default:
        break; // pages and the end of a scroll move nothing
    }
    SetScrollPos(bar, SB_CTL, offset, TRUE);
    ShowScrolledPart();
    scrollRepaint = true;
    InvalidateRect(hwnd(), &view, TRUE);
}

void CScrollBitmapDlg::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    // In GIF mode the picture control paints the animation.
    if (!GifMode() && bitmap && memoryDc) {
        // Never more than the image: beyond it a memory DC holds no pixels.
        const int width = std::min(viewWidth, static_cast<int>(bitmapInfo.bmWidth) - scrollX);
        const int height = std::min(viewHeight, static_cast<int>(bitmapInfo.bmHeight) - scrollY);
        BitBlt(dc, destX, destY, width, height, memoryDc.get(), scrollX, scrollY, SRCCOPY);
    }
    EndPaint(hwnd(), &paint);
    scrollRepaint = false;
}

bool CScrollBitmapDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_PAINT:
        Paint();
        result = 0;
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<INT_PTR>(icon);
        return true;
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lParam) == Item(IDC_HSCROLL))
            Scroll(IDC_HSCROLL, LOWORD(wParam), HIWORD(wParam), scrollX);
        return false;
    case WM_VSCROLL:
        if (reinterpret_cast<HWND>(lParam) == Item(IDC_VSCROLL))
            Scroll(IDC_VSCROLL, LOWORD(wParam), HIWORD(wParam), scrollY);
        return false;
    case WM_ERASEBKGND:
        if (!scrollRepaint)
            return false;
        result = 0;
        return true;
    case WM_SIZE:
        Layout();
        return false;
    case WM_GETMINMAXINFO:
        // A GIF preview keeps the size it opened with: the first three
        // queries come while the window is made and sized.
        if (++minMaxCount > 3 && GifMode()) {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            RECT window;
            GetWindowRect(hwnd(), &window);
            const POINT size{window.right - window.left, window.bottom - window.top};
            limits->ptMinTrackSize = limits->ptMaxTrackSize = limits->ptMaxSize = size;
            result = 0;
            return true;
        }
        return false;
    case WM_DESTROY:
        ReleaseMemoryDc();
        return false;
    default:
        return false;
    }
}

bool CScrollBitmapDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_DROP && code == BN_CLICKED) {
        Close(IDCANCEL, true);
        return true;
    }
    return win::Dialog::OnCommand(id, code, control);
}

void CScrollBitmapDlg::OnOK() {
    Close(IDOK, true);
}

void CScrollBitmapDlg::OnCancel() {
    // Esc: neither remembered nor is the waiting window brought back.
    EndDialog(IDCANCEL);
}

void CScrollBitmapDlg::Close(INT_PTR result, bool remember) {
    if (remember)
        GetWindowRect(hwnd(), &lastPreviewRect);
    if (!keepWaitingWindow && waitingWindow && IsWindow(waitingWindow))
        // Without activation: the window the user works in stays the foreground window.
        ShowWindow(waitingWindow, SW_SHOWNOACTIVATE);
    EndDialog(result);
}
