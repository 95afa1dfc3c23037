// Keeps one hidden Wine window open for the whole test run, so Wine's desktop
// process stays up and every test program starts in about 0.1 s instead of 3 s.
// Ends by itself after a few hours in case the harness forgets it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const UINT_PTR kLifetimeTimer = 1;
    const UINT kLifetimeMs = 4 * 60 * 60 * 1000;
    HWND wnd = CreateWindowExA(0, "STATIC", "Vistrel test keep-alive", WS_POPUP, 0, 0, 1, 1, nullptr,
                               nullptr, instance, nullptr);
    if (!wnd)
        return 1;
    SetTimer(nullptr, kLifetimeTimer, kLifetimeMs, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr)
            break;
        DispatchMessageA(&msg);
    }
    DestroyWindow(wnd);
    return 0;
}
