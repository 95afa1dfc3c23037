// hook.dll under real input: keys and clicks from xdotool (and SendInput from
// another process) reach a window of a helper process, into which the platform
// injects the library; the reports arrive at the recorder window here.
#include <gtest/gtest.h>

#include <windows.h>
#include <windowsx.h>

#include <cstdio>
#include <string>

#include "tests/hook/HookHarness.h"
#include "tests/hook/ProbeProtocol.h"

using namespace hooktest;

namespace {

constexpr DWORD kEventTimeoutMs = 5000;
constexpr DWORD kVictimStartTimeoutMs = 30000; // a cold Wine may need a while for the first window
constexpr UINT kMarkerKey = VK_F12; // never part of a combination here: marks the end of a run of input
constexpr UINT kDown = 128;
constexpr UINT kLocalInputReport = WM_APP + 20; // as probe::kInputReport, from the window of this process

struct Geometry {
    POINT own;     // inside the victim's client area, off its child
    POINT own2;    // a second point there
    POINT child;   // on the victim's child button
    POINT caption; // on the victim's title bar
};

// A window of this very process, the one that installed the hooks.
LRESULT CALLBACK LocalVictimProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const bool input =
        (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) || (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST);
    if (input)
        PostMessageA(reinterpret_cast<HWND>(GetWindowLongPtrA(wnd, GWLP_USERDATA)), kLocalInputReport, msg,
                     wParam);
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

HWND CreateLocalVictim(HWND recorder) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = LocalVictimProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "VistrelHookLocalVictim";
    RegisterClassA(&wc);
    HWND wnd = CreateWindowExA(0, wc.lpszClassName, "local victim", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                               650, 150, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    if (wnd)
        SetWindowLongPtrA(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(recorder));
    return wnd;
}

class HookInput : public testing::Test {
protected:
    static void SetUpTestSuite() {
        hook_ = new HookExports;
        loadError_ = new std::string(hook_->Load());
        victimError_ = new std::string;
        recorder_ = new Recorder;
        localVictim_ = CreateLocalVictim(recorder_->Window());
        if (!loadError_->empty())
            return;
        char cmd[512];
        std::snprintf(cmd, sizeof cmd, "\"%s\\hookprobe.exe\" victim 0x%llx 200 150 400 300",
                      ProgramFolder().c_str(),
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(recorder_->Window())));
        victimProcess_ = Start(cmd).process;
        if (!victimProcess_) {
            *victimError_ = "cannot start " + std::string(cmd) + ", error " + std::to_string(GetLastError());
            return;
        }
        recorder_->PumpUntil([] { return Find(probe::kVictimReady) != nullptr; }, kVictimStartTimeoutMs);
        if (const Posted* ready = Find(probe::kVictimReady)) {
            victim_ = reinterpret_cast<HWND>(ready->wParam);
            return;
        }
        DWORD code = 0;
        GetExitCodeProcess(victimProcess_, &code);
        *victimError_ =
            "the helper window (hookprobe victim) did not report ready within " +
            std::to_string(kVictimStartTimeoutMs) + " ms; " +
            (code == STILL_ACTIVE ? "it is still running" : "it ended with " + std::to_string(code));
    }

    static void TearDownTestSuite() {
        if (victim_)
            PostMessageA(victim_, probe::kQuit, 0, 0);
        if (victimProcess_) {
            if (WaitForSingleObject(victimProcess_, 5000) != WAIT_OBJECT_0)
                TerminateProcess(victimProcess_, 1);
            CloseHandle(victimProcess_);
        }
        if (hook_->freeDll)
            hook_->freeDll();
        if (localVictim_)
            DestroyWindow(localVictim_);
        delete recorder_;
        if (hook_->module)
            FreeLibrary(hook_->module);
        delete hook_;
        delete loadError_;
        delete victimError_;
    }

    void SetUp() override {
        ASSERT_EQ(*loadError_, "");
        ASSERT_NE(victim_, nullptr) << *victimError_;
        // One lost marker says the input path is down: fail fast from then on.
        ASSERT_FALSE(inputBroken_) << "input stopped arriving in an earlier case";
        hook_->attachDll(); // clears every target: each case starts with all services off
        geo_ = MeasureVictim();
        // Keys go to the foreground window; the pointer goes over it too.
        SetForegroundWindow(victim_);
        ASSERT_TRUE(Drive("mousemove " + At(geo_.own))) << "keys do not reach the helper window";
    }

