#pragma once

// The thirteen parameter pages in the order of their lists' entries.

#include "app/SelectDlg.h"

#include <memory>
#include <vector>

class SettingsStore;

// whole screen, active window, area, control
std::vector<std::unique_ptr<CWhatSelectDlg>> MakeWhatPages(SettingsStore& settings);
// key, immediate, timer
std::vector<std::unique_ptr<CHowSelectDlg>> MakeHowPages(SettingsStore& settings);
// bitmap, clipboard, animated GIF, GIF, JPEG, PNG
std::vector<std::unique_ptr<CToSelectDlg>> MakeToPages(SettingsStore& settings);
