#include "capture/OwnBoxes.h"

#include "win/SystemLibrary.h"

#include <algorithm>

namespace ownboxes {

namespace {

constexpr DWORD kExcludeFromCapture = 0x11; // WDA_EXCLUDEFROMCAPTURE, not in every SDK's headers
constexpr DWORD kFirstBuildThatLeavesOut = 19041;

struct OpenState {
    HWND window = nullptr;
    BoxAnswers answers;
};
std::vector<OpenState> g_open; // innermost last; the UI thread's only
HHOOK g_hook = nullptr;

DWORD BuildNumber() {
    // GetVersionEx answers what the manifest declares; the kernel tells the truth.
    struct VersionInfo {
        ULONG size, major, minor, build, platform;
        WCHAR servicePack[128];
    } info{};
    info.size = sizeof info;
    auto get = win::SystemFunctionAs<LONG WINAPI(VersionInfo*)>("ntdll.dll", "RtlGetVersion");
    return get && get(&info) == 0 ? info.build : 0;
}

void AskToLeaveOut(HWND box, BoxAnswers& answers) {
    answers.made = true;
    answers.build = BuildNumber();
    if (!CanLeaveOut(answers.build))
        return;
    auto set = win::SystemFunctionAs<BOOL WINAPI(HWND, DWORD)>("user32.dll", "SetWindowDisplayAffinity");
    auto get = win::SystemFunctionAs<BOOL WINAPI(HWND, DWORD*)>("user32.dll", "GetWindowDisplayAffinity");
    if (!set || !get)
        return;
    answers.accepted = set(box, kExcludeFromCapture);
    if (!get(box, &answers.readBack))
        answers.readBack = 0;
}

// Sees each window of this thread finish its WM_INITDIALOG: the box, before
// it is shown.
LRESULT CALLBACK OnDialogReady(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == WM_INITDIALOG &&
        !(GetWindowLongPtrA(sent->hwnd, GWL_STYLE) & WS_CHILD)) {
        auto waiting =
            std::find_if(g_open.rbegin(), g_open.rend(), [](const OpenState& o) { return !o.answers.made; });
        if (waiting != g_open.rend()) {
            waiting->window = sent->hwnd;
            AskToLeaveOut(sent->hwnd, waiting->answers);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

bool CanLeaveOut(DWORD build) {
    return build >= kFirstBuildThatLeavesOut;
}

bool MayCaptureNow(const std::vector<BoxAnswers>& openBoxes) {
    return std::all_of(openBoxes.begin(), openBoxes.end(), [](const BoxAnswers& box) {
        return box.made && CanLeaveOut(box.build) && box.accepted && box.readBack == kExcludeFromCapture &&
               !box.foreground;
    });
}

bool MayCaptureNow() {
    std::vector<BoxAnswers> boxes;
    for (const OpenState& open : g_open) {
        boxes.push_back(open.answers);
        boxes.back().foreground = open.window && GetForegroundWindow() == open.window;
    }
    return MayCaptureNow(boxes);
}

OpenBox::OpenBox() {
    g_open.emplace_back();
    if (!g_hook)
        g_hook = SetWindowsHookExA(WH_CALLWNDPROCRET, OnDialogReady, nullptr, GetCurrentThreadId());
}

OpenBox::~OpenBox() {
    g_open.pop_back();
    if (g_open.empty() && g_hook) {
        UnhookWindowsHookEx(g_hook);
        g_hook = nullptr;
    }
}

} // namespace ownboxes
