// The waiting window and its pages, made in-process from the program's templates.

#include "app/Messages.h"
#include "capture/ScreenGrab.h"
#include "resources/resource.h"
#include "tests/common/Messages.h"
#include "trigger/SnippingNotice.h"
#include "trigger/WaitingWindow.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A hidden top-level window standing in for the main window: it counts the
// messages the pages post to it.
struct MainStandIn {
    static inline int captures = 0;
    static inline int ends = 0;
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == MSG_CAPTURE)
            ++captures;
        if (m == MSG_END_SESSION)
            ++ends;
        return DefWindowProcA(w, m, wp, lp);
    }
    MainStandIn() {
        captures = ends = 0;
        WNDCLASSA c{};
        c.lpfnWndProc = Proc;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = "MainStandIn";
        RegisterClassA(&c);
        window = CreateWindowExA(0, "MainStandIn", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    }
    ~MainStandIn() { DestroyWindow(window); }
    HWND window;
};

std::string ItemText(HWND dialog, int id) {
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

class WaitingWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(container.Create(main.window));
        SetWindowPos(container.hwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        PumpFor(50);
    }
    RECT WindowRect() const {
        RECT r;
        GetWindowRect(container.hwnd(), &r);
        return r;
    }
    template <typename Page> Page* Show(Page* page) {
        EXPECT_TRUE(page->Create(container.hwnd()));
        container.ShowPage(std::unique_ptr<CWizardDlg>(page));
        return page;
    }

    MainStandIn main;
    CWizardContainerDlg container;
};

TEST_F(WaitingWindowTest, StartsAtTheOriginAndComputesTheFourCorners) {
    RECT r = WindowRect();
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);

    container.MoveToCorner(2);
    r = WindowRect();
    EXPECT_EQ(r.left, sw - w);
    EXPECT_EQ(r.top, sh - h);
    EXPECT_EQ(container.corner(1).left, 0);
    EXPECT_EQ(container.corner(1).top, sh - h);
    EXPECT_EQ(container.corner(3).left, sw - w);
    EXPECT_EQ(container.corner(3).top, 0);
    container.MoveToCorner(5); // modulo 4
    EXPECT_EQ(container.cornerIndex(), 1);
    EXPECT_EQ(WindowRect().top, sh - h);
}

TEST_F(WaitingWindowTest, HideForCaptureReturnsWithTheWindowHidden) {
    ASSERT_TRUE(IsWindowVisible(container.hwnd()));
    const DWORD start = GetTickCount();
    container.HideForCapture();
    EXPECT_GE(GetTickCount() - start, 90u);
    EXPECT_FALSE(IsWindowVisible(container.hwnd()));
    EXPECT_FALSE(container.hidden()) << "a hide for a grab is not the user's hide";
}

TEST_F(WaitingWindowTest, DodgesAControlAndHidesWhenNoCornerIsFree) {
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    RECT r = WindowRect();
    // Away from the window: nothing to do.
    EXPECT_FALSE(container.MoveAwayFrom(RECT{r.right + 5, r.bottom + 5, r.right + 50, r.bottom + 50}));

    // Covering the top-left corner: bottom-left.
    EXPECT_TRUE(container.MoveAwayFrom(RECT{0, 0, 50, 50}));
    EXPECT_EQ(container.cornerIndex(), 1);
    // A tall window along the left edge: bottom-right.
    EXPECT_TRUE(container.MoveAwayFrom(RECT{0, 0, 50, sh}));
    EXPECT_EQ(container.cornerIndex(), 2);
    EXPECT_TRUE(IsWindowVisible(container.hwnd()));

    // The whole screen: hidden.
    EXPECT_TRUE(container.MoveAwayFrom(RECT{0, 0, sw, sh}));
    EXPECT_TRUE(container.hidden());
    EXPECT_FALSE(IsWindowVisible(container.hwnd()));

    // A small control afterwards: back at its last corner, which is free.
    EXPECT_TRUE(container.MoveAwayFrom(RECT{0, 0, 20, 20}));
    EXPECT_FALSE(container.hidden());
    EXPECT_EQ(container.cornerIndex(), 2);
    EXPECT_TRUE(IsWindowVisible(container.hwnd()));
}

