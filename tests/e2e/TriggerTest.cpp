// The key and timer triggers as a user meets them: vsr.exe armed, keys
// pressed with xdotool while another program has the focus, and the files,
// the waiting window and that program's input checked.

#include "tests/common/Files.h"
#include "tests/e2e/VsrDriver.h"
#include "tests/hook/HookHarness.h"
#include "tests/hook/ProbeProtocol.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const char kOnKey[] = "Capture after pressing a key";
const char kOnTimer[] = "Capture after a number of seconds";
constexpr DWORD kDown = 128;

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Stored selections for a whole-screen capture to PNG files named `fileName`;
// `how` empty leaves the trigger list at its first entry, as on a first start.
void StoreSession(const char* how, const std::string& fileName) {
    settings::DeleteKey();
    settings::WriteText("lastWhatSelection", "Capture the whole screen");
    if (*how) {
        settings::WriteText("lastHowSelection", how);
        settings::WriteNumber("stopKeyRadio", 1020);
    }
    settings::WriteText("lastToSelection", "Save result as PNG");
    settings::WriteText("fileName", fileName);
    for (const char* option : {"hide", "mouse", "preview", "sound"})
        settings::WriteNumber(option, 0);
}

void StoreCombination(const char* prefix, DWORD key, DWORD ctrl) {
    const std::string p = prefix;
    settings::WriteNumber((p.empty() ? "keyCode" : p + "KeyCode").c_str(), key);
    settings::WriteNumber((p.empty() ? "scanCode" : p + "ScanCode").c_str(), 0);
    settings::WriteNumber((p.empty() ? "shift" : p + "Shift").c_str(), 0);
    settings::WriteNumber((p.empty() ? "ctrl" : p + "Ctrl").c_str(), ctrl);
    settings::WriteNumber((p.empty() ? "alt" : p + "Alt").c_str(), 0);
}

// A timer series of `count` whole-screen captures every `seconds`, started by
// PRINTSCREEN, into numbered PNG files from `base`.
void StoreTimerSeries(const std::string& base, DWORD seconds, DWORD count) {
    StoreSession(kOnTimer, base + ".png");
    StoreCombination("", VK_SNAPSHOT, 0);
    StoreCombination("stop", 0, 0);
    settings::WriteNumber("stopKeyRadio", 1020);
    settings::WriteNumber("seconds", seconds);
    settings::WriteNumber("numberOfCaptures", count);
}

// The waiting window of process `pid`, shown or hidden.
HWND FindWaitingWindow(DWORD pid) {
    for (HWND w = FindWindowExA(nullptr, nullptr, nullptr, "Vistrel Wizard"); w;
         w = FindWindowExA(nullptr, w, nullptr, "Vistrel Wizard")) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid)
            return w;
    }
    return nullptr;
}

std::string PageText(DWORD pid, int id) {
    HWND waiting = FindWaitingWindow(pid);
    HWND page = waiting ? GetWindow(waiting, GW_CHILD) : nullptr;
    return page ? WindowText(GetDlgItem(page, id)) : std::string();
}

HWND ProcessWindow(DWORD pid, const char* caption) {
    HWND w = FindWindowA(nullptr, caption);
    DWORD owner = 0;
    if (w)
        GetWindowThreadProcessId(w, &owner);
    return owner == pid && IsWindowVisible(w) ? w : nullptr;
}

// The visible page of the main window holding `id`.
HWND PageWith(HWND main, int id) {
    for (const ChildPage& page : VisibleChildDialogs(main))
        if (GetDlgItem(page.window, id))
            return page.window;
    return nullptr;
}

// vsr.exe running, and a window of another program that reports the keys it gets.
class Session {
public:
    Session() {
        started = process.Start(BinDir());
        if (started)
            window = process.WaitMainWindow();
        char cmd[512];
        std::snprintf(cmd, sizeof cmd, "\"%s\\hookprobe.exe\" victim 0x%llx 400 300 300 200",
                      hooktest::ProgramFolder().c_str(),
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(recorder.Window())));
        victimProcess = hooktest::Start(cmd).process;
        recorder.PumpUntil([&] { return Find(probe::kVictimReady) != nullptr; }, 30000);
        if (const hooktest::Posted* ready = Find(probe::kVictimReady))
            victim = reinterpret_cast<HWND>(ready->wParam);
    }
    ~Session() {
        if (victim)
            PostMessageA(victim, probe::kQuit, 0, 0);
        if (victimProcess) {
            if (WaitForSingleObject(victimProcess, 5000) != WAIT_OBJECT_0)
                TerminateProcess(victimProcess, 1);
            CloseHandle(victimProcess);
        }
    }
    const hooktest::Posted* Find(UINT msg) {
        for (const hooktest::Posted& p : recorder.Log())
            if (p.msg == msg)
                return &p;
        return nullptr;
    }
    // Keys typed while the other program has the focus.
    bool KeysToVictim(const std::string& keys) {
        SetForegroundWindow(victim);
        if (!WaitFor([&] { return GetForegroundWindow() == victim; }, 3000))
            return false;
        // The pointer goes over it too, as in the hook tests.
        RECT r;
        GetWindowRect(victim, &r);
        return hooktest::Xdotool("mousemove " + std::to_string((r.left + r.right) / 2) + " " +
                                 std::to_string((r.top + r.bottom) / 2) + " " + keys);
    }
    // Input sent with SendInput from a helper process while the other
    // program has the focus, as Windows delivers it (`hookprobe sendinput`).
    bool SendToVictim(const std::string& events) {
        SetForegroundWindow(victim);
        if (!WaitFor([&] { return GetForegroundWindow() == victim; }, 3000))
            return false;
        DWORD code = 1;
        hooktest::RunAndRead("\"" + hooktest::ProgramFolder() + "\\hookprobe.exe\" sendinput " + events, 10000,
                             &code);
        return code == 0;
    }
    int VictimGotKey(UINT vk) {
        recorder.Pump(300);
        int n = 0;
        for (const hooktest::Posted& p : recorder.Log())
            if (p.msg == probe::kInputReport && static_cast<UINT>(p.lParam) == vk &&
                p.wParam >= WM_KEYFIRST && p.wParam <= WM_KEYLAST)
                ++n;
        return n;
    }
    // The waiting window stays hidden after a whole-screen grab: the session
    // has ended when it is gone.
    bool WaitForEnd(DWORD timeoutMs = 15000) {
        return WaitFor([&] { return IsWindowVisible(window) && !FindWaitingWindow(process.pid()); },
                       timeoutMs);
    }
    bool WaitArmed() {
        return WaitFor([&] { return IsWindowVisible(FindWaitingWindow(process.pid())); }, 10000);
    }
    VsrProcess process;
    hooktest::Recorder recorder;
    HANDLE victimProcess = nullptr;
    HWND victim = nullptr;
    bool started = false;
    HWND window = nullptr;
};

#define ASSERT_SESSION(s)                                                                                    \
    ASSERT_TRUE((s).started && (s).window) << "vsr.exe did not show its main window";                        \
    ASSERT_NE((s).victim, nullptr) << "the helper window (hookprobe victim) did not start"

bool IsPng(const std::string& path) {
    std::vector<unsigned char> b = ReadFileBytes(path);
    if (b.size() <= 24 || b[1] != 'P' || b[2] != 'N' || b[3] != 'G')
        return false;
    const DWORD width = (DWORD(b[16]) << 24) | (DWORD(b[17]) << 16) | (DWORD(b[18]) << 8) | b[19];
    return width == static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN));
}

