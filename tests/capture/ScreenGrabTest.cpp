// The screen grab and the capture flash against a window of known colours.

#include "app/ScreenEffects.h"
#include "capture/ScreenGrab.h"

#include <gtest/gtest.h>

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

struct Pixels {
    int width = 0, height = 0;
    std::vector<DWORD> data; // top-down, 0x00RRGGBB

    COLORREF At(int x, int y) const {
        DWORD p = data[static_cast<size_t>(y) * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

Pixels Read(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    Pixels pixels;
    pixels.width = info.bmWidth;
    pixels.height = info.bmHeight;
    pixels.data.resize(static_cast<size_t>(info.bmWidth) * info.bmHeight);
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, info.bmHeight, pixels.data.data(), &header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return pixels;
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

TEST_F(ScreenGrabTest, DrawsThePointerAtItsHotSpotOnlyWhenAsked) {
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(arrow);
    ICONINFO icon{};
    ASSERT_TRUE(GetIconInfo(arrow, &icon));
    win::GdiObject<HBITMAP> mask(icon.hbmMask), colour(icon.hbmColor);
    ASSERT_TRUE(SetCursorPos(150, 150));
    DispatchPendingMessages();
    SetCursor(arrow);

    const RECT area{110, 110, 190, 190}; // all red without the pointer
    Pixels plain = Grab(area, false);
    for (COLORREF c : plain.data)
        ASSERT_EQ(c & 0xFFFFFF, 0xFF0000u) << "pointer drawn without being asked";

    Pixels withPointer = Grab(area, true);
    const int left = 150 - static_cast<int>(icon.xHotspot) - area.left;
    const int top = 150 - static_cast<int>(icon.yHotspot) - area.top;
    int changed = 0;
    for (int y = 0; y < withPointer.height; ++y)
        for (int x = 0; x < withPointer.width; ++x)
            if (withPointer.At(x, y) != kRed) {
                ++changed;
                EXPECT_GE(x, left);
                EXPECT_GE(y, top);
            }
    EXPECT_GT(changed, 10) << "no pointer in the image";

    // A pointer outside the rectangle leaves no trace.
    ASSERT_TRUE(SetCursorPos(600, 600));
    Pixels away = Grab(area, true);
    for (COLORREF c : away.data)
        ASSERT_EQ(c & 0xFFFFFF, 0xFF0000u);
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

TEST(PlayResourceSound, StopsWithoutNameAndFailsForAMissingSound) {
    EXPECT_TRUE(PlayResourceSound(nullptr));
    EXPECT_FALSE(PlayResourceSound("NOSUCHSOUND"));
}

} // namespace
