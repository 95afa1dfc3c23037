// vsr.exe cannot work without its hooks: with no hook.dll beside it or on the
// search path it ends at once, silently. With the library beside it, the same
// copy does show a window, which shows the check below can see one.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/hook/HookHarness.h"

using namespace hooktest;

namespace {

constexpr DWORD kStartTimeoutMs = 10000;

struct Outcome {
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD ms = 0;
    std::string firstWindow; // class and title of the first visible window it showed
};

struct WindowSearch {
    DWORD pid;
    std::string found;
};

BOOL CALLBACK FindVisibleWindowOf(HWND wnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid != search->pid || !IsWindowVisible(wnd))
        return TRUE;
    char cls[128] = "", title[128] = "";
    GetClassNameA(wnd, cls, sizeof cls);
    GetWindowTextA(wnd, title, sizeof title);
    search->found = std::string(cls) + " \"" + title + "\"";
    return FALSE;
}

// Starts the program in its folder and watches for its windows until it ends,
// it shows one (when `stopAtWindow`), or the time is up; then ends it if needed.
Outcome StartAndWatch(const std::string& folder, bool stopAtWindow) {
    Outcome run;
    const std::string exe = folder + "\\vsr.exe";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                        &pi)) {
        ADD_FAILURE() << "cannot start " << exe << ", error " << GetLastError();
        return run;
    }
    const DWORD start = GetTickCount();
    for (;;) {
        WindowSearch search{pi.dwProcessId, ""};
        EnumWindows(FindVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
        if (run.firstWindow.empty())
            run.firstWindow = search.found;
        if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) {
            run.ended = true;
            GetExitCodeProcess(pi.hProcess, &run.exitCode);
            break;
        }
        if ((stopAtWindow && !run.firstWindow.empty()) || GetTickCount() - start > kStartTimeoutMs)
            break;
    }
    run.ms = GetTickCount() - start;
    if (!run.ended) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

class VsrStartup : public testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "vistrel-startup-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
        ASSERT_TRUE(
            CopyFileA((ProgramFolder() + "\\vsr.exe").c_str(), (folder_ + "\\vsr.exe").c_str(), FALSE))
            << "cannot copy vsr.exe from " << ProgramFolder();
    }

    void TearDown() override {
        DeleteFileA((folder_ + "\\vsr.exe").c_str());
        DeleteFileA((folder_ + "\\hook.dll").c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    std::string folder_;
};

TEST_F(VsrStartup, WithoutHookDllEndsAtOnceWithNoWindow) {
    // The child's search path: its own folder, the system folders, PATH.
    char path[8192] = "";
    GetEnvironmentVariableA("PATH", path, sizeof path);
    const std::string where = folder_ + ";" + path;
    char found[MAX_PATH];
    ASSERT_EQ(SearchPathA(where.c_str(), "hook.dll", nullptr, MAX_PATH, found, nullptr), 0u)
        << "hook.dll is on the search path: " << found;

    const Outcome run = StartAndWatch(folder_, false);
    EXPECT_TRUE(run.ended) << "vsr.exe without hook.dll still ran after " << kStartTimeoutMs << " ms";
    EXPECT_EQ(run.firstWindow, "") << "vsr.exe without hook.dll showed a window";
    EXPECT_EQ(run.exitCode, 0u);
}

TEST_F(VsrStartup, WithHookDllBesideItShowsAWindow) {
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\hook.dll").c_str(), (folder_ + "\\hook.dll").c_str(), FALSE));
    const Outcome run = StartAndWatch(folder_, true);
    EXPECT_FALSE(run.ended) << "vsr.exe with hook.dll ended by itself, exit code " << run.exitCode;
    EXPECT_NE(run.firstWindow, "") << "vsr.exe with hook.dll showed no window within " << kStartTimeoutMs
                                   << " ms";
}

} // namespace
