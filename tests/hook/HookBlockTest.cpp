// The shared block "VistrelHook" as another process sees it: what each export
// writes, at which offset, and what it leaves alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/hook/HookHarness.h"

using namespace hooktest;

namespace {

constexpr size_t kBlockSize = 100;

enum Offset : size_t {
    kMouseTarget = 0,
    kEditTarget = 4,
    kReserved = 8,
    kKeyTarget = 12,
    kStartKey = 16,
    kStartShift = 20,
    kStartCtrl = 24,
    kStartAlt = 28,
    kStopKey = 32,
    kStopShift = 36,
    kStopCtrl = 40,
    kStopAlt = 44,
};

HWND Handle(uint64_t value) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

class HookBlock : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(hook_.Load(), "");
        hook_.attachDll();
    }

    void TearDown() override {
        if (hook_.freeDll)
            hook_.freeDll();
        if (hook_.module)
            FreeLibrary(hook_.module);
    }

    // The block's bytes as printed by a second process.
    static std::vector<uint8_t> PeekFromAnotherProcess() {
        DWORD code = 0;
        const std::string hex = RunAndRead("\"" + ProgramFolder() + "\\hookprobe.exe\" peek", 10000, &code);
        EXPECT_EQ(code, 0u) << "hookprobe peek failed";
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i + 1 < hex.size() && bytes.size() < kBlockSize; i += 2) {
            unsigned b = 0;
            if (std::sscanf(hex.c_str() + i, "%2x", &b) != 1)
                break;
            bytes.push_back(static_cast<uint8_t>(b));
        }
        EXPECT_EQ(bytes.size(), kBlockSize) << "hookprobe peek printed: " << hex;
        bytes.resize(kBlockSize);
        return bytes;
    }

    static uint32_t Word(const std::vector<uint8_t>& b, size_t at) {
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
    }

    // Writes a word through a view of our own, as a stand-in for old contents.
    static void Poke(size_t at, uint32_t value) {
        HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, "VistrelHook");
        ASSERT_NE(mapping, nullptr);
        auto* view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kBlockSize));
        ASSERT_NE(view, nullptr);
        std::memcpy(view + at, &value, sizeof value);
        UnmapViewOfFile(view);
        CloseHandle(mapping);
    }

    void FillAll() {
        hook_.attachWnd(Handle(0x10ABC));
        hook_.attachEdit(Handle(0x20DEF));
        hook_.attachKeyCapture(Handle(0x30123), VK_SNAPSHOT, 0, 128, 0, VK_ESCAPE, 128, 0, 128);
    }

    HookExports hook_;
};

TEST_F(HookBlock, AnotherProcessSeesEveryFieldAtItsOffset) {
    FillAll();
    const auto b = PeekFromAnotherProcess();
    EXPECT_EQ(Word(b, kMouseTarget), 0x10ABCu);
    EXPECT_EQ(Word(b, kEditTarget), 0x20DEFu);
    EXPECT_EQ(Word(b, kReserved), 0u);
    EXPECT_EQ(Word(b, kKeyTarget), 0x30123u);
    EXPECT_EQ(Word(b, kStartKey), static_cast<uint32_t>(VK_SNAPSHOT));
    EXPECT_EQ(Word(b, kStartShift), 0u);
    EXPECT_EQ(Word(b, kStartCtrl), 128u);
    EXPECT_EQ(Word(b, kStartAlt), 0u);
    EXPECT_EQ(Word(b, kStopKey), static_cast<uint32_t>(VK_ESCAPE));
    EXPECT_EQ(Word(b, kStopShift), 128u);
    EXPECT_EQ(Word(b, kStopCtrl), 0u);
    EXPECT_EQ(Word(b, kStopAlt), 128u);
    EXPECT_EQ(Word(b, 48), GetCurrentProcessId()) << "the process that installed the hooks";
    for (size_t i = 52; i < kBlockSize; ++i)
        EXPECT_EQ(b[i], 0) << "byte " << i << " is never used";
}

