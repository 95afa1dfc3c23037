#include "win/SystemLibrary.h"

#include <string>

namespace win {

namespace {

// By the full path into System32: a plain name would also accept a module of
// that base name that is already loaded from somewhere else.
HMODULE SystemModule(const char* dll) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    std::wstring path(folder, length);
    path += L'\\';
    for (const char* c = dll; *c; ++c)
        path += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return LoadLibraryExW(path.c_str(), nullptr, 0);
}

} // namespace

FARPROC SystemFunction(const char* dll, const char* name) {
    // Loaded on each call and kept, like an import: the loader hands back the
    // module it has already.
    HMODULE module = SystemModule(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}

} // namespace win
