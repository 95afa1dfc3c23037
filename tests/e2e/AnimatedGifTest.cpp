// The animated GIF output through vsr.exe: a key-triggered session of
// captures becomes one looping GIF, offered once in the Result preview.
// The bytes are judged again by Pillow in animated_gif.sh.

#include "tests/common/Files.h"
#include "tests/e2e/VsrDriver.h"
#include "tests/hook/HookHarness.h"
#include "tests/hook/ProbeProtocol.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace e2e;

namespace {

constexpr DWORD kDown = 128;

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Where the files go: kept for the Pillow check when the script names a folder.
std::string OutFolder(const TempFolder& temp) {
    const char* out = std::getenv("VISTREL_ANIMATED_OUT");
    return out && *out ? out : temp.path();
}

// Waits while this thread keeps taking its messages: the keyboard hook runs
// in it when our window has the focus.
template <typename Condition> bool PumpUntil(Condition condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
}

HWND ProcessWindow(DWORD pid, const char* caption) {
    for (HWND w = FindWindowExA(nullptr, nullptr, nullptr, caption); w;
         w = FindWindowExA(nullptr, w, nullptr, caption)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

// vsr.exe armed with CTRL+PRINTSCREEN to capture the whole screen into an
// animated GIF and PRINTSCREEN to stop; keys go to a window of this test.
struct AnimatedSession {
    AnimatedSession(const std::string& file, DWORD delay, bool preview) {
        settings::DeleteKey();
        settings::WriteText("lastWhatSelection", "Capture the whole screen");
        settings::WriteText("lastHowSelection", "Capture after pressing a key");
        settings::WriteText("lastToSelection", "Save result as animated GIF");
        settings::WriteText("fileName", file);
        settings::WriteNumber("delay", delay);
        for (const char* option : {"hide", "mouse", "sound"})
            settings::WriteNumber(option, 0);
        settings::WriteNumber("preview", preview ? 1 : 0);
        settings::WriteNumber("stopKeyRadio", 1021);
        const char* prefixes[] = {"", "stop"};
        for (const char* prefix : prefixes) {
            const std::string p = prefix;
            auto name = [&](const char* field) {
                return p.empty() ? std::string(field) : p + char(field[0] - 32) + (field + 1);
            };
            settings::WriteNumber(name("keyCode").c_str(), VK_SNAPSHOT);
            settings::WriteNumber(name("scanCode").c_str(), 0);
            settings::WriteNumber(name("shift").c_str(), 0);
            settings::WriteNumber(name("ctrl").c_str(), p.empty() ? kDown : 0);
            settings::WriteNumber(name("alt").c_str(), 0);
        }
        target = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "keys", WS_POPUP | WS_VISIBLE, 300, 300, 200, 120,
                                 nullptr, nullptr, nullptr, nullptr);
        started = process.Start(BinDir()) && (window = process.WaitMainWindow()) != nullptr;
    }
    ~AnimatedSession() {
        if (target)
            PostMessageA(target, probe::kQuit, 0, 0);
        if (victimProcess) {
            if (WaitForSingleObject(victimProcess, 5000) != WAIT_OBJECT_0)
                TerminateProcess(victimProcess, 1);
            CloseHandle(victimProcess);
        }
    }
    HWND Victim() {
        for (const hooktest::Posted& p : recorder.Log())
            if (p.msg == probe::kVictimReady)
                return reinterpret_cast<HWND>(p.wParam);
        return nullptr;
    }
    bool Arm() {
        return PressButton(window, IDOK) &&
               PumpUntil([&] { return ProcessWindow(process.pid(), "Vistrel Wizard") != nullptr; }, 10000);
    }
    bool Keys(const std::string& keys) {
        SetForegroundWindow(target);
        if (!PumpUntil([&] { return GetForegroundWindow() == target; }, 3000))
            return false;
        RECT r;
        GetWindowRect(target, &r);
        const bool sent = hooktest::Xdotool("mousemove " + std::to_string((r.left + r.right) / 2) + " " +
                                            std::to_string((r.top + r.bottom) / 2) + " " + keys);
        // Room for the flash and the grab: a press during a capture is dropped.
        PumpUntil([] { return false; }, 1500);
        return sent;
    }
    bool Capture() { return Keys("keydown ctrl key Print keyup ctrl"); }
    bool Ended(DWORD timeoutMs = 15000) {
        return PumpUntil(
            [&] { return IsWindowVisible(window) && !ProcessWindow(process.pid(), "Vistrel Wizard"); },
            timeoutMs);
    }
    VsrProcess process;
    hooktest::Recorder recorder;
    HANDLE victimProcess = nullptr;
    HWND window = nullptr;
    HWND target = nullptr;
    bool started = false;
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
        ASSERT_NE(s.target, nullptr) << "the helper window (hookprobe victim) did not start";
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

TEST(AnimatedGif, PreviewOpensOnceAtTheEndAndDropDeletesTheFile) {
    TempFolder temp;
    const std::string file = temp.path() + "\\dropped.gif";
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
        PumpUntil([&] { return (result = ProcessWindow(s.process.pid(), "Result")) != nullptr; }, 15000))
        << "no preview at the end of the session";
    EXPECT_TRUE(Exists(file)) << "the preview must show the written file";
    // The animation is shown whole, at the size of the screen.
    RECT picture;
    GetClientRect(GetDlgItem(result, IDC_PICTURE), &picture);
    EXPECT_EQ(picture.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(picture.bottom, GetSystemMetrics(SM_CYSCREEN));
    ASSERT_TRUE(PressButton(result, IDC_DROP));
    ASSERT_TRUE(s.Ended()) << "the session did not end after Drop";
    EXPECT_FALSE(Exists(file)) << "Drop must delete the file";
}

TEST(AnimatedGif, SessionWithoutCaptureLeavesAnExistingFileUntouched) {
    TempFolder temp;
    const std::string file = temp.path() + "\\kept.gif";
    const std::string before = "not replaced";
    FILE* f = std::fopen(file.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(before.data(), 1, before.size(), f);
    std::fclose(f);
    AnimatedSession s(file, 100, true);
    ASSERT_TRUE(s.started);
    ASSERT_TRUE(s.Arm());
    ASSERT_TRUE(s.Keys("key Print"));
    ASSERT_TRUE(s.Ended()) << "the stop combination did not end the session";
    EXPECT_EQ(ProcessWindow(s.process.pid(), "Result"), nullptr) << "nothing to preview";
    const std::vector<uint8_t> after = ReadFileBytes(file);
    EXPECT_EQ(std::string(after.begin(), after.end()), before);
}
