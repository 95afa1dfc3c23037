#pragma once

// The process-wide handle of the hook library. Start-up sets it once; every
// user looks its export up by name at the moment of use and skips the call
// when the library or the export is missing.

#include <windows.h>

namespace win {

class HookLibrary {
public:
    static void SetModule(HMODULE module) { module_ = module; }
    static HMODULE Module() { return module_; }

    // The export `name`, or none.
    static FARPROC Find(const char* name);

    // Calls the export `name` with `args`; false when it is missing.
    template <typename... Args> static bool Call(const char* name, Args... args) {
        FARPROC proc = Find(name);
        if (!proc)
            return false;
        reinterpret_cast<void(__stdcall*)(Args...)>(reinterpret_cast<void*>(proc))(args...);
        return true;
    }

private:
    static HMODULE module_;
};

} // namespace win
