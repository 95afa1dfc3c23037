#include "picture/AnimatedPicture.h"

#include "picture/GifBlockReader.h"
#include "win/PictureLoad.h"

#include <commctrl.h>
#include <process.h>

#include <cstring>

namespace {

constexpr DWORD kStopWaitMs = 5000;
// Frames without a delay of their own, or with one too short to show.
constexpr DWORD kDefaultDelayMs = 100;
constexpr DWORD kShortestDelay = 5;

} // namespace

CAnimatedPicture::CAnimatedPicture() : stopEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    InitializeCriticalSection(&canvasLock);
}

CAnimatedPicture::~CAnimatedPicture() {
    Clear();
    if (window)
        RemoveWindowSubclass(window, SubclassProc, 1);
    if (stopEvent)
        CloseHandle(stopEvent);
    DeleteCriticalSection(&canvasLock);
}

bool CAnimatedPicture::Attach(HWND control) {
    if (window || !control || !SetWindowSubclass(control, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    window = control;
    return true;
}

LRESULT CALLBACK CAnimatedPicture::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                                UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<CAnimatedPicture*>(data);
    switch (message) {
    case WM_PAINT:
        if (!self->isInitialized)
            break;
        self->Paint();
        return 0;
    case WM_ERASEBKGND:
        if (self->isInitialized)
            return 1; // the canvas covers the picture; erasing would flicker
        break;
    case WM_DESTROY:
        self->Stop();
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, SubclassProc, 1);
        self->window = nullptr;
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void CAnimatedPicture::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    {
        CanvasLock lock(canvasLock);
        if (IsRectEmpty(&paintRect))
            BitBlt(dc, 0, 0, pictureSize.cx, pictureSize.cy, memoryDc.get(), 0, 0, SRCCOPY);
        else
            BitBlt(dc, 0, 0, paintRect.right - paintRect.left, paintRect.bottom - paintRect.top,
                   memoryDc.get(), paintRect.left, paintRect.top, SRCCOPY);
    }
    EndPaint(window, &paint);
}

void CAnimatedPicture::SetPaintRect(const RECT& rect) {
    paintRect = rect;
    if (window)
        InvalidateRect(window, nullptr, FALSE);
}

int CAnimatedPicture::DecodedFrames() const {
    CanvasLock lock(canvasLock);
    int count = 0;
    for (const PictureFrame& frame : frames)
        count += frame.picture ? 1 : 0;
    return count;
}

bool CAnimatedPicture::MapFile(const char* path) {
    mappedFile = win::File(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length;
    if (!mappedFile || !GetFileSizeEx(mappedFile.get(), &length) || length.QuadPart <= 0 ||
        length.QuadPart > MAXDWORD / 2)
        return false;
    // A view, not a copy: a long animation is read from the file frame by frame.
    mapping = CreateFileMappingA(mappedFile.get(), nullptr, PAGE_READONLY, 0, 0, nullptr);
    view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (!view)
        return false;
    data = static_cast<const BYTE*>(view);
    dataSize = static_cast<size_t>(length.QuadPart);
    return true;
}

void CAnimatedPicture::ReleaseData() {
    if (view)
        UnmapViewOfFile(view);
    view = nullptr;
    if (mapping)
        CloseHandle(mapping);
    mapping = nullptr;
    mappedFile.reset();
    std::vector<BYTE>().swap(ownedData);
    data = nullptr;
    dataSize = 0;
}

bool CAnimatedPicture::Load(const char* path) {
    Clear();
    if (!MapFile(path)) {
        Clear();
        return false;
    }
    return LoadData();
}

bool CAnimatedPicture::Load(const char* resourceName, const char* resourceType) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, resourceName, resourceType);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || size == 0)
        return false;
    return LoadBytes(static_cast<const BYTE*>(bytes), size);
}

bool CAnimatedPicture::Load(HGLOBAL memory, DWORD size) {
    win::GlobalLockGuard lock(memory);
    if (!lock) {
        Clear();
        return false;
    }
    return LoadBytes(static_cast<const BYTE*>(lock.data()), size);
}

bool CAnimatedPicture::LoadBytes(const BYTE* bytes, size_t size) {
    Clear();
    // The caller keeps its bytes: frames decoded later read this copy.
    ownedData.assign(bytes, bytes + size);
    data = ownedData.data();
    dataSize = ownedData.size();
    return LoadData();
}

bool CAnimatedPicture::LoadData() {
    const bool gif = dataSize >= 3 && std::memcmp(data, "GIF", 3) == 0;
    bool ok = !gif || LoadGif();
    if (ok && frames.empty()) {
        // One picture: the loader reads it whole.
        picture = win::PictureFromBytes(data, dataSize);
        ok = static_cast<bool>(picture);
        ReleaseData();
    }
    if (ok && !gif) {
        // The loader measures in HIMETRIC; the control in pixels of its screen.
        OLE_XSIZE_HIMETRIC width = 0;
        OLE_YSIZE_HIMETRIC height = 0;
        picture->get_Width(&width);
        picture->get_Height(&height);
        win::WindowDC dc(window);
        pictureSize.cx = MulDiv(width, GetDeviceCaps(dc.get(), LOGPIXELSX), 2540);
        pictureSize.cy = MulDiv(height, GetDeviceCaps(dc.get(), LOGPIXELSY), 2540);
    }
    if (ok && PrepareCanvas(pictureSize.cx, pictureSize.cy))
        return true;
    // A failed load leaves the control empty.
    Clear();
    return false;
}