double WriteSeconds(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    ULARGE_INTEGER t;
    t.LowPart = data.ftLastWriteTime.dwLowDateTime;
    t.HighPart = data.ftLastWriteTime.dwHighDateTime;
    return static_cast<double>(t.QuadPart) / 1e7;
}

} // namespace

// Windows 11's own use of PRINTSCREEN, switched for one test.
class SnippingSetting {
public:
    explicit SnippingSetting(DWORD value) {
        RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Keyboard", kName, REG_DWORD, &value, sizeof value);
    }
    ~SnippingSetting() { RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Keyboard", kName); }

private:
    static constexpr const char* kName = "PrintScreenKeyForSnippingEnabled";
};

int FilesIn(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &found);
    int n = 0;
    for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &found))
        n += !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);
    return n;
}

TEST(KeyTrigger, FirstStartArmsPrintScreenWhoseLoneReleaseCapturesOnceInAnotherProgram) {
    TempFolder folder;
    const std::string file = folder.path() + "\\key.png";
    StoreSession("", file);
    settings::WriteNumber("preview", 1);
    SnippingSetting snipping(1);
    Session s;
    ASSERT_SESSION(s);
    const DWORD pid = s.process.pid();
    // Posted: the notice holds the click's handler until it is closed.
    PostMessageA(s.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    // Windows takes PRINTSCREEN as well: the user is told where to turn that off.
    auto notice = WaitMessageBox(pid, "Vistrel", 5000);
    ASSERT_TRUE(notice) << "nothing said about Windows' own use of PRINTSCREEN";
    // Where the switch is depends on the Windows it runs on (checked by build in the trigger tests).
    EXPECT_NE(notice->text.find("to open screen "), std::string::npos) << notice->text;
    EXPECT_NE(notice->text.find(" > Keyboard."), std::string::npos) << notice->text;
    CloseMessageBox(notice->window);
    ASSERT_TRUE(s.WaitArmed()) << "Capture with the defaults showed no waiting window";
    EXPECT_EQ(PageText(pid, IDC_HEADLINE), "\"PRINTSCREEN\" will capture the whole screen.");

    // Windows sends PRINTSCREEN as a release alone. Two in one call with
    // "Stop after first capture": one capture, previewed in front.
    ASSERT_TRUE(s.SendToVictim("ku:44+ku:44")) << "hookprobe sendinput failed";
    HWND result = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (result = ProcessWindow(pid, "Result")) != nullptr; }, 10000))
        << "a lone PRINTSCREEN release took no capture";
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == result; }, 3000))
        << "the Result dialog opened behind the program in use";
    ASSERT_TRUE(PressButton(result, IDOK));
    ASSERT_TRUE(s.WaitForEnd()) << "the capture did not end the session";
    Sleep(1000);
    EXPECT_TRUE(IsPng(file)) << file;
    EXPECT_EQ(FilesIn(folder.path()), 1) << "the second press captured after the session's last capture";
    EXPECT_EQ(s.VictimGotKey(VK_SNAPSHOT), 0) << "the other program saw PRINTSCREEN";
    EXPECT_EQ(settings::ReadNumber("keyCode"), 44u);
    EXPECT_EQ(settings::ReadNumber("stopKeyCode"), 0u) << "no stop combination: no key";
    EXPECT_EQ(settings::ReadNumber("stopKeyRadio"), 1020u);

    // Told once per run; Enter on the waiting page's focused Cancel ends the session.
    ASSERT_TRUE(PressButton(s.window, IDOK));
    ASSERT_TRUE(s.WaitArmed());
    EXPECT_FALSE(WaitMessageBox(pid, "Vistrel", 1000)) << "told twice in one run";
    HWND waiting = FindWaitingWindow(pid);
    HWND cancel = GetDlgItem(GetWindow(waiting, GW_CHILD), IDC_WIZ_CANCEL);
    ASSERT_NE(cancel, nullptr);
    SendMessageA(waiting, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(cancel), TRUE);
    ASSERT_TRUE(TypeKey(waiting, VK_RETURN)) << "the waiting window took no focus";
    EXPECT_TRUE(s.WaitForEnd(5000)) << "Enter on the focused Cancel button did nothing";
}

TEST(KeyTrigger, CtrlPrintScreenCapturesEachPressUntilTheStopCombination) {
    TempFolder folder;
    const std::string base = folder.path() + "\\shot";
    StoreSession(kOnKey, base + ".png");
    StoreCombination("", VK_SNAPSHOT, kDown);
    StoreCombination("stop", VK_SNAPSHOT, 0);
    settings::WriteNumber("stopKeyRadio", 1021);
    SnippingSetting snipping(0);
    Session s;
    ASSERT_SESSION(s);
    ASSERT_TRUE(PressButton(s.window, IDOK));
    ASSERT_TRUE(s.WaitArmed());
    EXPECT_FALSE(WaitMessageBox(s.process.pid(), "Vistrel", 1000)) << "a notice although the setting is off";
    EXPECT_EQ(PageText(s.process.pid(), IDC_HEADLINE), "\"CTRL+PRINTSCREEN\" will capture the whole screen.");

    ASSERT_TRUE(s.KeysToVictim("keydown ctrl key Print keyup ctrl"));
    ASSERT_TRUE(WaitFor([&] { return Exists(base + ".png"); }, 10000)) << "CTRL+PRINTSCREEN took no capture";
    // CTRL let go before PRINTSCREEN: still the start combination, judged by its press.
    ASSERT_TRUE(s.KeysToVictim("keydown ctrl keydown Print keyup ctrl keyup Print"));
    ASSERT_TRUE(WaitFor([&] { return Exists(base + "0002.png"); }, 10000)) << "the second capture is missing";
    // Extra modifiers match nothing; PRINTSCREEN alone stops.
    ASSERT_TRUE(s.KeysToVictim("keydown ctrl keydown shift key Print keyup shift keyup ctrl"));
    Sleep(1000);
    ASSERT_TRUE(s.KeysToVictim("key Print"));
    ASSERT_TRUE(s.WaitForEnd()) << "the stop combination did not end the session";
    EXPECT_TRUE(IsPng(base + "0001.png"));
    EXPECT_TRUE(IsPng(base + "0002.png"));
    EXPECT_FALSE(Exists(base + "0003.png")) << "CTRL+SHIFT+PRINTSCREEN or the stop took a capture";
    EXPECT_FALSE(Exists(base + ".png"));
    EXPECT_EQ(s.VictimGotKey(VK_SNAPSHOT), 2) << "only CTRL+SHIFT+PRINTSCREEN reaches the other program";
}

