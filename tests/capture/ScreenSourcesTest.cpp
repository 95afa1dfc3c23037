// The whole-screen and active-window sources against real windows.

#include "app/Messages.h"
#include "capture/AreaExecute.h"
#include "capture/ControlExecute.h"
#include "capture/ScreenGrab.h"
#include "capture/ScreenLayout.h"
#include "capture/ScreenSources.h"
#include "resources/resource.h"
#include "tests/capture/Pixels.h"
#include "tests/common/Messages.h"
#include "settings/SettingsStore.h"
#include "trigger/ImmediateExecute.h"
#include "trigger/WaitingWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

SIZE BitmapSize(const BitmapHolder& bitmap) {
    BITMAP info{};
    GetObjectA(bitmap.get(), sizeof info, &info);
    return SIZE{info.bmWidth, info.bmHeight};
}

// An ordinary captioned top-level window made the foreground window.
HWND MakeForegroundWindow(int x, int y, int w, int h) {
    HWND window = CreateWindowExA(0, "STATIC", "target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, w, h,
                                  nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(window);
    const DWORD start = GetTickCount();
    while (GetForegroundWindow() != window && GetTickCount() - start < 3000)
        PumpFor(20);
    return window;
}

class SourcesTest : public testing::Test {
protected:
    void SetUp() override {
        owner =
            CreateWindowExA(0, "STATIC", "main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(waiting.Create(owner));
        SetWindowPos(waiting.hwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        PumpFor(50);
    }
    void TearDown() override { DestroyWindow(owner); }

    HWND owner = nullptr;
    CWizardContainerDlg waiting;
    SettingsStore settings{"VistrelTest"};
};

TEST_F(SourcesTest, WholeScreenHidesTheWaitingWindowAndTakesTheScreen) {
    CFullscreenExecute source(settings, 0);
    BitmapHolder bitmap;
    RECT rect{};
    ASSERT_TRUE(source.Capture(bitmap, rect, &waiting));
    EXPECT_FALSE(IsWindowVisible(waiting.hwnd()));
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, sw);
    EXPECT_EQ(rect.bottom, sh);
    EXPECT_EQ(BitmapSize(bitmap).cx, sw);
    EXPECT_EQ(BitmapSize(bitmap).cy, sh);
    std::string text;
    source.Describe(text);
    EXPECT_EQ(text, "will capture the whole screen.");
}

TEST_F(SourcesTest, ActiveWindowWholeOrClientAndCutAtTheScreenEdge) {
    HWND target = MakeForegroundWindow(150, 120, 300, 200);
    ASSERT_EQ(GetForegroundWindow(), target);
    RECT window;
    GetWindowRect(target, &window);

    CActiveWindowExecute whole(settings, 0, 0);
    BitmapHolder bitmap;
    RECT rect{};
    ASSERT_TRUE(whole.Capture(bitmap, rect, &waiting));
    EXPECT_TRUE(EqualRect(&rect, &window));
    EXPECT_EQ(BitmapSize(bitmap).cx, window.right - window.left);
    EXPECT_EQ(BitmapSize(bitmap).cy, window.bottom - window.top);
    EXPECT_TRUE(IsWindowVisible(waiting.hwnd())) << "the waiting window was showing and must come back";

    CActiveWindowExecute client(settings, 0, 1);
    ASSERT_TRUE(client.Capture(bitmap, rect, &waiting));
    RECT inner;
    GetClientRect(target, &inner);
    POINT origin{0, 0};
    ClientToScreen(target, &origin);
    EXPECT_EQ(rect.left, origin.x);
    EXPECT_EQ(rect.top, origin.y);
    EXPECT_EQ(rect.right - rect.left, inner.right);
    EXPECT_EQ(BitmapSize(bitmap).cx, inner.right);
    EXPECT_EQ(BitmapSize(bitmap).cy, inner.bottom);

    // Partly past the left edge: the image starts at the edge, the rectangle does not.
    SetWindowPos(target, nullptr, -100, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PumpFor(50);
    GetWindowRect(target, &window);
    ASSERT_TRUE(whole.Capture(bitmap, rect, &waiting));
    EXPECT_EQ(rect.left, window.left);
    EXPECT_EQ(BitmapSize(bitmap).cx, window.right);
    std::string text;
    whole.Describe(text);
    EXPECT_EQ(text, "will capture the active window.");
    DestroyWindow(target);
}

// Windows' answers: minimised, cloaked (shell: another desktop), not cloaked,
// and no compositor (Wine: not implemented).
TEST(ActiveWindowOffScreen, MinimisedOrCloakedWindowsAreNotCaptured) {
    EXPECT_STREQ(ActiveWindowOffScreen(TRUE, S_OK, 0), "the active window is minimised");
    EXPECT_NE(ActiveWindowOffScreen(FALSE, S_OK, 2), nullptr);
    EXPECT_EQ(ActiveWindowOffScreen(FALSE, S_OK, 0), nullptr);
    EXPECT_EQ(ActiveWindowOffScreen(FALSE, static_cast<HRESULT>(0x80004001), 2), nullptr);
}

TEST_F(SourcesTest, MinimisedActiveWindowGivesNoImageAndTheWaitingPageSaysWhy) {
    auto page = std::make_unique<COnKeyWizardDlg>(waiting, "headline");
    ASSERT_TRUE(page->Create(waiting.hwnd()));
    HWND status = GetDlgItem(page->hwnd(), IDC_STATUS);
    waiting.ShowPage(std::move(page));
    HWND target = MakeForegroundWindow(150, 120, 300, 200);
    ShowWindow(target, SW_SHOWMINIMIZED);
    PumpFor(100);
    ASSERT_TRUE(IsIconic(target) && GetForegroundWindow() == target) << "no minimised active window here";
    CActiveWindowExecute source(settings, 0, 0);
    BitmapHolder bitmap;
    RECT rect{};
    EXPECT_FALSE(source.Capture(bitmap, rect, &waiting));
    char text[128] = "";
    GetWindowTextA(status, text, sizeof text);
    EXPECT_STREQ(text, "The last capture gave no image: the active window is minimised.");
    EXPECT_EQ(source.NoImageReason(), "the active window is minimised") << "the trigger's line must say the same";
    EXPECT_TRUE(IsWindowVisible(waiting.hwnd())) << "the waiting window, with its reason, must come back";
    DestroyWindow(target);
}

// The hole is the frame's client area on the screen and the typed area, and
// the frame's region leaves exactly it open.
TEST(AreaFrame, HoleIsTheClientAreaAndTheTypedAreaAtAnyBorderSize) {
    AreaValues area;
    area.xPosition = 130, area.yPosition = 170, area.width = 211, area.height = 97;
    CSelectAreaDlg frame(nullptr, area);
    ASSERT_TRUE(frame.Open());
    const RECT hole = frame.Hole(), client = ClientOnScreen(frame.hwnd()), typed{130, 170, 341, 267};
    EXPECT_TRUE(EqualRect(&hole, &client));
    EXPECT_TRUE(EqualRect(&hole, &typed))
        << hole.left << "," << hole.top << " " << hole.right << "," << hole.bottom;
    RECT window;
    GetWindowRect(frame.hwnd(), &window);
    win::GdiObject<HRGN> region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(frame.hwnd(), region.get()), ERROR);
    const int dx = hole.left - window.left, dy = hole.top - window.top;
    EXPECT_FALSE(PtInRegion(region.get(), dx, dy)) << "the hole's first pixel is covered";
    EXPECT_FALSE(PtInRegion(region.get(), dx + 210, dy + 96)) << "the hole's last pixel is covered";
    EXPECT_TRUE(PtInRegion(region.get(), dx - 1, dy)) << "the border left of the hole is open";
    EXPECT_TRUE(PtInRegion(region.get(), dx + 211, dy + 97)) << "the border below the hole is open";

    // At 144 DPI the borders drawn are 11 at the sides and below, 35 above (small caption).
    const RECT at144{50, 60, 372, 392}, client144{61, 95, 361, 381}, wanted{-300, 40, -89, 137};
    const RECT fitted = FrameAround(wanted, at144, client144), expected{-311, 5, -78, 148};
    EXPECT_TRUE(EqualRect(&fitted, &expected));
}

TEST_F(SourcesTest, ImmediateTriggerCapturesOnceThenEnds) {
    CImmediateExecute trigger(settings, owner);
    CFullscreenExecute source(settings, 0);
    trigger.Begin(&waiting, &source);
    EXPECT_FALSE(IsWindowVisible(waiting.hwnd()));
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, owner, MSG_CAPTURE, MSG_END_SESSION, PM_REMOVE));
    EXPECT_EQ(message.message, MSG_CAPTURE);
    EXPECT_FALSE(PeekMessageA(&message, owner, MSG_CAPTURE, MSG_END_SESSION, PM_NOREMOVE));
    trigger.AfterCapture(&waiting, &source);
    ASSERT_TRUE(PeekMessageA(&message, owner, MSG_CAPTURE, MSG_END_SESSION, PM_REMOVE));
    EXPECT_EQ(message.message, MSG_END_SESSION);
}

