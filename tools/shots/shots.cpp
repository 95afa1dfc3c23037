// Drives vsr.exe into the scenes the documentation shows and writes each as
// a PPM picture cropped to the windows that matter; tools/screenshots.sh
// turns them into PNG files. Every wait has a time limit.
//   shots.exe <output folder>

#include "tests/e2e/VsrDriver.h"
#include "tests/hook/HookHarness.h"

#include "resources/resource.h"

#include <algorithm>
#include <cstdio>
#include <string>

using namespace e2e;

namespace {

std::string g_out;
int g_failures = 0;

void Fail(const std::string& what) {
    std::fprintf(stderr, "shots: %s\n", what.c_str());
    ++g_failures;
}

RECT WindowRect(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
}

RECT Union(RECT a, const RECT& b) {
    a.left = std::min(a.left, b.left);
    a.top = std::min(a.top, b.top);
    a.right = std::max(a.right, b.right);
    a.bottom = std::max(a.bottom, b.bottom);
    return a;
}

RECT Grow(RECT r, int by) {
    return RECT{r.left - by, r.top - by, r.right + by, r.bottom + by};
}

// The screen inside `r` as a binary PPM.
void Save(const char* name, RECT r) {
    const Screenshot shot = TakeScreenshot();
    r.left = std::max<LONG>(r.left, 0);
    r.top = std::max<LONG>(r.top, 0);
    r.right = std::min<LONG>(r.right, shot.width);
    r.bottom = std::min<LONG>(r.bottom, shot.height);
    const std::string path = g_out + "\\" + name + ".ppm";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || r.right <= r.left || r.bottom <= r.top) {
        if (f)
            std::fclose(f);
        Fail(std::string("cannot write ") + path);
        return;
    }
    std::fprintf(f, "P6\n%ld %ld\n255\n", r.right - r.left, r.bottom - r.top);
    for (LONG y = r.top; y < r.bottom; ++y)
        for (LONG x = r.left; x < r.right; ++x) {
            const uint32_t p = shot.at(x, y);
            const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                          static_cast<unsigned char>(p)};
            std::fwrite(rgb, 1, 3, f);
        }
    std::fclose(f);
    std::printf("shots: %s %ldx%ld\n", name, r.right - r.left, r.bottom - r.top);
}

// A desktop colour behind everything and a small window of "another program"
// with ordinary controls, both run by a thread of their own so they paint and
// answer the hooks while the main thread waits.
HWND g_notes = nullptr;
HWND g_saveButton = nullptr;

LRESULT CALLBACK DesktopProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_WINDOWPOSCHANGING) // stays behind every other window
        reinterpret_cast<WINDOWPOS*>(lp)->hwndInsertAfter = HWND_BOTTOM;
    return DefWindowProcA(w, msg, wp, lp);
}

DWORD WINAPI SceneryThread(LPVOID ready) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DesktopProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(RGB(0x3a, 0x6e, 0xa5));
    wc.lpszClassName = "VistrelShotsDesktop";
    RegisterClassA(&wc);
    HWND desktop = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, "", WS_POPUP, 0, 0,
                                   GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                   instance, nullptr);
    SetWindowPos(desktop, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);

    WNDCLASSA nc{};
    nc.lpfnWndProc = DefWindowProcA;
    nc.hInstance = instance;
    nc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    nc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    nc.lpszClassName = "VistrelShotsNotes";
    RegisterClassA(&nc);
    g_notes = CreateWindowExA(0, nc.lpszClassName, "Notes", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 600, 430,
                              380, 260, nullptr, nullptr, instance, nullptr);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    RECT c;
    GetClientRect(g_notes, &c);
    HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT",
                                "Monday\r\n- send the screenshots\r\n- review the user guide\r\n- pack the release",
                                WS_CHILD | WS_VISIBLE | ES_MULTILINE, 10, 10, c.right - 20, c.bottom - 60, g_notes,
                                nullptr, instance, nullptr);
    HWND open = CreateWindowExA(0, "BUTTON", "Open", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, c.right - 250,
                                c.bottom - 40, 75, 28, g_notes, nullptr, instance, nullptr);
    g_saveButton = CreateWindowExA(0, "BUTTON", "Save", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, c.right - 165,
                                   c.bottom - 40, 75, 28, g_notes, nullptr, instance, nullptr);
    HWND close = CreateWindowExA(0, "BUTTON", "Close", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, c.right - 80,
                                 c.bottom - 40, 70, 28, g_notes, nullptr, instance, nullptr);
    for (HWND w : {edit, open, g_saveButton, close})
        SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    ShowWindow(g_notes, SW_SHOWNOACTIVATE);
    UpdateWindow(g_notes);
    SetEvent(static_cast<HANDLE>(ready));
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return 0;
}

