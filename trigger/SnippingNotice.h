#pragma once

// Windows 11 opens its own screen capture on PRINTSCREEN when the user's
// keyboard setting says so; a keyboard hook cannot keep the key from it, so
// the user is told once where to turn it off.

#include <windows.h>

#include <optional>
#include <string>

namespace snipping {

constexpr unsigned kPrintScreen = 44;

// Whether to tell the user now: a combination on PRINTSCREEN is armed, the
// setting's value (none when absent) is 1, and nothing was said in this run.
bool ShouldTell(bool armsPrintScreen, std::optional<DWORD> setting, bool toldThisRun);

// The notice for Windows of build `build`: the switch and where it is differ
// between Windows 10 (Ease of Access) and Windows 11 (Accessibility).
std::string NoticeFor(DWORD build);

// The build number of the running Windows, as the system itself tells it
// (GetVersionEx answers by the program's manifest); 0 when unknown.
DWORD RunningBuild();

// HKCU\Control Panel\Keyboard, PrintScreenKeyForSnippingEnabled; none when
// absent or not a DWORD.
std::optional<DWORD> ReadSetting();

// Shows the notice, at most once per program run.
void TellIfWindowsTakesTheKey(HWND owner, bool armsPrintScreen);

} // namespace snipping
