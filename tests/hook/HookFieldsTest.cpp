// The 32-bit words hook.dll shares and posts: handles and screen positions
// must survive the trip on x86-64, negative values included.
#include <gtest/gtest.h>

#include <windows.h>
#include <windowsx.h>

#include <cstdint>

#include "hook/BlockSecurity.h"
#include "hook/HookFields.h"
#include "hook/KeyJudge.h"

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

// ---- the keyboard hook's decision, with the answers Windows gives ----

namespace {

using vistrel::hook::ChooseKeyStateSource;
using vistrel::hook::Combination;
using vistrel::hook::KeyAction;
using vistrel::hook::KeyJudge;
using vistrel::hook::KeyStateSource;
using vistrel::hook::Modifiers;

constexpr uint32_t kPrintScreen = 44;
const Modifiers kNone{};
const Modifiers kCtrl{0, 128, 0};
const Modifiers kCtrlShift{128, 128, 0};

TEST(KeyJudge, PressDecidesItsReleaseAndALoneReleaseIsJudgedByItself) {
    const Combination start{kPrintScreen, 0, 128, 0}; // CTRL+PRINTSCREEN
    const Combination stop{kPrintScreen, 0, 0, 0};    // PRINTSCREEN
    KeyJudge judge;
    // CTRL let go before the key: the release still does what the press decided.
    EXPECT_EQ(judge.Judge(kPrintScreen, false, false, true, start, stop, kCtrl), KeyAction::Swallow);
    EXPECT_EQ(judge.Judge(kPrintScreen, false, true, true, start, stop, kNone), KeyAction::Swallow) << "repeat";
    EXPECT_EQ(judge.Judge(kPrintScreen, true, false, true, start, stop, kNone), KeyAction::PostCapture);
    // Windows sends PRINTSCREEN as a release alone: judged with the modifiers held then.
    EXPECT_EQ(judge.Judge(kPrintScreen, true, false, true, start, stop, kCtrl), KeyAction::PostCapture);
    EXPECT_EQ(judge.Judge(kPrintScreen, true, false, true, start, stop, kNone), KeyAction::PostEndSession);
    EXPECT_EQ(judge.Judge(kPrintScreen, true, false, true, start, stop, kCtrlShift), KeyAction::PassOn);
    EXPECT_EQ(judge.Judge(kPrintScreen, true, false, false, start, stop, kCtrl), KeyAction::PassOn)
        << "not armed";
    // A press that matched nothing keeps its release away from the triggers.
    EXPECT_EQ(judge.Judge(kPrintScreen, false, false, true, start, stop, kCtrlShift), KeyAction::PassOn);
    EXPECT_EQ(judge.Judge(kPrintScreen, true, false, true, start, stop, kCtrl), KeyAction::PassOn);
    // A swallowed press whose triggers were disarmed before the release: the
    // release is swallowed too (the hook posts nothing without a target).
    EXPECT_EQ(judge.Judge(kPrintScreen, false, false, true, start, stop, kCtrl), KeyAction::Swallow);
    EXPECT_EQ(judge.Judge(kPrintScreen, true, false, false, start, stop, kNone), KeyAction::PostCapture);
    // Key entry in between forgets the press.
    EXPECT_EQ(judge.Judge(kPrintScreen, false, false, true, start, stop, kCtrl), KeyAction::Swallow);
    judge.Forget(kPrintScreen);
    EXPECT_EQ(judge.Judge(kPrintScreen, true, false, false, start, stop, kNone), KeyAction::PassOn);
}

TEST(KeyJudge, ThirtyTwoBitProgramsAreJudgedByTheKeyboardsOwnState) {
    // A 32-bit program's keystroke reaches the 64-bit hook in vsr's process,
    // on vsr's thread, while that program has the foreground. vsr's thread
    // saw no CTRL (GetKeyState: up); the keyboard has it down (GetAsyncKeyState).
    const uint32_t vsr = 1200, program32 = 3400, program64 = 5600;
    const Modifiers vsrThread = kNone, keyboard = kCtrl;
    const KeyStateSource source = ChooseKeyStateSource(vsr, vsr, program32);
    ASSERT_EQ(source, KeyStateSource::Asynchronous);
    const Modifiers seen = source == KeyStateSource::Asynchronous ? keyboard : vsrThread;
    const Combination ctrlPrintScreen{kPrintScreen, 0, 128, 0}, printScreen{kPrintScreen, 0, 0, 0};
    const Combination noStop{0, 0, 0, 0};
    KeyJudge judge;
    EXPECT_EQ(judge.Judge(kPrintScreen, true, false, true, ctrlPrintScreen, noStop, seen), KeyAction::PostCapture);
    EXPECT_EQ(judge.Judge(kPrintScreen, true, false, true, printScreen, noStop, seen), KeyAction::PassOn)
        << "PRINTSCREEN alone must not fire while CTRL is held";
    // Inside a 64-bit program, and for vsr's own windows, the hooking thread
    // is the one that reads the key.
    EXPECT_EQ(ChooseKeyStateSource(program64, vsr, program64), KeyStateSource::HookingThread);
    EXPECT_EQ(ChooseKeyStateSource(vsr, vsr, vsr), KeyStateSource::HookingThread);
    EXPECT_EQ(ChooseKeyStateSource(vsr, vsr, 0), KeyStateSource::HookingThread) << "no foreground window";
}

TEST(BlockSecurity, OnlyTheDescriptorWeMakeIsOursAndAnEarlierRunAtAnotherLevelIsToldApart) {
    using vistrel::hook::BlockSecurityFacts;
    using vistrel::hook::BlockSecurityText;
    using vistrel::hook::BlockStatus;
    using vistrel::hook::JudgeBlockSecurity;
    using vistrel::hook::NormalizedOwnerAndDacl;
    const std::string user = "S-1-5-21-100-200-300-1001", other = "S-1-5-21-100-200-300-1002";
    const std::string medium = "S-1-16-8192", low = "S-1-16-4096", high = "S-1-16-12288";
    const DWORD noWriteUp = SYSTEM_MANDATORY_LABEL_NO_WRITE_UP;
    const BlockStatus ours = BlockStatus::Made, foreign = BlockStatus::HeldByAnother,
                      earlierRun = BlockStatus::EarlierRunAtOtherLevel;
    // As Windows reports a block: owner and DACL written back, and its label.
    auto reported = [&](const std::string& owner, const std::string& label, DWORD policy) {
        return BlockSecurityFacts{NormalizedOwnerAndDacl(BlockSecurityText(owner, medium)), label, policy};
    };
    ASSERT_NE(reported(user, medium, noWriteUp).ownerAndDacl, "");
    for (const std::string& level : {medium, high})
        EXPECT_EQ(JudgeBlockSecurity(reported(user, level, noWriteUp), user, level, true), ours) << level;
    // Windows labels what a low-integrity program makes with its own level,
    // whatever rules it copies from ours.
    EXPECT_EQ(JudgeBlockSecurity(reported(user, low, noWriteUp), user, medium, true), foreign);
    EXPECT_EQ(JudgeBlockSecurity(reported(user, medium, 0), user, medium, true), foreign) << "writable from below";
    EXPECT_EQ(JudgeBlockSecurity(reported(other, medium, noWriteUp), user, medium, true), foreign) << "owner";
    const BlockSecurityFacts everyone{NormalizedOwnerAndDacl("O:" + user + "D:P(A;;0x20007;;;WD)"), medium, noWriteUp};
    EXPECT_EQ(JudgeBlockSecurity(everyone, user, medium, true), foreign) << "everyone may write";
    // Our rules at the other level: the block of a run before, elevated or not.
    EXPECT_EQ(JudgeBlockSecurity(reported(user, high, noWriteUp), user, medium, true), earlierRun);
    EXPECT_EQ(JudgeBlockSecurity(reported(user, medium, noWriteUp), user, high, true), earlierRun);
    EXPECT_EQ(JudgeBlockSecurity(reported(other, high, noWriteUp), user, medium, true), foreign);
    // Windows reports no label for what an ordinary program made: fine for an
    // ordinary vsr, never for an elevated one.
    EXPECT_EQ(JudgeBlockSecurity(reported(user, "", 0), user, medium, true), ours);
    EXPECT_EQ(JudgeBlockSecurity(reported(user, "", 0), user, high, true), foreign);
    // Wine keeps no labels (and may call its token high): our rules suffice.
    EXPECT_EQ(JudgeBlockSecurity(reported(user, "", 0), user, high, false), ours);
    EXPECT_EQ(JudgeBlockSecurity(BlockSecurityFacts{}, user, medium, false), foreign);
}

} // namespace
