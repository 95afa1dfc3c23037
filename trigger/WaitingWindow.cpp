#include "trigger/WaitingWindow.h"

#include "app/Messages.h"
#include "capture/ScreenGrab.h"
#include "resources/resource.h"
#include "win/Compositor.h"
#include "win/Handles.h"

#include <cstdio>

namespace {

constexpr DWORD kSettleMilliseconds = 100;
constexpr UINT_PTR kIntervalTimerId = 1;
constexpr UINT_PTR kRefreshTimerId = 2;
constexpr UINT kRefreshMilliseconds = 500;
constexpr int kPageOffset = 10;

// The one waiting window whose keys are routed (there is one per session).
CWizardContainerDlg* g_routedWindow = nullptr;

bool Overlap(const RECT& a, const RECT& b) {
    RECT common;
    return IntersectRect(&common, &a, &b) != FALSE;
}

} // namespace

// ---- CWizardContainerDlg ----

CWizardContainerDlg::CWizardContainerDlg() : win::Dialog(IDD_WAITING) {}

CWizardContainerDlg::~CWizardContainerDlg() {
    if (keyRoute_)
        UnhookWindowsHookEx(keyRoute_);
    if (g_routedWindow == this)
        g_routedWindow = nullptr;
    // The page's window is a child of ours: it goes first.
    currentPage_.reset();
}

bool CWizardContainerDlg::Create(HWND owner) {
    if (!win::Dialog::Create(owner))
        return false;
    // The window is modeless and the loops that run meanwhile (the main
    // window's, the drains, message boxes) know nothing of it: a hook on this
    // thread hands its keys to the dialog manager before any loop sees them.
    if (!keyRoute_)
        keyRoute_ = SetWindowsHookExA(WH_GETMESSAGE, RouteDialogKeys, nullptr, GetCurrentThreadId());
    g_routedWindow = this;
    return true;
}

LRESULT CALLBACK CWizardContainerDlg::RouteDialogKeys(int code, WPARAM removal, LPARAM message) {
    auto* msg = reinterpret_cast<MSG*>(message);
    CWizardContainerDlg* window = g_routedWindow;
    if (code == HC_ACTION && removal == PM_REMOVE && window && window->hwnd() &&
        msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
        (msg->hwnd == window->hwnd() || IsChild(window->hwnd(), msg->hwnd)) &&
        IsDialogMessageA(window->hwnd(), msg))
        msg->message = WM_NULL; // handled: the loop that fetched it dispatches nothing
    return CallNextHookEx(nullptr, code, removal, message);
}

