// hook.dll: system-wide keyboard and mouse hooks for vsr. The platform loads a
// copy into every process that receives input; all copies share their state
// through the named block "VistrelHook" and talk to vsr only by posted messages.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "app/Messages.h"
#include "hook/BlockSecurity.h"
#include "hook/HookFields.h"
#include "hook/KeyJudge.h"

using vistrel::hook::BlockStatus;
using vistrel::hook::ChooseKeyStateSource;
using vistrel::hook::Combination;
using vistrel::hook::FieldFromHandle;
using vistrel::hook::HandleFromField;
using vistrel::hook::KeyAction;
using vistrel::hook::KeyJudge;
using vistrel::hook::KeyStateSource;
using vistrel::hook::Modifiers;
using vistrel::hook::PackScreenPoint;

namespace {

constexpr char kBlockName[] = "VistrelHook";
constexpr DWORD kBlockSize = 100;
constexpr SHORT kKeyDown = 0x80;

// The shared block. vsr's thread is its only writer; hook procedures on other
// threads read it without a lock, so every field is one aligned 32-bit word
// that is written and read whole.
struct SharedBlock {
    uint32_t mouseTarget;
    uint32_t editTarget;
    uint32_t reserved;
    uint32_t keyTarget;
    Combination start;
    Combination stop;
    uint32_t armerProcess; // the process that installed the hooks (vsr)
};
static_assert(offsetof(SharedBlock, keyTarget) == 12, "block layout");
static_assert(offsetof(SharedBlock, start) == 16, "block layout");
static_assert(offsetof(SharedBlock, stop) == 32, "block layout");
static_assert(offsetof(SharedBlock, armerProcess) == 48, "block layout");
static_assert(sizeof(SharedBlock) == 52 && sizeof(SharedBlock) <= kBlockSize, "block layout");

// Per-process state of this copy. Every copy reads the block through
// g_block; only vsr's copy, after attachDll, also holds the writable view.
HINSTANCE g_module = nullptr;
HANDLE g_mapping = nullptr;
SharedBlock* g_block = nullptr;
SharedBlock* g_writable = nullptr;
HHOOK g_keyboardHook = nullptr;
HHOOK g_mouseHook = nullptr;
KeyJudge g_keyJudge;
// Buttons whose press picking swallowed, and the window this copy captured
// the mouse to for that press: the release belongs to the pick as well.
volatile LONG g_swallowedButtons = 0;
HWND g_capturedWindow = nullptr;

uint32_t Load(const uint32_t& field) {
    return *static_cast<const volatile uint32_t*>(&field);
}

void Store(uint32_t& field, uint32_t value) {
    *static_cast<volatile uint32_t*>(&field) = value;
}

Combination LoadCombination(const Combination& c) {
    return Combination{Load(c.key), Load(c.shift), Load(c.ctrl), Load(c.alt)};
}

uint32_t DownBit(SHORT state) {
    return static_cast<uint32_t>(state & kKeyDown);
}

// A target is served only when its window belongs to the process that armed
// the hooks: whoever else wrote it there gets nothing.
HWND ServedTarget(const SharedBlock& block, const uint32_t& field) {
    HWND target = HandleFromField(Load(field));
    if (!target)
        return nullptr;
    DWORD owner = 0;
    GetWindowThreadProcessId(target, &owner);
    return owner != 0 && owner == Load(block.armerProcess) ? target : nullptr;
}

// SHIFT, CTRL and ALT as the program that reads the key sees them.
Modifiers CurrentModifiers(const SharedBlock& block) {
    DWORD keyOwner = 0;
    if (HWND foreground = GetForegroundWindow())
        GetWindowThreadProcessId(foreground, &keyOwner);
    if (ChooseKeyStateSource(GetCurrentProcessId(), Load(block.armerProcess), keyOwner) ==
        KeyStateSource::Asynchronous) {
        // GetAsyncKeyState has the down bit in 0x8000.
        auto down = [](int vk) { return (GetAsyncKeyState(vk) & 0x8000) ? uint32_t{128} : uint32_t{0}; };
        return Modifiers{down(VK_SHIFT), down(VK_CONTROL), down(VK_MENU)};
    }
    return Modifiers{DownBit(GetKeyState(VK_SHIFT)), DownBit(GetKeyState(VK_CONTROL)),
                     DownBit(GetKeyState(VK_MENU))};
}

// Windows lets a background program take the foreground only when the
// foreground one allows it. The hook runs inside that one, so vsr's Result
// dialog and main window can come to the front after the request.
void LetArmerTakeForeground(const SharedBlock& block) {
    if (const DWORD armer = Load(block.armerProcess))
        AllowSetForegroundWindow(armer);
}

LRESULT CALLBACK KeyboardProc(int code, WPARAM key, LPARAM flags) {
    // Without a block (a copy that is going away) the hook only passes on: it
    // must never take down or stall the process it runs in.
    SharedBlock* block = g_block;
    if (code != HC_ACTION || !block || key > 0xFF)
        return CallNextHookEx(g_keyboardHook, code, key, flags);

    const uint32_t word = static_cast<uint32_t>(flags);
    const bool released = (word & 0x80000000u) != 0;
    const bool repeated = (word & 0x40000000u) != 0;

    // Key entry comes first: every key is swallowed, also Tab, Escape, Alt+F4.
    if (HWND edit = ServedTarget(*block, block->editTarget)) {
        g_keyJudge.Forget(static_cast<uint32_t>(key));
        if (released)
            PostMessageA(edit, MSG_KEY_ENTERED, key, flags);
        return 1;
    }

    HWND target = ServedTarget(*block, block->keyTarget);
    const KeyAction action =
        g_keyJudge.Judge(static_cast<uint32_t>(key), released, repeated, target != nullptr,
                         LoadCombination(block->start), LoadCombination(block->stop), CurrentModifiers(*block));
    switch (action) {
    case KeyAction::Swallow:
        return 1;
    case KeyAction::PostCapture:
    case KeyAction::PostEndSession:
        // The release of a swallowed press is swallowed too, even when the
        // triggers were disarmed in between.
        if (target) {
            LetArmerTakeForeground(*block);
            PostMessageA(target, action == KeyAction::PostCapture ? MSG_CAPTURE : MSG_END_SESSION, key, flags);
        }
        return 1;
    case KeyAction::PassOn:
        break;
    }
    return CallNextHookEx(g_keyboardHook, code, key, flags);
}

LONG ButtonBit(WPARAM message) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
    case WM_NCLBUTTONDBLCLK:
        return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
    case WM_NCRBUTTONDBLCLK:
        return 2;
    default:
        return 0; // the middle button, the wheel
    }
}

