// The screen grab and the capture flash against a window of known colours.

#include "app/ScreenEffects.h"
#include "capture/OwnBoxes.h"
#include "capture/ScreenGrab.h"
#include "capture/ScreenLayout.h"
#include "tests/capture/Pixels.h"
#include "win/Compositor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr RECT kWindowRect{100, 100, 300, 200};

// A topmost window: left half red, right half blue.
LRESULT CALLBACK PatternProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        RECT left = client, right = client;
        left.right = right.left = client.right / 2;
        win::GdiObject<HBRUSH> red(CreateSolidBrush(kRed)), blue(CreateSolidBrush(kBlue));
        FillRect(dc, &left, red.get());
        FillRect(dc, &right, blue.get());
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class ScreenGrabTest : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = PatternProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = "GrabPattern";
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(WS_EX_TOPMOST, "GrabPattern", "", WS_POPUP | WS_VISIBLE, kWindowRect.left,
                                  kWindowRect.top, kWindowRect.right - kWindowRect.left,
                                  kWindowRect.bottom - kWindowRect.top, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(window_);
        // Let the X server show and paint the window before the first grab.
        for (int i = 0; i < 20; ++i) {
            UpdateWindow(window_);
            DispatchPendingMessages();
            Sleep(25);
        }
    }
    void TearDown() override { DestroyWindow(window_); }

    HWND window_ = nullptr;
};

bool Same(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != FALSE;
}

Pixels Grab(const RECT& rect, bool cursor = false) {
    win::GdiObject<HBITMAP> holder;
    EXPECT_TRUE(GrabScreenRect(rect, holder, cursor));
    return holder ? Read(holder.get()) : Pixels{};
}

TEST_F(ScreenGrabTest, CopiesTheScreenInTheDisplayFormat) {
    win::GdiObject<HBITMAP> holder;
    ASSERT_TRUE(GrabScreenRect(kWindowRect, holder, false));
    BITMAP info{};
    GetObjectA(holder.get(), sizeof info, &info);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(info.bmBitsPixel * info.bmPlanes,
              GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES));
    ReleaseDC(nullptr, screen);

    Pixels p = Read(holder.get());
    ASSERT_EQ(p.width, 200);
    ASSERT_EQ(p.height, 100);
    EXPECT_EQ(p.At(0, 0), kRed);
    EXPECT_EQ(p.At(99, 99), kRed);
    EXPECT_EQ(p.At(100, 0), kBlue);
    EXPECT_EQ(p.At(199, 99), kBlue);
}

TEST_F(ScreenGrabTest, CutsTheRectangleToTheScreen) {
    // Past the left and top edges: the bitmap starts at the screen's origin.
    Pixels p = Grab(RECT{-50, -20, 150, 120});
    EXPECT_EQ(p.width, 150);
    EXPECT_EQ(p.height, 120);
    EXPECT_EQ(p.At(100, 100), kRed);
    EXPECT_EQ(p.At(149, 119), kRed);

    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    Pixels q = Grab(RECT{w - 24, h - 68, w + 100, h + 100});
    EXPECT_EQ(q.width, 24);
    EXPECT_EQ(q.height, 68);
}

TEST_F(ScreenGrabTest, GivesNoImageForEmptyOrOffScreenRectangles) {
    const int w = GetSystemMetrics(SM_CXSCREEN);
    for (RECT r : {RECT{10, 10, 10, 50}, RECT{10, 50, 40, 20}, RECT{w, 0, w + 100, 100},
                   RECT{-200, -200, -100, -100}}) {
        win::GdiObject<HBITMAP> holder;
        EXPECT_FALSE(GrabScreenRect(r, holder, false)) << r.left << "," << r.top;
        EXPECT_FALSE(holder);
    }
}