TEST(KeyTrigger, EscapeOnTheWaitingPageEndsTheSessionAndMissingCombinationsAreNamed) {
    TempFolder folder;
    StoreSession(kOnKey, folder.path() + "\\none.png");
    StoreCombination("", VK_SNAPSHOT, 0);
    Session s;
    ASSERT_SESSION(s);
    ASSERT_TRUE(PressButton(s.window, IDOK));
    ASSERT_TRUE(s.WaitArmed());
    ASSERT_TRUE(TypeKey(FindWaitingWindow(s.process.pid()), VK_ESCAPE)) << "the waiting window took no focus";
    EXPECT_TRUE(s.WaitForEnd(5000)) << "Escape on the waiting page did not end the session";
    EXPECT_FALSE(Exists(folder.path() + "\\none.png"));
    s.process.Close();

    // No stored start combination (a stop one is): both boxes empty, and
    // Capture names what is missing. Then a start combination with the stop
    // rule on an empty stop box.
    const char* const missing[] = {"Please enter a key combination to start the capture.",
                                   "Please enter a key combination to stop the capture."};
    for (int round = 0; round < 2; ++round) {
        StoreSession(kOnKey, folder.path() + "\\none.png");
        StoreCombination(round ? "" : "stop", VK_SNAPSHOT, 0);
        settings::WriteNumber("stopKeyRadio", round ? 1021 : 1020);
        Session t;
        ASSERT_SESSION(t);
        HWND page = PageWith(t.window, IDC_START_KEY);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(WindowText(GetDlgItem(page, IDC_START_KEY)), round ? "PRINTSCREEN" : "");
        EXPECT_EQ(WindowText(GetDlgItem(page, IDC_STOP_KEY)), "");
        PostMessageA(t.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        auto box = WaitMessageBox(t.process.pid(), "Error", 5000);
        ASSERT_TRUE(box) << "Capture with a missing combination said nothing";
        EXPECT_EQ(box->text, missing[round]);
        CloseMessageBox(box->window);
        EXPECT_FALSE(WaitFor([&] { return FindWaitingWindow(t.process.pid()) != nullptr; }, 1000))
            << "a session started without its combination";
        EXPECT_TRUE(t.process.Close());
    }
}

// A second vsr.exe while the first waits with its windows hidden: the second
// ends, brings the waiting window back (the way to Cancel), and never takes
// the hooks: the first still captures on its key.
TEST(KeyTrigger, ASecondCopyEndsAndTheFirstStillCapturesOnItsKey) {
    TempFolder folder;
    const std::string file = folder.path() + "\\first.png";
    StoreSession(kOnKey, file);
    StoreCombination("", VK_SNAPSHOT, 0);
    settings::WriteNumber("hide", 1);
    Session s;
    ASSERT_SESSION(s);
    ASSERT_TRUE(PressButton(s.window, IDOK));
    ASSERT_TRUE(s.WaitArmed());
    HWND waiting = FindWaitingWindow(s.process.pid());
    ASSERT_TRUE(PressButton(GetWindow(waiting, GW_CHILD), IDC_WIZ_HIDE));
    ASSERT_TRUE(WaitFor([&] { return !IsWindowVisible(waiting) && !IsWindowVisible(s.window); }, 8000));
    VsrProcess second;
    ASSERT_TRUE(second.Start(BinDir()));
    DWORD code = 1;
    EXPECT_TRUE(second.WaitExit(10000, &code)) << "a second copy kept running";
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(waiting); }, 5000))
        << "the hidden session stays out of reach";
    ASSERT_TRUE(s.KeysToVictim("key Print"));
    EXPECT_TRUE(WaitFor([&] { return IsPng(file); }, 10000))
        << "the first copy no longer captures on its key";
    EXPECT_TRUE(s.WaitForEnd());
}

TEST(KeyEntry, BoxesNameTheKeysPressedAndKeepThemAcrossARestart) {
    TempFolder folder;
    StoreSession(kOnKey, folder.path() + "\\entry.png");
    std::string shiftedOne;
    {
        Session s;
        ASSERT_SESSION(s);
        HWND page = PageWith(s.window, IDC_START_KEY);
        ASSERT_NE(page, nullptr);
        HWND box = GetDlgItem(page, IDC_START_KEY);
        RECT r;
        GetWindowRect(box, &r);
        SetForegroundWindow(s.window);
        ASSERT_TRUE(hooktest::Xdotool("mousemove " + std::to_string((r.left + r.right) / 2) + " " +
                                      std::to_string((r.top + r.bottom) / 2) + " click 1"));
        auto named = [&](const std::string& keys, const std::string& expected) {
            hooktest::Xdotool(keys);
            return WaitFor([&] { return WindowText(box) == expected; }, 5000);
        };
        ASSERT_TRUE(named("keydown ctrl key a keyup ctrl", "CTRL+A")) << WindowText(box);
        EXPECT_TRUE(named("keydown ctrl keydown a keyup ctrl keyup a", "A"))
            << "CTRL let go first: " << WindowText(box);
        EXPECT_TRUE(named("key Tab", "TAB")) << "Tab must be named, not move on: " << WindowText(box);
        EXPECT_TRUE(named("key Escape", "ESCAPE")) << WindowText(box);
        EXPECT_TRUE(named("keydown ctrl keydown alt keydown shift key F9 keyup shift keyup alt keyup ctrl",
                          "CTRL+ALT+SHIFT+F9"))
            << WindowText(box);
        hooktest::Xdotool("key shift key ctrl");
        Sleep(500);
        EXPECT_EQ(WindowText(box), "CTRL+ALT+SHIFT+F9") << "a modifier alone changed the name";
        // Windows sends PRINTSCREEN as a release alone.
        DWORD code = 1;
        hooktest::RunAndRead("\"" + hooktest::ProgramFolder() + "\\hookprobe.exe\" sendinput ku:44", 10000, &code);
        EXPECT_EQ(code, 0u) << "hookprobe sendinput failed";
        EXPECT_TRUE(WaitFor([&] { return WindowText(box) == "PRINTSCREEN"; }, 5000)) << WindowText(box);
        ASSERT_TRUE(named("keydown shift key 1 keyup shift", "SHIFT+!")) << WindowText(box);

        // Stored by Capture; the session is cancelled from its waiting page.
        ASSERT_TRUE(PressButton(s.window, IDOK));
        ASSERT_TRUE(s.WaitArmed());
        HWND waiting = FindWaitingWindow(s.process.pid());
        ASSERT_TRUE(PressButton(GetWindow(waiting, GW_CHILD), IDC_WIZ_CANCEL));
        ASSERT_TRUE(s.WaitForEnd());
        EXPECT_EQ(settings::ReadNumber("keyCode"), static_cast<DWORD>('1'));
        EXPECT_EQ(settings::ReadNumber("shift"), kDown);
        EXPECT_EQ(settings::ReadNumber("ctrl"), 0u);
    }
    // After a restart the digit is derived again, without SHIFT held.
    Session s;
    ASSERT_SESSION(s);
    HWND page = PageWith(s.window, IDC_START_KEY);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(page, IDC_START_KEY)), "SHIFT+1");
}

TEST(TimerTrigger, SeriesCountsDownRestartsOnAStartPressAndStopsAtItsLimit) {
    TempFolder folder;
    const std::string base = folder.path() + "\\tick";
    StoreTimerSeries(base, 2, 4);
    Session s;
    ASSERT_SESSION(s);
    ASSERT_TRUE(PressButton(s.window, IDOK));
    ASSERT_TRUE(s.WaitArmed());
    const DWORD pid = s.process.pid();
    EXPECT_EQ(PageText(pid, IDC_COUNTDOWN), "Timer has not been started yet.");

    ASSERT_TRUE(s.KeysToVictim("key Print"));
    ASSERT_TRUE(
        WaitFor([&] { return PageText(pid, IDC_COUNTDOWN) == "Remaining seconds: 2 screenshots: 3"; }, 5000))
        << PageText(pid, IDC_COUNTDOWN)
        << (Exists(base + ".png") ? ", first capture stored" : ", no capture");
    ASSERT_TRUE(WaitFor([&] { return Exists(base + "0002.png"); }, 8000)) << "the countdown took no capture";
    // Re-armed once the second capture is through.
    ASSERT_TRUE(WaitFor(
        [&] { return PageText(pid, IDC_COUNTDOWN).find("screenshots: 2") != std::string::npos; }, 5000))
        << PageText(pid, IDC_COUNTDOWN);
    // A start press during the countdown captures at once and restarts it.
    ASSERT_TRUE(s.KeysToVictim("key Print"));
    ASSERT_TRUE(s.WaitForEnd(15000)) << "the series did not end at its limit";
    Sleep(2500);
    for (int k = 1; k <= 4; ++k) {
        char name[16];
        std::snprintf(name, sizeof name, "%04d.png", k);
        EXPECT_TRUE(IsPng(base + name)) << base + name;
    }
    EXPECT_FALSE(Exists(base + "0005.png")) << "more captures than the limit";
    const double t1 = WriteSeconds(base + "0001.png"), t2 = WriteSeconds(base + "0002.png"),
                 t3 = WriteSeconds(base + "0003.png"), t4 = WriteSeconds(base + "0004.png");
    EXPECT_GE(t2 - t1, 1.8) << "the interval is 2 s";
    EXPECT_LE(t2 - t1, 4.0);
    EXPECT_LT(t3 - t2, 1.8) << "the start press did not capture at once";
    EXPECT_GE(t4 - t3, 1.8) << "the interval did not restart with the press";
    EXPECT_LE(t4 - t3, 4.0);
}

