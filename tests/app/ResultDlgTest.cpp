// The "Result" preview run modally in-process, driven from a thread timer.

#include "app/ResultDlg.h"
#include "capture/ScreenGrab.h"
#include "output/FileExecute.h"
#include "settings/SettingsStore.h"
#include "resources/resource.h"
#include "tests/common/Bitmaps.h"
#include "trigger/WaitingWindow.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr COLORREF kLeft = RGB(255, 0, 0);
constexpr COLORREF kRight = RGB(0, 0, 255);

// A capture whose left half is red and right half blue, with a green second
// column (the view's frame covers its outermost pixels).
win::GdiObject<HBITMAP> MakeCapture(int width, int height) {
    return MakeTestBitmap(width, height,
                          {{RECT{0, 0, width / 2, height}, kLeft},
                           {RECT{width / 2, 0, width, height}, kRight},
                           {RECT{1, 0, 2, height}, RGB(0, 255, 0)}});
}

COLORREF ScreenPixel(int x, int y) {
    win::GdiObject<HBITMAP> grab;
    if (!GrabScreenRect(RECT{x, y, x + 1, y + 1}, grab, false))
        return CLR_INVALID;
    HDC screen = GetDC(nullptr);
    win::OwnedDC memory(CreateCompatibleDC(screen));
    ReleaseDC(nullptr, screen);
    win::SelectionRestore selected(memory.get(), grab.get());
    return GetPixel(memory.get(), 0, 0);
}

// Runs `scenario` once the preview is up (it gets the dialog), then answers with `command`.
std::function<void(HWND)> scenario;
UINT endCommand = IDOK;

void CALLBACK Drive(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowA(nullptr, "Result");
    if (!dialog || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, timer);
    DispatchPendingMessages();
    UpdateWindow(dialog);
    Sleep(100);
    if (scenario)
        scenario(dialog);
    if (endCommand == IDCANCEL)
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    else
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(endCommand, BN_CLICKED), 0);
}

INT_PTR RunPreview(HWND owner, HBITMAP bitmap, UINT command, std::function<void(HWND)> check = {}) {
    scenario = std::move(check);
    endCommand = command;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, Drive);
    CScrollBitmapDlg dialog(owner);
    dialog.SetBitmap(bitmap);
    INT_PTR result = dialog.Run();
    KillTimer(nullptr, timer);
    return result;
}

TEST(ResultPreview, FullScreenCaptureFitsTheScreenAndScrollsByPixels) {
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    auto capture = MakeCapture(sw, sh);
    INT_PTR result = RunPreview(nullptr, capture.get(), IDOK, [&](HWND dialog) {
        RECT w;
        GetWindowRect(dialog, &w);
        EXPECT_LE(w.right - w.left, sw);
        EXPECT_LE(w.bottom - w.top, sh);
        HWND h = GetDlgItem(dialog, IDC_HSCROLL), v = GetDlgItem(dialog, IDC_VSCROLL);
        EXPECT_TRUE(IsWindowVisible(h));
        EXPECT_TRUE(IsWindowVisible(v));

        // The view shows the capture from its top-left corner.
        HWND picture = GetDlgItem(dialog, IDC_PICTURE);
        RECT inner;
        GetClientRect(picture, &inner);
        MapWindowPoints(picture, nullptr, reinterpret_cast<POINT*>(&inner), 2);
        EXPECT_EQ(ScreenPixel(inner.left + 2, inner.top + 5), kLeft);
        EXPECT_EQ(ScreenPixel(inner.left + 1, inner.top + 5), RGB(0, 255, 0));

        // One pixel to the right: the green column is gone.
        SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), reinterpret_cast<LPARAM>(h));
        UpdateWindow(dialog);
        EXPECT_EQ(GetScrollPos(h, SB_CTL), 1);
        EXPECT_EQ(ScreenPixel(inner.left + 1, inner.top + 5), kLeft);
        SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(SB_LINELEFT, 0), reinterpret_cast<LPARAM>(h));
        SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(SB_LINELEFT, 0), reinterpret_cast<LPARAM>(h));
        EXPECT_EQ(GetScrollPos(h, SB_CTL), 0);

        // The far end shows the right edge of the capture; the range is image minus view.
        SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(SB_RIGHT, 0), reinterpret_cast<LPARAM>(h));
        int minimum, maximum;
        GetScrollRange(h, SB_CTL, &minimum, &maximum);
        EXPECT_EQ(maximum, sw - (inner.right - inner.left));
        EXPECT_EQ(GetScrollPos(h, SB_CTL), maximum);
        UpdateWindow(dialog);
        EXPECT_EQ(ScreenPixel(inner.right - 2, inner.top + 5), kRight);

        // Thumb tracking moves continuously to the carried position.
        SendMessageA(dialog, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 7), reinterpret_cast<LPARAM>(v));
        EXPECT_EQ(GetScrollPos(v, SB_CTL), 7);
    });
    EXPECT_EQ(result, IDOK);
}