// A text box owned by another thread (with its own input state, as another
// program has), which shows the I-beam over it and hides the pointer on request.
class ForeignTextBox {
public:
    ForeignTextBox() {
        thread_ = std::thread([this] {
            box_ = CreateWindowExA(WS_EX_TOPMOST, "EDIT", "", WS_POPUP | WS_VISIBLE | WS_BORDER, 400, 100,
                                   200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
            SetForegroundWindow(box_);
            threadId_ = GetCurrentThreadId();
            ready_ = true;
            MSG m;
            while (GetMessageA(&m, nullptr, 0, 0) > 0) {
                if (m.message == WM_APP) {
                    ShowCursor(m.wParam ? TRUE : FALSE);
                    continue;
                }
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
            DestroyWindow(box_);
        });
        while (!ready_)
            Sleep(10);
    }
    ~ForeignTextBox() {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    void ShowPointer(bool show) {
        PostThreadMessageA(threadId_, WM_APP, show, 0);
        Sleep(200);
    }
    HWND box() const { return box_; }

private:
    std::thread thread_;
    std::atomic<bool> ready_{false};
    DWORD threadId_ = 0;
    HWND box_ = nullptr;
};

TEST_F(ScreenGrabTest, DrawsThePointerShownOnTheScreenAtItsSizeAndNothingWhenHidden) {
    ForeignTextBox other;
    // This thread's own cursor stays the arrow; the screen shows the I-beam.
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    ASSERT_TRUE(SetCursorPos(500, 150));
    CURSORINFO shown{};
    shown.cbSize = sizeof shown;
    HCURSOR ibeam = LoadCursorA(nullptr, IDC_IBEAM);
    const bool showsIBeam = [&] {
        for (int i = 0; i < 100; ++i, Sleep(20))
            if (GetCursorInfo(&shown) && shown.hCursor == ibeam)
                return true;
        return false;
    }();
    ASSERT_TRUE(showsIBeam) << "the system does not show the I-beam over the other thread's text box";

    const RECT area{450, 110, 550, 190};
    win::GdiObject<HBITMAP> plainBitmap;
    ASSERT_TRUE(GrabScreenRect(area, plainBitmap, false));
    Pixels withPointer = Grab(area, true);
    // What the I-beam looks like there: drawn by the system at its own size and hot spot.
    ICONINFO icon{};
    ASSERT_TRUE(GetIconInfo(ibeam, &icon));
    win::GdiObject<HBITMAP> mask(icon.hbmMask), colour(icon.hbmColor);
    {
        win::OwnedDC memory(CreateCompatibleDC(nullptr));
        win::SelectionRestore selected(memory.get(), plainBitmap.get());
        DrawIconEx(memory.get(), 500 - static_cast<int>(icon.xHotspot) - area.left,
                   150 - static_cast<int>(icon.yHotspot) - area.top, ibeam, 0, 0, 0, nullptr, DI_NORMAL);
    }
    Pixels expected = Read(plainBitmap.get());
    ASSERT_EQ(withPointer.data.size(), expected.data.size());
    int differ = 0;
    for (size_t i = 0; i < expected.data.size(); ++i)
        differ += withPointer.data[i] != expected.data[i];
    EXPECT_EQ(differ, 0) << "the I-beam is not drawn at its place and size";
    EXPECT_NE(Grab(area, false).data, withPointer.data) << "the pointer is drawn only when asked";

    // A pointer outside the rectangle, or hidden, leaves no trace.
    const RECT away{450, 160, 550, 190};
    ASSERT_TRUE(SetCursorPos(500, 120));
    EXPECT_EQ(Grab(away, true).data, Grab(away, false).data) << "a pointer outside was drawn";
    ASSERT_TRUE(SetCursorPos(500, 150));
    other.ShowPointer(false);
    EXPECT_EQ(Grab(area, true).data, Grab(area, false).data) << "a hidden pointer was drawn";
    other.ShowPointer(true);
}

TEST(ScreenLayout, MonitorsLeftOfAndAboveThePrimaryKeepTheirOutlinesAndGrabs) {
    // A 1280x1024 monitor left of and 300 above a 1024x768 primary.
    const RECT second{-1280, -300, 0, 724}, primary{0, 0, 1024, 768};
    const RECT virtualScreen{-1280, -300, 1024, 768};
    RECT s[4];
    ASSERT_TRUE(OutlineStrips(RECT{-1000, -200, -500, 100}, second, s));
    EXPECT_TRUE(Same(s[0], RECT{-1002, -202, -500, -200})) << "top";
    EXPECT_TRUE(Same(s[1], RECT{-1002, -202, -1000, 100})) << "left";
    EXPECT_TRUE(Same(s[2], RECT{-500, -202, -498, 100})) << "right";
    EXPECT_TRUE(Same(s[3], RECT{-1002, 100, -500, 102})) << "bottom";
    // Filling the second monitor: pulled inside its own edges, not the primary's.
    ASSERT_TRUE(OutlineStrips(second, second, s));
    EXPECT_TRUE(Same(s[0], RECT{-1280, -300, -2, -298}));
    EXPECT_TRUE(Same(s[3], RECT{-1280, 722, -2, 724}));
    ASSERT_TRUE(OutlineStrips(RECT{900, 600, 1024, 768}, primary, s));
    EXPECT_TRUE(Same(s[2], RECT{1022, 598, 1024, 766}));
    EXPECT_FALSE(OutlineStrips(RECT{10, 10, 10, 20}, primary, s));

    RECT cut = CutToScreen(RECT{-1300, -400, -1200, -250}, virtualScreen);
    EXPECT_TRUE(Same(cut, RECT{-1280, -300, -1200, -250}));
    cut = CutToScreen(RECT{-100, 700, 100, 800}, virtualScreen);
    EXPECT_TRUE(Same(cut, RECT{-100, 700, 100, 768}));
    cut = CutToScreen(RECT{-1500, 0, -1300, 10}, virtualScreen);
    EXPECT_TRUE(IsRectEmpty(&cut));

    const AreaLimits limits = AreaLimitsOn(virtualScreen);
    EXPECT_EQ(limits.minX, -1280);
    EXPECT_EQ(limits.maxX, 1023);
    EXPECT_EQ(limits.minY, -300);
    EXPECT_EQ(limits.maxY, 767);
    EXPECT_EQ(limits.maxWidth, 2304);
    EXPECT_EQ(limits.maxHeight, 1068);
}

TEST(VisibleFrame, TopLevelWindowsUseTheCompositorsFrameChildrenTheirRectangle) {
    // Windows 10 answers with the frame 7 pixels inside left, right and bottom.
    const RECT window{100, 100, 500, 400}, frame{107, 100, 493, 393};
    RECT chosen = win::ChooseVisibleFrame(window, true, S_OK, frame);
    EXPECT_TRUE(EqualRect(&chosen, &frame));
    chosen = win::ChooseVisibleFrame(window, false, S_OK, frame);
    EXPECT_TRUE(EqualRect(&chosen, &window)) << "a child control keeps its rectangle";
    chosen = win::ChooseVisibleFrame(window, true, static_cast<HRESULT>(0x80004001), frame);
    EXPECT_TRUE(EqualRect(&chosen, &window)) << "not implemented (Wine)";
    chosen = win::ChooseVisibleFrame(window, true, S_OK, RECT{});
    EXPECT_TRUE(EqualRect(&chosen, &window));
    chosen = win::ChooseVisibleFrame(window, true, S_OK, RECT{90, 100, 493, 393});
    EXPECT_TRUE(EqualRect(&chosen, &window)) << "a frame outside the rectangle is not believed";

    // Here the compositor does not answer: the window rectangle it is.
    HWND real = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 30, 40, 200, 100, nullptr, nullptr,
                                nullptr, nullptr);
    RECT expected{};
    GetWindowRect(real, &expected);
    chosen = win::VisibleFrame(real);
    EXPECT_TRUE(EqualRect(&chosen, &expected));
    DestroyWindow(real);
}

TEST_F(ScreenGrabTest, FlashInvertsAndSecondFlashRestores) {
    InvertScreenRect(kWindowRect);
    Pixels inverted = Grab(kWindowRect);
    InvertScreenRect(kWindowRect);
    Pixels restored = Grab(kWindowRect);
    HDC screen = GetDC(nullptr);
    const bool palette = GetDeviceCaps(screen, BITSPIXEL) <= 8;
    ReleaseDC(nullptr, screen);
    if (palette) { // a palette display inverts indices, not colours
        EXPECT_NE(inverted.At(10, 10), kRed);
        EXPECT_NE(inverted.At(150, 50), kBlue);
    } else {
        EXPECT_EQ(inverted.At(10, 10), RGB(0, 255, 255));
        EXPECT_EQ(inverted.At(150, 50), RGB(255, 255, 0));
    }
    EXPECT_EQ(restored.At(10, 10), kRed);
    EXPECT_EQ(restored.At(150, 50), kBlue);
}

TEST(PointerSize, FollowsTheMonitorsDpiAndTheUsersPointerSize) {
    for (auto [dpi, size] : {std::pair{96, 32}, {144, 48}, {192, 64}}) {
        EXPECT_EQ(PointerSize(std::nullopt, 32, 96, dpi), size) << dpi << " DPI, answered for 96";
        EXPECT_EQ(PointerSize(std::nullopt, size, dpi, dpi), size) << dpi << " DPI, answered for the monitor";
        EXPECT_EQ(PointerSize(48, 32, 96, dpi), size * 3 / 2) << dpi << " DPI, a larger pointer set";
    }
    EXPECT_EQ(PointerSize(std::nullopt, 48, 144, 96), 32) << "system at 150 %, pointer on a 100 % monitor";
    EXPECT_EQ(PointerSize(1000, 32, 96, 144), 48) << "a setting Windows never writes";
    EXPECT_EQ(PointerSize(std::nullopt, 32, 0, 0), 32) << "no DPI answered";
}

// Windows' answers: build 19041 (2004) takes and reads back 0x11; 18363
// (1909) is not asked; Wine refuses the call or reads back 0.
TEST(OwnBoxes, CapturesWaitForBoxesThatWindowsCannotLeaveOutOfPictures) {
    using ownboxes::BoxAnswers;
    const BoxAnswers leftOut{true, 19041, TRUE, 0x11}, old{true, 18363, FALSE, 0},
        refused{true, 19045, FALSE, 0}, ignored{true, 19045, TRUE, 0}, notMade{false, 22631, FALSE, 0},
        inFront{true, 22631, TRUE, 0x11, true};
    EXPECT_TRUE(ownboxes::MayCaptureNow({}));
    EXPECT_TRUE(ownboxes::MayCaptureNow({leftOut, leftOut}));
    for (const BoxAnswers& box : {old, refused, ignored, notMade, inFront})
        EXPECT_FALSE(ownboxes::MayCaptureNow({leftOut, box})) << box.build << " " << box.accepted;
    EXPECT_FALSE(ownboxes::CanLeaveOut(18363));
    EXPECT_TRUE(ownboxes::CanLeaveOut(22631));
}

TEST(PlayResourceSound, StopsWithoutNameAndFailsForAMissingSound) {
    EXPECT_TRUE(PlayResourceSound(nullptr));
    EXPECT_FALSE(PlayResourceSound("NOSUCHSOUND"));
}

} // namespace
