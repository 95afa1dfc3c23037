#include "app/VersionCaption.h"

#include <windows.h>

#include <vector>

std::string CaptionForVersion(const std::string& productVersion) {
    std::string version;
    for (char c : productVersion) {
        if (c == ' ')
            continue;
        version += c == ',' ? '.' : c;
    }
    return "Vistrel " + version;
}

std::string OwnProductVersion() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return std::string();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0)
        return std::string();
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path, 0, size, block.data()))
        return std::string();
    char* value = nullptr;
    UINT valueLength = 0;
    if (!VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\ProductVersion",
                        reinterpret_cast<void**>(&value), &valueLength) ||
        !value)
        return std::string();
    // The length may or may not count the terminating zero.
    return std::string(value, strnlen(value, valueLength));
}
