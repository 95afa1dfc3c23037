// Many whole-screen captures with the real executors: the process's memory
// stays flat.

#include "app/CaptureSession.h"
#include "app/Messages.h"
#include "capture/ScreenGrab.h"
#include "capture/ScreenSources.h"
#include "output/FileExecute.h"
#include "settings/SettingsStore.h"
#include "tests/common/SessionWindow.h"
#include "trigger/ImmediateExecute.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <cstdio>
#include <string>

namespace {

// Captures `count` times, then ends the session.
struct Repeat : CHowExecute {
    int left;
    Repeat(SettingsStore& s, HWND main, int count) : CHowExecute(s, main), left(count) {}
    int Begin(CWizardContainerDlg*, CWhatExecute*) override {
        PostMessageA(mainWindow, MSG_CAPTURE, 0, 0);
        return 1;
    }
    int AfterCapture(CWizardContainerDlg*, CWhatExecute*) override {
        PostMessageA(mainWindow, --left > 0 ? MSG_CAPTURE : MSG_END_SESSION, 0, 0);
        return 1;
    }
};

// Private (page-file backed) memory of this process in kB.
long PrivateKb() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return static_cast<long>(counters.PagefileUsage / 1024);
}

TEST(SessionFlatness, TwoHundredCapturesInFourSessionsLeaveMemoryFlat) {
    WNDCLASSA c{};
    c.lpfnWndProc = TestMainProc;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = "FlatMain";
    RegisterClassA(&c);
    HWND main = CreateWindowExA(0, "FlatMain", "main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    SettingsStore settings("VistrelTest");
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    // A folder of its own: numbered files of another run would make the renames fail.
    const std::string folder = std::string(base) + "vistrel-flat-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string temp = folder + "\\";

    // One session of `count` captures to output `kind`.
    // Each session its own name: a second session would find name0001 taken.
    int sessionNumber = 0;
    auto runSession = [&](int kind, int count) {
        const std::string name = temp + "s" + std::to_string(++sessionNumber);
        const std::string bmp = name + ".bmp", jpg = name + ".jpg", gif = name + ".gif";
        CCaptureSession s(main);
        session = &s;
        std::unique_ptr<CToExecute> output;
        switch (kind) {
        case 0:
            output = std::make_unique<CBitmapExecute>(settings, bmp);
            break;
        case 1:
            output = std::make_unique<CClipboardExecute>(settings, main);
            break;
        case 2:
            output = std::make_unique<CJpgExecute>(settings, jpg);
            break;
        default:
            output = std::make_unique<CGifExecute>(settings, gif);
            break;
        }
        ASSERT_TRUE(s.Accept(std::make_unique<CFullscreenExecute>(settings, 0),
                             std::make_unique<Repeat>(settings, main, count), std::move(output)));
        // Sound on: the flash then waits 50 ms instead of 150.
        s.Begin(SessionOptions{0, 0, 0, 1});
        const DWORD start = GetTickCount();
        while (s.Running() && GetTickCount() - start < 60000) {
            DispatchPendingMessages();
            Sleep(1);
        }
        ASSERT_FALSE(s.Running()) << "session to output " << kind << " did not end";
        session = nullptr;
    };
    for (int kind = 0; kind < 4; ++kind)
        runSession(kind, 3);
    const long before = PrivateKb();
    ASSERT_GT(before, 0) << "no memory figure";
    for (int kind = 0; kind < 4; ++kind)
        runSession(kind, 50);
    const long after = PrivateKb();
    std::printf("private memory %ld kB -> %ld kB after 200 captures\n", before, after);
    // One leaked full-screen bitmap or DIB per capture would be hundreds of megabytes.
    EXPECT_LT(after, before + 32 * 1024) << "memory grew from " << before << " kB to " << after << " kB";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            DeleteFileA((folder + "\\" + found.cFileName).c_str());
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
    DestroyWindow(main);
}

} // namespace
