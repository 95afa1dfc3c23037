#include "app/VtxApp.h"

#include "app/VtxDlg.h"
#include "win/HookLibrary.h"
#include "win/Text.h"

#include <windows.h>
#include <commctrl.h>

int CVtxApp::Run() {
    InitCommonControls();
    HMODULE hook = LoadLibraryA("hook.dll");
    if (!hook)
        return 0; // no window, no message: the program cannot work without its hooks
    win::HookLibrary::SetModule(hook);
    if (!win::HookLibrary::Call("attachDll"))
        return 0;

    {
        CVtxDlg mainWindow;
        mainWindow.DoModal(nullptr);
    }

    win::HookLibrary::Call("freeDll");
    win::HookLibrary::SetModule(nullptr);
    if (!FreeLibrary(hook)) {
        std::string text = win::SystemErrorText(GetLastError());
        MessageBoxA(nullptr, text.c_str(), "Error", MB_SETFOREGROUND);
    }
    return 0;
}
