#include "trigger/KeyNames.h"

#include <cstdio>

namespace keynames {
namespace {

struct ListedKey {
    unsigned code;
    const char* name;
};

// 42 (the print key) and 252 are left out on purpose: they go through the
// character translation like letters and digits.
constexpr ListedKey kListed[] = {
    {8, "BACK"},      {9, "TAB"},      {12, "CLEAR"},   {13, "RETURN"},      {19, "PAUSE"},
    {20, "CAPSLOCK"}, {27, "ESCAPE"},  {32, "SPACE"},   {33, "PAGEUP"},      {34, "PAGEDOWN"},
    {35, "END"},      {36, "HOME"},    {37, "LEFT"},    {38, "UP"},          {39, "RIGHT"},
    {40, "DOWN"},     {41, "SELECT"},  {43, "EXECUTE"}, {44, "PRINTSCREEN"}, {45, "INSERT"},
    {46, "DELETE"},   {47, "HELP"},    {91, "LWIN"},    {92, "RWIN"},        {93, "APPS"},
    {144, "NUMLOCK"}, {145, "SCROLL"}, {246, "ATTN"},   {247, "CRSEL"},      {248, "EXSEL"},
    {249, "EREOF"},   {250, "PLAY"},   {251, "ZOOM"},   {253, "PA1"},        {254, "OEM_CLEAR"},
};

constexpr unsigned kF1 = 112, kF24 = 135;
constexpr unsigned kNumpad0 = 96, kNumpad9 = 105;

std::string Numbered(const char* format, unsigned n) {
    char text[16];
    std::snprintf(text, sizeof text, format, n);
    return text;
}

} // namespace

std::optional<std::string> BaseName(unsigned keyCode, const CharacterTranslation& translate) {
    if (keyCode >= kF1 && keyCode <= kF24)
        return Numbered("F%u", keyCode - kF1 + 1);
    if (keyCode >= kNumpad0 && keyCode <= kNumpad9)
        return Numbered("NUMPAD%u", keyCode - kNumpad0);
    if (keyCode == kShift || keyCode == kControl || keyCode == kMenu)
        return std::nullopt;
    for (const ListedKey& key : kListed)
        if (key.code == keyCode)
            return std::string(key.name);
    return translate ? translate(keyCode) : std::string();
}

std::string WithModifiers(const std::string& base, int shift, int ctrl, int alt) {
    std::string name = base;
    if (shift)
        name = "SHIFT+" + name;
    if (alt)
        name = "ALT+" + name;
    if (ctrl)
        name = "CTRL+" + name;
    return name;
}

} // namespace keynames