TEST_F(HookBlock, HandlesAreStoredAsTheirLow32Bits) {
    // Handles with bit 31 set are sign-extended on x86-64.
    hook_.attachWnd(Handle(0xFFFFFFFF80001234ull));
    hook_.attachEdit(Handle(0xFFFFFFFFFFFFFFFEull));
    const auto b = PeekFromAnotherProcess();
    EXPECT_EQ(Word(b, kMouseTarget), 0x80001234u);
    EXPECT_EQ(Word(b, kEditTarget), 0xFFFFFFFEu);
}

TEST_F(HookBlock, EachDetachClearsOnlyItsOwnTarget) {
    FillAll();
    hook_.detachWnd();
    auto b = PeekFromAnotherProcess();
    EXPECT_EQ(Word(b, kMouseTarget), 0u);
    EXPECT_EQ(Word(b, kEditTarget), 0x20DEFu);
    EXPECT_EQ(Word(b, kKeyTarget), 0x30123u);

    hook_.detachEdit();
    b = PeekFromAnotherProcess();
    EXPECT_EQ(Word(b, kEditTarget), 0u);
    EXPECT_EQ(Word(b, kKeyTarget), 0x30123u);

    hook_.detachKeyCapture();
    b = PeekFromAnotherProcess();
    EXPECT_EQ(Word(b, kKeyTarget), 0u);
    EXPECT_EQ(Word(b, kStartKey), static_cast<uint32_t>(VK_SNAPSHOT)) << "the combinations stay";
    EXPECT_EQ(Word(b, kStopAlt), 128u);
}

TEST_F(HookBlock, AttachDllClearsTheTargetsAndTheReservedWord) {
    FillAll();
    Poke(kReserved, 0xDEADBEEF);
    hook_.attachDll();
    const auto b = PeekFromAnotherProcess();
    for (size_t at : {kMouseTarget, kEditTarget, kReserved, kKeyTarget})
        EXPECT_EQ(Word(b, at), 0u) << "offset " << at;
    EXPECT_EQ(Word(b, kStartKey), static_cast<uint32_t>(VK_SNAPSHOT)) << "the combinations stay";
}

TEST_F(HookBlock, AttachWndAndAttachEditZeroTheReservedWord) {
    Poke(kReserved, 0xDEADBEEF);
    hook_.attachWnd(Handle(0x10ABC));
    EXPECT_EQ(Word(PeekFromAnotherProcess(), kReserved), 0u) << "after attachWnd";
    Poke(kReserved, 0xDEADBEEF);
    hook_.attachEdit(Handle(0x20DEF));
    EXPECT_EQ(Word(PeekFromAnotherProcess(), kReserved), 0u) << "after attachEdit";
    Poke(kReserved, 0xDEADBEEF);
    hook_.attachKeyCapture(Handle(0x30123), 1, 0, 0, 0, 2, 0, 0, 0);
    EXPECT_EQ(Word(PeekFromAnotherProcess(), kReserved), 0xDEADBEEFu) << "attachKeyCapture leaves it";
}

TEST_F(HookBlock, ANewTargetReplacesTheOldOne) {
    hook_.attachWnd(Handle(0x10ABC));
    hook_.attachWnd(Handle(0x10DEF));
    hook_.attachKeyCapture(Handle(0x30123), VK_F9, 0, 0, 0, VK_F10, 0, 0, 0);
    hook_.attachKeyCapture(Handle(0x30456), VK_F11, 128, 0, 0, VK_F12, 0, 128, 0);
    const auto b = PeekFromAnotherProcess();
    EXPECT_EQ(Word(b, kMouseTarget), 0x10DEFu);
    EXPECT_EQ(Word(b, kKeyTarget), 0x30456u);
    EXPECT_EQ(Word(b, kStartKey), static_cast<uint32_t>(VK_F11));
    EXPECT_EQ(Word(b, kStartShift), 128u);
    EXPECT_EQ(Word(b, kStopKey), static_cast<uint32_t>(VK_F12));
    EXPECT_EQ(Word(b, kStopCtrl), 128u);
}

} // namespace
