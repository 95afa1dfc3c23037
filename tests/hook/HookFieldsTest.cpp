// The 32-bit words hook.dll shares and posts: handles and screen positions
// must survive the trip on x86-64, negative values included.
#include <gtest/gtest.h>

#include <windows.h>
#include <windowsx.h>

#include <cstdint>

#include "hook/HookFields.h"

using namespace vistrel::hook;

namespace {

HWND Handle(uint64_t value) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

TEST(HookFields, HandlesRoundTripThroughTheirStoredWord) {
    for (uint64_t value : {0x0ull, 0x10ABCull, 0x7FFFFFFFull, 0xFFFFFFFF80001234ull, 0xFFFFFFFFFFFFFFFEull}) {
        HWND wnd = Handle(value);
        EXPECT_EQ(HandleFromField(FieldFromHandle(wnd)), wnd) << std::hex << value;
    }
    EXPECT_EQ(FieldFromHandle(Handle(0xFFFFFFFF80001234ull)), 0x80001234u);
    EXPECT_EQ(HandleFromField(0x80001234u), Handle(0xFFFFFFFF80001234ull)) << "must sign-extend";
}

TEST(HookFields, ScreenPositionsUnpackAsSigned16BitValues) {
    const struct {
        LONG x, y;
    } cases[] = {{0, 0}, {1023, 767}, {-5, -300}, {-1920, 40}, {2559, -1}, {32767, -32768}};
    for (const auto& c : cases) {
        const LPARAM packed = PackScreenPoint(c.x, c.y);
        EXPECT_EQ(GET_X_LPARAM(packed), c.x) << c.x << "," << c.y;
        EXPECT_EQ(GET_Y_LPARAM(packed), c.y) << c.x << "," << c.y;
        EXPECT_EQ(static_cast<uint32_t>(packed), (static_cast<uint32_t>(c.y) << 16) | (c.x & 0xFFFF));
    }
}

} // namespace
