#pragma once

// The main window's caption: the product name and the version of the
// program's own version resource.

#include <string>

// "Vistrel <version>" with every space removed and every comma made a dot,
// so "1, 2, 1, 0" gives "Vistrel 1.2.1.0".
std::string CaptionForVersion(const std::string& productVersion);

// ProductVersion of the block "040904B0" of the running program's version
// resource; empty when there is none.
std::string OwnProductVersion();
