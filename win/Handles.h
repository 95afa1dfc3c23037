#pragma once

// Owners for every platform handle that must be released on every path.
// Copying is deleted (it would release twice); moving hands the handle on.
// release() gives a handle away for good, e.g. to the clipboard.

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace win {

// Common shape: one handle, a way to free it, move-only.
template <typename Handle, typename Traits> class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Handle(); }
    Handle release() { return std::exchange(handle_, Handle()); }
    void reset(Handle handle = Handle()) {
        Handle old = std::exchange(handle_, handle);
        if (old != Handle())
            Traits::Free(old);
    }

private:
    Handle handle_ = Handle();
};

struct DeleteDcTraits {
    static void Free(HDC dc) { DeleteDC(dc); }
};
struct GdiObjectTraits {
    static void Free(HGDIOBJ object) { DeleteObject(object); }
};
struct GlobalTraits {
    static void Free(HGLOBAL memory) { GlobalFree(memory); }
};
struct RegKeyTraits {
    static void Free(HKEY key) { RegCloseKey(key); }
};
struct FileTraits {
    static void Free(HANDLE file) {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
};

// A device context of our own (CreateDC, CreateCompatibleDC), freed with DeleteDC.
using OwnedDC = UniqueHandle<HDC, DeleteDcTraits>;

// A bitmap, brush, pen, font, palette or region, freed with DeleteObject.
template <typename T> using GdiObject = UniqueHandle<T, GdiObjectTraits>;

// Global memory from GlobalAlloc, freed with GlobalFree unless released.
using GlobalMemory = UniqueHandle<HGLOBAL, GlobalTraits>;

// An open registry key.
using RegKey = UniqueHandle<HKEY, RegKeyTraits>;

// A file handle; CreateFile reports failure as INVALID_HANDLE_VALUE, kept as none.
class File : public UniqueHandle<HANDLE, FileTraits> {
public:
    File() = default;
    explicit File(HANDLE handle) : UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
};

// A window's device context (GetDC), given back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    WindowDC(WindowDC&& other) noexcept : window_(other.window_), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDC& operator=(WindowDC&&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class SelectionRestore {
public:
    SelectionRestore(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectionRestore() {
        if (dc_ && previous_ && previous_ != HGDI_ERROR)
            SelectObject(dc_, previous_);
    }
    SelectionRestore(const SelectionRestore&) = delete;
    SelectionRestore& operator=(const SelectionRestore&) = delete;
    SelectionRestore(SelectionRestore&& other) noexcept
        : dc_(std::exchange(other.dc_, nullptr)), previous_(other.previous_) {}
    SelectionRestore& operator=(SelectionRestore&&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// GlobalLock for the lifetime of the object.
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL memory)
        : memory_(memory), data_(memory ? GlobalLock(memory) : nullptr) {}
    ~GlobalLockGuard() {
        if (data_)
            GlobalUnlock(memory_);
    }
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    GlobalLockGuard(GlobalLockGuard&& other) noexcept
        : memory_(other.memory_), data_(std::exchange(other.data_, nullptr)) {}
    GlobalLockGuard& operator=(GlobalLockGuard&&) = delete;

    void* data() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    HGLOBAL memory_;
    void* data_;
};

// A COM interface pointer holding one reference.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(other.release()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            pointer_ = other.release();
        }
        return *this;
    }

    T* get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For out-parameters of creating calls: drops what is held first.
    T** put() {
        reset();
        return &pointer_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    T* release() { return std::exchange(pointer_, nullptr); }
    void reset() {
        if (T* old = std::exchange(pointer_, nullptr))
            old->Release();
    }

private:
    T* pointer_ = nullptr;
};

} // namespace win
