#pragma once

// Reading and checking the integer of an edit field: plain text rules, kept
// apart from the window code so they can be checked on their own.

#include <optional>
#include <string>

namespace win {

// A decimal integer with optional sign, surrounded by optional blanks; none
// for anything else, including values outside the range of int.
std::optional<int> ParseIntField(const std::string& text);

// Whether `value`, taken as unsigned, lies in [min, max]; a negative value is
// thus refused by any range that does not reach above INT_MAX.
bool InUnsignedRange(int value, unsigned min, unsigned max);

// "Please enter an integer between <min> and <max>."
std::string UnsignedRangePrompt(unsigned min, unsigned max);
std::string SignedRangePrompt(int min, int max);

// The prompt for a field that holds no integer at all.
inline const char* IntegerPrompt() {
    return "Please enter an integer.";
}

} // namespace win
