#pragma once

// An IPicture from a whole picture file's bytes (BMP, GIF, JPEG, icon...),
// read by OLE Automation's loader from a stream over movable global memory.

#include "win/Handles.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstddef>

namespace win {

// Over memory already holding the file: the stream takes the memory over and
// frees it with itself, whether the loader takes the picture or not. None
// when it does not.
ComPtr<IPicture> PictureFromMemory(GlobalMemory memory, size_t size);

// The same from bytes anywhere (a mapped file, a resource): copied first.
ComPtr<IPicture> PictureFromBytes(const void* bytes, size_t size);

} // namespace win
