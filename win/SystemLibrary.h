#pragma once

// Functions of system DLLs that Windows does not keep preloaded (version.dll,
// winmm.dll, dwmapi.dll). Imported the usual way, they would be searched in the program's
// own folder first, where anyone who can write there (a downloads folder)
// could plant a DLL of that name. These come from System32 only.

#include <windows.h>

namespace win {

// `name` of `dll`, loaded from System32; none when either is missing.
FARPROC SystemFunction(const char* dll, const char* name);

template <typename Function> Function* SystemFunctionAs(const char* dll, const char* name) {
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(SystemFunction(dll, name)));
}

} // namespace win