// Settings for a scene: the three selections, the four options, PRINTSCREEN
// as the start key and captures to PNG files in the output folder.
void StoreScene(const char* what, const char* how, const char* to, bool hide, bool preview, bool sound = false) {
    settings::DeleteKey();
    settings::WriteText("lastWhatSelection", what);
    settings::WriteText("lastHowSelection", how);
    settings::WriteText("lastToSelection", to);
    settings::WriteText("fileName", "C:\\Captures\\shot.png");
    settings::WriteNumber("hide", hide ? 1 : 0);
    settings::WriteNumber("mouse", 0);
    settings::WriteNumber("preview", preview ? 1 : 0);
    settings::WriteNumber("sound", sound ? 1 : 0);
    settings::WriteNumber("keyCode", VK_SNAPSHOT);
    for (const char* name : {"scanCode", "shift", "ctrl", "alt", "stopKeyCode", "stopScanCode", "stopShift",
                             "stopCtrl", "stopAlt"})
        settings::WriteNumber(name, 0);
    settings::WriteNumber("stopKeyRadio", 1020);
}

const char kWhole[] = "Capture the whole screen";
const char kArea[] = "Capture selected area";
const char kControl[] = "Capture a button or a menu or a window pane or ...";
const char kOnKey[] = "Capture after pressing a key";
const char kOnTimer[] = "Capture after a number of seconds";
const char kImmediate[] = "Capture immediately after clicking on the \"Capture\" button";
const char kPng[] = "Save result as PNG";

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