    static Geometry MeasureVictim() {
        RECT window, client;
        GetWindowRect(victim_, &window);
        GetClientRect(victim_, &client);
        POINT origin{0, 0};
        ClientToScreen(victim_, &origin);
        Geometry g;
        g.own = {origin.x + client.right / 4, origin.y + client.bottom / 2};
        // A fresh spot per case, so that clicks of consecutive cases never
        // make a double click.
        static int cases = 0;
        const int n = cases++;
        g.own2 = {g.own.x + 10 + (n % 8) * 10, g.own.y - 100 + (n / 8) * 20};
        g.child = {origin.x + client.right * 3 / 4, origin.y + client.bottom / 2};
        g.caption = {origin.x + client.right / 4, (window.top + origin.y) / 2};
        return g;
    }

    // xdotool's "key a+b" lets go of the keys in the order it pressed them;
    // a person lets go of the key before its modifiers.
    static std::string Chord(std::initializer_list<const char*> keys) {
        std::string down, up;
        for (const char* k : keys) {
            down += std::string(" keydown ") + k;
            up = std::string(" keyup ") + k + up;
        }
        return down + up;
    }

    static std::string At(POINT p) { return std::to_string(p.x) + " " + std::to_string(p.y); }
    static std::string MoveEvent(POINT p) { return "mv:" + std::to_string(p.x) + "," + std::to_string(p.y); }

    // Brings this process's window to the front; a point on it, 1/`part` of
    // its width from the left.
    static POINT LocalVictimInFront(int part) {
        RECT r;
        GetClientRect(localVictim_, &r);
        POINT at{r.right / part, r.bottom / 2};
        ClientToScreen(localVictim_, &at);
        SetForegroundWindow(localVictim_);
        return at;
    }

    static const Posted* Find(UINT msg) {
        for (const Posted& p : recorder_->Log())
            if (p.msg == msg)
                return &p;
        return nullptr;
    }

    static bool IsInputReport(UINT msg) { return msg == probe::kInputReport || msg == kLocalInputReport; }

    static bool IsMarker(const Posted& p) {
        return (IsInputReport(p.msg) && p.wParam == WM_KEYUP && p.lParam == kMarkerKey) ||
               (p.msg == MSG_KEY_ENTERED && p.wParam == kMarkerKey);
    }

    // Clears the log, hands the commands plus the marker key to xdotool and
    // waits until the marker is seen, so everything before it has arrived.
    static bool Drive(const std::string& commands) {
        recorder_->Log().clear();
        if (!Xdotool(commands + " key F12")) {
            ADD_FAILURE() << "cannot start xdotool";
            return false;
        }
        return WaitForMarker("xdotool " + commands);
    }

    // The same with SendInput from another Wine process.
    static bool SendInputFromProbe(const std::string& events) {
        recorder_->Log().clear();
        DWORD code = 0;
        char marker[64];
        std::snprintf(marker, sizeof marker, " kd:%u ku:%u", kMarkerKey, kMarkerKey);
        RunAndRead("\"" + ProgramFolder() + "\\hookprobe.exe\" sendinput " + events + marker, 10000, &code);
        EXPECT_EQ(code, 0u) << "hookprobe sendinput " << events;
        return WaitForMarker("SendInput " + events);
    }

    static bool WaitForMarker(const std::string& what) {
        const bool seen = recorder_->PumpUntil(
            [] {
                for (const Posted& p : recorder_->Log())
                    if (IsMarker(p))
                        return true;
                return false;
            },
            kEventTimeoutMs);
        if (!seen) {
            ADD_FAILURE() << "the marker key F12 never arrived within " << kEventTimeoutMs
                          << " ms after: " << what;
            inputBroken_ = true;
        }
        return seen;
    }

    // Reports of the hook, in order, without the marker.
    static std::vector<Posted> Reports(UINT first = MSG_MOUSE_MOVE, UINT last = MSG_END_SESSION) {
        std::vector<Posted> out;
        for (const Posted& p : recorder_->Log())
            if (p.msg >= first && p.msg <= last && !IsMarker(p))
                out.push_back(p);
        return out;
    }

    // Input messages the victims' windows received: count of `msg`, optionally
    // only those with the given wParam (the key) and from one victim (its report).
    static int VictimGot(UINT msg, long long key = -1, UINT from = 0) {
        int n = 0;
        for (const Posted& p : recorder_->Log())
            if (IsInputReport(p.msg) && (!from || p.msg == from) && p.wParam == msg && (key < 0 || p.lParam == key))
                ++n;
        return n;
    }

    static int VictimGotKey(UINT vk) {
        return VictimGot(WM_KEYDOWN, vk) + VictimGot(WM_KEYUP, vk) + VictimGot(WM_SYSKEYDOWN, vk) +
               VictimGot(WM_SYSKEYUP, vk);
    }

    static int VictimGotMouse(UINT msg) { return VictimGot(msg); }

    static bool Released(const Posted& p) { return (static_cast<DWORD>(p.lParam) & 0x80000000u) != 0; }

