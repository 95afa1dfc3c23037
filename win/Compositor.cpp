#include "win/Compositor.h"

#include "win/SystemLibrary.h"

namespace win {

namespace {

// dwmapi's attribute numbers, not in every SDK's headers.
constexpr DWORD kTransitionsForceDisabled = 3;
constexpr DWORD kExtendedFrameBounds = 9;
constexpr DWORD kCloaked = 14;

using GetAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
using SetAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
using FlushFn = HRESULT(WINAPI*)();

// Looked up once per function and kept: the library is part of the system.
template <typename Fn> Fn Export(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemFunction("dwmapi.dll", name)));
}

} // namespace

bool ExtendedFrameBounds(HWND window, RECT& frame) {
    static const auto get = Export<GetAttributeFn>("DwmGetWindowAttribute");
    return get && SUCCEEDED(get(window, kExtendedFrameBounds, &frame, sizeof frame));
}

HRESULT CloakedState(HWND window, DWORD& cloaked) {
    cloaked = 0;
    auto get = Export<GetAttributeFn>("DwmGetWindowAttribute");
    return get ? get(window, kCloaked, &cloaked, sizeof cloaked) : E_NOTIMPL;
}

void DisableTransitions(HWND window) {
    static const auto set = Export<SetAttributeFn>("DwmSetWindowAttribute");
    if (set) {
        const BOOL disabled = TRUE;
        set(window, kTransitionsForceDisabled, &disabled, sizeof disabled);
    }
}

void FlushCompositor() {
    static const auto flush = Export<FlushFn>("DwmFlush");
    if (flush)
        flush();
}

RECT ChooseVisibleFrame(const RECT& windowRect, bool topLevel, HRESULT result, const RECT& frame) {
    if (!topLevel || FAILED(result) || IsRectEmpty(&frame))
        return windowRect;
    RECT common{};
    // A frame reaching outside the rectangle is not a frame of this window.
    if (!IntersectRect(&common, &frame, &windowRect) || !EqualRect(&common, &frame))
        return windowRect;
    return frame;
}

RECT VisibleFrame(HWND window) {
    RECT rect{};
    if (!GetWindowRect(window, &rect))
        return RECT{};
    const bool topLevel = (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) == 0;
    RECT frame{};
    const HRESULT result = topLevel && ExtendedFrameBounds(window, frame) ? S_OK : E_FAIL;
    return ChooseVisibleFrame(rect, topLevel, result, frame);
}

} // namespace win
