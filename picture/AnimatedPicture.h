#pragma once

// A static control that shows a picture file: an animated GIF plays in a
// loop on a thread of its own, any other picture (a one-image GIF, JPEG,
// PNG, bitmap) is shown still. The platform's picture loader decodes; the
// GIF is only cut into single-frame GIFs here, and the frames are composed
// on an off-screen canvas with their disposal methods.

#include "win/Handles.h"

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <atomic>
#include <vector>

class CAnimatedPicture {
public:
    CAnimatedPicture();
    ~CAnimatedPicture();
    CAnimatedPicture(const CAnimatedPicture&) = delete;
    CAnimatedPicture& operator=(const CAnimatedPicture&) = delete;

    // Takes over painting of `control`, a static control; it is resized to
    // the picture on each Load.
    bool Attach(HWND control);
    HWND hwnd() const { return window; }

    bool Load(const char* path);
    // The caller keeps and frees `memory`.
    bool Load(HGLOBAL memory, DWORD size);
    bool Load(const char* resourceName, const char* resourceType);

    // Starts the animation, or renders a still picture; true only for a still one.
    bool Draw();
    // Ends the animation thread; the canvas keeps its last picture.
    void Stop();
    // Stops and frees everything loaded.
    void Clear();

    SIZE PictureSize() const { return pictureSize; }
    bool IsAnimated() const { return isGif && frames.size() > 1; }
    int FrameCount() const { return IsAnimated() ? static_cast<int>(frames.size()) : 0; }
    bool IsPlaying() const { return isPlaying; }
    // Only this part of the canvas is shown; empty shows the whole picture.
    void SetPaintRect(const RECT& rect) { paintRect = rect; }

private:
    struct PictureFrame {
        win::ComPtr<IPicture> picture;
        SIZE size{};
        POINT offset{};
        DWORD delay = 0; // hundredths of a second
        bool hasDelay = false;
        int disposal = 0;
    };

    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    static unsigned __stdcall ThreadMain(void* self);
    void Animate();
    void Paint();
    bool LoadGif(const BYTE* data, DWORD size);
    bool LoadStill(HGLOBAL memory, DWORD size);
    bool PrepareCanvas(int width, int height);
    void Fill(const RECT& rect);
    bool Render(IPicture* picture, int x, int y, int width, int height);
    void Dispose(const PictureFrame& frame);
    void FreeSaved();
    // Waits until the thread is gone, however long; after that nothing draws on the canvas.
    void JoinThread(DWORD timeoutMs);

    HWND window = nullptr;
    RECT paintRect{};
    SIZE pictureSize{};
    COLORREF background = RGB(255, 255, 255);
    bool isGif = false;
    bool isInitialized = false;
    std::atomic<bool> isPlaying{false};
    std::atomic<bool> stopRequested{false};
    win::OwnedDC memoryDc;
    win::GdiObject<HBITMAP> memoryBitmap;
    HGDIOBJ memoryPrevious = nullptr;
    win::OwnedDC saveDc;
    win::GdiObject<HBITMAP> saveBitmap;
    HGDIOBJ savePrevious = nullptr;
    win::ComPtr<IPicture> picture;
    std::vector<PictureFrame> frames;
    size_t currentFrame = 0;
    HANDLE thread = nullptr;
    HANDLE stopEvent = nullptr;
};