TEST(TimerTrigger, ExtraStartPressesNeverTakeMoreThanTheLimit) {
    TempFolder folder;
    const std::string base = folder.path() + "\\burst";
    StoreTimerSeries(base, 1, 3);
    Session s;
    ASSERT_SESSION(s);
    ASSERT_TRUE(PressButton(s.window, IDOK));
    ASSERT_TRUE(s.WaitArmed());
    ASSERT_TRUE(s.SendToVictim("ku:44"));
    ASSERT_TRUE(WaitFor([&] { return Exists(base + "0002.png"); }, 10000)) << "the series took no second capture";
    // Three presses at once during the last countdown: the first takes the
    // third capture, the others come too late for the series.
    ASSERT_TRUE(s.SendToVictim("ku:44+ku:44+ku:44"));
    ASSERT_TRUE(s.WaitForEnd()) << "the series did not end at its limit";
    Sleep(1500);
    EXPECT_EQ(FilesIn(folder.path()), 3);
    EXPECT_FALSE(Exists(base + "0004.png")) << "a capture past the limit";
}

// The active window leaves the screen for a step of the series: the page
// says why nothing was taken, the countdown goes on for the same capture,
// and the series still takes its three pictures.
TEST(TimerTrigger, AStepWithoutImageIsToldAndNotCounted) {
    TempFolder folder;
    const std::string base = folder.path() + "\\window";
    StoreTimerSeries(base, 2, 3);
    settings::WriteText("lastWhatSelection", "Capture the active window");
    Session s;
    ASSERT_SESSION(s);
    ASSERT_TRUE(PressButton(s.window, IDOK));
    ASSERT_TRUE(s.WaitArmed());
    const DWORD pid = s.process.pid();
    RECT home;
    GetWindowRect(s.victim, &home);
    ASSERT_TRUE(s.KeysToVictim("key Print"));
    ASSERT_TRUE(WaitFor([&] { return Exists(base + ".png"); }, 8000)) << "the start combination took nothing";
    SetWindowPos(s.victim, nullptr, -5000, -5000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(WaitFor(
        [&] { return PageText(pid, IDC_STATUS).find("lay outside the screen") != std::string::npos; }, 10000))
        << "status: '" << PageText(pid, IDC_STATUS) << "'";
    EXPECT_NE(PageText(pid, IDC_COUNTDOWN).find("screenshots: 2"), std::string::npos)
        << "the empty step was counted: " << PageText(pid, IDC_COUNTDOWN);
    SetWindowPos(s.victim, nullptr, home.left, home.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(WaitFor([&] { return Exists(base + "0002.png"); }, 10000)) << "the countdown stalled";
    EXPECT_TRUE(WaitFor([&] { return PageText(pid, IDC_STATUS).empty(); }, 3000))
        << PageText(pid, IDC_STATUS);
    ASSERT_TRUE(s.WaitForEnd(15000)) << "the series did not end";
    EXPECT_TRUE(Exists(base + "0001.png") && Exists(base + "0003.png"));
    EXPECT_FALSE(Exists(base + "0004.png"));
}

TEST(TimerTrigger, OutOfRangeFieldsAreRefusedSecondsFirst) {
    TempFolder folder;
    StoreSession(kOnTimer, folder.path() + "\\never.png");
    Session s;
    ASSERT_SESSION(s);
    HWND page = PageWith(s.window, IDC_SECONDS);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_CAPTURES)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_STOP_KEY)));
    struct Case {
        const char* seconds;
        const char* captures;
        const char* prompt;
    } cases[] = {{"0", "0", "Please enter an integer between 1 and 3600."},
                 {"3601", "1", "Please enter an integer between 1 and 3600."},
                 {"3600", "0", "Please enter an integer between 1 and 10000."},
                 {"1", "10001", "Please enter an integer between 1 and 10000."}};
    for (const Case& c : cases) {
        SetDlgItemTextA(page, IDC_SECONDS, c.seconds);
        SetDlgItemTextA(page, IDC_CAPTURES, c.captures);
        PostMessageA(s.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        auto box = WaitMessageBox(s.process.pid(), "Vistrel", 5000);
        ASSERT_TRUE(box) << c.seconds << "/" << c.captures << " was not refused";
        EXPECT_EQ(box->text, c.prompt) << c.seconds << "/" << c.captures;
        CloseMessageBox(box->window);
        EXPECT_FALSE(WaitFor([&] { return FindWaitingWindow(s.process.pid()) != nullptr; }, 500));
    }
    // "Stop after key combination:" trades the count's field for the stop box.
    ASSERT_TRUE(PressButton(page, IDC_STOP_AFTER_KEY));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_CAPTURES)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_STOP_KEY)));
    EXPECT_TRUE(IsChecked(page, IDC_STOP_AFTER_KEY));
    EXPECT_FALSE(IsChecked(page, IDC_STOP_AFTER_CAPTURE));
}

// ---- the area and control sources, armed by these triggers ----