    void ArmKeys(UINT startKey, UINT startShift, UINT startCtrl, UINT startAlt, UINT stopKey, UINT stopShift,
                 UINT stopCtrl, UINT stopAlt) {
        hook_->attachKeyCapture(recorder_->Window(), startKey, startShift, startCtrl, startAlt, stopKey,
                                stopShift, stopCtrl, stopAlt);
    }

    static HookExports* hook_;
    static std::string* loadError_;
    static std::string* victimError_;
    static Recorder* recorder_;
    static HANDLE victimProcess_;
    static HWND victim_;
    static bool inputBroken_;
    static HWND localVictim_;
    Geometry geo_{};
};

HookExports* HookInput::hook_ = nullptr;
std::string* HookInput::loadError_ = nullptr;
std::string* HookInput::victimError_ = nullptr;
Recorder* HookInput::recorder_ = nullptr;
HANDLE HookInput::victimProcess_ = nullptr;
HWND HookInput::victim_ = nullptr;
bool HookInput::inputBroken_ = false;
HWND HookInput::localVictim_ = nullptr;

// --- key triggers -----------------------------------------------------------

TEST_F(HookInput, StartCombinationIsSwallowedAndReportedOnItsReleaseOnly) {
    ArmKeys(VK_F9, 0, 0, 0, VK_F10, 0, 0, 0);

    ASSERT_TRUE(Drive("keydown F9"));
    EXPECT_TRUE(Reports().empty()) << "the press of the start key must post nothing";
    EXPECT_EQ(VictimGotKey(VK_F9), 0) << "the press reached the window";

    ASSERT_TRUE(Drive("keyup F9"));
    auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].msg, MSG_CAPTURE);
    EXPECT_EQ(reports[0].wParam, static_cast<WPARAM>(VK_F9));
    EXPECT_TRUE(Released(reports[0])) << "lParam is the release's flag word, bit 31 set";
    EXPECT_EQ(reports[0].lParam & 0xFFFF, 1) << "repeat count of the flag word";
    EXPECT_EQ((reports[0].lParam >> 16) & 0xFF, static_cast<LPARAM>(MapVirtualKeyA(VK_F9, MAPVK_VK_TO_VSC)))
        << "scan code of the flag word";
    EXPECT_EQ(VictimGotKey(VK_F9), 0) << "the release reached the window";
}

TEST_F(HookInput, HeldStartKeyPostsNothingUntilItIsReleased) {
    // Unhooked, holding the key auto-repeats its press...
    ASSERT_TRUE(Drive("keydown F9 sleep 0.9 keyup F9"));
    ASSERT_GE(VictimGot(WM_KEYDOWN, VK_F9), 2) << "the display does not auto-repeat a held key";

    // ...armed, the repeated presses post nothing and the release posts once.
    ArmKeys(VK_F9, 0, 0, 0, VK_F10, 0, 0, 0);
    ASSERT_TRUE(Drive("keydown F9 sleep 0.9 keyup F9"));
    auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].msg, MSG_CAPTURE);
    EXPECT_TRUE(Released(reports[0]));
    EXPECT_EQ(VictimGotKey(VK_F9), 0);
}

TEST_F(HookInput, StopCombinationPostsEndSession) {
    ArmKeys(VK_F9, 0, 0, 0, VK_F10, 0, kDown, 0);
    ASSERT_TRUE(Drive(Chord({"ctrl", "F10"})));
    auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].msg, MSG_END_SESSION);
    EXPECT_EQ(reports[0].wParam, static_cast<WPARAM>(VK_F10));
    EXPECT_TRUE(Released(reports[0]));
    EXPECT_EQ(VictimGotKey(VK_F10), 0);
    EXPECT_EQ(VictimGotKey(VK_CONTROL), 2) << "the modifier itself is not part of the swallowed keys";
}

TEST_F(HookInput, KeyAloneDoesNotFireWhileAModifierIsHeld) {
    ArmKeys(VK_SNAPSHOT, 0, 0, 0, VK_F10, 0, 0, 0);
    for (const char* held : {"shift", "ctrl", "alt"}) {
        ASSERT_TRUE(Drive(Chord({held, "Print"})));
        EXPECT_TRUE(Reports().empty()) << held << "+Print fired the start combination PRINTSCREEN";
        EXPECT_EQ(VictimGotKey(VK_SNAPSHOT), 2) << held << "+Print must pass on to the window";
    }
    ASSERT_TRUE(Drive("key Print"));
    auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].msg, MSG_CAPTURE);
    EXPECT_EQ(reports[0].wParam, static_cast<WPARAM>(VK_SNAPSHOT));
    EXPECT_EQ(VictimGotKey(VK_SNAPSHOT), 0);
}

