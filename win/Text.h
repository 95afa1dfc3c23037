#pragma once

// Texts the program shows or stores: string-table entries and the system's
// own wording for an error code.

#include <windows.h>

#include <string>

namespace win {

// The string-table entry `id` of the program's own module, whole; empty when missing.
std::string LoadText(UINT id);

// The system's message for an error code (FormatMessage, neutral language),
// without the trailing line break; empty when the system has none.
std::string SystemErrorText(DWORD code);

// The folder of the running program with its trailing backslash, wide (its
// name may hold letters outside the code page); empty when unknown.
std::wstring ProgramFolder();

// A text of the system's code page, wide.
std::wstring Widen(const std::string& text);

// The whole text of a window or control.
std::string WindowText(HWND window);

// Caption for a message box about `window`: the caption of its top-level
// window, or the product name when that has none.
std::string TopLevelCaption(HWND window);

} // namespace win