namespace {

const char kArea[] = "Capture selected area";
const char kControl[] = "Capture a button or a menu or a window pane or ...";

void StoreSource(const char* what) {
    settings::WriteText("lastWhatSelection", what);
    settings::WriteNumber("hide", 1);
}

POINT PngSize(const std::string& path) {
    std::vector<unsigned char> b = ReadFileBytes(path);
    if (b.size() < 24)
        return POINT{-1, -1};
    auto big = [&](size_t i) { return LONG((b[i] << 24) | (b[i + 1] << 16) | (b[i + 2] << 8) | b[i + 3]); };
    return POINT{big(16), big(20)};
}

std::string At(int x, int y) {
    return std::to_string(x) + " " + std::to_string(y);
}

// Pixels of the 2-pixel band just outside `r` that differ between two screenshots.
int BandChanges(const Screenshot& a, const Screenshot& b, const RECT& r) {
    int changed = 0;
    for (int y = r.top - 2; y < r.bottom + 2; ++y)
        for (int x = r.left - 2; x < r.right + 2; ++x) {
            const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            if (!inside && x >= 0 && y >= 0 && x < a.width && y < a.height && a.at(x, y) != b.at(x, y))
                ++changed;
        }
    return changed;
}

// The other program's button to pick, with the main window moved clear of
// it (it comes back at the end of a session).
bool PickTarget(Session& s, RECT& target) {
    HWND button = FindWindowExA(s.victim, nullptr, "Button", nullptr);
    if (!button)
        return false;
    GetWindowRect(button, &target);
    SetWindowPos(s.window, nullptr, 0, 520, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

// Pixels of `rect` in a bitmap file, read by the system's own loader, that
// differ from the same place of `screen`; -1 when the file or its size is
// wrong. The file shows `rect` itself, or the whole screen with `whole`.
int DifferFromScreen(const std::string& bmp, const Screenshot& screen, const RECT& rect, bool whole = false) {
    HBITMAP loaded = static_cast<HBITMAP>(
        LoadImageA(nullptr, bmp.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!loaded)
        return -1;
    BITMAP info{};
    GetObjectA(loaded, sizeof info, &info);
    const int w = whole ? screen.width : rect.right - rect.left,
              h = whole ? screen.height : rect.bottom - rect.top;
    const POINT origin = whole ? POINT{0, 0} : POINT{rect.left, rect.top};
    if (info.bmWidth != w || info.bmHeight != h) {
        DeleteObject(loaded);
        return -1;
    }
    const std::vector<uint32_t> file = DrawToPixels(w, h, 0, [&](HDC memory) {
        HDC source = CreateCompatibleDC(memory);
        HGDIOBJ old = SelectObject(source, loaded);
        BitBlt(memory, 0, 0, w, h, source, 0, 0, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
    });
    DeleteObject(loaded);
    int differ = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            differ += file[static_cast<size_t>(y - origin.y) * w + x - origin.x] != screen.at(x, y);
    return differ;
}

} // namespace

TEST(AreaSource, FrameOpensAtTheStoredAreaFollowsItsMovesAndCapturesOnlyItsHole) {
    TempFolder folder;
    const std::string file = folder.path() + "\\area.bmp";
    StoreSession(kOnKey, file);
    settings::WriteText("lastToSelection", "Save result as bitmap");
    StoreCombination("", VK_SNAPSHOT, 0);
    StoreSource(kArea);
    // The first-start area, where the waiting window opens over the hole.
    for (auto [name, value] : {std::pair{"xPosition", 100},
                               {"yPosition", 100},
                               {"width", 100},
                               {"height", 100},
                               {"fixedPosition", 0},
                               {"fixedDimensions", 0}})
        settings::WriteNumber(name, value);
    Session s;
    ASSERT_SESSION(s);
    // Under the hole: the other program's plain client area (the pointer,
    // over its middle for the key, stays clear of the hole).
    SetWindowPos(s.victim, nullptr, 60, 60, 500, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(s.window, nullptr, 0, 520, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(PressButton(s.window, IDOK));
    ASSERT_TRUE(s.WaitArmed());
    const char kStored[] = "X: 100 Y: 100 Width: 100 Height: 100";
    HWND frame = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (frame = FindWindowA(nullptr, kStored)); }, 5000))
        << "no frame captioned with the stored area";
    EXPECT_EQ(PageText(s.process.pid(), IDC_STATUS), kStored);
    RECT waiting, hole{100, 100, 200, 200}, common;
    GetWindowRect(FindWaitingWindow(s.process.pid()), &waiting);
    EXPECT_TRUE(IntersectRect(&common, &waiting, &hole)) << "the waiting window does not cover the hole";

    // Moved 40 right and 30 down and back: the caption follows.
    RECT r;
    GetWindowRect(frame, &r);
    SetWindowPos(frame, nullptr, r.left + 40, r.top + 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(WaitFor([&] { return WindowText(frame) == "X: 140 Y: 130 Width: 100 Height: 100"; }, 5000))
        << WindowText(frame);
    EXPECT_EQ(PageText(s.process.pid(), IDC_STATUS), "X: 140 Y: 130 Width: 100 Height: 100");
    // Left of the primary monitor, where another monitor may lie: signed.
    SetWindowPos(frame, nullptr, r.left - 400, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(WaitFor([&] { return WindowText(frame) == "X: -300 Y: 100 Width: 100 Height: 100"; }, 5000))
        << WindowText(frame);
    EXPECT_EQ(PageText(s.process.pid(), IDC_STATUS), "X: -300 Y: 100 Width: 100 Height: 100");
    SetWindowPos(frame, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(WaitFor([&] { return WindowText(frame) == kStored; }, 5000)) << WindowText(frame);

    ASSERT_TRUE(s.KeysToVictim("key Print"));
    ASSERT_TRUE(s.WaitForEnd()) << "the capture did not end the session";
    EXPECT_FALSE(IsWindowVisible(frame)) << "the frame stays after the session";
    // What lies under the hole, now that neither the frame nor the waiting window is there.
    EXPECT_EQ(DifferFromScreen(file, TakeScreenshot(), hole), 0) << "the picture is not what the hole showed";
    HWND page = PageWith(s.window, IDC_X_POSITION);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(page, IDC_X_POSITION)), "100") << "the page takes the area just captured";
    EXPECT_EQ(WindowText(GetDlgItem(page, IDC_Y_POSITION)), "100");
}

// Typed with real keys: a minus sign stands in the position fields and the
// value goes through the range check as a number.
TEST(AreaSource, NegativePositionsAreTypedWithRealKeys) {
    TempFolder folder;
    StoreSession(kOnKey, folder.path() + "\\never.bmp");
    StoreSource(kArea);
    for (auto [name, value] : {std::pair{"width", 100}, {"height", 100}, {"fixedPosition", 1}})
        settings::WriteNumber(name, value);
    Session s;
    ASSERT_SESSION(s);
    HWND page = PageWith(s.window, IDC_X_POSITION);
    ASSERT_NE(page, nullptr);
    for (int id : {IDC_X_POSITION, IDC_Y_POSITION}) {
        HWND field = GetDlgItem(page, id);
        SetWindowTextA(field, "");
        RECT r;
        GetWindowRect(field, &r);
        SetForegroundWindow(s.window);
        ASSERT_TRUE(hooktest::Xdotool("mousemove " + At((r.left + r.right) / 2, (r.top + r.bottom) / 2) +
                                      " click 1 sleep 0.3 type -- -300"));
        EXPECT_TRUE(WaitFor([&] { return WindowText(field) == "-300"; }, 5000))
            << "\"" << WindowText(field) << "\"";
    }
    PostMessageA(s.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    // One monitor here, at 0: -300 is refused as a number left of the screen, not as text.
    const int right = GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1;
    auto box = WaitMessageBox(s.process.pid(), "Vistrel", 5000);
    ASSERT_TRUE(box) << "-300 was taken";
    EXPECT_EQ(box->text, "Please enter an integer between 0 and " + std::to_string(right) + ".");
    CloseMessageBox(box->window);
}

// A timer series whose first capture cannot be stored (its folder is made
// only then): the box that says so is open while the next capture is due.
// No capture runs while it shows, none shows a pixel of it, and the series
// still takes its three captures.
TEST(TimerTrigger, LossBoxIsNeverInAPictureAndTheSeriesGoesOn) {
    TempFolder folder;
    const std::string later = folder.path() + "\\later";
    StoreTimerSeries(later + "\\shot", 1, 3);
    settings::WriteText("lastToSelection", "Save result as bitmap");
    settings::WriteText("fileName", later + "\\shot.bmp");
    Session s;
    ASSERT_SESSION(s);
    ASSERT_TRUE(PressButton(s.window, IDOK));
    ASSERT_TRUE(s.WaitArmed());
    ASSERT_TRUE(s.SendToVictim("ku:44"));
    auto box = WaitMessageBox(s.process.pid(), "Vistrel", 10000);
    ASSERT_TRUE(box) << "the lost first capture was not reported";
    ASSERT_TRUE(CreateDirectoryA(later.c_str(), nullptr));
    Sleep(2500); // two intervals
    EXPECT_EQ(FilesIn(later), 0) << "a capture ran while the box was open";
    RECT boxRect;
    GetWindowRect(box->window, &boxRect);
    const Screenshot withBox = TakeScreenshot();
    CloseMessageBox(box->window);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box->window); }, 5000)) << "the box did not close";
    Sleep(300);
    const Screenshot afterBox = TakeScreenshot();
    ASSERT_TRUE(s.WaitForEnd(15000)) << "the series did not end";
    // The box's own pixels: where it differs from what it covered.
    int boxPixels = 0;
    for (int y = boxRect.top; y < boxRect.bottom; ++y)
        for (int x = boxRect.left; x < boxRect.right; ++x)
            boxPixels += withBox.at(x, y) != afterBox.at(x, y);
    ASSERT_GT(boxPixels, 500) << "the box does not stand out from what it covers";
    EXPECT_EQ(FilesIn(later), 2) << "three captures, the first lost";
    // Where each picture differs from the screen with the box: nearly all of the box.
    for (const char* file : {"\\shot0002.bmp", "\\shot0003.bmp"})
        EXPECT_GE(DifferFromScreen(later + file, withBox, boxRect, true), boxPixels * 95 / 100) << file;
}

TEST(ControlSource, ClickOutlinesAndCapturesAnotherProgramsButtonAndLeavesNoFrame) {
    TempFolder folder;
    const std::string file = folder.path() + "\\control.png";
    StoreSession(kOnKey, file);
    StoreCombination("", VK_SNAPSHOT, 0);
    StoreCombination("stop", VK_F10, 0);
    settings::WriteNumber("stopKeyRadio", 1021);
    StoreSource(kControl);
    Session s;
    ASSERT_SESSION(s);
    RECT target;
    ASSERT_TRUE(PickTarget(s, target)) << "the helper window has no button";
    ASSERT_TRUE(PressButton(s.window, IDOK));
    ASSERT_TRUE(s.WaitArmed());

    // Three picks: clicked with the left button held 300 ms, with the right
    // one while the pointer drifts off the button, and cancelled by the stop
    // combination. The press decides what is taken; no half of a click, nor
    // a context menu, reaches the picked program.
    for (int pick = 0; pick < 3; ++pick) {
        ASSERT_TRUE(s.KeysToVictim("key Print"));
        auto controlPage = [&] {
            HWND page = GetWindow(FindWaitingWindow(s.process.pid()), GW_CHILD);
            return page && !GetDlgItem(page, IDC_WIZ_CAPTURE);
        };
        ASSERT_TRUE(WaitFor(controlPage, 5000)) << "no control page";
        Sleep(500);
        const Screenshot before = TakeScreenshot();
        hooktest::Xdotool("mousemove " +
                          At((target.left + target.right) / 2, (target.top + target.bottom) / 2));
        EXPECT_TRUE(WaitFor([&] { return BandChanges(before, TakeScreenshot(), target) > 0; }, 5000))
            << "the button was not outlined";
        s.recorder.Log().clear();
        if (pick < 2) {
            const std::string button = pick == 0 ? "1" : "3";
            const std::string drift = pick == 0 ? "" : " mousemove " + At(target.left - 40, target.top + 10);
            hooktest::Xdotool("mousedown " + button + drift + " sleep 0.3 mouseup " + button);
            const std::string taken = pick == 0 ? file : folder.path() + "\\control0002.png";
            ASSERT_TRUE(WaitFor([&] { return Exists(taken); }, 10000)) << "the click took no capture";
            const POINT size = PngSize(taken);
            EXPECT_EQ(size.x, target.right - target.left) << "pick " << pick;
            EXPECT_EQ(size.y, target.bottom - target.top) << "pick " << pick;
            s.recorder.Pump(800);
            for (const hooktest::Posted& p : s.recorder.Log())
                EXPECT_FALSE(p.msg == probe::kInputReport &&
                             (p.wParam == WM_LBUTTONDOWN || p.wParam == WM_LBUTTONUP || p.wParam == WM_RBUTTONDOWN ||
                              p.wParam == WM_RBUTTONUP || p.wParam == WM_CONTEXTMENU))
                    << "message " << p.wParam << " of the click reached the picked program, pick " << pick;
        } else {
            hooktest::Xdotool("key F10");
            ASSERT_TRUE(s.WaitForEnd()) << "the stop combination did not end the session during a pick";
        }
        // Active again (the main window took the focus back at the end): its
        // caption above the button has the colour it had before.
        SetForegroundWindow(s.victim);
        WaitFor([&] { return GetForegroundWindow() == s.victim; }, 3000);
        Sleep(500);
        EXPECT_EQ(BandChanges(before, TakeScreenshot(), target), 0)
            << "a frame was left on the screen, pick " << pick;
    }
}

TEST(ControlSource, TimerSeriesSurvivesEachPickReplacingItsPage) {
    // Every pick shows the control page, which destroys the timer's kept
    // page: the series must go on with a new one, not use the old.
    TempFolder folder;
    const std::string base = folder.path() + "\\series";
    StoreTimerSeries(base, 1, 3);
    StoreSource(kControl);
    Session s;
    ASSERT_SESSION(s);
    RECT target;
    ASSERT_TRUE(PickTarget(s, target)) << "the helper window has no button";
    ASSERT_TRUE(PressButton(s.window, IDOK));
    ASSERT_TRUE(s.WaitArmed());
    ASSERT_TRUE(s.KeysToVictim("key Print"));
    const std::string centre = At((target.left + target.right) / 2, (target.top + target.bottom) / 2);
    // The first pick started by the key, the others by the countdown.
    HWND lastPick = nullptr;
    int pick = 0;
    for (const char* file : {".png", "0002.png", "0003.png"}) {
        // Clicked once this pick's control page is up, not the last one's.
        auto newPick = [&] {
            HWND page = GetWindow(FindWaitingWindow(s.process.pid()), GW_CHILD);
            return page && page != lastPick && !GetDlgItem(page, IDC_WIZ_CAPTURE) ? (lastPick = page)
                                                                                  : nullptr;
        };
        ASSERT_TRUE(WaitFor([&] { return newPick() != nullptr; }, 10000)) << "no pick for " << file;
        Sleep(300);
        // The pointer rests on the button from the last pick: a click with no move.
        hooktest::Xdotool(pick++ ? "click 1" : "mousemove " + centre + " sleep 0.3 click 1");
        const bool taken = WaitFor([&] { return Exists(base + file); }, 10000);
        ASSERT_TRUE(taken) << base + file << " not taken";
    }
    ASSERT_TRUE(s.WaitForEnd()) << "the series did not end at its limit";
    DWORD code = 0;
    EXPECT_FALSE(s.process.WaitExit(500, &code)) << "vsr.exe ended with " << code;
    EXPECT_EQ(PngSize(base + "0001.png").x, target.right - target.left);
    EXPECT_FALSE(Exists(base + "0004.png"));
}

// ---- the animated GIF output over a key-triggered session ----

namespace {

// Where the files go: kept for the Pillow check when the script names a folder.
std::string OutFolder(const TempFolder& temp) {
    const char* out = std::getenv("VISTREL_ANIMATED_OUT");
    return out && *out ? out : temp.path();
}

// vsr.exe armed with CTRL+PRINTSCREEN to capture the whole screen into an
// animated GIF and PRINTSCREEN to stop.
struct AnimatedSettings {
    AnimatedSettings(const std::string& file, DWORD delay, bool preview, const char* what, bool hide) {
        StoreSession(kOnKey, file);
        settings::WriteNumber("hide", hide ? 1 : 0);
        if (what)
            settings::WriteText("lastWhatSelection", what);
        settings::WriteText("lastToSelection", "Save result as animated GIF");
        settings::WriteNumber("delay", delay);
        settings::WriteNumber("preview", preview ? 1 : 0);
        settings::WriteNumber("stopKeyRadio", 1021);
        StoreCombination("", VK_SNAPSHOT, kDown);
        StoreCombination("stop", VK_SNAPSHOT, 0);
    }
};

// Bases are made in order: the settings are stored before vsr.exe starts.
struct AnimatedSession : AnimatedSettings, Session {
    AnimatedSession(const std::string& file, DWORD delay, bool preview, const char* what = nullptr,
                    bool hide = false)
        : AnimatedSettings(file, delay, preview, what, hide) {}
    bool Arm() { return PressButton(window, IDOK) && WaitArmed(); }
    bool Keys(const std::string& keys) {
        const bool sent = KeysToVictim(keys);
        // Room for the flash and the grab: a press during a capture is dropped.
        recorder.Pump(1500);
        return sent;
    }
    // Each capture of the key trigger shows a fresh waiting page: the press
    // counts once the page has changed.
    bool Capture() {
        HWND page = GetWindow(FindWaitingWindow(process.pid()), GW_CHILD);
        return KeysToVictim("keydown ctrl key Print keyup ctrl") &&
               WaitFor([&] { return GetWindow(FindWaitingWindow(process.pid()), GW_CHILD) != page; }, 10000);
    }
    bool Ended(DWORD timeoutMs = 15000) { return WaitForEnd(timeoutMs); }
};

// The delay of every graphic control block, and the loop count (-1 without one).
void ReadGif(const std::string& path, std::vector<int>& delays, int& loop) {
    const std::vector<uint8_t> b = ReadFileBytes(path);
    loop = -1;
    for (size_t i = 0; i + 8 <= b.size(); ++i) {
        if (b[i] == 0x21 && b[i + 1] == 0xF9 && b[i + 2] == 4 && b[i + 7] == 0)
            delays.push_back(ValueAt<uint16_t>(b, i + 4));
        if (b[i] == 0x21 && b[i + 1] == 0xFF && i + 18 <= b.size() &&
            std::memcmp(&b[i + 3], "NETSCAPE2.0", 11) == 0)
            loop = ValueAt<uint16_t>(b, i + 16);
    }
}

} // namespace

TEST(AnimatedGif, ThreeCapturesWriteOneLoopingGifAndTheDelayKeepsSixteenBits) {
    TempFolder temp;
    const std::string folder = OutFolder(temp);
    struct Case {
        const char* name;
        DWORD delay;
        int captures;
        int written;
    } cases[] = {{"three.gif", 100, 3, 100}, {"zero.gif", 0, 2, 0}, {"wrap.gif", 65536, 2, 0}};
    for (const Case& c : cases) {
        const std::string file = folder + "\\" + c.name;
        AnimatedSession s(file, c.delay, false);
        ASSERT_TRUE(s.started) << "vsr.exe did not show its main window";
        ASSERT_NE(s.victim, nullptr) << "the helper window (hookprobe victim) did not start";
        ASSERT_TRUE(s.Arm()) << "Capture showed no waiting window";
        for (int i = 0; i < c.captures; ++i)
            ASSERT_TRUE(s.Capture()) << "keys could not be sent";
        EXPECT_FALSE(Exists(file)) << "written before the session ended";
        ASSERT_TRUE(s.Keys("key Print"));
        ASSERT_TRUE(s.Ended()) << "the stop combination did not end the session";
        std::vector<int> delays;
        int loop = 0;
        ReadGif(file, delays, loop);
        EXPECT_EQ(delays, std::vector<int>(c.captures, c.written)) << c.name;
        EXPECT_EQ(loop, 0) << c.name << ": the loop block must say \"repeat forever\"";
        const std::vector<uint8_t> b = ReadFileBytes(file);
        ASSERT_GT(b.size(), 13u);
        EXPECT_EQ(ValueAt<uint16_t>(b, 6), GetSystemMetrics(SM_CXSCREEN));
        EXPECT_TRUE(s.process.Close());
    }
}

namespace {

void WriteFileBytes(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// The files in a folder: the target and any temporary beside it.
std::vector<std::string> FolderFiles(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return names;
}

bool OnScreen(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return IsWindowVisible(window) && r.left >= 0 && r.top >= 0 && r.right <= GetSystemMetrics(SM_CXSCREEN) &&
           r.bottom <= GetSystemMetrics(SM_CYSCREEN);
}

// The picture control's client area as the screen shows it, rows top-down.
std::vector<uint32_t> ControlPixels(HWND control, int& width, int& height) {
    RECT r;
    GetClientRect(control, &r);
    width = r.right;
    height = r.bottom;
    POINT origin{0, 0};
    ClientToScreen(control, &origin);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits),
                                 static_cast<const uint32_t*>(bits) + static_cast<size_t>(width) * height);
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

} // namespace

// The other program's window grows, then shrinks, between captures of the
// active window: the screen is the largest frame, every frame lies inside
// it, and the frame before the smaller one gives its area back (the Pillow
// run of animated_gif.sh looks at the composed pictures). Accept of the
// preview replaces the earlier file and leaves no temporary.
TEST(AnimatedGif, ThreeCapturesOfAWindowThatGrowsThenShrinks) {
    TempFolder temp;
    const std::string folder = OutFolder(temp);
    const std::string file = folder + "\\grown.gif";
    WriteFileBytes(file, "an earlier animation");
    const size_t files = FolderFiles(folder).size();
    AnimatedSession s(file, 100, true, "Capture the active window");
    ASSERT_SESSION(s);
    ASSERT_TRUE(s.Arm());
    const SIZE sizes[] = {{300, 200}, {420, 280}, {240, 160}};
    for (const SIZE& size : sizes) {
        SetWindowPos(s.victim, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        s.recorder.Pump(300);
        ASSERT_TRUE(s.Capture()) << "keys could not be sent";
    }
    ASSERT_TRUE(s.Keys("key Print"));
    HWND result = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (result = ProcessWindow(s.process.pid(), "Result")) != nullptr; }, 15000))
        << "no preview at the end of the session";
    EXPECT_EQ(FolderFiles(folder).size(), files + 1) << "the preview shows the finished temporary";
    EXPECT_EQ(ReadFileBytes(file).size(), std::string("an earlier animation").size());
    ASSERT_TRUE(PressButton(result, IDOK));
    ASSERT_TRUE(s.Ended()) << "the session did not end after Accept";
    EXPECT_EQ(FolderFiles(folder).size(), files) << "Accept left the temporary";
    // The frames' places and disposals are judged by Pillow in animated_gif.sh.
    const std::vector<uint8_t> b = ReadFileBytes(file);
    ASSERT_GT(b.size(), 13u);
    EXPECT_EQ(ValueAt<uint16_t>(b, 6), 420);
    EXPECT_EQ(ValueAt<uint16_t>(b, 8), 280);
    EXPECT_TRUE(s.process.Close());
}

