// The clipboard store: formats, order, and a clipboard that another thread
// holds open.

#include "output/ClipboardStore.h"
#include "output/DibUtils.h"
#include "tests/common/Bitmaps.h"
#include "tests/common/ImportPatch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

HWND MakeOwner() {
    return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

void PutText(HWND owner, const char* text) {
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, strlen(text) + 1);
    memcpy(GlobalLock(memory), text, strlen(text) + 1);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();
}

// Holds the clipboard open from another thread for `milliseconds`.
class ClipboardHolder {
public:
    explicit ClipboardHolder(DWORD milliseconds) {
        thread_ = std::thread([this, milliseconds] {
            HWND window = MakeOwner();
            opened_ = OpenClipboard(window) != 0;
            ready_ = true;
            Sleep(milliseconds);
            if (opened_)
                CloseClipboard();
            DestroyWindow(window);
        });
        while (!ready_)
            Sleep(5);
    }
    ~ClipboardHolder() { thread_.join(); }
    bool opened() const { return opened_; }

private:
    std::thread thread_;
    std::atomic<bool> ready_{false}, opened_{false};
};

void ExpectOnlyText(HWND owner, const char* expected) {
    ASSERT_TRUE(OpenClipboard(owner));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
    HGLOBAL text = GetClipboardData(CF_TEXT);
    EXPECT_TRUE(text) << "the clipboard was emptied";
    if (text) {
        EXPECT_STREQ(static_cast<const char*>(GlobalLock(text)), expected);
        GlobalUnlock(text);
    }
    CloseClipboard();
}

TEST(ClipboardStore, PutsDibBitmapAndPaletteInThatOrder) {
    HWND owner = MakeOwner();
    auto capture = MakeTestBitmap(7, 5, RGB(255, 0, 0));
    ASSERT_TRUE(StoreBitmapOnClipboard(owner, capture.get()));

    ASSERT_TRUE(OpenClipboard(owner));
    std::vector<UINT> formats;
    for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f))
        formats.push_back(f);
    ASSERT_GE(formats.size(), 3u);
    EXPECT_EQ(formats[0], static_cast<UINT>(CF_DIB));
    EXPECT_EQ(formats[1], static_cast<UINT>(CF_BITMAP));
    EXPECT_EQ(formats[2], static_cast<UINT>(CF_PALETTE));

    HGLOBAL dib = GetClipboardData(CF_DIB);
    ASSERT_TRUE(dib);
    {
        auto* h = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
        EXPECT_EQ(h->biWidth, 7);
        EXPECT_EQ(h->biHeight, 5);
        HDC screen = GetDC(nullptr);
        const int depth = GetDeviceCaps(screen, BITSPIXEL);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(h->biBitCount, depth > 8 ? 24 : 8);
        if (h->biBitCount == 24) {
            const BYTE* pixel = reinterpret_cast<const BYTE*>(h) + 40;
            EXPECT_EQ(pixel[0], 0);
            EXPECT_EQ(pixel[1], 0);
            EXPECT_EQ(pixel[2], 255);
        }
        GlobalUnlock(dib);
    }
    HBITMAP ddb = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    ASSERT_TRUE(ddb);
    BITMAP info{};
    ASSERT_TRUE(GetObjectA(ddb, sizeof info, &info));
    EXPECT_EQ(info.bmWidth, 7);
    EXPECT_EQ(info.bmHeight, 5);
    EXPECT_TRUE(GetClipboardData(CF_PALETTE));
    CloseClipboard();
    DestroyWindow(owner);
}

TEST(ClipboardStore, GivesUpOnABusyClipboardAndLeavesItUnchanged) {
    HWND owner = MakeOwner();
    PutText(owner, "before");
    auto capture = MakeTestBitmap(3, 3, RGB(255, 0, 0));
    {
        ClipboardHolder holder(1500);
        ASSERT_TRUE(holder.opened());
        const DWORD start = GetTickCount();
        EXPECT_FALSE(StoreBitmapOnClipboard(owner, capture.get(), 400));
        const DWORD waited = GetTickCount() - start;
        EXPECT_GE(waited, 350u) << "did not retry";
        EXPECT_LT(waited, 1400u);
    }
    ExpectOnlyText(owner, "before");
    DestroyWindow(owner);
}

int WINAPI FailingGetDIBits(HDC, HBITMAP, UINT, UINT, LPVOID, LPBITMAPINFO, UINT) {
    return 0;
}

TEST(ClipboardStore, ACaptureThatCannotBeConvertedLeavesTheClipboardAsItWas) {
    HWND owner = MakeOwner();
    PutText(owner, "kept");
    auto capture = MakeTestBitmap(3, 3, RGB(255, 0, 0));
    {
        ImportPatch patch("gdi32.dll", "GetDIBits", reinterpret_cast<const void*>(&FailingGetDIBits));
        ASSERT_TRUE(patch.ok());
        std::string why;
        EXPECT_FALSE(StoreBitmapOnClipboard(owner, capture.get(), 100, &why));
        EXPECT_EQ(why, "the capture could not be converted");
    }
    ExpectOnlyText(owner, "kept");
    DestroyWindow(owner);
}

TEST(ClipboardStore, SucceedsWhenTheClipboardIsFreedWhileRetrying) {
    HWND owner = MakeOwner();
    auto capture = MakeTestBitmap(3, 3, RGB(255, 0, 0));
    ClipboardHolder holder(300);
    ASSERT_TRUE(holder.opened());
    EXPECT_TRUE(StoreBitmapOnClipboard(owner, capture.get()));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
    DestroyWindow(owner);
}

} // namespace