bool CAnimatedPicture::LoadGif() {
    vistrel::GifBlockReader reader(data, dataSize);
    if (!reader.IsGif())
        return false;
    isGif = true;
    pictureSize = SIZE{reader.ScreenWidth(), reader.ScreenHeight()};
    const int count = reader.CountFrames();
    if (count == 0)
        return false;
    if (count == 1)
        return true; // one image: shown still by the loader itself
    // Only the frames' places are kept; their pixels are decoded when shown.
    frames.reserve(static_cast<size_t>(count));
    reader.Reset();
    vistrel::GifFrame cut;
    while (reader.NextFrame(cut)) {
        PictureFrame frame;
        frame.cut = cut;
        frame.size = SIZE{cut.width, cut.height};
        frame.offset = POINT{cut.left, cut.top};
        frame.delay = cut.delay;
        frame.hasDelay = cut.hasControl;
        frame.disposal = cut.disposal;
        frames.push_back(std::move(frame));
    }
    // Frames the loader refuses are left out; one at least must play.
    for (size_t i = 0; i < frames.size(); ++i)
        if (Decode(i))
            return true;
    return false;
}

IPicture* CAnimatedPicture::Decode(size_t index) {
    PictureFrame& frame = frames[index];
    frame.lastShown = ++showCount;
    if (frame.picture || frame.rejected)
        return frame.picture.get();
    vistrel::GifBlockReader reader(data, dataSize);
    const size_t bytes = reader.SingleFrameSize(frame.cut);
    win::GlobalMemory single(GlobalAlloc(GMEM_MOVEABLE, bytes));
    {
        win::GlobalLockGuard lock(single.get());
        if (!lock)
            return nullptr; // no memory now: perhaps on the next round
        reader.WriteSingleFrame(frame.cut, static_cast<uint8_t*>(lock.data()));
    }
    win::ComPtr<IPicture> decoded = win::PictureFromMemory(std::move(single), bytes);
    frame.rejected = !decoded;
    {
        CanvasLock lock(canvasLock);
        frame.picture = std::move(decoded);
    }
    Evict(index);
    return frame.picture.get();
}

// Keeps at most kDecodedFrames decoded, dropping the one shown longest ago.
void CAnimatedPicture::Evict(size_t keep) {
    for (;;) {
        int decoded = 0;
        size_t oldest = frames.size();
        for (size_t i = 0; i < frames.size(); ++i) {
            if (!frames[i].picture)
                continue;
            ++decoded;
            if (i != keep && (oldest == frames.size() || frames[i].lastShown < frames[oldest].lastShown))
                oldest = i;
        }
        if (decoded <= kDecodedFrames || oldest == frames.size())
            return;
        CanvasLock lock(canvasLock);
        frames[oldest].picture.reset();
    }
}

bool CAnimatedPicture::PrepareCanvas(int width, int height) {
    if (window)
        SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    win::WindowDC dc(window);
    memoryDc.reset(CreateCompatibleDC(dc.get()));
    memoryBitmap.reset(CreateCompatibleBitmap(dc.get(), width > 0 ? width : 1, height > 0 ? height : 1));
    if (!memoryDc || !memoryBitmap)
        return false;
    memoryPrevious = SelectObject(memoryDc.get(), memoryBitmap.get());
    background = GetSysColor(COLOR_BTNFACE);
    Fill(RECT{0, 0, width, height});
    isInitialized = true;
    return true;
}

void CAnimatedPicture::Fill(const RECT& rect) {
    win::GdiObject<HBRUSH> brush(CreateSolidBrush(background));
    FillRect(memoryDc.get(), &rect, brush.get());
}

bool CAnimatedPicture::Render(IPicture* source, int x, int y, int width, int height) {
    OLE_XSIZE_HIMETRIC w = 0;
    OLE_YSIZE_HIMETRIC h = 0;
    source->get_Width(&w);
    source->get_Height(&h);
    return SUCCEEDED(source->Render(memoryDc.get(), x, y, width, height, 0, h, w, -h, nullptr));
}

bool CAnimatedPicture::Draw() {
    if (!isInitialized)
        return false;
    if (IsAnimated()) {
        if (thread)
            return false; // already playing, or an old thread still on its way out
        thread =
            reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadMain, this, CREATE_SUSPENDED, nullptr));
        if (thread)
            ResumeThread(thread);
        return false;
    }
    {
        CanvasLock lock(canvasLock);
        if (!picture || !Render(picture.get(), 0, 0, pictureSize.cx, pictureSize.cy))
            return false;
    }
    if (window)
        InvalidateRect(window, nullptr, FALSE);
    return true;
}