bool CWizardContainerDlg::OnCommand(WORD id, WORD code, HWND control) {
    // The dialog manager sends Enter on a focused push button to this window,
    // which owns the dialog manager's state, with the button's id: the
    // button belongs to the page, so the page handles it as its click.
    if (control && currentPage_ && IsChild(currentPage_->PageWindow().hwnd(), control)) {
        SendMessageA(currentPage_->PageWindow().hwnd(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
        return true;
    }
    return win::Dialog::OnCommand(id, code, control);
}

void CWizardContainerDlg::OnCancel() {
    if (currentPage_)
        currentPage_->Cancel();
}

HWND CWizardContainerDlg::Owner() const {
    return GetWindow(hwnd(), GW_OWNER);
}

BOOL CWizardContainerDlg::OnInitDialog() {
    SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return FALSE;
}

void CWizardContainerDlg::ShowPage(std::unique_ptr<CWizardDlg> page) {
    if (currentPage_) {
        ShowWindow(currentPage_->PageWindow().hwnd(), SW_HIDE);
        currentPage_.reset();
    }
    currentPage_ = std::move(page);
    if (currentPage_)
        SetWindowPos(currentPage_->PageWindow().hwnd(), nullptr, kPageOffset, kPageOffset, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

void CWizardContainerDlg::SendRequest(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hwnd())
        return;
    requestPending_ = true;
    SendMessageA(hwnd(), message, wParam, lParam);
    // The compositor shows the change before a grab can follow.
    win::FlushCompositor();
    Sleep(kSettleMilliseconds);
    // The handler clears the flag before it returns; a nested request that
    // is still running (we may be inside its dispatch) finishes first.
    const DWORD start = GetTickCount();
    while (requestPending_ && GetTickCount() - start < 5000) {
        DispatchPendingMessages();
        Sleep(10);
    }
}

void CWizardContainerDlg::HideForCapture() {
    SendRequest(MSG_HIDE_WAITING, 0, 0);
}

void CWizardContainerDlg::HideOnRequest() {
    hidden_ = true;
    ShowWindow(hwnd(), SW_HIDE);
}

RECT CWizardContainerDlg::ScreenRect() const {
    RECT r{};
    GetWindowRect(hwnd(), &r);
    return r;
}

void CWizardContainerDlg::ComputeCorners() {
    win::OwnedDC display(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
    const int width = display ? GetDeviceCaps(display.get(), HORZRES) : GetSystemMetrics(SM_CXSCREEN);
    const int height = display ? GetDeviceCaps(display.get(), VERTRES) : GetSystemMetrics(SM_CYSCREEN);
    RECT r = ScreenRect();
    corners_[0] = r;
    OffsetRect(&r, 0, height + r.top - r.bottom);
    corners_[1] = r;
    OffsetRect(&r, width + r.left - r.right, 0);
    corners_[2] = r;
    OffsetRect(&r, 0, r.bottom - height - r.top);
    corners_[3] = r;
}

void CWizardContainerDlg::MoveToCorner(int index) {
    if (index < 0)
        return;
    if (cornerIndex_ == -1)
        ComputeCorners();
    cornerIndex_ = index % 4;
    SendRequest(MSG_MOVE_WAITING, static_cast<WPARAM>(corners_[cornerIndex_].left),
                static_cast<LPARAM>(corners_[cornerIndex_].top));
}

bool CWizardContainerDlg::MoveAwayFrom(const RECT& rect) {
    if (dodging_)
        return false;
    dodging_ = true;
    if (cornerIndex_ == -1)
        ComputeCorners();

    if (hidden_) {
        for (int k = 0; k < 4; ++k) {
            const int i = (cornerIndex_ + 4 - k + 4) % 4;
            if (!Overlap(corners_[i], rect)) {
                MoveToCorner(i);
                hidden_ = false;
                dodging_ = false;
                return true;
            }
        }
    }
    if (!Overlap(ScreenRect(), rect)) {
        dodging_ = false;
        return false;
    }
    bool moved = false;
    for (int k = 0; k < 4 && !moved; ++k) {
        const int i = (cornerIndex_ + k + 1 + 4) % 4;
        if (!Overlap(corners_[i], rect)) {
            MoveToCorner(i);
            moved = true;
        }
    }
    if (!moved) {
        hidden_ = true;
        HideForCapture();
    }
    dodging_ = false;
    return true;
}

void CWizardContainerDlg::ClearForGrab(const RECT& rect) {
    if (hwnd() && IsWindowVisible(hwnd()))
        MoveAwayFrom(rect);
}

bool CWizardContainerDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case MSG_HIDE_WAITING:
        ShowWindow(hwnd(), SW_HIDE);
        DispatchPendingMessages();
        requestPending_ = false;
        result = 0;
        return true;
    case MSG_MOVE_WAITING: {
        // Shown without activation: the user's window keeps the keyboard.
        ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
        RECT r = ScreenRect();
        MoveWindow(hwnd(), static_cast<int>(wParam), static_cast<int>(lParam), r.right - r.left,
                   r.bottom - r.top, TRUE);
        DispatchPendingMessages();
        requestPending_ = false;
        result = 0;
        return true;
    }
    default:
        return false;
    }
}

// ---- pages with buttons ----

CButtonWizardDlg::CButtonWizardDlg(UINT templateId, CWizardContainerDlg& container, std::string headline)
    : win::Dialog(templateId), container(container), headline(std::move(headline)) {}

BOOL CButtonWizardDlg::OnInitDialog() {
    UpdateData(false);
    return FALSE;
}

void CButtonWizardDlg::Exchange(win::DataExchange& exchange) {
    exchange.Text(IDC_HEADLINE, headline);
    exchange.Text(IDC_STATUS, statusText);
}

void CButtonWizardDlg::SetStatusText(const std::string& text) {
    statusText = text;
    UpdateData(false);
}

void CButtonWizardDlg::PostToMainWindow(UINT message) {
    PostMessageA(container.Owner(), message, 0, 0);
}

bool CButtonWizardDlg::OnCommand(WORD id, WORD code, HWND control) {
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_WIZ_CAPTURE:
            OnCapture();
            return true;
        case IDC_WIZ_HIDE:
            container.HideOnRequest();
            return true;
        case IDC_WIZ_CANCEL:
            OnCancel();
            return true;
        }
    }
    return win::Dialog::OnCommand(id, code, control);
}