TEST(ResultPreview, SmallCaptureIsCentredWithoutScrollBars) {
    auto capture = MakeCapture(40, 20);
    INT_PTR result = RunPreview(nullptr, capture.get(), IDC_DROP, [&](HWND dialog) {
        // Make the view larger than the capture.
        SetWindowPos(dialog, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
        UpdateWindow(dialog);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_HSCROLL)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_VSCROLL)));
        HWND picture = GetDlgItem(dialog, IDC_PICTURE);
        RECT inner;
        GetClientRect(picture, &inner);
        MapWindowPoints(picture, nullptr, reinterpret_cast<POINT*>(&inner), 2);
        const int cx = (inner.left + inner.right) / 2, cy = (inner.top + inner.bottom) / 2;
        EXPECT_EQ(ScreenPixel(cx - 5, cy), kLeft);
        EXPECT_EQ(ScreenPixel(cx + 5, cy), kRight);
        EXPECT_NE(ScreenPixel(inner.left + 2, inner.top + 2), kLeft) << "not centred";
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST(ResultPreview, ReopensWhereAcceptOrDropLeftItButNotWhereEscDid) {
    auto capture = MakeCapture(100, 80);
    RECT first{};
    RunPreview(nullptr, capture.get(), IDOK, [&](HWND dialog) {
        SetWindowPos(dialog, nullptr, 123, 77, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        GetWindowRect(dialog, &first);
    });
    EXPECT_EQ(CScrollBitmapDlg::lastPreviewRect.left, 123);
    RECT second{};
    INT_PTR result = RunPreview(nullptr, capture.get(), IDCANCEL, [&](HWND dialog) {
        GetWindowRect(dialog, &second);
        SetWindowPos(dialog, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(second.left, 123);
    EXPECT_EQ(second.top, 77);
    // Esc did not remember 300, 200.
    RunPreview(nullptr, capture.get(), IDOK, [&](HWND dialog) {
        RECT third;
        GetWindowRect(dialog, &third);
        EXPECT_EQ(third.left, 123);
        EXPECT_EQ(third.top, 77);
    });
}

TEST(ResultPreview, TakesTheWaitingWindowAwayWhileOpen) {
    HWND owner =
        CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CWizardContainerDlg waiting;
    ASSERT_TRUE(waiting.Create(owner));
    SetWindowPos(waiting.hwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    auto capture = MakeCapture(60, 60);
    bool visibleDuring = true;
    RunPreview(owner, capture.get(), IDOK,
               [&](HWND) { visibleDuring = IsWindowVisible(waiting.hwnd()) != 0; });
    EXPECT_FALSE(visibleDuring);
    EXPECT_TRUE(IsWindowVisible(waiting.hwnd())) << "not shown again after Accept";

    // Hidden for a grab before the preview: stays hidden.
    waiting.HideForCapture();
    RunPreview(owner, capture.get(), IDC_DROP);
    EXPECT_FALSE(IsWindowVisible(waiting.hwnd()));
    DestroyWindow(owner);
}

TEST(ResultPreview, LeavesTheCaptureReadableAfterwards) {
    auto capture = MakeCapture(30, 10);
    RunPreview(nullptr, capture.get(), IDOK);
    // Not selected into the preview's DC any more: a DC can take it again.
    HDC screen = GetDC(nullptr);
    win::OwnedDC memory(CreateCompatibleDC(screen));
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(memory.get(), capture.get());
    EXPECT_TRUE(previous != nullptr && previous != HGDI_ERROR);
    EXPECT_EQ(GetPixel(memory.get(), 20, 5), kRight);
    SelectObject(memory.get(), previous);
}

} // namespace

namespace {

// Accept, Drop, Accept through the preview of a PNG output: the dropped capture
// takes no number, so the session leaves exactly shot0001 and shot0002.
TEST(ResultPreview, DroppedCaptureTakesNoNumber) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string dir =
        std::string(temp) + "vistrel-preview-numbers." + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);
    auto exists = [&](const char* name) {
        return GetFileAttributesA((dir + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    };

    SettingsStore settings{"VistrelTest"};
    CPngExecute output(settings, dir + "\\shot.png");
    const UINT answers[3] = {IDOK, IDC_DROP, IDOK};
    const bool stored[3] = {true, false, true};
    for (int i = 0; i < 3; ++i) {
        BitmapHolder capture = MakeCapture(40, 30);
        scenario = {};
        endCommand = answers[i];
        UINT_PTR timer = SetTimer(nullptr, 0, 50, Drive);
        EXPECT_EQ(output.StoreWithPreview(nullptr, capture, 1), stored[i]) << "capture " << i + 1;
        KillTimer(nullptr, timer);
    }
    EXPECT_EQ(output.storedCount(), 2);
    EXPECT_TRUE(exists("shot0001.png"));
    EXPECT_TRUE(exists("shot0002.png"));
    EXPECT_FALSE(exists("shot0003.png"));
    EXPECT_FALSE(exists("shot.png"));

    for (const char* name : {"shot.png", "shot0001.png", "shot0002.png", "shot0003.png"})
        DeleteFileA((dir + "\\" + name).c_str());
    RemoveDirectoryA(dir.c_str());
}

} // namespace

// The preview's place from the work area Windows reports: moved in when it
// reaches past the right or bottom edge (a template placed beside an owner
// near the corner), its top-left kept in when it is larger.
TEST(ResultPlacement, KeepInsideTheWorkArea) {
    const RECT work{0, 0, 1024, 728}; // a 1024x768 screen above a 40-pixel taskbar
    auto same = [](const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    EXPECT_TRUE(same(KeepInside(RECT{100, 50, 500, 350}, work), RECT{100, 50, 500, 350}));
    EXPECT_TRUE(same(KeepInside(RECT{800, 600, 1200, 900}, work), RECT{624, 428, 1024, 728}));
    EXPECT_TRUE(same(KeepInside(RECT{-30, -20, 370, 280}, work), RECT{0, 0, 400, 300}));
    EXPECT_TRUE(same(KeepInside(RECT{300, 200, 1324, 968}, work), RECT{0, 0, 1024, 768}));
    const RECT second{-1280, -200, 0, 824}; // a monitor left of and above the primary
    EXPECT_TRUE(same(KeepInside(RECT{-100, 700, 300, 1000}, second), RECT{-400, 524, 0, 824}));
}
