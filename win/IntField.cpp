#include "win/IntField.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace win {

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
} // namespace

std::optional<int> ParseIntField(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    std::string number = text.substr(begin, end - begin);
    size_t digits = (!number.empty() && (number[0] == '-' || number[0] == '+')) ? 1 : 0;
    if (digits == number.size())
        return std::nullopt;
    for (size_t i = digits; i < number.size(); ++i)
        if (number[i] < '0' || number[i] > '9')
            return std::nullopt;
    errno = 0;
    long long value = std::strtoll(number.c_str(), nullptr, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

bool InUnsignedRange(int value, unsigned min, unsigned max) {
    unsigned u = static_cast<unsigned>(value);
    return u >= min && u <= max;
}

namespace {
std::string RangePrompt(long long min, long long max) {
    char text[96];
    std::snprintf(text, sizeof text, "Please enter an integer between %lld and %lld.", min, max);
    return text;
}
} // namespace

std::string UnsignedRangePrompt(unsigned min, unsigned max) {
    return RangePrompt(min, max);
}

std::string SignedRangePrompt(int min, int max) {
    return RangePrompt(min, max);
}

} // namespace win
