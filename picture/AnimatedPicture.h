#pragma once

// A static control that shows a picture file: an animated GIF plays in a
// loop on a thread of its own, any other picture (a one-image GIF, JPEG,
// PNG, bitmap) is shown still. The platform's picture loader decodes; the
// GIF is only cut into single-frame GIFs here, each decoded when it is shown
// and only a few kept decoded, so that a long animation costs the memory of
// a few frames. The frames are composed on an off-screen canvas, shared by
// the animation thread and paint under a lock.

#include "picture/GifBlockReader.h"
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
    // Frames held decoded now; never more than kDecodedFrames.
    int DecodedFrames() const;
    static constexpr int kDecodedFrames = 4;
    int FrameCount() const { return IsAnimated() ? static_cast<int>(frames.size()) : 0; }
    bool IsPlaying() const { return isPlaying; }
    // Only this part of the canvas is shown; empty shows the whole picture.
    void SetPaintRect(const RECT& rect);

private:
    struct PictureFrame {
        vistrel::GifFrame cut;         // where its blocks lie in the data
        win::ComPtr<IPicture> picture; // none until shown, and again when evicted
        bool rejected = false;         // the loader refused it: left out
        unsigned long long lastShown = 0;
        SIZE size{};
        POINT offset{};
        DWORD delay = 0; // hundredths of a second
        bool hasDelay = false;
        int disposal = 0;
    };
    // Serialises the canvas between the animation thread and paint.
    class CanvasLock {
    public:
        explicit CanvasLock(CRITICAL_SECTION& section) : section(section) { EnterCriticalSection(&section); }
        ~CanvasLock() { LeaveCriticalSection(&section); }
        CanvasLock(const CanvasLock&) = delete;
        CanvasLock& operator=(const CanvasLock&) = delete;

    private:
        CRITICAL_SECTION& section;
    };

    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    static unsigned __stdcall ThreadMain(void* self);
    void Animate();
    void Paint();
    bool LoadGif();
    bool MapFile(const char* path);
    void ReleaseData();
    // The frame's picture, decoded now if it is not; none when refused.
    IPicture* Decode(size_t index);
    void Evict(size_t keep);
    // A copy of `bytes` becomes the data.
    bool LoadBytes(const BYTE* bytes, size_t size);
    bool LoadData();
    bool PrepareCanvas(int width, int height);
    void Fill(const RECT& rect);
    bool Render(IPicture* picture, int x, int y, int width, int height);
    void Dispose(const PictureFrame& frame);
    void FreeSaved();
    void SaveUnder(const PictureFrame& frame);
    // Waits until the thread is gone, however long; after that nothing draws on the canvas.
    void JoinThread(DWORD timeoutMs);

    HWND window = nullptr;
    RECT paintRect{};
    // The GIF's bytes while loaded: a view of the file, or a copy of memory.
    const BYTE* data = nullptr;
    size_t dataSize = 0;
    std::vector<BYTE> ownedData;
    win::File mappedFile;
    HANDLE mapping = nullptr;
    const void* view = nullptr;
    unsigned long long showCount = 0;
    mutable CRITICAL_SECTION canvasLock;
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