bool IsButtonUp(WPARAM message) {
    return message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_NCLBUTTONUP ||
           message == WM_NCRBUTTONUP;
}

bool IsDoubleClick(WPARAM message) {
    return message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_NCLBUTTONDBLCLK ||
           message == WM_NCRBUTTONDBLCLK;
}

// With the mouse captured, the release comes to this copy wherever the
// pointer goes. Only a window of this thread can take the capture: a 32-bit
// program's input reaches the hook on vsr's thread, where its windows cannot.
void CaptureForRelease(HWND wnd) {
    if (wnd && GetWindowThreadProcessId(wnd, nullptr) == GetCurrentThreadId()) {
        SetCapture(wnd);
        g_capturedWindow = wnd;
    }
}

void ReleaseOwnCapture() {
    HWND captured = g_capturedWindow;
    g_capturedWindow = nullptr;
    if (captured && GetCapture() == captured)
        ReleaseCapture();
}

// Whether this release belongs to a press this copy swallowed; the memory of
// that press ends here. A new press of the button ends it as well: on Windows
// a background thread's capture gets the release only over its own windows,
// so the release of a picked press may go to another program, and the next
// ordinary click here must keep both halves.
bool EndsSwallowedPress(LONG button, bool up) {
    if (!button)
        return false;
    const bool remembered = (InterlockedAnd(&g_swallowedButtons, ~button) & button) != 0;
    if (g_swallowedButtons == 0)
        ReleaseOwnCapture();
    return remembered && up;
}

LRESULT CALLBACK MouseProc(int code, WPARAM message, LPARAM record) {
    SharedBlock* block = g_block;
    if (code != HC_ACTION || !block)
        return CallNextHookEx(g_mouseHook, code, message, record);
    HWND target = ServedTarget(*block, block->mouseTarget);
    const auto* mouse = reinterpret_cast<const MOUSEHOOKSTRUCT*>(record);
    const LONG button = ButtonBit(message);
    const bool up = IsButtonUp(message);

    // The release of a press that picking swallowed is swallowed as well, also
    // when picking ended in between: otherwise the picked program gets a lone
    // button-up (and, for the right button, opens its context menu). Any
    // other release, and every press, goes on unless picking takes it.
    const bool upOfSwallowedPress = EndsSwallowedPress(button, up);
    if (!target)
        return upOfSwallowedPress ? 1 : CallNextHookEx(g_mouseHook, code, message, record);

    SetCursor(LoadCursor(nullptr, IDC_CROSS));
    UINT report;
    if (message == WM_MOUSEMOVE || message == WM_NCMOUSEMOVE) {
        report = MSG_MOUSE_MOVE;
    } else if (button && up) {
        // A release whose press this copy did not swallow (it came before
        // the pick, or was a double click) stays with its program.
        if (!upOfSwallowedPress)
            return CallNextHookEx(g_mouseHook, code, message, record);
        report = MSG_MOUSE_UP;
    } else if (button && !IsDoubleClick(message)) {
        InterlockedOr(&g_swallowedButtons, button);
        CaptureForRelease(mouse->hwnd);
        LetArmerTakeForeground(*block);
        report = MSG_MOUSE_DOWN;
    } else {
        return CallNextHookEx(g_mouseHook, code, message, record);
    }
    // A press reports the window under the pointer at that moment: the one
    // the pick takes, whatever later moves point at.
    PostMessageA(target, report, reinterpret_cast<WPARAM>(mouse->hwnd), PackScreenPoint(mouse->pt.x, mouse->pt.y));
    return 1;
}

