// Loading hook.dll: a copy that cannot create or map its shared block refuses
// to load, and one that unloads gives the block back. Runs before anything
// else holds "VistrelHook" open.
#include <gtest/gtest.h>

#include <windows.h>

namespace {

constexpr char kBlockName[] = "VistrelHook";

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

private:
    HANDLE object_;
    bool alreadyThere_;
};

TEST(HookLoad, RefusedWhenTheBlockNameBelongsToAnotherKindOfObject) {
    NameTaken mutex(CreateMutexA(nullptr, FALSE, kBlockName));
    ASSERT_TRUE(mutex.Ours()) << "\"VistrelHook\" is in use: another process still holds hook.dll";
    HMODULE hook = LoadLibraryA("hook.dll");
    EXPECT_EQ(hook, nullptr) << "hook.dll loaded without its shared block";
    if (hook)
        FreeLibrary(hook);
}

TEST(HookLoad, RefusedWhenTheBlockCannotBeMappedForWriting) {
    // A read-only file behind the name: opening it still works, mapping it
    // for writing does not.
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    HANDLE file = CreateFileA(self, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    NameTaken readOnly(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 100, kBlockName));
    CloseHandle(file);
    ASSERT_TRUE(readOnly.Ours()) << "\"VistrelHook\" is in use: another process still holds hook.dll";
    HMODULE hook = LoadLibraryA("hook.dll");
    EXPECT_EQ(hook, nullptr) << "hook.dll loaded with a block it cannot write";
    if (hook)
        FreeLibrary(hook);
}

TEST(HookLoad, LoadsWhenTheNameIsFreeAndGivesTheBlockBackOnUnload) {
    HMODULE hook = LoadLibraryA("hook.dll");
    ASSERT_NE(hook, nullptr) << "LoadLibrary(\"hook.dll\") failed, error " << GetLastError();
    HANDLE block = OpenFileMappingA(FILE_MAP_READ, FALSE, kBlockName);
    EXPECT_NE(block, nullptr) << "a loaded hook.dll holds no block \"VistrelHook\"";
    if (block)
        CloseHandle(block);
    EXPECT_TRUE(FreeLibrary(hook));

    HANDLE after = OpenFileMappingA(FILE_MAP_READ, FALSE, kBlockName);
    EXPECT_EQ(after, nullptr) << "the block outlived the unloaded library";
    if (after)
        CloseHandle(after);
}

} // namespace
