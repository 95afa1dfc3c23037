#include "app/VtxApp.h"

#include "app/VtxDlg.h"
#include "win/HookLibrary.h"
#include "win/Text.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

namespace {

// COM for the OLE picture loader, on this (the user-interface) thread for the
// whole run; Windows does not initialise it for us.
class OleScope {
public:
    OleScope() : initialised_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleScope() {
        if (initialised_)
            OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

private:
    bool initialised_;
};

} // namespace

int CVtxApp::Run() {
    InitCommonControls();
    OleScope ole;
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
