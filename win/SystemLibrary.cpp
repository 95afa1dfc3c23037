#include "win/SystemLibrary.h"

namespace win {

FARPROC SystemFunction(const char* dll, const char* name) {
    // Loaded once and kept, like an import.
    HMODULE module = GetModuleHandleA(dll);
    if (!module)
        module = LoadLibraryExA(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? GetProcAddress(module, name) : nullptr;
}

} // namespace win
