#pragma once

// The "Result" preview: shows a capture before it is stored, or an animated
// GIF just written (GIF mode). The user accepts (IDOK) or drops it (Drop or
// Esc, IDCANCEL). Large captures scroll pixel by pixel; small ones are
// centred. While it is open the session's waiting window is off the screen.

#include "picture/AnimatedPicture.h"
#include "win/Dialog.h"
#include "win/Handles.h"

#include <windows.h>

#include <string>

// `window` moved as little as it takes to lie inside `area`; when it is
// larger, its top-left corner (where Accept and Drop are near) is kept in.
RECT KeepInside(const RECT& window, const RECT& area);

class CScrollBitmapDlg : public win::Dialog {
public:
    // `owner` is the main window; its waiting window, when showing, is hidden now.
    explicit CScrollBitmapDlg(HWND owner);
    ~CScrollBitmapDlg() override;

    // The capture to show; the caller keeps owning it.
    void SetBitmap(HBITMAP bitmap) { this->bitmap = bitmap; }
    // GIF mode: the file is played by the picture control and scrolls like a capture.
    void SetGifPath(const std::string& path) { gifPath = path; }
    INT_PTR Run() { return DoModal(owner); }

    // Where the last preview was when it was closed with Accept or Drop;
    // all -1 before that.
    static RECT lastPreviewRect;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnOK() override;
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    RECT DialogUnits(int left, int top, int right, int bottom) const;
    void SizeWindow();
    void Layout();
    void SetUpScrolling();
    void SetUpBar(int barId, int imageSize, int viewSize, int viewStart, int& dest);
    void Scroll(int barId, WORD request, WORD thumbPosition, int& offset);
    void Paint();
    void ShowScrolledPart();
    void Close(INT_PTR result, bool remember);
    void ReleaseMemoryDc();
    bool GifMode() const { return !gifPath.empty(); }
    SIZE ImageSize() const;

    HWND owner;
    HWND waitingWindow = nullptr;
    bool keepWaitingWindow = true;
    HBITMAP bitmap = nullptr;
    BITMAP bitmapInfo{};
    RECT view{};
    int viewWidth = 0, viewHeight = 0;
    int scrollX = 0, scrollY = 0;
    int destX = 0, destY = 0;
    bool scrollRepaint = false;
    HICON icon = nullptr;
    win::OwnedDC memoryDc;
    HGDIOBJ memoryDcPrevious = nullptr;
    int minMaxCount = 0;
    bool laidOut = false;
    std::string gifPath;
    CAnimatedPicture picture;
};
