// vsr.exe cannot work without its hooks. It loads only the hook.dll beside
// it; without one, or when another program holds the hooks' shared block, it
// says so in one message box and ends without its main window. With the
// library beside it, the same copy does show its window.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>

#include "hook/BlockSecurity.h"
#include "tests/hook/HookHarness.h"

using namespace hooktest;

namespace {

constexpr DWORD kStartTimeoutMs = 10000;

struct Outcome {
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    DWORD ms = 0;
    std::string firstWindow; // class and title of the first visible window it showed
    std::string boxText;     // the text of the message box it showed, closed by the watcher
};

struct WindowSearch {
    DWORD pid;
    std::string found;
    HWND window = nullptr;
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
    search->window = wnd;
    return FALSE;
}

BOOL CALLBACK FindStaticText(HWND wnd, LPARAM param) {
    char cls[64] = "", text[1024] = "";
    GetClassNameA(wnd, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextA(wnd, text, sizeof text) > 0)
        *reinterpret_cast<std::string*>(param) = text;
    return TRUE;
}

// Starts the program of `folder` in `workFolder` (default: its own) and
// watches for its windows until it ends, it shows one (when `stopAtWindow`),
// or the time is up; then ends it if needed. A message box captioned
// "Vistrel" is read and closed, as a user would.
std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                    static_cast<int>(wide.size())));
    return wide;
}