// Copies in other programs only read the block, and never make it: a block
// that does not exist yet (or no longer) leaves the hooks passing everything on.
void OpenBlockForReading() {
    g_mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, kBlockName);
    if (!g_mapping)
        return;
    g_block = static_cast<SharedBlock*>(MapViewOfFile(g_mapping, FILE_MAP_READ, 0, 0, kBlockSize));
    if (!g_block) {
        CloseHandle(g_mapping);
        g_mapping = nullptr;
    }
}

void UnmapBlock() {
    SharedBlock* block = g_block;
    g_block = nullptr;
    g_writable = nullptr;
    if (block)
        UnmapViewOfFile(block);
    if (g_mapping)
        CloseHandle(g_mapping);
    g_mapping = nullptr;
}

// vsr's copy: its own block, writable, in place of what DllMain opened.
BlockStatus MakeOwnBlock() {
    if (g_writable)
        return BlockStatus::Made;
    HANDLE mapping = nullptr;
    void* view = nullptr;
    const BlockStatus status = vistrel::hook::MakeBlock(kBlockName, kBlockSize, mapping, view);
    if (status != BlockStatus::Made)
        return status;
    UnmapBlock();
    g_mapping = mapping;
    g_writable = g_block = static_cast<SharedBlock*>(view);
    return status;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        g_module = module;
        OpenBlockForReading();
        break;
    case DLL_PROCESS_DETACH:
        UnmapBlock();
        break;
    default:
        break;
    }
    return TRUE;
}

// Returns 0 when the hooks are installed; otherwise a BlockStatus, and the
// hooks stay off.
int WINAPI attachDll() {
    const BlockStatus status = MakeOwnBlock();
    if (status != BlockStatus::Made)
        return static_cast<int>(status);
    SharedBlock* block = g_writable;
    Store(block->mouseTarget, 0);
    Store(block->editTarget, 0);
    Store(block->reserved, 0);
    Store(block->keyTarget, 0);
    Store(block->armerProcess, GetCurrentProcessId());
    // A second call must not leave the first pair of hooks behind, where
    // freeDll could no longer reach them.
    if (!g_keyboardHook)
        g_keyboardHook = SetWindowsHookExA(WH_KEYBOARD, KeyboardProc, g_module, 0);
    if (!g_mouseHook)
        g_mouseHook = SetWindowsHookExA(WH_MOUSE, MouseProc, g_module, 0);
    return 0;
}

void WINAPI freeDll() {
    if (g_keyboardHook)
        UnhookWindowsHookEx(g_keyboardHook);
    g_keyboardHook = nullptr;
    if (g_mouseHook)
        UnhookWindowsHookEx(g_mouseHook);
    g_mouseHook = nullptr;
}

// Without attachDll's block (it refused) the exports change nothing.
void WINAPI attachWnd(HWND wnd) {
    if (SharedBlock* block = g_writable) {
        Store(block->mouseTarget, FieldFromHandle(wnd));
        Store(block->reserved, 0);
    }
}

void WINAPI detachWnd() {
    if (SharedBlock* block = g_writable)
        Store(block->mouseTarget, 0);
}

void WINAPI attachEdit(HWND wnd) {
    if (SharedBlock* block = g_writable) {
        Store(block->editTarget, FieldFromHandle(wnd));
        Store(block->reserved, 0);
    }
}

void WINAPI detachEdit() {
    if (SharedBlock* block = g_writable)
        Store(block->editTarget, 0);
}

void WINAPI attachKeyCapture(HWND wnd, uint32_t startKey, uint32_t startShift, uint32_t startCtrl, uint32_t startAlt,
                      uint32_t stopKey, uint32_t stopShift, uint32_t stopCtrl, uint32_t stopAlt) {
    // The target goes in last: a hook that sees it set sees the whole
    // combination (unless an armed combination is being replaced).
    SharedBlock* block = g_writable;
    if (!block)
        return;
    Store(block->start.key, startKey);
    Store(block->start.shift, startShift);
    Store(block->start.ctrl, startCtrl);
    Store(block->start.alt, startAlt);
    Store(block->stop.key, stopKey);
    Store(block->stop.shift, stopShift);
    Store(block->stop.ctrl, stopCtrl);
    Store(block->stop.alt, stopAlt);
    Store(block->keyTarget, FieldFromHandle(wnd));
}

void WINAPI detachKeyCapture() {
    if (SharedBlock* block = g_writable)
        Store(block->keyTarget, 0);
}

} // extern "C"
