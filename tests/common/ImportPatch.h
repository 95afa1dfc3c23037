#pragma once

// Makes a system call fail or misbehave for real inside this test program:
// the program's import slot of the function is pointed at a stand-in for
// as long as the object lives. Code linked into the program calls through it.

#include <windows.h>

class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, const void* replacement)
        : real_(reinterpret_cast<ULONG_PTR>(GetProcAddress(GetModuleHandleA(dll), function))),
          slot_(real_ ? Slot(real_) : nullptr) {
        Set(reinterpret_cast<ULONG_PTR>(replacement));
    }
    ~ImportPatch() { Set(real_); }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool ok() const { return slot_ != nullptr; }
    template <typename F> F real() const { return reinterpret_cast<F>(real_); }

private:
    static ULONG_PTR* Slot(ULONG_PTR address) {
        auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
        auto* nt =
            reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
        for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); d->Name; ++d)
            for (auto* t = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); t->u1.Function; ++t)
                if (t->u1.Function == address)
                    return reinterpret_cast<ULONG_PTR*>(&t->u1.Function);
        return nullptr;
    }
    void Set(ULONG_PTR value) {
        if (!slot_)
            return;
        DWORD old;
        VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
        *slot_ = value;
        VirtualProtect(slot_, sizeof *slot_, old, &old);
    }

    ULONG_PTR real_;
    ULONG_PTR* slot_;
};