TEST_F(HookInput, CtrlCombinationNeedsExactlyCtrl) {
    ArmKeys(VK_SNAPSHOT, 0, kDown, 0, VK_F10, 0, 0, 0);
    const std::initializer_list<const char*> wrong[] = {
        {"Print"}, {"ctrl", "shift", "Print"}, {"ctrl", "alt", "Print"}, {"shift", "Print"}};
    for (const auto& chord : wrong) {
        ASSERT_TRUE(Drive(Chord(chord)));
        EXPECT_TRUE(Reports().empty()) << Chord(chord) << " fired CTRL+PRINTSCREEN";
        EXPECT_EQ(VictimGotKey(VK_SNAPSHOT), 2) << Chord(chord) << " must pass on to the window";
    }
    ASSERT_TRUE(Drive(Chord({"ctrl", "Print"})));
    auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].msg, MSG_CAPTURE);
    EXPECT_EQ(reports[0].wParam, static_cast<WPARAM>(VK_SNAPSHOT));
}

TEST_F(HookInput, StopCombinationMayShareTheStartKey) {
    ArmKeys(VK_F9, 0, 0, 0, VK_F9, kDown, 0, 0);
    ASSERT_TRUE(Drive(Chord({"shift", "F9"}) + " key F9"));
    auto reports = Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].msg, MSG_END_SESSION);
    EXPECT_EQ(reports[1].msg, MSG_CAPTURE);
    EXPECT_EQ(VictimGotKey(VK_F9), 0);
}

TEST_F(HookInput, ReleaseDoesWhatItsPressDecidedWhenAModifierIsLetGoFirst) {
    // Start CTRL+PRINTSCREEN, stop PRINTSCREEN: letting go of CTRL first is still a capture.
    ArmKeys(VK_SNAPSHOT, 0, kDown, 0, VK_SNAPSHOT, 0, 0, 0);
    ASSERT_TRUE(Drive("keydown ctrl keydown Print keyup ctrl keyup Print"));
    auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].msg, MSG_CAPTURE) << "the release judged by the modifiers of the moment";
    EXPECT_EQ(VictimGotKey(VK_SNAPSHOT), 0);

    // The reverse pairing: the stop combination stays a stop.
    ArmKeys(VK_SNAPSHOT, 0, 0, 0, VK_SNAPSHOT, 0, kDown, 0);
    ASSERT_TRUE(Drive("keydown ctrl keydown Print keyup ctrl keyup Print"));
    reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].msg, MSG_END_SESSION);

    // A press that matched nothing passes on, and so does its release, though
    // PRINTSCREEN alone would match by then.
    ArmKeys(VK_SNAPSHOT, 0, 0, 0, VK_F10, 0, 0, 0);
    ASSERT_TRUE(Drive("keydown shift keydown Print keyup shift keyup Print"));
    EXPECT_TRUE(Reports().empty());
    EXPECT_EQ(VictimGotKey(VK_SNAPSHOT), 2);
}

TEST_F(HookInput, OtherKeysPassThroughUntouched) {
    ArmKeys(VK_F9, 0, 0, 0, VK_F10, 0, 0, 0);
    ASSERT_TRUE(Drive("key a" + Chord({"shift", "F9"}) + " key Tab"));
    EXPECT_TRUE(Reports().empty());
    EXPECT_EQ(VictimGot(WM_KEYDOWN, 'A'), 1);
    EXPECT_EQ(VictimGot(WM_KEYUP, 'A'), 1);
    EXPECT_EQ(VictimGotKey(VK_F9), 2) << "the start key with other modifiers passes on";
    EXPECT_EQ(VictimGotKey(VK_TAB), 2);
}

TEST_F(HookInput, DetachKeyCaptureTurnsTriggersOff) {
    ArmKeys(VK_F9, 0, 0, 0, VK_F10, 0, 0, 0);
    hook_->detachKeyCapture();
    ASSERT_TRUE(Drive("key F9 key F10"));
    EXPECT_TRUE(Reports().empty());
    EXPECT_EQ(VictimGotKey(VK_F9), 2);
    EXPECT_EQ(VictimGotKey(VK_F10), 2);
}

// --- key entry --------------------------------------------------------------

