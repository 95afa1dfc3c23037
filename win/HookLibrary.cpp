#include "win/HookLibrary.h"

namespace win {

HMODULE HookLibrary::module_ = nullptr;

FARPROC HookLibrary::Find(const char* name) {
    return module_ ? GetProcAddress(module_, name) : nullptr;
}

} // namespace win
