#include "trigger/SnippingNotice.h"

#include "capture/OwnBoxes.h"

namespace snipping {

namespace {
bool g_told = false;

// Windows 11 numbers its builds from 22000 on.
constexpr DWORD kFirstWindows11Build = 22000;
} // namespace

std::string NoticeFor(DWORD build) {
    const bool windows11 = build >= kFirstWindows11Build;
    return std::string("Windows also takes the PRINTSCREEN key: it opens its own screen capture each time the key "
                       "is pressed, beside Vistrel's.\n\nTo leave the key to Vistrel, turn off ") +
           (windows11 ? "\"Use the Print screen key to open screen capture\" under Settings > Accessibility > "
                        "Keyboard."
                      : "\"Use the PrtScn button to open screen snipping\" under Settings > Ease of Access > "
                        "Keyboard.");
}

DWORD RunningBuild() {
    using GetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    // ntdll is in every process from its start: nothing to load.
    auto get = reinterpret_cast<GetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    return get && get(&info) == 0 ? info.dwBuildNumber : 0;
}

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
    MessageBoxA(owner, NoticeFor(RunningBuild()).c_str(), "Vistrel",
                MB_OK | MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND);
}

} // namespace snipping
