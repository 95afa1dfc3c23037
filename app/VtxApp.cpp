#include "app/VtxApp.h"

#include <windows.h>
#include <commctrl.h>

namespace {

using HookProc = void(__stdcall*)();

// Placeholder for the main window until the shell lands.
INT_PTR RunMainWindow() {
    return MessageBoxA(nullptr, "Vistrel", "Vistrel", MB_OKCANCEL);
}

} // namespace

int CVtxApp::Run() {
    InitCommonControls();
    HMODULE hook = LoadLibraryA("hook.dll");
    if (!hook)
        return 0; // no window, no message: the program cannot work without its hooks
    auto attachDll = reinterpret_cast<HookProc>(GetProcAddress(hook, "attachDll"));
    if (!attachDll)
        return 0;
    attachDll();

    RunMainWindow();

    if (auto freeDll = reinterpret_cast<HookProc>(GetProcAddress(hook, "freeDll")))
        freeDll();
    if (!FreeLibrary(hook)) {
        char* text = nullptr;
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, GetLastError(),
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0, nullptr);
        MessageBoxA(nullptr, text ? text : "", "Error", MB_SETFOREGROUND);
        LocalFree(text);
    }
    return 0;
}
