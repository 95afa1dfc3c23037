// hook.dll: system-wide keyboard and mouse hooks for vsr. The platform loads a
// copy into every process that receives input; all copies share their state
// through the named block "VistrelHook" and talk to vsr only by posted messages.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "app/Messages.h"
#include "hook/HookFields.h"

using vistrel::hook::FieldFromHandle;
using vistrel::hook::HandleFromField;
using vistrel::hook::PackScreenPoint;

namespace {

constexpr char kBlockName[] = "VistrelHook";
constexpr DWORD kBlockSize = 100;
constexpr SHORT kKeyDown = 0x80;

// One key combination as vsr sets it: a virtual-key code and, per modifier,
// the required down bit (0 or 128).
struct Combination {
    uint32_t key;
    uint32_t shift;
    uint32_t ctrl;
    uint32_t alt;
};

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
};
static_assert(offsetof(SharedBlock, keyTarget) == 12, "block layout");
static_assert(offsetof(SharedBlock, start) == 16, "block layout");
static_assert(offsetof(SharedBlock, stop) == 32, "block layout");
static_assert(sizeof(SharedBlock) == 48 && sizeof(SharedBlock) <= kBlockSize, "block layout");

// Per-process state of this copy.
HINSTANCE g_module = nullptr;
HANDLE g_mapping = nullptr;
SharedBlock* g_block = nullptr;
HHOOK g_keyboardHook = nullptr;
HHOOK g_mouseHook = nullptr;

uint32_t Load(const uint32_t& field) {
    return *static_cast<const volatile uint32_t*>(&field);
}

void Store(uint32_t& field, uint32_t value) {
    *static_cast<volatile uint32_t*>(&field) = value;
}

bool ModifiersMatch(const Combination& c) {
    return Load(c.shift) == static_cast<uint32_t>(GetKeyState(VK_SHIFT) & kKeyDown) &&
           Load(c.ctrl) == static_cast<uint32_t>(GetKeyState(VK_CONTROL) & kKeyDown) &&
           Load(c.alt) == static_cast<uint32_t>(GetKeyState(VK_MENU) & kKeyDown);
}

bool IsCombination(const Combination& c, WPARAM key) {
    return key == Load(c.key) && ModifiersMatch(c);
}

// What the press of a key decided, kept per key until its release: a person
// often lets go of a modifier before the key, and the release must still do
// what the press promised. Per copy of the library: a key's press and release
// reach the same thread.
enum PressDecision : uint8_t { kNotSeen = 0, kPassedOn, kStart, kStop };
volatile uint8_t g_pressDecision[256];

PressDecision JudgePress(const SharedBlock& block, WPARAM key) {
    if (!HandleFromField(Load(block.keyTarget)))
        return kPassedOn;
    // The stop combination is tested even when the key is the start key
    // with other modifiers, so both may share one key.
    if (IsCombination(block.start, key))
        return kStart;
    if (IsCombination(block.stop, key))
        return kStop;
    return kPassedOn;
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
    if (HWND edit = HandleFromField(Load(block->editTarget))) {
        g_pressDecision[key] = kNotSeen;
        if (released)
            PostMessageA(edit, MSG_KEY_ENTERED, key, flags);
        return 1;
    }

    PressDecision decision = static_cast<PressDecision>(g_pressDecision[key]);
    if (!released) {
        // An auto-repeated press keeps what the first press decided.
        if (!repeated || decision == kNotSeen) {
            decision = JudgePress(*block, key);
            g_pressDecision[key] = decision;
        }
    } else {
        // A release whose press went elsewhere (before the hook was armed, or
        // to another process) is not ours.
        g_pressDecision[key] = kNotSeen;
        if (decision == kStart || decision == kStop) {
            if (HWND target = HandleFromField(Load(block->keyTarget)))
                PostMessageA(target, decision == kStart ? MSG_CAPTURE : MSG_END_SESSION, key, flags);
        }
    }
    if (decision == kStart || decision == kStop)
        return 1; // a swallowed press is followed by a swallowed release
    return CallNextHookEx(g_keyboardHook, code, key, flags);
}

