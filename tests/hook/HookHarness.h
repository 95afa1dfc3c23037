// Test side of the hook tests: loads hook.dll by name, owns the window that
// receives the library's reports, starts helper processes and drives input.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace hooktest {

// Message numbers and block layout as vsr and hook.dll agree on them.
constexpr UINT MSG_MOUSE_MOVE = 1125;
constexpr UINT MSG_MOUSE_UP = 1126;
constexpr UINT MSG_MOUSE_DOWN = 1127;
constexpr UINT MSG_KEY_ENTERED = 1128;
constexpr UINT MSG_CAPTURE = 1129;
constexpr UINT MSG_END_SESSION = 1130;

struct HookExports {
    HMODULE module = nullptr;
    void(WINAPI* attachDll)() = nullptr;
    void(WINAPI* freeDll)() = nullptr;
    void(WINAPI* attachWnd)(HWND) = nullptr;
    void(WINAPI* detachWnd)() = nullptr;
    void(WINAPI* attachEdit)(HWND) = nullptr;
    void(WINAPI* detachEdit)() = nullptr;
    void(WINAPI* attachKeyCapture)(HWND, UINT, UINT, UINT, UINT, UINT, UINT, UINT, UINT) = nullptr;
    void(WINAPI* detachKeyCapture)() = nullptr;

    // LoadLibrary("hook.dll") by its plain name and GetProcAddress of all
    // eight exports; an empty text on success, else what is missing.
    std::string Load();
};

struct Posted {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// A hidden top-level window that records every message posted to it.
class Recorder {
public:
    Recorder();
    ~Recorder();
    HWND Window() const { return wnd_; }
    std::vector<Posted>& Log() { return log_; }
    // Dispatches messages until `done` holds or `ms` pass; true when it held.
    bool PumpUntil(const std::function<bool()>& done, DWORD ms);
    void Pump(DWORD ms);

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND wnd_ = nullptr;
    std::vector<Posted> log_;
};

// Folder of the running test program (where hook.dll and hookprobe.exe are).
std::string ProgramFolder();

// Starts a program, without waiting. Empty handle on failure.
struct Child {
    HANDLE process = nullptr;
    DWORD id = 0;
};
Child Start(const std::string& commandLine, const char* folder = nullptr);
// Runs a Windows program to its end (at most `ms`) and returns its stdout;
// `exitCode` gets the result or STILL_ACTIVE on a time-out (then it is ended).
std::string RunAndRead(const std::string& commandLine, DWORD ms, DWORD* exitCode);

// Hands a chain of xdotool commands to the X side. A Unix program started
// from Wine gives no process handle to wait on, so callers wait for a marker
// event instead.
bool Xdotool(const std::string& commands);

} // namespace hooktest
