#include "app/VtxApp.h"

#include "app/SingleCopy.h"
#include "app/VtxDlg.h"
#include "win/HookLibrary.h"
#include "win/ModulePath.h"
#include "win/Text.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <string>

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

constexpr wchar_t kHookFile[] = L"hook.dll";

// What attachDll answers, besides 0 for hooks installed.
constexpr int kBlockHeldByAnother = 1;
constexpr int kBlockOfEarlierRunAtOtherLevel = 3;

// The path may hold letters outside the code page (a user name in another
// script), so the box is a wide one.
void Refuse(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), L"Vistrel", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void Refuse(const std::string& text) {
    Refuse(win::Widen(text));
}

// From here on, DLLs the program loads by name come from System32 only: a
// DLL planted in the working folder or on PATH is never loaded. Missing
// before Windows 8 without its update; then the default search stays.
void LoadSystemDllsFromSystem32Only() {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    auto set = reinterpret_cast<SetDirectories>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (set)
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// hook.dll beside vsr.exe, by its full path: the library runs inside every
// program of the desktop, so only our own copy may be loaded. A cut path
// would leave a plain "hook.dll" to the search: empty then.
std::wstring HookPath() {
    const std::wstring path = win::OwnModulePath();
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1) + kHookFile;
}

} // namespace

int CVtxApp::Run() {
    LoadSystemDllsFromSystem32Only();
    InitCommonControls();
    OleScope ole;
    // Before the hook block is taken: a second copy must not take it from the first.
    SingleCopy onlyCopy;
    if (!onlyCopy.Claim())
        return 0;
    const std::wstring hookPath = HookPath();
    HMODULE hook = hookPath.empty() ? nullptr : LoadLibraryExW(hookPath.c_str(), nullptr, 0);
    if (!hook) {
        const DWORD error = GetLastError();
        Refuse(L"Vistrel cannot start: its keyboard and mouse hook library could not be loaded.\n\n" +
               (hookPath.empty() ? kHookFile : hookPath) + L"\n" + win::Widen(win::SystemErrorText(error)));
        return 0;
    }
    win::HookLibrary::SetModule(hook);
    using AttachDll = int(WINAPI*)();
    auto attachDll = reinterpret_cast<AttachDll>(reinterpret_cast<void*>(win::HookLibrary::Find("attachDll")));
    if (!attachDll) {
        Refuse(L"Vistrel cannot start: " + hookPath +
               L" has no function \"attachDll\"; it is not Vistrel's hook library.");
        return 0;
    }
    const int attached = attachDll();
    if (attached != 0) {
        const DWORD error = GetLastError();
        if (attached == kBlockHeldByAnother)
            Refuse("Vistrel cannot start: another program holds the name \"VistrelHook\" that Vistrel needs for its "
                   "keyboard and mouse hooks. Sharing it would let that program read what you type.\n\nClose "
                   "other programs, or sign out and in again, then start Vistrel once more.");
        else if (attached == kBlockOfEarlierRunAtOtherLevel)
            Refuse("Vistrel ran before with other rights; programs that were running then still hold its keyboard "
                   "hook. Close them, or sign out and in, to start Vistrel now.");
        else
            Refuse("Vistrel cannot start: the shared memory of its keyboard and mouse hooks could not be made.\n\n" +
                   win::SystemErrorText(error));
        return 0;
    }

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
