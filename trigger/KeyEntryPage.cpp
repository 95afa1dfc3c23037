#include "trigger/KeyEntryPage.h"

#include "app/Messages.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"
#include "trigger/KeyNames.h"
#include "win/HookLibrary.h"

#include <cstring>

namespace {

constexpr int kDown = keynames::kModifierDown;

// The characters `keyCode` produces on the current keyboard, upper-cased.
// CTRL is taken out of the state so that no control character results.
std::string TranslateKey(unsigned keyCode, unsigned flags) {
    if (keyCode == 0 || keyCode > 0xFE)
        return std::string();
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_CONTROL] = state[VK_LCONTROL] = state[VK_RCONTROL] = 0;
    WORD buffer[2] = {};
    int count = ToAscii(keyCode, (flags >> 16) & 0xFF, state, buffer, 0);
    if (count <= 0)
        return std::string();
    // The characters come as bytes, packed into the buffer.
    const DWORD length = count < 2 ? static_cast<DWORD>(count) : 2;
    char text[sizeof buffer];
    std::memcpy(text, buffer, sizeof buffer);
    CharUpperBuffA(text, length);
    return std::string(text, length);
}

} // namespace

CKeyEntryPage::CKeyEntryPage(UINT templateId, UINT displayNameId, SettingsStore& settings)
    : CHowSelectDlg(templateId, displayNameId, settings), stopKeyRadio(IDC_STOP_AFTER_CAPTURE) {
    start.keyCode = keynames::kPrintScreen;
}

void CKeyEntryPage::ReadStart() {
    Read(start, kStartNames);
}

void CKeyEntryPage::ReadStop() {
    Read(stop, kStopNames);
}

void CKeyEntryPage::WriteStart() {
    Write(start, kStartNames);
}

void CKeyEntryPage::WriteStop() {
    Write(stop, kStopNames);
}

void CKeyEntryPage::Read(KeyCombination& combination, const ValueNames& names) {
    combination.keyCode = settings.ReadNumber(names.keyCode);
    combination.flags = settings.ReadNumber(names.flags);
    combination.shift = settings.ReadNumber(names.shift);
    combination.ctrl = settings.ReadNumber(names.ctrl);
    combination.alt = settings.ReadNumber(names.alt);
}

void CKeyEntryPage::Write(const KeyCombination& combination, const ValueNames& names) {
    settings.WriteNumber(names.keyCode, combination.keyCode);
    settings.WriteNumber(names.flags, combination.flags);
    settings.WriteNumber(names.shift, combination.shift);
    settings.WriteNumber(names.ctrl, combination.ctrl);
    settings.WriteNumber(names.alt, combination.alt);
}

BOOL CKeyEntryPage::OnInitDialog() {
    // A missing start combination (-1) leaves both boxes empty, whatever stop
    // combination is stored.
    if (start.keyCode != -1) {
        target = Target::Start;
        FormatKeyCombination(static_cast<unsigned>(start.keyCode), static_cast<unsigned>(start.flags), false);
        target = Target::Stop;
        FormatKeyCombination(static_cast<unsigned>(stop.keyCode), static_cast<unsigned>(stop.flags), false);
        target = Target::None;
    }
    ShowCheckedStopRule();
    UpdateData(false);
    UpdateEnabling();
    return TRUE;
}

void CKeyEntryPage::ShowCheckedStopRule() {
    if (stopKeyRadio == IDC_STOP_AFTER_CAPTURE || stopKeyRadio == IDC_STOP_AFTER_KEY)
        CheckRadioButton(hwnd(), IDC_STOP_AFTER_CAPTURE, IDC_STOP_AFTER_KEY, stopKeyRadio);
    else
        CheckRadioButton(hwnd(), IDC_STOP_AFTER_CAPTURE, IDC_STOP_AFTER_KEY, 0);
}