Outcome StartAndWatch(const std::wstring& folder, bool stopAtWindow, const std::wstring& workFolder = L"") {
    Outcome run;
    const std::wstring exe = folder + L"\\vsr.exe";
    const std::wstring cwd = workFolder.empty() ? folder : workFolder;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(), &si,
                        &pi)) {
        ADD_FAILURE() << "cannot start vsr.exe in its folder, error " << GetLastError();
        return run;
    }
    const DWORD start = GetTickCount();
    for (;;) {
        WindowSearch search{pi.dwProcessId, ""};
        EnumWindows(FindVisibleWindowOf, reinterpret_cast<LPARAM>(&search));
        if (run.firstWindow.empty())
            run.firstWindow = search.found;
        if (search.found == "#32770 \"Vistrel\"" && run.boxText.empty()) {
            EnumChildWindows(search.window, FindStaticText, reinterpret_cast<LPARAM>(&run.boxText));
            PostMessageA(search.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
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

Outcome StartAndWatch(const std::string& folder, bool stopAtWindow, const std::string& workFolder = "") {
    return StartAndWatch(Wide(folder), stopAtWindow, Wide(workFolder));
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

TEST_F(VsrStartup, OnlyTheHookDllBesideItIsLoadedAndAMissingOneIsNamed) {
    // A hook.dll planted in the working folder, none beside vsr.exe.
    const std::string planted = folder_ + "-work";
    CreateDirectoryA(planted.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\hook.dll").c_str(), (planted + "\\hook.dll").c_str(), FALSE));
    const Outcome run = StartAndWatch(folder_, false, planted);
    DeleteFileA((planted + "\\hook.dll").c_str());
    RemoveDirectoryA(planted.c_str());
    EXPECT_TRUE(run.ended) << "vsr.exe without hook.dll still ran after " << kStartTimeoutMs << " ms";
    EXPECT_EQ(run.firstWindow, "#32770 \"Vistrel\"") << "not one message box but another window first";
    EXPECT_NE(run.boxText.find(folder_ + "\\hook.dll"), std::string::npos)
        << "the box does not name the missing file: " << run.boxText;
    EXPECT_EQ(run.exitCode, 0u);
}

TEST_F(VsrStartup, AHookBlockNameHeldByAnotherProgramIsRefusedWithAMessage) {
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\hook.dll").c_str(), (folder_ + "\\hook.dll").c_str(), FALSE));
    for (bool section : {true, false}) {
        // The squatter makes the name first: vsr must neither join its block
        // (and install hooks that read targets from it) nor end without a word.
        HANDLE held = section ? CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 100, "VistrelHook")
                              : CreateMutexA(nullptr, FALSE, "VistrelHook");
        ASSERT_TRUE(held && GetLastError() != ERROR_ALREADY_EXISTS) << "\"VistrelHook\" is in use already";
        const Outcome run = StartAndWatch(folder_, false);
        CloseHandle(held);
        EXPECT_TRUE(run.ended) << "vsr.exe ran with a block it did not make";
        EXPECT_EQ(run.firstWindow, "#32770 \"Vistrel\"") << (section ? "section" : "mutex");
        EXPECT_NE(run.boxText.find("another program holds the name \"VistrelHook\""), std::string::npos)
            << run.boxText;
    }
}

TEST_F(VsrStartup, ABlockOfAnEarlierRunAtAnotherLevelIsNamedAsSuch) {
    // Our owner and rules, labelled at the level this run does not have: what
    // programs still hold after a run with other rights.
    std::string user, level;
    ASSERT_TRUE(vistrel::hook::ReadToken(user, level));
    if (!vistrel::hook::SystemKeepsLabels())
        GTEST_SKIP() << "this system keeps no integrity labels: no block can carry another level";
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\hook.dll").c_str(), (folder_ + "\\hook.dll").c_str(), FALSE));
    // Only a level below one's own may be given: a high run makes a medium block.
    const std::string other = level == "S-1-16-12288" ? "S-1-16-8192" : "S-1-16-4096";
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        vistrel::hook::BlockSecurityText(user, other).c_str(), SDDL_REVISION_1, &sd, nullptr));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, sd, FALSE};
    HANDLE held = CreateFileMappingA(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, 100, "VistrelHook");
    LocalFree(sd);
    ASSERT_TRUE(held && GetLastError() != ERROR_ALREADY_EXISTS) << "\"VistrelHook\" is in use already";
    const Outcome run = StartAndWatch(folder_, false);
    CloseHandle(held);
    EXPECT_TRUE(run.ended);
    const bool earlierRun = other != "S-1-16-4096"; // low is never Vistrel's own level
    EXPECT_EQ(run.boxText.find("Vistrel ran before with other rights") != std::string::npos, earlierRun)
        << run.boxText;
    EXPECT_EQ(run.boxText.find("another program holds the name") != std::string::npos, !earlierRun) << run.boxText;
}

TEST_F(VsrStartup, WithHookDllBesideItShowsAWindow) {
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\hook.dll").c_str(), (folder_ + "\\hook.dll").c_str(), FALSE));
    const Outcome run = StartAndWatch(folder_, true);
    EXPECT_FALSE(run.ended) << "vsr.exe with hook.dll ended by itself, exit code " << run.exitCode;
    EXPECT_NE(run.firstWindow, "") << "vsr.exe with hook.dll showed no window within " << kStartTimeoutMs
                                   << " ms";
}

TEST_F(VsrStartup, StartsFromAFolderNamedInLettersOutsideTheCodePage) {
    // A user name in another script than the system's: Cyrillic and Greek.
    const std::wstring name = L"\u0412\u0438\u0441\u0442\u0440\u0435\u043b\u044c-\u03b1\u03b2\u03b3";
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, &lossy);
    ASSERT_TRUE(lossy) << "code page " << GetACP() << " holds these letters: set LANG to a Western locale";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = temp + name + std::to_wstring(GetCurrentProcessId());
    const std::wstring from = Wide(ProgramFolder());
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* file : {L"\\vsr.exe", L"\\hook.dll"})
        ASSERT_TRUE(CopyFileW((from + file).c_str(), (folder + file).c_str(), FALSE)) << GetLastError();
    const Outcome run = StartAndWatch(folder, true);
    EXPECT_FALSE(run.ended) << "vsr.exe ended by itself, exit code " << run.exitCode << "; it said: " << run.boxText;
    EXPECT_NE(run.firstWindow, "") << "no window within " << kStartTimeoutMs << " ms";
    EXPECT_NE(run.firstWindow, "#32770 \"Vistrel\"") << "refused: " << run.boxText;
    for (const wchar_t* file : {L"\\vsr.exe", L"\\hook.dll"})
        DeleteFileW((folder + file).c_str());
    RemoveDirectoryW(folder.c_str());
}

} // namespace
