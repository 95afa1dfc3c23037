#include "settings/SettingsStore.h"

#include "win/Text.h"

#include <vector>

SettingsStore::SettingsStore(const std::string& productName) : productName_(productName) {
    std::string path = "Software\\Quorvane\\" + productName_;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) == ERROR_SUCCESS)
        key_.reset(key);
}

int SettingsStore::ReadNumber(UINT id) const {
    if (!key_)
        return -1;
    int value = -1;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key_.get(), win::LoadText(id).c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return -1;
    return value;
}

void SettingsStore::WriteNumber(UINT id, int value) {
    if (key_)
        RegSetValueExA(key_.get(), win::LoadText(id).c_str(), 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&value), sizeof value);
    dirty_ = true;
}

std::string SettingsStore::ReadText(UINT id) const {
    if (!key_)
        return std::string();
    std::string name = win::LoadText(id);
    // The value may change between asking its size and reading it: retry then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExA(key_.get(), name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
            return std::string();
        // One spare byte: a value stored without its terminating zero still ends.
        std::vector<char> data(size + 1, '\0');
        DWORD got = size;
        LONG status = RegQueryValueExA(key_.get(), name.c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(data.data()), &got);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return std::string();
        data[got < size ? got : size] = '\0';
        return std::string(data.data());
    }
    return std::string();
}

void SettingsStore::WriteText(UINT id, const std::string& text) {
    if (key_)
        RegSetValueExA(key_.get(), win::LoadText(id).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
    dirty_ = true;
}

void SettingsStore::Flush() {
    if (!dirty_)
        return;
    if (key_)
        RegFlushKey(key_.get());
    dirty_ = false;
}
