#include "tests/hook/HookHarness.h"

#include <cstdio>
#include <cstdlib>

namespace hooktest {

namespace {

// Wine starts its debugger for an unhandled fault, which then waits for
// nobody; end the test program at once instead, saying where it broke.
LONG WINAPI EndOnFault(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "hook test: fault %08lx at %p\n", info->ExceptionRecord->ExceptionCode,
                 info->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

const auto kFaultFilter = SetUnhandledExceptionFilter(EndOnFault);

} // namespace

std::string HookExports::Load() {
    module = LoadLibraryA("hook.dll");
    if (!module)
        return "LoadLibrary(\"hook.dll\") failed, error " + std::to_string(GetLastError());
    std::string missing;
    auto bind = [&](auto& fn, const char* name) {
        // FARPROC to the real signature, through the generic function type.
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
        if (!fn)
            missing += std::string(" ") + name;
    };
    bind(attachDll, "attachDll");
    bind(freeDll, "freeDll");
    bind(attachWnd, "attachWnd");
    bind(detachWnd, "detachWnd");
    bind(attachEdit, "attachEdit");
    bind(detachEdit, "detachEdit");
    bind(attachKeyCapture, "attachKeyCapture");
    bind(detachKeyCapture, "detachKeyCapture");
    return missing.empty() ? "" : "hook.dll lacks the exports" + missing;
}

Recorder::Recorder() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VistrelHookRecorder";
    RegisterClassA(&wc);
    wnd_ = CreateWindowExA(0, wc.lpszClassName, "hook recorder", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                           wc.hInstance, this);
}

Recorder::~Recorder() {
    if (wnd_)
        DestroyWindow(wnd_);
}

LRESULT CALLBACK Recorder::Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<Recorder*>(GetWindowLongPtrA(wnd, GWLP_USERDATA));
    if (self && msg >= WM_USER)
        self->log_.push_back({msg, wParam, lParam});
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

bool Recorder::PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (done())
            return true;
        const DWORD spent = GetTickCount() - start;
        if (spent >= ms)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent < 20 ? ms - spent : 20, QS_ALLINPUT);
    }
}

void Recorder::Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

std::string ProgramFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/"));
}

Child Start(const std::string& commandLine, const char* folder) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &si, &pi))
        return {};
    CloseHandle(pi.hThread);
    return {pi.hProcess, pi.dwProcessId};
}

std::string RunAndRead(const std::string& commandLine, DWORD ms, DWORD* exitCode) {
    *exitCode = STILL_ACTIVE;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0))
        return "";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine;
    const BOOL started =
        CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    std::string out;
    if (started) {
        CloseHandle(pi.hThread);
        if (WaitForSingleObject(pi.hProcess, ms) != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, 1);
        else
            GetExitCodeProcess(pi.hProcess, exitCode);
        CloseHandle(pi.hProcess);
        char buf[512];
        DWORD got = 0;
        DWORD avail = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &avail, nullptr) && avail &&
               ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got)
            out.append(buf, got);
    }
    CloseHandle(readEnd);
    return out;
}

bool Xdotool(const std::string& commands) {
    const char* tool = std::getenv("VISTREL_XDOTOOL");
    std::string cmd = std::string(tool && *tool ? tool : "/usr/bin/xdotool") + " " + commands;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    // Wine hands out no usable handles for a Unix process.
    return true;
}

} // namespace hooktest
