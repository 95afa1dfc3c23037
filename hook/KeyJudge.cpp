#include "hook/KeyJudge.h"

namespace vistrel::hook {

bool Matches(const Combination& c, uint32_t key, const Modifiers& now) {
    return key == c.key && now.shift == c.shift && now.ctrl == c.ctrl && now.alt == c.alt;
}

KeyStateSource ChooseKeyStateSource(uint32_t hookProcess, uint32_t installerProcess, uint32_t keyOwnerProcess) {
    if (hookProcess == installerProcess && keyOwnerProcess != 0 && keyOwnerProcess != installerProcess)
        return KeyStateSource::Asynchronous;
    return KeyStateSource::HookingThread;
}

KeyJudge::Decision KeyJudge::Decide(bool armed, uint32_t key, const Combination& start, const Combination& stop,
                                    const Modifiers& now) {
    if (!armed)
        return kPassedOn;
    // The stop combination is tested even when the key is the start key with
    // other modifiers, so both may share one key.
    if (Matches(start, key, now))
        return kStart;
    if (Matches(stop, key, now))
        return kStop;
    return kPassedOn;
}

void KeyJudge::Forget(uint32_t key) {
    if (key < 256)
        decision_[key] = kNotSeen;
}

KeyAction KeyJudge::Judge(uint32_t key, bool released, bool repeated, bool armed, const Combination& start,
                          const Combination& stop, const Modifiers& now) {
    if (key > 255)
        return KeyAction::PassOn;
    Decision decision = static_cast<Decision>(decision_[key]);
    if (!released) {
        // An auto-repeated press keeps what the first press decided.
        if (!repeated || decision == kNotSeen) {
            decision = Decide(armed, key, start, stop, now);
            decision_[key] = decision;
        }
        return decision == kStart || decision == kStop ? KeyAction::Swallow : KeyAction::PassOn;
    }
    decision_[key] = kNotSeen;
    if (decision == kNotSeen)
        decision = Decide(armed, key, start, stop, now);
    if (decision == kStart)
        return KeyAction::PostCapture;
    if (decision == kStop)
        return KeyAction::PostEndSession;
    return KeyAction::PassOn;
}

} // namespace vistrel::hook