LRESULT CALLBACK MouseProc(int code, WPARAM message, LPARAM record) {
    SharedBlock* block = g_block;
    HWND target = block ? HandleFromField(Load(block->mouseTarget)) : nullptr;
    if (code != HC_ACTION || !target)
        return CallNextHookEx(g_mouseHook, code, message, record);

    SetCursor(LoadCursor(nullptr, IDC_CROSS));
    const auto* mouse = reinterpret_cast<const MOUSEHOOKSTRUCT*>(record);
    UINT report;
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
        report = MSG_MOUSE_MOVE;
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
        SetCapture(mouse->hwnd);
        report = MSG_MOUSE_DOWN;
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_NCLBUTTONUP:
    case WM_NCRBUTTONUP:
        ReleaseCapture();
        report = MSG_MOUSE_UP;
        break;
    default: // double clicks, the middle button, the wheel: not ours
        return CallNextHookEx(g_mouseHook, code, message, record);
    }
    PostMessageA(target, report, reinterpret_cast<WPARAM>(mouse->hwnd),
                 PackScreenPoint(mouse->pt.x, mouse->pt.y));
    return 1;
}

bool MapBlock() {
    g_mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBlockSize, kBlockName);
    if (!g_mapping)
        return false;
    g_block = static_cast<SharedBlock*>(MapViewOfFile(g_mapping, FILE_MAP_WRITE, 0, 0, 0));
    if (!g_block) {
        CloseHandle(g_mapping);
        g_mapping = nullptr;
        return false;
    }
    return true;
}

void UnmapBlock() {
    SharedBlock* block = g_block;
    g_block = nullptr;
    if (block)
        UnmapViewOfFile(block);
    if (g_mapping)
        CloseHandle(g_mapping);
    g_mapping = nullptr;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        g_module = module;
        return MapBlock() ? TRUE : FALSE; // no block, no library
    case DLL_PROCESS_DETACH:
        UnmapBlock();
        break;
    default:
        break;
    }
    return TRUE;
}

void attachDll() {
    Store(g_block->mouseTarget, 0);
    Store(g_block->editTarget, 0);
    Store(g_block->reserved, 0);
    Store(g_block->keyTarget, 0);
    // A second call must not leave the first pair of hooks behind, where
    // freeDll could no longer reach them.
    if (!g_keyboardHook)
        g_keyboardHook = SetWindowsHookExA(WH_KEYBOARD, KeyboardProc, g_module, 0);
    if (!g_mouseHook)
        g_mouseHook = SetWindowsHookExA(WH_MOUSE, MouseProc, g_module, 0);
}

void freeDll() {
    if (g_keyboardHook)
        UnhookWindowsHookEx(g_keyboardHook);
    g_keyboardHook = nullptr;
    if (g_mouseHook)
        UnhookWindowsHookEx(g_mouseHook);
    g_mouseHook = nullptr;
}

void attachWnd(HWND wnd) {
    Store(g_block->mouseTarget, FieldFromHandle(wnd));
    Store(g_block->reserved, 0);
}

void detachWnd() {
    Store(g_block->mouseTarget, 0);
}

void attachEdit(HWND wnd) {
    Store(g_block->editTarget, FieldFromHandle(wnd));
    Store(g_block->reserved, 0);
}

void detachEdit() {
    Store(g_block->editTarget, 0);
}

void attachKeyCapture(HWND wnd, uint32_t startKey, uint32_t startShift, uint32_t startCtrl, uint32_t startAlt,
                      uint32_t stopKey, uint32_t stopShift, uint32_t stopCtrl, uint32_t stopAlt) {
    // The target goes in last: a hook that sees it set sees the whole
    // combination (unless an armed combination is being replaced).
    SharedBlock* block = g_block;
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

void detachKeyCapture() {
    Store(g_block->keyTarget, 0);
}

} // extern "C"
