// Key names as the key and timer pages show them.
#include "trigger/KeyNames.h"

#include <gtest/gtest.h>

using keynames::BaseName;
using keynames::WithModifiers;

namespace {

// A stand-in for the platform's translation: letters and digits as themselves,
// everything else produces nothing, like a dead key.
std::string Plain(unsigned code) {
    if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9'))
        return std::string(1, static_cast<char>(code));
    return std::string();
}

} // namespace

TEST(KeyNames, FunctionAndKeypadKeysAreNumberedListedKeysNamedOthersTranslated) {
    EXPECT_EQ(BaseName(112, Plain), "F1");
    EXPECT_EQ(BaseName(123, Plain), "F12");
    EXPECT_EQ(BaseName(124, Plain), "F13");
    EXPECT_EQ(BaseName(135, Plain), "F24");
    EXPECT_EQ(BaseName(136, Plain), "") << "one past F24 is not an F key";
    EXPECT_EQ(BaseName(96, Plain), "NUMPAD0");
    EXPECT_EQ(BaseName(105, Plain), "NUMPAD9");
    EXPECT_EQ(BaseName(44, Plain), "PRINTSCREEN");
    EXPECT_EQ(BaseName(9, Plain), "TAB");
    EXPECT_EQ(BaseName(27, Plain), "ESCAPE");
    EXPECT_EQ(BaseName(32, Plain), "SPACE");
    EXPECT_EQ(BaseName(254, Plain), "OEM_CLEAR");
    EXPECT_EQ(BaseName(253, Plain), "PA1");
    EXPECT_EQ(BaseName('A', Plain), "A");
    EXPECT_EQ(BaseName('7', Plain), "7");
    // The print key, 252 and the keypad's decimal point are not listed: translated.
    for (unsigned code : {42u, 252u, 110u}) {
        bool asked = false;
        auto translate = [&](unsigned c) {
            asked = c == code;
            return std::string("x");
        };
        EXPECT_EQ(BaseName(code, translate), "x") << code;
        EXPECT_TRUE(asked) << code;
    }
}

TEST(KeyNames, ModifiersAloneNameNothing) {
    for (unsigned code : {16u, 17u, 18u})
        EXPECT_FALSE(BaseName(code, Plain).has_value()) << code;
}

TEST(KeyNames, ModifiersPrefixInTheOrderCtrlAltShift) {
    const int down = keynames::kModifierDown;
    EXPECT_EQ(WithModifiers("A", 0, 0, 0), "A");
    EXPECT_EQ(WithModifiers("A", 0, down, 0), "CTRL+A");
    EXPECT_EQ(WithModifiers("F9", down, 0, down), "ALT+SHIFT+F9");
    EXPECT_EQ(WithModifiers("PRINTSCREEN", down, down, down), "CTRL+ALT+SHIFT+PRINTSCREEN");
}