unsigned __stdcall CAnimatedPicture::ThreadMain(void* self) {
    static_cast<CAnimatedPicture*>(self)->Animate();
    return 0;
}

void CAnimatedPicture::Dispose(const PictureFrame& frame) {
    const RECT area{frame.offset.x, frame.offset.y, frame.offset.x + frame.size.cx,
                    frame.offset.y + frame.size.cy};
    if (frame.disposal == 2) {
        Fill(area);
    } else if (frame.disposal == 3 && saveDc) {
        BitBlt(memoryDc.get(), area.left, area.top, frame.size.cx, frame.size.cy, saveDc.get(), 0, 0,
               SRCCOPY);
        FreeSaved();
    }
}

void CAnimatedPicture::FreeSaved() {
    if (saveDc && savePrevious)
        SelectObject(saveDc.get(), savePrevious);
    savePrevious = nullptr;
    saveDc.reset();
    saveBitmap.reset();
}

void CAnimatedPicture::Animate() {
    // Frames are decoded on this thread as they come.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    isPlaying = true;
    {
        CanvasLock lock(canvasLock);
        Dispose(frames[currentFrame]);
    }
    bool shownThisRound = false;
    while (!stopRequested) {
        const PictureFrame& frame = frames[currentFrame];
        if (IPicture* picture = Decode(currentFrame)) {
            shownThisRound = true;
            {
                CanvasLock lock(canvasLock);
                if (frame.disposal == 3)
                    SaveUnder(frame);
                if (Render(picture, frame.offset.x, frame.offset.y, frame.size.cx, frame.size.cy) && window)
                    InvalidateRect(window, nullptr, FALSE);
            }
            if (stopRequested)
                break;
            const DWORD wait =
                frame.hasDelay && frame.delay >= kShortestDelay ? frame.delay * 10 : kDefaultDelayMs;
            if (WaitForSingleObject(stopEvent, wait) == WAIT_OBJECT_0 || stopRequested)
                break;
            CanvasLock lock(canvasLock);
            Dispose(frame);
        }
        if (++currentFrame == frames.size()) {
            currentFrame = 0;
            // A round in which no frame could be decoded must not spin.
            if (!shownThisRound && WaitForSingleObject(stopEvent, kDefaultDelayMs) == WAIT_OBJECT_0)
                break;
            shownThisRound = false;
            CanvasLock lock(canvasLock);
            Fill(RECT{0, 0, pictureSize.cx, pictureSize.cy});
        }
    }
    {
        // Pictures made in this thread's apartment go with it.
        CanvasLock lock(canvasLock);
        for (PictureFrame& each : frames)
            each.picture.reset();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    isPlaying = false;
}

void CAnimatedPicture::SaveUnder(const PictureFrame& frame) {
    // What lies under the frame comes back after it.
    FreeSaved();
    saveDc.reset(CreateCompatibleDC(memoryDc.get()));
    saveBitmap.reset(CreateCompatibleBitmap(memoryDc.get(), frame.size.cx, frame.size.cy));
    if (saveDc && saveBitmap) {
        savePrevious = SelectObject(saveDc.get(), saveBitmap.get());
        BitBlt(saveDc.get(), 0, 0, frame.size.cx, frame.size.cy, memoryDc.get(), frame.offset.x,
               frame.offset.y, SRCCOPY);
    } else {
        FreeSaved();
    }
}

void CAnimatedPicture::JoinThread(DWORD timeoutMs) {
    if (!thread || WaitForSingleObject(thread, timeoutMs) != WAIT_OBJECT_0)
        return;
    // The handle is ours alone: the thread never closes it.
    CloseHandle(thread);
    thread = nullptr;
}

void CAnimatedPicture::Stop() {
    isPlaying = false;
    stopRequested = true;
    if (stopEvent)
        SetEvent(stopEvent);
    JoinThread(kStopWaitMs);
    // A thread that has not ended yet keeps its stop request until it has.
    if (!thread) {
        if (stopEvent)
            ResetEvent(stopEvent);
        stopRequested = false;
    }
}

void CAnimatedPicture::Clear() {
    Stop();
    if (thread) {
        // The canvas and frames it draws on stay until it is certainly gone.
        JoinThread(INFINITE);
        if (stopEvent)
            ResetEvent(stopEvent);
        stopRequested = false;
    }
    picture.reset();
    frames.clear();
    ReleaseData();
    showCount = 0;
    FreeSaved();
    if (memoryDc && memoryPrevious)
        SelectObject(memoryDc.get(), memoryPrevious);
    memoryPrevious = nullptr;
    memoryBitmap.reset();
    memoryDc.reset();
    paintRect = RECT{};
    pictureSize = SIZE{};
    currentFrame = 0;
    isInitialized = false;
    isGif = false;
    background = RGB(255, 255, 255);
}