void CButtonWizardDlg::OnCapture() {
    PostToMainWindow(MSG_CAPTURE);
}

void CButtonWizardDlg::OnCancel() {
    PostToMainWindow(MSG_END_SESSION);
}

bool CButtonWizardDlg::Cancel() {
    OnCancel();
    return true;
}

COnKeyWizardDlg::COnKeyWizardDlg(CWizardContainerDlg& container, std::string headline)
    : CButtonWizardDlg(IDD_ON_KEY_WIZARD, container, std::move(headline)) {}

// ---- timer page ----

COnTimerWizardDlg::COnTimerWizardDlg(CWizardContainerDlg& container, std::string headline)
    : CButtonWizardDlg(IDD_ON_TIMER_WIZARD, container, std::move(headline)),
      countdownText("Timer has not been started yet.") {}

COnTimerWizardDlg::~COnTimerWizardDlg() {
    StopTimers();
}

void COnTimerWizardDlg::Exchange(win::DataExchange& exchange) {
    CButtonWizardDlg::Exchange(exchange);
    exchange.Text(IDC_COUNTDOWN, countdownText);
}

void COnTimerWizardDlg::OnCapture() {
    if (captureRequested)
        return;
    captureRequested = true;
    PostToMainWindow(MSG_CAPTURE);
}

void COnTimerWizardDlg::StartCountdown(HWND notify, unsigned seconds, unsigned shots) {
    notifyWindow = notify;
    remainingShots = shots;
    endTime = std::time(nullptr) + seconds;
    intervalTimer = SetTimer(hwnd(), kIntervalTimerId, seconds * 1000u, nullptr);
    refreshTimer = SetTimer(hwnd(), kRefreshTimerId, kRefreshMilliseconds, nullptr);
    ShowRemaining(seconds, remainingShots);
}

void COnTimerWizardDlg::StopTimers() {
    if (intervalTimer && hwnd())
        KillTimer(hwnd(), intervalTimer);
    if (refreshTimer && hwnd())
        KillTimer(hwnd(), refreshTimer);
    intervalTimer = refreshTimer = 0;
}

void COnTimerWizardDlg::ShowRemaining(unsigned seconds, unsigned shots) {
    char text[96];
    if (shots)
        std::snprintf(text, sizeof text, "Remaining seconds: %u screenshots: %u", seconds, shots);
    else
        std::snprintf(text, sizeof text, "Remaining seconds: %u", seconds);
    countdownText = text;
    UpdateData(false);
}

bool COnTimerWizardDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message != WM_TIMER)
        return CButtonWizardDlg::OnMessage(message, wParam, lParam, result);
    if (wParam == kIntervalTimerId) {
        StopTimers();
        PostMessageA(notifyWindow, MSG_CAPTURE, 0, 0);
    } else if (wParam == kRefreshTimerId) {
        const std::time_t now = std::time(nullptr);
        const unsigned remaining = endTime > now ? static_cast<unsigned>(endTime - now) : 0;
        ShowRemaining(remaining, remainingShots);
    }
    result = 0;
    return true;
}

// ---- control page ----

CControlWizardDlg::CControlWizardDlg() : win::Dialog(IDD_CONTROL_WIZARD) {}