// A pick started by the immediate trigger (which hid the waiting window)
// shows its prompt; an outline that ran under the waiting window is erased
// without leaving strips even once that window is gone.
TEST_F(SourcesTest, ControlPickShowsItsPromptAndLeavesNoStripsAfterTheWaitingWindow) {
    CImmediateExecute trigger(settings, owner);
    CControlExecute source(settings, 0, owner, 0);
    trigger.Begin(&waiting, &source);
    ASSERT_FALSE(IsWindowVisible(waiting.hwnd()));
    BitmapHolder bitmap;
    RECT rect{};
    EXPECT_FALSE(source.Capture(bitmap, rect, &waiting)) << "starting a pick takes no image";
    EXPECT_TRUE(IsWindowVisible(waiting.hwnd())) << "the picking prompt stays hidden";
    EXPECT_NE(waiting.currentPage(), nullptr);

    // Just right of the waiting window: the left strip of its outline runs under it.
    RECT w;
    GetWindowRect(waiting.hwnd(), &w);
    HWND target = CreateWindowExA(WS_EX_TOPMOST, "BUTTON", "target", WS_POPUP | WS_VISIBLE, w.right + 1,
                                  w.top + 20, 150, 80, nullptr, nullptr, nullptr, nullptr);
    PumpFor(300);
    SetCursorPos(w.right + 70, w.top + 60);
    source.OnPointerMove();
    DestroyWindow(waiting.hwnd());
    PumpFor(300);
    const RECT band{w.right - 3, w.top + 10, w.right + 5, w.top + 110};
    BitmapHolder before, after;
    ASSERT_TRUE(GrabScreenRect(band, before, false));
    source.End();
    ASSERT_TRUE(GrabScreenRect(band, after, false));
    const std::vector<DWORD> a = Read(before.get()).data, b = Read(after.get()).data;
    int underWaiting = 0, erased = 0;
    for (int y = 0; y < 100; ++y) {
        underWaiting += a[y * 8 + 2] != b[y * 8 + 2]; // x = w.right - 1
        erased += a[y * 8 + 3] != b[y * 8 + 3];       // x = w.right
    }
    EXPECT_EQ(underWaiting, 0) << "strips inverted where the waiting window was";
    EXPECT_GT(erased, 50) << "the outline was not erased";
    DestroyWindow(target);
}

} // namespace
