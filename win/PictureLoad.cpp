#include "win/PictureLoad.h"

#include <cstring>

namespace win {

ComPtr<IPicture> PictureFromMemory(GlobalMemory memory, size_t size) {
    ComPtr<IPicture> picture;
    // The loader's size is a LONG.
    if (!memory || size == 0 || size > 0x7FFFFFFF)
        return picture;
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory.get(), TRUE, stream.put())))
        return picture; // still ours: freed on the way out
    memory.release();
    if (FAILED(
            OleLoadPicture(stream.get(), static_cast<LONG>(size), FALSE, IID_IPicture, picture.put_void())))
        picture.reset();
    return picture;
}

ComPtr<IPicture> PictureFromBytes(const void* bytes, size_t size) {
    if (!bytes || size == 0)
        return ComPtr<IPicture>();
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, size));
    {
        GlobalLockGuard lock(memory.get());
        if (!lock)
            return ComPtr<IPicture>();
        std::memcpy(lock.data(), bytes, size);
    }
    return PictureFromMemory(std::move(memory), size);
}

} // namespace win
