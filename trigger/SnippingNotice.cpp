#include "trigger/SnippingNotice.h"

#include "capture/OwnBoxes.h"

namespace snipping {

namespace {
bool g_told = false;

constexpr char kNotice[] =
    "Windows also takes the PRINTSCREEN key: it opens its own screen capture each time the key is "
    "pressed, beside Vistrel's.\n\nTo leave the key to Vistrel, turn off \"Use the Print screen key "
    "to open screen capture\" under Settings > Accessibility > Keyboard.";
} // namespace

bool ShouldTell(bool armsPrintScreen, std::optional<DWORD> setting, bool toldThisRun) {
    return armsPrintScreen && setting && *setting == 1 && !toldThisRun;
}

std::optional<DWORD> ReadSetting() {
    DWORD value = 0, type = 0, size = sizeof value;
    const LONG status = RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Keyboard",
                                     "PrintScreenKeyForSnippingEnabled", RRF_RT_REG_DWORD, &type, &value, &size);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

void TellIfWindowsTakesTheKey(HWND owner, bool armsPrintScreen) {
    if (!ShouldTell(armsPrintScreen, armsPrintScreen ? ReadSetting() : std::nullopt, g_told))
        return;
    g_told = true;
    // The session is armed already and goes on behind the box.
    ownboxes::OpenBox open;
    MessageBoxA(owner, kNotice, "Vistrel", MB_OK | MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND);
}

} // namespace snipping
