// How hook.dll packs values into the 32-bit words it shares and posts.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vistrel::hook {

// Window handles live in the shared block as 32-bit words (every copy of the
// library, 32- or 64-bit, reads the same block). Handles are sign-extended
// 32-bit values on x86-64, so the way back must sign-extend too.
inline uint32_t FieldFromHandle(HWND wnd) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(wnd));
}

inline HWND HandleFromField(uint32_t field) {
    return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(field)));
}

// Screen x in the low 16 bits, y in the high 16 bits, each as a signed 16-bit
// value so positions left of or above the primary monitor survive the trip.
inline LPARAM PackScreenPoint(LONG x, LONG y) {
    const uint32_t low = static_cast<uint16_t>(x);
    const uint32_t high = static_cast<uint16_t>(y);
    return static_cast<LPARAM>((high << 16) | low);
}

} // namespace vistrel::hook