TEST_F(HookInput, KeyEntrySwallowsEveryKeyAndReportsEachRelease) {
    ArmKeys(VK_F9, 0, 0, 0, VK_F10, 0, 0, 0); // entry has priority over the triggers
    hook_->attachEdit(recorder_->Window());
    ASSERT_TRUE(Drive("key Tab key Escape" + Chord({"alt", "F4"}) + " key F9"));

    auto reports = Reports();
    std::vector<WPARAM> keys;
    for (const Posted& p : reports) {
        EXPECT_EQ(p.msg, MSG_KEY_ENTERED);
        EXPECT_TRUE(Released(p)) << "key " << p.wParam << " reported on its press";
        keys.push_back(p.wParam);
    }
    const std::vector<WPARAM> expected{VK_TAB, VK_ESCAPE, VK_F4, VK_MENU, VK_F9};
    EXPECT_EQ(keys, expected);
    for (UINT m : {WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_CLOSE})
        EXPECT_EQ(VictimGot(m), 0) << "message " << m << " reached the window during key entry";

    hook_->detachEdit();
    ASSERT_TRUE(Drive("key Tab key F9"));
    EXPECT_EQ(VictimGotKey(VK_TAB), 2) << "detachEdit must give keys back";
    ASSERT_EQ(Reports().size(), 1u) << "with entry off the trigger works again";
    EXPECT_EQ(Reports()[0].msg, MSG_CAPTURE);
}

// --- window picking ---------------------------------------------------------

TEST_F(HookInput, PickingSwallowsMovesAndButtonsAndReportsThem) {
    hook_->attachWnd(recorder_->Window());
    ASSERT_TRUE(Drive("mousemove " + At(geo_.own2) + " click 1 mousemove " + At(geo_.child) + " click 3"));

    auto reports = Reports(MSG_MOUSE_MOVE, MSG_MOUSE_DOWN);
    HWND child = FindWindowExA(victim_, nullptr, "Button", nullptr);
    // Moves come as they come (taking and releasing the capture may add one);
    // the presses and releases come exactly in order.
    std::vector<UINT> buttons;
    bool movedOverOwn = false, movedOverChild = false;
    for (const Posted& p : reports) {
        if (p.msg != MSG_MOUSE_MOVE) {
            buttons.push_back(p.msg);
            continue;
        }
        const POINT at{GET_X_LPARAM(p.lParam), GET_Y_LPARAM(p.lParam)};
        const HWND under = reinterpret_cast<HWND>(p.wParam);
        movedOverOwn |= under == victim_ && at.x == geo_.own2.x && at.y == geo_.own2.y;
        movedOverChild |= under == child && at.x == geo_.child.x && at.y == geo_.child.y;
    }
    EXPECT_TRUE(movedOverOwn) << "no move report for the window itself at its position";
    EXPECT_TRUE(movedOverChild) << "no move report for the child at its position";
    EXPECT_EQ(buttons, (std::vector<UINT>{MSG_MOUSE_DOWN, MSG_MOUSE_UP, MSG_MOUSE_DOWN, MSG_MOUSE_UP}));

    // The first click on the victim itself, the second on its child.
    int clicks = 0;
    for (const Posted& p : reports) {
        if (p.msg != MSG_MOUSE_DOWN && p.msg != MSG_MOUSE_UP)
            continue;
        const POINT want = clicks < 2 ? geo_.own2 : geo_.child;
        const HWND under = clicks < 2 ? victim_ : child;
        EXPECT_EQ(reinterpret_cast<HWND>(p.wParam), under) << "report " << clicks;
        EXPECT_EQ(GET_X_LPARAM(p.lParam), want.x) << "report " << clicks;
        EXPECT_EQ(GET_Y_LPARAM(p.lParam), want.y) << "report " << clicks;
        ++clicks;
    }
    EXPECT_EQ(clicks, 4);
    for (UINT m : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP})
        EXPECT_EQ(VictimGotMouse(m), 0) << "mouse message " << m << " reached a window while picking";
}

TEST_F(HookInput, PickingShowsTheCross) {
    ASSERT_TRUE(Drive("mousemove " + At(geo_.own2) + " mousemove " + At(geo_.own)));
    DWORD_PTR cross = 2;
    SendMessageTimeoutA(victim_, probe::kQueryCursorIsCross, 0, 0, SMTO_ABORTIFHUNG, 2000, &cross);
    EXPECT_EQ(cross, 0u) << "the helper window should show its own arrow before picking";

    hook_->attachWnd(recorder_->Window());
    ASSERT_TRUE(Drive("mousemove " + At(geo_.own2)));
    ASSERT_FALSE(Reports().empty());
    cross = 2;
    SendMessageTimeoutA(victim_, probe::kQueryCursorIsCross, 0, 0, SMTO_ABORTIFHUNG, 2000, &cross);
    EXPECT_EQ(cross, 1u) << "the pointer is not the cross while picking";
}

