// Messages between the hook tests and their helper process hookprobe.exe.
#pragma once

#include <windows.h>

namespace probe {

constexpr UINT kInputReport = WM_APP + 1;        // wParam: message the victim got, lParam: its wParam
constexpr UINT kQueryCursorIsCross = WM_APP + 2; // sent to the victim: 1 when its thread shows the cross
constexpr UINT kQuit = WM_APP + 3;               // posted to the victim: end
constexpr UINT kVictimReady = WM_APP + 4;        // wParam: the victim window, lParam: its process id
constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT_PTR kLifetimeTimer = 2;

} // namespace probe