// A screen-sized animation: the preview fits the screen with both buttons
// on it and scrolls the animation; Drop removes only the new animation.
TEST(AnimatedGif, PreviewFitsTheScreenScrollsAndDropKeepsTheEarlierFile) {
    TempFolder temp;
    const std::string file = temp.path() + "\\dropped.gif";
    const std::string before = "an earlier animation";
    WriteFileBytes(file, before);
    AnimatedSession s(file, 100, true);
    ASSERT_TRUE(s.started);
    ASSERT_TRUE(s.Arm());
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(s.Capture());
        EXPECT_EQ(ProcessWindow(s.process.pid(), "Result"), nullptr) << "a single capture was previewed";
    }
    ASSERT_TRUE(s.Keys("key Print"));
    HWND result = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (result = ProcessWindow(s.process.pid(), "Result")) != nullptr; }, 15000))
        << "no preview at the end of the session";
    EXPECT_EQ(FolderFiles(temp.path()).size(), 2u) << "the preview shows the finished temporary";
    EXPECT_TRUE(OnScreen(result)) << "the preview is larger than the screen";
    EXPECT_TRUE(OnScreen(GetDlgItem(result, IDOK)) && OnScreen(GetDlgItem(result, IDC_DROP)));
    HWND picture = GetDlgItem(result, IDC_PICTURE);
    HWND bar = GetDlgItem(result, IDC_HSCROLL);
    ASSERT_NE(picture, nullptr);
    ASSERT_TRUE(IsWindowVisible(bar)) << "a screen-sized animation needs the horizontal bar";
    // After scrolling to the right end, each pixel shows what lay that far
    // right of it before; judged on pixels where that differs.
    int low = 0, high = 0;
    GetScrollRange(bar, SB_CTL, &low, &high);
    ASSERT_GT(high, 0);
    s.recorder.Pump(1500);
    int width = 0, height = 0;
    const std::vector<uint32_t> left = ControlPixels(picture, width, height);
    SendMessageA(result, WM_HSCROLL, MAKEWPARAM(SB_RIGHT, 0), reinterpret_cast<LPARAM>(bar));
    s.recorder.Pump(500);
    const std::vector<uint32_t> right = ControlPixels(picture, width, height);
    int telling = 0, moved = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x + high < width; ++x) {
            const size_t at = static_cast<size_t>(y) * width + x;
            if (left[at] == left[at + high])
                continue;
            ++telling;
            moved += right[at] == left[at + high];
        }
    ASSERT_GT(telling, 100) << "the captured screen is too plain to see a scroll";
    EXPECT_GT(moved, telling * 9 / 10) << "the picture did not move with the scroll bar";
    ASSERT_TRUE(PressButton(result, IDC_DROP));
    ASSERT_TRUE(s.Ended()) << "the session did not end after Drop";
    const std::vector<uint8_t> after = ReadFileBytes(file);
    EXPECT_EQ(std::string(after.begin(), after.end()), before) << "Drop must keep the earlier file";
    EXPECT_EQ(FolderFiles(temp.path()).size(), 1u) << "Drop left the temporary";
}