TEST_F(HookInput, PickingReportsTheTitleBarToo) {
    hook_->attachWnd(recorder_->Window());
    ASSERT_TRUE(Drive("mousemove " + At(geo_.caption) + " click 1"));
    auto reports = Reports(MSG_MOUSE_MOVE, MSG_MOUSE_DOWN);
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports[reports.size() - 2].msg, MSG_MOUSE_DOWN);
    EXPECT_EQ(reports.back().msg, MSG_MOUSE_UP);
    EXPECT_EQ(reinterpret_cast<HWND>(reports.back().wParam), victim_);
    EXPECT_EQ(GET_Y_LPARAM(reports.back().lParam), geo_.caption.y);
    for (UINT m : {WM_NCMOUSEMOVE, WM_NCLBUTTONDOWN, WM_NCLBUTTONUP})
        EXPECT_EQ(VictimGotMouse(m), 0) << "non-client message " << m << " reached the window while picking";
}

TEST_F(HookInput, PickingLetsMiddleButtonWheelAndDoubleClickThrough) {
    hook_->attachWnd(recorder_->Window());
    ASSERT_TRUE(Drive("mousemove " + At(geo_.own2) + " click 2 click 4 click --repeat 2 --delay 80 1"));
    EXPECT_EQ(VictimGotMouse(WM_MBUTTONDOWN), 1);
    EXPECT_EQ(VictimGotMouse(WM_MBUTTONUP), 1);
    EXPECT_EQ(VictimGotMouse(WM_MOUSEWHEEL), 1);
    EXPECT_EQ(VictimGotMouse(WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(VictimGotMouse(WM_LBUTTONDOWN), 0);
    int downs = 0;
    for (const Posted& p : Reports())
        downs += p.msg == MSG_MOUSE_DOWN;
    EXPECT_EQ(downs, 1) << "only the first press of the double click is a press";
}

TEST_F(HookInput, DetachWndGivesTheMouseBack) {
    hook_->attachWnd(recorder_->Window());
    hook_->detachWnd();
    ASSERT_TRUE(Drive("mousemove " + At(geo_.own2) + " click 1"));
    EXPECT_TRUE(Reports().empty());
    EXPECT_GE(VictimGotMouse(WM_MOUSEMOVE), 1);
    EXPECT_EQ(VictimGotMouse(WM_LBUTTONDOWN) + VictimGotMouse(WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(VictimGotMouse(WM_LBUTTONUP), 1);
}

// --- services together ------------------------------------------------------

TEST_F(HookInput, AttachDllTurnsEveryServiceOff) {
    hook_->attachWnd(recorder_->Window());
    hook_->attachEdit(recorder_->Window());
    ArmKeys(VK_F9, 0, 0, 0, VK_F10, 0, 0, 0);
    hook_->attachDll();
    ASSERT_TRUE(Drive("mousemove " + At(geo_.own2) + " click 1 key F9"));
    EXPECT_TRUE(Reports().empty());
    EXPECT_EQ(VictimGotKey(VK_F9), 2);
    EXPECT_EQ(VictimGotMouse(WM_LBUTTONDOWN) + VictimGotMouse(WM_LBUTTONDBLCLK), 1);
}

TEST_F(HookInput, FreeDllRemovesTheHooksEvenAfterARepeatedAttach) {
    hook_->attachDll(); // a second install on top of SetUp's
    hook_->freeDll();
    hook_->attachWnd(recorder_->Window());
    ArmKeys(VK_F9, 0, 0, 0, VK_F10, 0, 0, 0);
    ASSERT_TRUE(Drive("mousemove " + At(geo_.own2) + " click 1 key F9"));
    EXPECT_TRUE(Reports().empty()) << "a hook outlived freeDll";
    EXPECT_EQ(VictimGotKey(VK_F9), 2);
    EXPECT_EQ(VictimGotMouse(WM_LBUTTONDOWN) + VictimGotMouse(WM_LBUTTONDBLCLK), 1);
}

// --- the process that installed the hooks ----------------------------------

TEST_F(HookInput, TheInstallingProcessIsServedToo) {
    ASSERT_NE(localVictim_, nullptr);
    const POINT at = LocalVictimInFront(2);
    ASSERT_TRUE(Drive("mousemove " + At(at)));

    hook_->attachEdit(recorder_->Window());
    ASSERT_TRUE(Drive("key Tab"));
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0].msg, MSG_KEY_ENTERED);
    EXPECT_EQ(Reports()[0].wParam, static_cast<WPARAM>(VK_TAB));
    EXPECT_EQ(VictimGotKey(VK_TAB), 0);

    hook_->detachEdit();
    ArmKeys(VK_F9, 0, 0, 0, VK_F10, 0, 0, 0);
    ASSERT_TRUE(Drive("key F9"));
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0].msg, MSG_CAPTURE);
    EXPECT_EQ(VictimGotKey(VK_F9), 0);

    hook_->attachWnd(recorder_->Window());
    ASSERT_TRUE(Drive("mousemove " + std::to_string(at.x + 7) + " " + std::to_string(at.y) + " click 1"));
    std::vector<UINT> buttons;
    for (const Posted& p : Reports(MSG_MOUSE_MOVE, MSG_MOUSE_DOWN)) {
        EXPECT_EQ(reinterpret_cast<HWND>(p.wParam), localVictim_);
        if (p.msg != MSG_MOUSE_MOVE)
            buttons.push_back(p.msg);
    }
    EXPECT_EQ(buttons, (std::vector<UINT>{MSG_MOUSE_DOWN, MSG_MOUSE_UP}));
    EXPECT_EQ(VictimGotMouse(WM_LBUTTONDOWN) + VictimGotMouse(WM_LBUTTONUP), 0);
}

