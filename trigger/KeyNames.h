#pragma once

// Names of key combinations as the key and timer pages show them: the key's
// name after the names of the modifiers held with it ("CTRL+ALT+SHIFT+F9").
//
// Portable: the platform's character translation of a key is passed in, so
// the naming rules can be tested without Windows.

#include <functional>
#include <optional>
#include <string>

namespace keynames {

// Virtual-key codes the rules single out.
constexpr unsigned kShift = 16;
constexpr unsigned kControl = 17;
constexpr unsigned kMenu = 18;
constexpr unsigned kPrintScreen = 44;

// The value a modifier takes while it is held: the down bit of the key state.
constexpr int kModifierDown = 0x80;

// The characters a key produces (may be empty), for keys without a name of their own.
using CharacterTranslation = std::function<std::string(unsigned keyCode)>;

// The name of a key on its own: "F%d", "NUMPAD%d", a listed name, or what
// `translate` makes of it. None for SHIFT, CTRL and ALT alone: they name nothing.
std::optional<std::string> BaseName(unsigned keyCode, const CharacterTranslation& translate);

// `base` after the held modifiers, in the order CTRL+, ALT+, SHIFT+. A
// modifier counts as held when its value is not 0.
std::string WithModifiers(const std::string& base, int shift, int ctrl, int alt);

} // namespace keynames