TEST(AnimatedGif, SessionWithoutCaptureLeavesAnExistingFileUntouched) {
    TempFolder temp;
    const std::string file = temp.path() + "\\kept.gif";
    const std::string before = "not replaced";
    WriteFileBytes(file, before);
    AnimatedSession s(file, 100, true);
    ASSERT_TRUE(s.started);
    ASSERT_TRUE(s.Arm());
    ASSERT_TRUE(s.Keys("key Print"));
    ASSERT_TRUE(s.Ended()) << "the stop combination did not end the session";
    EXPECT_EQ(ProcessWindow(s.process.pid(), "Result"), nullptr) << "nothing to preview";
    const std::vector<uint8_t> after = ReadFileBytes(file);
    EXPECT_EQ(std::string(after.begin(), after.end()), before);
    EXPECT_EQ(FolderFiles(temp.path()).size(), 1u) << "no temporary without a frame";
}

namespace {

// A window of random pixels over the whole screen, painted by a thread of its
// own: every whole-screen frame then takes about a byte a pixel.
class NoiseBackdrop {
public:
    NoiseBackdrop() {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        WaitFor([&] { return window_ != nullptr; }, 5000);
    }
    ~NoiseBackdrop() {
        if (window_)
            PostMessageA(window_, WM_CLOSE, 0, 0);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
    }

private:
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_PAINT) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(w, &ps);
            const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
            std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
            uint32_t seed = 7;
            for (uint32_t& p : pixels)
                p = (seed = seed * 1664525u + 1013904223u) >> 8;
            BITMAPINFO info{};
            info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
            SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
            EndPaint(w, &ps);
            return 0;
        }
        if (m == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcA(w, m, wp, lp);
    }
    static DWORD WINAPI Run(void* self) {
        WNDCLASSA c{};
        c.lpfnWndProc = Proc;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = "NoiseBackdrop";
        RegisterClassA(&c);
        HWND w = CreateWindowExA(WS_EX_NOACTIVATE, c.lpszClassName, "", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                 GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, c.hInstance, nullptr);
        SetWindowPos(w, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        static_cast<NoiseBackdrop*>(self)->window_ = w;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        return 0;
    }
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;
};

} // namespace

