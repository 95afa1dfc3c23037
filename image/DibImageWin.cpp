// The Windows boundary of the image container: device-dependent bitmaps
// through GDI and packed DIBs in movable global memory.
#include <windows.h>

#include "image/DibImage.h"

namespace vistrel {

namespace {

class ScreenDC {
public:
    ScreenDC() : dc_(GetDC(nullptr)) {}
    ~ScreenDC() {
        if (dc_) {
            ReleaseDC(nullptr, dc_);
        }
    }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL handle)
        : handle_(handle), data_(handle ? GlobalLock(handle) : nullptr) {}
    ~GlobalLockGuard() {
        if (data_) {
            GlobalUnlock(handle_);
        }
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    const void* data() const { return data_; }

private:
    HGLOBAL handle_;
    void* data_;
};

} // namespace

void CDibImage::ImportBitmap(HBITMAP bitmap) {
    FreeDib();
    if (!bitmap) {
        return;
    }
    BITMAP bm;
    if (!GetObject(bitmap, sizeof bm, &bm)) {
        SetErrorText("GetDIBits failed");
        return;
    }
    if (!AllocateDib(bm.bmWidth, bm.bmHeight, bm.bmBitsPixel, FormatBmp)) {
        return;
    }
    ScreenDC dc;
    if (!GetDIBits(dc.get(), bitmap, 0, static_cast<UINT>(bm.bmHeight), info_.pixels,
                   reinterpret_cast<BITMAPINFO*>(dib_), DIB_RGB_COLORS)) {
        // Rows nobody filled would be saved as a black picture: no image.
        FreeDib();
        SetErrorText("GetDIBits failed");
        return;
    }
    // GDI may rewrite the header in the block (biSizeImage, biClrUsed of 0);
    // the container's own header stays the authority.
    memcpy(dib_, &header_, sizeof header_);
}

bool CDibImage::ImportDibHandle(void* globalHandle) {
    FreeDib();
    HGLOBAL handle = static_cast<HGLOBAL>(globalHandle);
    GlobalLockGuard lock(handle);
    if (!lock.data()) {
        return false;
    }
    return ImportPackedDib(lock.data(), GlobalSize(handle));
}

} // namespace vistrel
