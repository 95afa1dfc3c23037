#include "app/VersionCaption.h"

#include "win/ModulePath.h"
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
    // Wide: the folder's name may hold letters outside the code page.
    const std::wstring path = win::OwnModulePath();
    if (path.empty())
        return std::string();
    auto* getSize = win::SystemFunctionAs<decltype(GetFileVersionInfoSizeW)>("version.dll", "GetFileVersionInfoSizeW");
    auto* getInfo = win::SystemFunctionAs<decltype(GetFileVersionInfoW)>("version.dll", "GetFileVersionInfoW");
    auto* query = win::SystemFunctionAs<decltype(VerQueryValueW)>("version.dll", "VerQueryValueW");
    if (!getSize || !getInfo || !query)
        return std::string();
    DWORD ignored = 0;
    DWORD size = getSize(path.c_str(), &ignored);
    if (size == 0)
        return std::string();
    std::vector<char> block(size);
    if (!getInfo(path.c_str(), 0, size, block.data()))
        return std::string();
    wchar_t* value = nullptr;
    UINT valueLength = 0;
    if (!query(block.data(), L"\\StringFileInfo\\040904B0\\ProductVersion", reinterpret_cast<void**>(&value),
               &valueLength) ||
        !value)
        return std::string();
    // The length may or may not count the terminating zero. A version is
    // digits, dots, commas and spaces.
    std::string version;
    for (UINT i = 0; i < valueLength && value[i]; ++i)
        version += value[i] < 0x80 ? static_cast<char>(value[i]) : '?';
    return version;
}