// Key trigger, "hide" on, the animation on a drive with room for two frames
// (full_disk.sh maps it): after each capture left out the waiting window is
// back with a status line, the stop combination ends the session, the main
// window returns and one box says how many captures the file holds; Pillow
// counts them.
TEST(AnimatedGif, OnAFullDriveTheFramesThatFitStayAndTheSessionGoesOn) {
    const char* drive = std::getenv("VISTREL_FULL_DISK");
    if (!drive)
        GTEST_SKIP() << "needs a small drive; run through full_disk.sh";
    NoiseBackdrop noise;
    const std::string file = std::string(drive) + "\\small.gif";
    AnimatedSession s(file, 10, false, nullptr, true);
    ASSERT_SESSION(s);
    ASSERT_TRUE(s.Arm());
    for (int i = 1; i <= 4; ++i) {
        ASSERT_TRUE(s.Capture()) << "capture " << i << " was not taken";
        // A whole-screen grab leaves it hidden; a capture left out brings it back.
        if (i > 2) {
            EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(FindWaitingWindow(s.process.pid())) != FALSE; }, 10000))
                << "the waiting window did not come back after capture " << i;
        }
    }
    EXPECT_NE(PageText(s.process.pid(), IDC_STATUS).find("could not be added to " + file), std::string::npos)
        << "the waiting page does not say that a capture was left out";
    ASSERT_TRUE(s.Keys("key Print"));
    const auto box = WaitMessageBox(s.process.pid(), "Vistrel", 15000);
    ASSERT_TRUE(box) << "the stop combination did not end the session with its report";
    EXPECT_TRUE(IsWindowVisible(s.window)) << "the main window did not return";
    int held = 0;
    ASSERT_EQ(std::sscanf(box->text.c_str(), (file + " holds %d captures.").c_str(), &held), 1) << box->text;
    EXPECT_GE(held, 1);
    EXPECT_LE(held, 3) << box->text;
    // The system's own words ("There is not enough space on the disk." on Windows).
    char diskFull[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_DISK_FULL, 0, diskFull,
                   sizeof diskFull, nullptr);
    std::string reason = diskFull;
    reason.erase(reason.find_last_not_of("\r\n") + 1);
    EXPECT_NE(box->text.find(" 4 could not be added: " + reason), std::string::npos) << box->text;
    CloseMessageBox(box->window);
    ASSERT_TRUE(s.Ended());
    EXPECT_EQ(FolderFiles(drive), std::vector<std::string>{"small.gif"}) << "a temporary was left";
    ReportFrames("small.gif", held);
    EXPECT_TRUE(s.process.Close());
}

// Two captures with the main window showing, then its close box: the
// session ends as on the stop combination, the animation is written, and the
// program ends.
TEST(AnimatedGif, ClosingTheMainWindowDuringASessionKeepsItsFrames) {
    TempFolder temp;
    const std::string file = temp.path() + "\\closed.gif";
    AnimatedSession s(file, 100, true);
    ASSERT_SESSION(s);
    ASSERT_TRUE(s.Arm());
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(s.Capture());
    PostMessageA(s.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(s.process.WaitExit(20000)) << "the program did not end";
    std::vector<int> delays;
    int loop = 0;
    ReadGif(file, delays, loop);
    EXPECT_EQ(delays, std::vector<int>(2, 100)) << "the frames were lost";
    EXPECT_EQ(FolderFiles(temp.path()), std::vector<std::string>{"closed.gif"});
}
