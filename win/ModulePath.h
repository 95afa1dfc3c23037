#pragma once

// The running program's own file, as Windows names it.

#include <windows.h>

#include <string>

namespace win {

// The full path of vsr.exe, wide and of any length Windows allows: an ANSI
// path turns letters outside the code page into '?'. Empty when unknown.
std::wstring OwnModulePath();

} // namespace win
