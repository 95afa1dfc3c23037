#pragma once

// A failed file operation, carrying the text the user is shown. Window
// handlers may let it escape: the dialog procedure reports it.

#include <stdexcept>
#include <string>

namespace win {

class FileError : public std::runtime_error {
public:
    explicit FileError(const std::string& text) : std::runtime_error(text) {}
};

} // namespace win