int CKeyEntryPage::CheckedStopRule() const {
    if (IsDlgButtonChecked(hwnd(), IDC_STOP_AFTER_CAPTURE) == BST_CHECKED)
        return IDC_STOP_AFTER_CAPTURE;
    if (IsDlgButtonChecked(hwnd(), IDC_STOP_AFTER_KEY) == BST_CHECKED)
        return IDC_STOP_AFTER_KEY;
    return 0;
}

void CKeyEntryPage::UpdateEnabling() {
    EnableWindow(Item(IDC_STOP_KEY), CheckedStopRule() == IDC_STOP_AFTER_KEY);
}

void CKeyEntryPage::Exchange(win::DataExchange& exchange) {
    exchange.Text(IDC_START_KEY, start.name);
    exchange.Text(IDC_STOP_KEY, stop.name);
    if (exchange.saving())
        stopKeyRadio = CheckedStopRule();
}

bool CKeyEntryPage::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_START_KEY || id == IDC_STOP_KEY) {
        if (code == EN_SETFOCUS) {
            target = id == IDC_START_KEY ? Target::Start : Target::Stop;
            win::HookLibrary::Call("attachEdit", hwnd());
            return true;
        }
        if (code == EN_KILLFOCUS) {
            target = Target::None;
            win::HookLibrary::Call("detachEdit");
            return true;
        }
        return false;
    }
    if (code == BN_CLICKED && (id == IDC_STOP_AFTER_CAPTURE || id == IDC_STOP_AFTER_KEY)) {
        // Set here rather than left to the buttons: on the timer page the
        // count's field splits them into two groups.
        CheckRadioButton(hwnd(), IDC_STOP_AFTER_CAPTURE, IDC_STOP_AFTER_KEY, id);
        stopKeyRadio = id;
        UpdateEnabling();
        return true;
    }
    return CHowSelectDlg::OnCommand(id, code, control);
}

bool CKeyEntryPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    if (message != MSG_KEY_ENTERED)
        return CHowSelectDlg::OnMessage(message, wParam, lParam, result);
    FormatKeyCombination(static_cast<unsigned>(wParam), static_cast<unsigned>(lParam), true);
    result = 0;
    return true;
}

void CKeyEntryPage::FormatKeyCombination(unsigned keyCode, unsigned flags, bool live) {
    if (target == Target::None)
        return;
    KeyCombination& combination = target == Target::Start ? start : stop;
    std::optional<std::string> base =
        keynames::BaseName(keyCode, [flags](unsigned key) { return TranslateKey(key, flags); });
    if (!base)
        return; // a modifier on its own changes nothing
    combination.name = *base;
    if (live) {
        // Read when the release is handled: letting go of CTRL before A names A alone.
        combination.shift = GetKeyState(VK_SHIFT) & kDown;
        combination.ctrl = GetKeyState(VK_CONTROL) & kDown;
        combination.alt = GetKeyState(VK_MENU) & kDown;
    }
    if (!combination.name.empty()) {
        combination.keyCode = static_cast<int>(keyCode);
        combination.flags = static_cast<int>(flags);
        combination.name =
            keynames::WithModifiers(combination.name, combination.shift, combination.ctrl, combination.alt);
    }
    // Only the box: the page's other fields may hold edits not yet taken.
    SetDlgItemTextA(hwnd(), target == Target::Start ? IDC_START_KEY : IDC_STOP_KEY, combination.name.c_str());
}

void CKeyEntryPage::Refuse(const char* text, int boxId) {
    MessageBoxA(GetParent(hwnd()), text, "Error", MB_OK | MB_ICONERROR);
    SetFocus(Item(boxId));
}

bool CKeyEntryPage::RefuseIncomplete() {
    if (start.name.empty()) {
        Refuse("Please enter a key combination to start the capture.", IDC_START_KEY);
        return true;
    }
    const int rule = CheckedStopRule();
    if (rule == IDC_STOP_AFTER_KEY && stop.name.empty()) {
        Refuse("Please enter a key combination to stop the capture.", IDC_STOP_KEY);
        return true;
    }
    if (rule == 0) {
        Refuse("Please choose when the capture stops.", IDC_STOP_AFTER_CAPTURE);
        return true;
    }
    return false;
}
