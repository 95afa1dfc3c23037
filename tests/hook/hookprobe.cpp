// Helper process for the hook tests, so that hook.dll is exercised from
// processes other than the one that installed the hooks.
//   hookprobe peek                      prints the 100 bytes of "VistrelHook" as hex
//   hookprobe poke OFFSET VALUE         writes a word into it as any other program
//                                       could; exit 3 when writing is refused
//   hookprobe victim OBSERVER X Y W H   a window that reports the input it gets
//   hookprobe sendinput EVENT...        sends input with SendInput: kd:VK ku:VK
//                                       mv:X,Y (screen) ld lu rd ru, sl:MS waits;
//                                       EVENT+EVENT... goes in one SendInput call
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/hook/ProbeProtocol.h"

namespace {

int Peek() {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, "VistrelHook");
    if (!mapping) {
        std::fprintf(stderr, "hookprobe: no block \"VistrelHook\" (error %lu)\n", GetLastError());
        return 2;
    }
    const auto* bytes = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 100));
    if (!bytes) {
        std::fprintf(stderr, "hookprobe: cannot map the block (error %lu)\n", GetLastError());
        CloseHandle(mapping);
        return 2;
    }
    for (int i = 0; i < 100; ++i)
        std::printf("%02x", bytes[i]);
    std::printf("\n");
    UnmapViewOfFile(bytes);
    CloseHandle(mapping);
    return 0;
}

int Poke(int argc, char** argv) {
    if (argc < 4)
        return 2;
    const unsigned long offset = std::strtoul(argv[2], nullptr, 0);
    const unsigned long value = std::strtoul(argv[3], nullptr, 0);
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, "VistrelHook");
    auto* bytes = mapping ? static_cast<unsigned char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 100)) : nullptr;
    if (!bytes || offset > 96) {
        std::fprintf(stderr, "hookprobe: writing the block is refused (error %lu)\n", GetLastError());
        if (mapping)
            CloseHandle(mapping);
        return 3;
    }
    const auto word = static_cast<uint32_t>(value);
    std::memcpy(bytes + offset, &word, sizeof word);
    UnmapViewOfFile(bytes);
    CloseHandle(mapping);
    return 0;
}

HWND g_observer = nullptr;

bool IsReported(UINT msg) {
    return (msg >= WM_KEYFIRST && msg <= WM_KEYLAST) || (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) ||
           (msg >= WM_NCMOUSEMOVE && msg <= WM_NCMBUTTONDBLCLK) || msg == WM_CLOSE || msg == WM_CONTEXTMENU;
}

LRESULT CALLBACK VictimProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (IsReported(msg))
        PostMessageA(g_observer, probe::kInputReport, msg, wParam);
    switch (msg) {
    case WM_CLOSE:
        return 0; // stays open for the next test even if Alt+F4 got through
    case probe::kQueryCursorIsCross:
        return GetCursor() == LoadCursor(nullptr, IDC_CROSS) ? 1 : 0;
    case probe::kQuit:
    case WM_TIMER: // lifetime or lost observer
        if (msg == WM_TIMER && wParam == probe::kWatchTimer && IsWindow(g_observer))
            return 0;
        DestroyWindow(wnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(wnd, msg, wParam, lParam);
    }
}

int Victim(int argc, char** argv) {
    if (argc < 7)
        return 2;
    g_observer = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(argv[2], nullptr, 0)));
    const int x = std::atoi(argv[3]), y = std::atoi(argv[4]), w = std::atoi(argv[5]), h = std::atoi(argv[6]);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = VictimProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "VistrelHookVictim";
    RegisterClassA(&wc);
    HWND wnd = CreateWindowExA(0, wc.lpszClassName, "hook victim", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, x,
                               y, w, h, nullptr, nullptr, instance, nullptr);
    if (!wnd)
        return 3;
    // A child in the right half, to tell the window under the pointer apart.
    RECT client;
    GetClientRect(wnd, &client);
    CreateWindowExA(0, "BUTTON", "child", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, client.right / 2, 0,
                    client.right / 2, client.bottom, wnd, nullptr, instance, nullptr);
    ShowWindow(wnd, SW_SHOW);
    SetForegroundWindow(wnd);
    UpdateWindow(wnd);
    SetTimer(wnd, probe::kWatchTimer, 1000, nullptr);
    SetTimer(wnd, probe::kLifetimeTimer, 180000, nullptr);
    PostMessageA(g_observer, probe::kVictimReady, reinterpret_cast<WPARAM>(wnd), GetCurrentProcessId());
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        // The child button reports through its parent's procedure as well.
        if (m.hwnd != wnd && IsReported(m.message))
            PostMessageA(g_observer, probe::kInputReport, m.message, m.wParam);
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return 0;
}

bool ParseEvent(const char* event, INPUT& in) {
    in = INPUT{};
    unsigned vk = 0;
    int x = 0, y = 0;
    if (std::sscanf(event, "kd:%i", &vk) == 1 || std::sscanf(event, "ku:%i", &vk) == 1) {
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = static_cast<WORD>(vk);
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = event[1] == 'u' ? KEYEVENTF_KEYUP : 0;
        return true;
    }
    if (std::sscanf(event, "mv:%d,%d", &x, &y) == 2) {
        in.type = INPUT_MOUSE;
        in.mi.dx = (x * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN);
        in.mi.dy = (y * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN);
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        return true;
    }
    static const struct {
        const char* name;
        DWORD flags;
    } buttons[] = {{"ld", MOUSEEVENTF_LEFTDOWN},
                   {"lu", MOUSEEVENTF_LEFTUP},
                   {"rd", MOUSEEVENTF_RIGHTDOWN},
                   {"ru", MOUSEEVENTF_RIGHTUP}};
    for (const auto& b : buttons)
        if (std::strcmp(event, b.name) == 0) {
            in.type = INPUT_MOUSE;
            in.mi.dwFlags = b.flags;
            return true;
        }
    std::fprintf(stderr, "hookprobe: unknown event %s\n", event);
    return false;
}

// One argument: one event, a wait, or events joined by '+' sent in one call.
bool SendArgument(const char* argument) {
    int ms = 0;
    if (std::sscanf(argument, "sl:%d", &ms) == 1) {
        Sleep(static_cast<DWORD>(ms));
        return true;
    }
    INPUT inputs[16];
    UINT count = 0;
    char copy[256];
    std::snprintf(copy, sizeof copy, "%s", argument);
    for (char* event = std::strtok(copy, "+"); event; event = std::strtok(nullptr, "+")) {
        if (count == 16 || !ParseEvent(event, inputs[count]))
            return false;
        ++count;
    }
    if (SendInput(count, inputs, sizeof(INPUT)) != count) {
        std::fprintf(stderr, "hookprobe: SendInput failed for %s (error %lu)\n", argument, GetLastError());
        return false;
    }
    Sleep(30);
    return true;
}

int Send(int argc, char** argv) {
    for (int i = 2; i < argc; ++i)
        if (!SendArgument(argv[i]))
            return 1;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "peek") == 0)
        return Peek();
    if (argc >= 2 && std::strcmp(argv[1], "poke") == 0)
        return Poke(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "victim") == 0)
        return Victim(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "sendinput") == 0)
        return Send(argc, argv);
    std::fprintf(stderr, "usage: hookprobe peek | victim OBSERVER X Y W H | sendinput EVENT...\n");
    return 2;
}
