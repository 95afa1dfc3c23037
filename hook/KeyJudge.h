// What the keyboard hook does with one keystroke while the key triggers are
// armed. Portable: the hook hands in the keystroke, the armed combinations and
// the modifier state it read, and gets back whether to pass the key on,
// swallow it, and which report to post.
#pragma once

#include <cstdint>

namespace vistrel::hook {

// The down bit (0 or 128) of SHIFT, CTRL and ALT.
struct Modifiers {
    uint32_t shift = 0;
    uint32_t ctrl = 0;
    uint32_t alt = 0;
};

// A key combination as the block holds it: a virtual-key code and, per
// modifier, the down bit it requires.
struct Combination {
    uint32_t key;
    uint32_t shift;
    uint32_t ctrl;
    uint32_t alt;
};

bool Matches(const Combination& combination, uint32_t key, const Modifiers& now);

// Whose key state tells the modifiers of the keystroke being hooked. Windows
// runs a hook inside the program that reads the key, whose thread state is
// right there. Keystrokes of 32-bit programs on 64-bit Windows instead reach
// the 64-bit hook on the thread that installed it (vsr's): that thread's state
// knows nothing of them, while the asynchronous state is the keyboard's own.
enum class KeyStateSource { HookingThread, Asynchronous };
// `keyOwnerProcess`: the process of the foreground window, which reads the key.
KeyStateSource ChooseKeyStateSource(uint32_t hookProcess, uint32_t installerProcess, uint32_t keyOwnerProcess);

enum class KeyAction { PassOn, Swallow, PostCapture, PostEndSession };

// One per copy of the library. The press of a key decides what the key does,
// and its release does what the press decided: a person often lets go of a
// modifier before the key. A release whose press this copy never saw is judged
// by itself: Windows delivers PRINTSCREEN as a release alone.
class KeyJudge {
public:
    // `armed`: a window receives trigger reports. Returns what to do; a
    // swallowed press is always followed by a swallowed release.
    KeyAction Judge(uint32_t key, bool released, bool repeated, bool armed, const Combination& start,
                    const Combination& stop, const Modifiers& now);
    // Key entry takes every key meanwhile: nothing decided before it holds.
    void Forget(uint32_t key);

private:
    enum Decision : uint8_t { kNotSeen = 0, kPassedOn, kStart, kStop };
    static Decision Decide(bool armed, uint32_t key, const Combination& start, const Combination& stop,
                           const Modifiers& now);

    volatile uint8_t decision_[256] = {};
};

} // namespace vistrel::hook