TEST_F(WaitingWindowTest, KeyPageButtonsPostToTheMainWindowAndHide) {
    auto* page = Show(new COnKeyWizardDlg(container, "\"F9\" will capture the whole screen."));
    EXPECT_EQ(ItemText(page->hwnd(), IDC_HEADLINE), "\"F9\" will capture the whole screen.");
    RECT pr;
    GetWindowRect(page->hwnd(), &pr);
    POINT origin{0, 0};
    ClientToScreen(container.hwnd(), &origin);
    EXPECT_EQ(pr.left - origin.x, 10);
    EXPECT_EQ(pr.top - origin.y, 10);

    page->SetStatusText("x: 10 y: 20");
    EXPECT_EQ(ItemText(page->hwnd(), IDC_STATUS), "x: 10 y: 20");

    for (int i = 0; i < 2; ++i)
        SendMessageA(page->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_WIZ_CAPTURE, BN_CLICKED), 0);
    SendMessageA(page->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_WIZ_CANCEL, BN_CLICKED), 0);
    PumpFor(50);
    EXPECT_EQ(MainStandIn::captures, 2);
    EXPECT_EQ(MainStandIn::ends, 1);

    SendMessageA(page->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_WIZ_HIDE, BN_CLICKED), 0);
    EXPECT_TRUE(container.hidden());
    EXPECT_FALSE(IsWindowVisible(container.hwnd()));
    // Pointing at a control brings it back.
    EXPECT_TRUE(container.MoveAwayFrom(RECT{500, 300, 520, 320}));
    EXPECT_FALSE(container.hidden());
    EXPECT_TRUE(IsWindowVisible(container.hwnd()));

    // A new page replaces (and destroys) the old one.
    HWND old = page->hwnd();
    Show(new COnKeyWizardDlg(container, "second"));
    EXPECT_FALSE(IsWindow(old));
}

TEST_F(WaitingWindowTest, TimerPageCountsDownAndCapturesOnce) {
    auto* page = Show(new COnTimerWizardDlg(container, "\"F9\" will capture the whole screen."));
    EXPECT_EQ(ItemText(page->hwnd(), IDC_COUNTDOWN), "Timer has not been started yet.");

    page->StartCountdown(main.window, 10, 3);
    EXPECT_EQ(ItemText(page->hwnd(), IDC_COUNTDOWN), "Remaining seconds: 10 screenshots: 3");
    page->StartCountdown(main.window, 2, 0);
    EXPECT_EQ(ItemText(page->hwnd(), IDC_COUNTDOWN), "Remaining seconds: 2");
    PumpFor(1300);
    const std::string during = ItemText(page->hwnd(), IDC_COUNTDOWN);
    EXPECT_TRUE(during == "Remaining seconds: 1" || during == "Remaining seconds: 0") << during;
    EXPECT_EQ(MainStandIn::captures, 0);
    // Expiry posts one capture and stops both timers.
    const DWORD start = GetTickCount();
    while (MainStandIn::captures == 0 && GetTickCount() - start < 3000)
        PumpFor(50);
    EXPECT_EQ(MainStandIn::captures, 1) << "no capture after the interval";
    const std::string after = ItemText(page->hwnd(), IDC_COUNTDOWN);
    PumpFor(1200);
    EXPECT_EQ(MainStandIn::captures, 1);
    EXPECT_EQ(ItemText(page->hwnd(), IDC_COUNTDOWN), after) << "refresh timer still running";

    // The Capture button works once per page.
    for (int i = 0; i < 2; ++i)
        SendMessageA(page->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_WIZ_CAPTURE, BN_CLICKED), 0);
    PumpFor(50);
    EXPECT_EQ(MainStandIn::captures, 2);
}

TEST(SnippingNotice, NamesTheSwitchWhereTheRunningWindowsHasIt) {
    // Builds as Windows reports them: Windows 10 22H2, the first and a current Windows 11.
    const std::string on10 =
        "\"Use the PrtScn button to open screen snipping\" under Settings > Ease of Access > Keyboard.";
    const std::string on11 =
        "\"Use the Print screen key to open screen capture\" under Settings > Accessibility > Keyboard.";
    for (DWORD build : {19045u, 22000u, 22631u}) {
        const std::string notice = snipping::NoticeFor(build);
        EXPECT_NE(notice.find(build < 22000 ? on10 : on11), std::string::npos) << build << ": " << notice;
        EXPECT_EQ(notice.find(build < 22000 ? on11 : on10), std::string::npos) << build << ": " << notice;
    }
}

} // namespace