// vsr.exe started with the scene's settings, its main window at a fixed place.
struct Vsr {
    VsrProcess process;
    HWND main = nullptr;
    bool Start() {
        if (!process.Start(BinDir()) || !(main = process.WaitMainWindow())) {
            Fail("vsr.exe showed no main window");
            return false;
        }
        SetWindowPos(main, nullptr, 30, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        Sleep(1500); // the step pictures are drawn
        return true;
    }
    HWND Waiting() { return ProcessWindow(process.pid(), "Vistrel Wizard"); }
    // Ends a session from its waiting page, then the program.
    void Finish() {
        if (HWND w = Waiting())
            if (HWND page = GetWindow(w, GW_CHILD))
                PressButton(page, IDC_WIZ_CANCEL);
        WaitFor([&] { return IsWindowVisible(main) != FALSE; }, 5000);
        process.Close();
    }
};

void MainAndWaiting() {
    StoreScene(kWhole, kOnKey, kPng, true, true, true);
    Vsr vsr;
    if (!vsr.Start())
        return;
    Save("main-window", WindowRect(vsr.main));
    PressButton(vsr.main, IDOK);
    HWND waiting = nullptr;
    if (!WaitFor([&] { return (waiting = vsr.Waiting()) != nullptr; }, 10000))
        return Fail("no waiting window");
    Sleep(800);
    Save("waiting-window", Grow(WindowRect(waiting), 0));
    vsr.Finish();
}

void AreaFrame() {
    StoreScene(kArea, kOnKey, kPng, false, true);
    // The boxes as a user has them: unticked, so the page's fields are greyed.
    for (auto [name, value] : {std::pair{"xPosition", 330},
                               {"yPosition", 330},
                               {"width", 380},
                               {"height", 220},
                               {"fixedPosition", 0},
                               {"fixedDimensions", 0}})
        settings::WriteNumber(name, value);
    ShowWindow(g_notes, SW_HIDE); // not part of this scene
    Vsr vsr;
    if (!vsr.Start())
        return;
    PressButton(vsr.main, IDOK);
    HWND frame = nullptr;
    if (!WaitFor([&] { return (frame = ProcessWindow(vsr.process.pid(), "X: 330 Y: 330 Width: 380 Height: 220")); },
                 10000))
        return Fail("no area frame");
    Sleep(800);
    RECT r = WindowRect(frame);
    if (HWND waiting = vsr.Waiting())
        r = Union(r, WindowRect(waiting));
    Save("area-frame", Grow(r, 12));
    vsr.Finish();
    ShowWindow(g_notes, SW_SHOWNOACTIVATE);
}

void ControlOutline() {
    ShowWindow(g_notes, SW_SHOWNOACTIVATE);
    StoreScene(kControl, kOnKey, kPng, true, false);
    // The pick ends with a click, which takes a capture.
    settings::WriteText("fileName", g_out + "\\control.png");
    Vsr vsr;
    if (!vsr.Start())
        return;
    // The other program's window near the waiting window, so one picture holds both.
    SetWindowPos(g_notes, nullptr, 450, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PressButton(vsr.main, IDOK);
    // The waiting page's Capture button starts the pick, as the key would.
    HWND keyPage = nullptr;
    if (!WaitFor([&] { return vsr.Waiting() && (keyPage = GetDlgItem(GetWindow(vsr.Waiting(), GW_CHILD), IDC_WIZ_CAPTURE)); },
                 10000))
        return Fail("no key page");
    PressButton(GetParent(keyPage), IDC_WIZ_CAPTURE);
    auto controlPage = [&] {
        HWND page = GetWindow(vsr.Waiting(), GW_CHILD);
        return page && !GetDlgItem(page, IDC_WIZ_CAPTURE);
    };
    if (!WaitFor(controlPage, 10000))
        return Fail("no control page");
    Sleep(500);
    const RECT b = WindowRect(g_saveButton);
    const Screenshot before = TakeScreenshot();
    hooktest::Xdotool("mousemove " + std::to_string((b.left + b.right) / 2) + " " +
                      std::to_string((b.top + b.bottom) / 2));
    auto outlined = [&] {
        const Screenshot now = TakeScreenshot();
        return now.at(b.left - 1, (b.top + b.bottom) / 2) != before.at(b.left - 1, (b.top + b.bottom) / 2);
    };
    if (!WaitFor(outlined, 5000))
        Fail("the button was not outlined");
    Sleep(500);
    RECT r = WindowRect(g_notes);
    if (HWND waiting = vsr.Waiting())
        r = Union(r, WindowRect(waiting));
    Save("control-outline", Grow(r, 12));
    hooktest::Xdotool("click 1");
    WaitFor([&] { return IsWindowVisible(vsr.main) != FALSE; }, 5000);
    vsr.process.Close();
    SetWindowPos(g_notes, nullptr, 600, 430, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A timer series after its first capture: the countdown to the next one.
void TimerCountdown() {
    StoreScene(kArea, kOnTimer, kPng, true, false);
    // A small area away from the waiting window; the series writes into the output folder.
    for (auto [name, value] : {std::pair{"xPosition", 700}, {"yPosition", 500}, {"width", 120}, {"height", 80},
                               {"seconds", 30}, {"numberOfCaptures", 3}})
        settings::WriteNumber(name, value);
    settings::WriteText("fileName", g_out + "\\timer.png");
    Vsr vsr;
    if (!vsr.Start())
        return;
    PressButton(vsr.main, IDOK);
    HWND page = nullptr;
    if (!WaitFor([&] { return vsr.Waiting() && (page = GetWindow(vsr.Waiting(), GW_CHILD)); }, 10000))
        return Fail("no timer page");
    PressButton(page, IDC_WIZ_CAPTURE);
    auto counting = [&] {
        HWND now = GetWindow(vsr.Waiting(), GW_CHILD);
        return now && WindowText(GetDlgItem(now, IDC_COUNTDOWN)).find("screenshots: 2") != std::string::npos;
    };
    if (!WaitFor(counting, 10000))
        return Fail("no countdown after the first capture");
    Sleep(2500); // a few seconds gone
    Save("timer-countdown", WindowRect(vsr.Waiting()));
    vsr.Finish();
}

// The animated GIF output's page under the third list.
void AnimatedGifPage() {
    StoreScene(kWhole, kOnKey, "Save result as animated GIF", true, true, true);
    settings::WriteText("fileName", "C:\\Captures\\session.gif");
    settings::WriteNumber("delay", 50);
    Vsr vsr;
    if (!vsr.Start())
        return;
    RECT r = WindowRect(vsr.main);
    r.top = WindowRect(GetDlgItem(vsr.main, IDC_TO_LIST)).top - 8;
    Save("animated-gif-page", r);
    vsr.process.Close();
}

void ResultDialog() {
    StoreScene(kArea, kImmediate, kPng, true, true);
    const RECT notes = WindowRect(g_notes);
    for (auto [name, value] : {std::pair{"xPosition", static_cast<int>(notes.left)},
                               {"yPosition", static_cast<int>(notes.top)},
                               {"width", static_cast<int>(notes.right - notes.left)},
                               {"height", static_cast<int>(notes.bottom - notes.top)}})
        settings::WriteNumber(name, value);
    settings::WriteText("fileName", g_out + "\\result.png");
    Vsr vsr;
    if (!vsr.Start())
        return;
    PressButton(vsr.main, IDOK);
    HWND result = nullptr;
    if (!WaitFor([&] { return (result = ProcessWindow(vsr.process.pid(), "Result")) != nullptr; }, 10000))
        return Fail("no Result dialog");
    // Clear of the area frame, which stays up while the Result dialog is open.
    SetWindowPos(result, HWND_TOPMOST, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    Sleep(800);
    Save("result-dialog", WindowRect(result));
    PressButton(result, IDC_DROP);
    WaitFor([&] { return IsWindowVisible(vsr.main) != FALSE; }, 5000);
    vsr.process.Close();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: shots <output folder>\n");
        return 2;
    }
    g_out = argv[1];
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CreateThread(nullptr, 0, SceneryThread, ready, 0, nullptr);
    if (WaitForSingleObject(ready, 10000) != WAIT_OBJECT_0) {
        Fail("the scenery did not come up");
        return 1;
    }
    MainAndWaiting();
    AreaFrame();
    ControlOutline();
    TimerCountdown();
    AnimatedGifPage();
    ResultDialog();
    settings::DeleteKey();
    return g_failures ? 1 : 0;
}
