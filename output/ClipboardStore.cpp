#include "output/ClipboardStore.h"

#include "output/DibUtils.h"
#include "win/Text.h"

#include <vector>

namespace {

constexpr DWORD kRetryStepMilliseconds = 50;

// Another program (a clipboard viewer reading our last capture, say) often
// has the clipboard open for a moment only.
bool OpenClipboardPatiently(HWND owner, DWORD retryMilliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (OpenClipboard(owner))
            return true;
        if (GetTickCount() - start >= retryMilliseconds)
            return false;
        Sleep(kRetryStepMilliseconds);
    }
}

// A palette of our own with the stock default palette's colours. The stock
// object itself must not go to the clipboard: emptying the clipboard deletes
// what it holds, and a deleted stock palette breaks every device context
// that falls back to it.
win::GdiObject<HPALETTE> CopyOfDefaultPalette() {
    HPALETTE stock = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
    const UINT count = stock ? GetPaletteEntries(stock, 0, 0, nullptr) : 0;
    if (count == 0)
        return {};
    std::vector<BYTE> record(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    auto* logical = reinterpret_cast<LOGPALETTE*>(record.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(count);
    GetPaletteEntries(stock, 0, count, logical->palPalEntry);
    return win::GdiObject<HPALETTE>(CreatePalette(logical));
}

class ClipboardSession {
public:
    ~ClipboardSession() { CloseClipboard(); }
};

} // namespace

bool StoreBitmapOnClipboard(HWND owner, HBITMAP bitmap, DWORD retryMilliseconds, std::string* why) {
    auto fail = [why](const std::string& reason) {
        if (why)
            *why = reason;
        return false;
    };
    // Converted before the clipboard is touched: a capture that cannot be
    // made into a DIB leaves the user's clipboard as it was.
    Palette palette = CreateScreenPalette();
    win::GlobalMemory dib = ClipboardDibFromBitmap(bitmap, palette.get());
    if (!dib)
        return fail("the capture could not be converted");
    // Made before the DIB is handed over: once the clipboard owns it, it is not ours to read.
    win::GdiObject<HBITMAP> ddb = BitmapFromDib(dib.get(), palette.get());

    if (!OpenClipboardPatiently(owner, retryMilliseconds)) {
        const DWORD error = GetLastError();
        const std::string system = error ? win::SystemErrorText(error) : std::string();
        return fail("another program keeps it open" + (system.empty() ? std::string() : " (" + system + ")"));
    }
    ClipboardSession open;
    if (!EmptyClipboard())
        return fail("the clipboard could not be emptied");

    if (!SetClipboardData(CF_DIB, dib.get()))
        return fail("the clipboard did not take the image");
    dib.release();
    if (ddb && SetClipboardData(CF_BITMAP, ddb.get()))
        ddb.release();
    win::GdiObject<HPALETTE> defaultPalette = CopyOfDefaultPalette();
    if (defaultPalette && SetClipboardData(CF_PALETTE, defaultPalette.get()))
        defaultPalette.release();
    return true;
}