// --- the second input path: SendInput from another Wine process -------------

TEST_F(HookInput, SendInputFromAnotherProcessFiresOnceDespiteAutoRepeat) {
    ArmKeys(VK_F9, 0, 0, 0, VK_F10, 0, 0, 0);
    char events[128];
    std::snprintf(events, sizeof events, "kd:%u kd:%u kd:%u ku:%u", VK_F9, VK_F9, VK_F9, VK_F9);
    ASSERT_TRUE(SendInputFromProbe(events));
    auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u) << "repeated presses must post nothing";
    EXPECT_EQ(reports[0].msg, MSG_CAPTURE);
    EXPECT_EQ(reports[0].wParam, static_cast<WPARAM>(VK_F9));
    EXPECT_TRUE(Released(reports[0]));
    EXPECT_EQ(VictimGotKey(VK_F9), 0);
}

TEST_F(HookInput, LoneReleaseIsJudgedByItselfAsWindowsSendsPrintScreen) {
    // Windows posts no press for PRINTSCREEN, only its release.
    ArmKeys(VK_SNAPSHOT, 0, 0, 0, VK_F10, 0, kDown, 0);
    char events[128];
    std::snprintf(events, sizeof events, "ku:%u", VK_SNAPSHOT);
    ASSERT_TRUE(SendInputFromProbe(events));
    auto reports = Reports();
    ASSERT_EQ(reports.size(), 1u) << "a lone release of the start key must capture";
    EXPECT_EQ(reports[0].msg, MSG_CAPTURE);
    EXPECT_EQ(reports[0].wParam, static_cast<WPARAM>(VK_SNAPSHOT));
    EXPECT_EQ(VictimGotKey(VK_SNAPSHOT), 0) << "the release reached the program";

    // Modifiers are read at the release: with CTRL held it is not the start
    // combination and goes to the program; CTRL+F10 alone ends.
    std::snprintf(events, sizeof events, "kd:%u ku:%u ku:%u ku:%u", VK_CONTROL, VK_SNAPSHOT, VK_F10, VK_CONTROL);
    ASSERT_TRUE(SendInputFromProbe(events));
    reports = Reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].msg, MSG_END_SESSION);
    EXPECT_EQ(VictimGotKey(VK_SNAPSHOT), 1) << "CTRL+PRINTSCREEN is not armed: the program gets it";
    EXPECT_EQ(VictimGotKey(VK_F10), 0);
}

TEST_F(HookInput, APickedPressKeepsItsReleaseFromTheProgramAfterPickingEnds) {
    // vsr ends the pick as soon as it handles the press; a person lets go
    // of the button later. Neither half of the click, nor a context menu,
    // may reach the program.
    for (const char* button : {"1", "3"}) {
        hook_->attachWnd(recorder_->Window());
        ASSERT_TRUE(Drive("mousemove " + At(geo_.own2) + " mousedown " + button));
        ASSERT_NE(Find(MSG_MOUSE_DOWN), nullptr) << "button " << button;
        int got = VictimGotMouse(WM_LBUTTONDOWN) + VictimGotMouse(WM_RBUTTONDOWN);
        hook_->detachWnd();
        ASSERT_TRUE(Drive("sleep 0.3 mouseup " + std::string(button)));
        EXPECT_TRUE(Reports(MSG_MOUSE_MOVE, MSG_MOUSE_DOWN).empty()) << "a report after picking ended";
        for (UINT m : {WM_LBUTTONUP, WM_RBUTTONUP, WM_CONTEXTMENU})
            got += VictimGotMouse(m);
        EXPECT_EQ(got, 0) << "button " << button << " reached the picked program";
    }
}

