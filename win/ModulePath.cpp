#include "win/ModulePath.h"

namespace win {

namespace {
// The longest path Windows allows, in characters.
constexpr DWORD kLongestPath = 32768;
} // namespace

std::wstring OwnModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        // Cut short: a bigger buffer, up to the longest path.
        if (path.size() >= kLongestPath)
            return std::wstring();
        path.resize(path.size() * 2);
    }
}

} // namespace win
