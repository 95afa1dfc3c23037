#include "app/VersionCaption.h"

#include "win/SystemLibrary.h"

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
    auto* getSize = win::SystemFunctionAs<decltype(GetFileVersionInfoSizeA)>("version.dll", "GetFileVersionInfoSizeA");
    auto* getInfo = win::SystemFunctionAs<decltype(GetFileVersionInfoA)>("version.dll", "GetFileVersionInfoA");
    auto* query = win::SystemFunctionAs<decltype(VerQueryValueA)>("version.dll", "VerQueryValueA");
    if (!getSize || !getInfo || !query)
        return std::string();
    DWORD ignored = 0;
    DWORD size = getSize(path, &ignored);
    if (size == 0)
        return std::string();
    std::vector<char> block(size);
    if (!getInfo(path, 0, size, block.data()))
        return std::string();
    char* value = nullptr;
    UINT valueLength = 0;
    if (!query(block.data(), "\\StringFileInfo\\040904B0\\ProductVersion",
                        reinterpret_cast<void**>(&value), &valueLength) ||
        !value)
        return std::string();
    // The length may or may not count the terminating zero.
    return std::string(value, strnlen(value, valueLength));
}
