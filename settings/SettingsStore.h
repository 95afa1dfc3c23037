#pragma once

// The program's persistent settings: named values in one registry key of the
// current user, HKEY_CURRENT_USER\Software\Quorvane\<product name>. Value
// names are string-table texts addressed by their id. No operation reports
// an error: a missing or unreadable number reads as -1, a text as empty, and
// a failed write is lost.

#include "win/Handles.h"

#include <windows.h>

#include <string>

class SettingsStore {
public:
    explicit SettingsStore(const std::string& productName);

    // The stored number; -1 when missing. The stored type is not checked: a
    // value of at most 4 bytes of another type reads as its raw bytes over -1.
    int ReadNumber(UINT id) const;
    void WriteNumber(UINT id, int value);
    // The stored text, whatever its length; empty when missing.
    std::string ReadText(UINT id) const;
    void WriteText(UINT id, const std::string& text);
    // Commits the key to disk, only when something was written since the last flush.
    void Flush();

    const std::string& productName() const { return productName_; }

private:
    std::string productName_;
    win::RegKey key_;
    bool dirty_ = false;
};