TEST_F(HookInput, AClickReleasedOverAnotherProgramLeavesNoButtonBehind) {
    // The picked program is in the background: on Windows its capture does not
    // bring it the release, which lands on the program in front. Its next
    // ordinary click must come whole, and the program in front keeps its
    // release. SendInput, not the X server's pointer grab, routes the release.
    ASSERT_NE(localVictim_, nullptr);
    const POINT front = LocalVictimInFront(3);
    const std::string picked = MoveEvent(geo_.own2), there = MoveEvent(front), again = MoveEvent(geo_.own);
    for (const bool left : {true, false}) {
        const std::string down = left ? " ld" : " rd", up = left ? " lu" : " ru";
        hook_->attachWnd(recorder_->Window());
        ASSERT_TRUE(SendInputFromProbe(picked + down));
        ASSERT_NE(Find(MSG_MOUSE_DOWN), nullptr) << (left ? "left" : "right");
        hook_->detachWnd();
        ASSERT_TRUE(SendInputFromProbe(there + up));
        EXPECT_EQ(VictimGot(left ? WM_LBUTTONUP : WM_RBUTTONUP, -1, kLocalInputReport), 1)
            << (left ? "left" : "right") << ": the program under the release did not get it";
        ASSERT_TRUE(SendInputFromProbe(again + down + up + " " + there));
        const int downs = VictimGot(left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN, -1, probe::kInputReport) +
                          VictimGot(left ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK, -1, probe::kInputReport);
        EXPECT_EQ(downs, 1) << (left ? "left" : "right") << ": the next click lost its press";
        EXPECT_EQ(VictimGot(left ? WM_LBUTTONUP : WM_RBUTTONUP, -1, probe::kInputReport), 1)
            << (left ? "left" : "right") << ": the next click lost its release, the button stays down";
        SetForegroundWindow(localVictim_);
    }
}

TEST_F(HookInput, AReleaseWhosePressWasNotSwallowedReachesItsProgram) {
    // Pressed before the pick began (a drag in progress): the program had the
    // press, so it must get the release, or its button stays down.
    ASSERT_TRUE(Drive("mousemove " + At(geo_.own2) + " mousedown 1"));
    ASSERT_EQ(VictimGotMouse(WM_LBUTTONDOWN) + VictimGotMouse(WM_LBUTTONDBLCLK), 1);
    hook_->attachWnd(recorder_->Window());
    ASSERT_TRUE(Drive("mouseup 1"));
    EXPECT_EQ(VictimGotMouse(WM_LBUTTONUP), 1) << "the release of a press made before picking was swallowed";
    // A double click passes on during a pick, and so does its release.
    ASSERT_TRUE(Drive("mousemove " + At(geo_.own) + " click --repeat 2 --delay 80 1"));
    EXPECT_EQ(VictimGotMouse(WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(VictimGotMouse(WM_LBUTTONUP), 1) << "the double click's release was swallowed";
}

TEST_F(HookInput, ATargetWrittenByAnotherProgramGetsNothing) {
    // Another program opens the block after vsr and writes its own window as
    // the trigger target: the hooks serve only windows of the process that
    // armed them, so the key goes on to the program and nothing is posted.
    ArmKeys(VK_F9, 0, 0, 0, VK_F10, 0, 0, 0);
    char cmd[512];
    std::snprintf(cmd, sizeof cmd, "\"%s\\hookprobe.exe\" poke 12 0x%llx", ProgramFolder().c_str(),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(victim_)));
    DWORD code = 0;
    RunAndRead(cmd, 10000, &code);
    if (code == 3)
        GTEST_SKIP() << "the system refuses other programs a writable view: nothing to take over";
    ASSERT_EQ(code, 0u) << cmd;
    ASSERT_TRUE(Drive("key F9"));
    EXPECT_TRUE(Reports().empty());
    EXPECT_EQ(VictimGotKey(VK_F9), 2) << "a key was swallowed for a target of another process";
}

TEST_F(HookInput, SendInputClickWhilePicking) {
    hook_->attachWnd(recorder_->Window());
    char events[128];
    std::snprintf(events, sizeof events, "mv:%ld,%ld ld lu", geo_.child.x, geo_.child.y);
    ASSERT_TRUE(SendInputFromProbe(events));
    const HWND child = FindWindowExA(victim_, nullptr, "Button", nullptr);
    std::vector<UINT> clicks;
    int moves = 0;
    for (const Posted& p : Reports(MSG_MOUSE_MOVE, MSG_MOUSE_DOWN)) {
        if (p.msg == MSG_MOUSE_MOVE) {
            ++moves;
            continue;
        }
        clicks.push_back(p.msg);
        EXPECT_EQ(reinterpret_cast<HWND>(p.wParam), child);
        EXPECT_EQ(GET_X_LPARAM(p.lParam), geo_.child.x);
        EXPECT_EQ(GET_Y_LPARAM(p.lParam), geo_.child.y);
    }
    EXPECT_GE(moves, 1);
    EXPECT_EQ(clicks, (std::vector<UINT>{MSG_MOUSE_DOWN, MSG_MOUSE_UP}));
    EXPECT_EQ(VictimGotMouse(WM_LBUTTONDOWN) + VictimGotMouse(WM_LBUTTONUP), 0);
}

} // namespace
