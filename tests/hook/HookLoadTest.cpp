// hook.dll's shared block: loading the library never makes it; attachDll
// makes it, guarded, refuses a name somebody else holds and takes over one an
// earlier run left open in other programs. Runs before anything else holds
// "VistrelHook" open.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>

namespace {

constexpr char kBlockName[] = "VistrelHook";
constexpr int kHeldByAnother = 1;

// Takes the block's name for an object of our own; fails the case when the
// name is already in use (then another process holds hook.dll).
class NameTaken {
public:
    explicit NameTaken(HANDLE object)
        : object_(object), alreadyThere_(GetLastError() == ERROR_ALREADY_EXISTS) {}
    ~NameTaken() {
        if (object_)
            CloseHandle(object_);
    }
    bool Ours() const { return object_ && !alreadyThere_; }
    HANDLE get() const { return object_; }

private:
    HANDLE object_;
    bool alreadyThere_;
};

// hook.dll loaded into this process, as vsr loads it.
struct Library {
    Library() : module(LoadLibraryA("hook.dll")) {}
    ~Library() {
        if (freeDll)
            freeDll();
        if (module)
            FreeLibrary(module);
    }
    int Attach() {
        auto attach = reinterpret_cast<int(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module, "attachDll")));
        freeDll = reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module, "freeDll")));
        return attach ? attach() : -1;
    }
    HMODULE module;
    void(WINAPI* freeDll)() = nullptr;
};

TEST(HookLoad, AttachRefusesANameHeldByAnythingItDidNotMake) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    HANDLE file = CreateFileA(self, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    // Another kind of object, a read-only file's section, and a plain section
    // with the system's default protection that anyone of the user could write.
    const struct {
        const char* what;
        HANDLE (*make)(HANDLE);
    } squatters[] = {
        {"a mutex", [](HANDLE) { return CreateMutexA(nullptr, FALSE, kBlockName); }},
        {"a read-only file section",
         [](HANDLE f) { return CreateFileMappingA(f, nullptr, PAGE_READONLY, 0, 100, kBlockName); }},
        {"a plain section",
         [](HANDLE) { return CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 100, kBlockName); }},
    };
    for (const auto& squatter : squatters) {
        NameTaken taken(squatter.make(file));
        ASSERT_TRUE(taken.Ours()) << "\"VistrelHook\" is in use: another process still holds hook.dll";
        Library hook;
        ASSERT_NE(hook.module, nullptr) << "loading must not depend on the block, error " << GetLastError();
        EXPECT_EQ(hook.Attach(), kHeldByAnother) << squatter.what << " was taken for the block";
    }
    CloseHandle(file);
}

TEST(HookLoad, AttachMakesAGuardedBlockThatUnloadGivesBack) {
    {
        Library hook;
        ASSERT_NE(hook.module, nullptr) << "LoadLibrary(\"hook.dll\") failed, error " << GetLastError();
        HANDLE early = OpenFileMappingA(FILE_MAP_READ, FALSE, kBlockName);
        EXPECT_EQ(early, nullptr) << "loading alone made the block";
        if (early)
            CloseHandle(early);
        ASSERT_EQ(hook.Attach(), 0);
        HANDLE block = OpenFileMappingA(READ_CONTROL | FILE_MAP_READ, FALSE, kBlockName);
        ASSERT_NE(block, nullptr) << "attachDll made no block \"VistrelHook\"";
        PSECURITY_DESCRIPTOR sd = nullptr;
        char* text = nullptr;
        ASSERT_EQ(GetSecurityInfo(block, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                  nullptr, &sd),
                  static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1,
                                                                         DACL_SECURITY_INFORMATION, &text, nullptr));
        const std::string dacl = text;
        LocalFree(text);
        LocalFree(sd);
        CloseHandle(block);
        EXPECT_EQ(dacl.rfind("D:P", 0), 0u) << "inherits rules: " << dacl;
        EXPECT_NE(dacl.find(";;;SY)"), std::string::npos) << dacl;
        EXPECT_NE(dacl.find("(A;;RC;;;OW)"), std::string::npos) << "the owner may widen the rules: " << dacl;
        EXPECT_EQ(dacl.find(";;;WD)"), std::string::npos) << "everyone may open it: " << dacl;
    }
    HANDLE after = OpenFileMappingA(FILE_MAP_READ, FALSE, kBlockName);
    EXPECT_EQ(after, nullptr) << "the block outlived the unloaded library";
    if (after)
        CloseHandle(after);
}

TEST(HookLoad, AnEarlierRunsBlockStillOpenElsewhereIsTakenOver) {
    HANDLE kept = nullptr;
    {
        Library first;
        ASSERT_EQ(first.Attach(), 0);
        // A program that received input keeps the library, and the block, after vsr has gone.
        kept = OpenFileMappingA(FILE_MAP_READ, FALSE, kBlockName);
        ASSERT_NE(kept, nullptr);
    }
    {
        Library second;
        EXPECT_EQ(second.Attach(), 0) << "a new run could not use the block an earlier one left";
    }
    CloseHandle(kept);
}

} // namespace
