#pragma once

// The common part of the five file output pages: the file name, its Browse
// button with the Save As dialog, and the rule that an empty name builds no
// output and stores nothing.

#include "app/SelectDlg.h"

#include <string>

class CFileSelectDlg : public CToSelectDlg {
protected:
    // `filter` is one "description|pattern" pair; `extension` has no dot.
    CFileSelectDlg(UINT templateId, UINT displayNameId, SettingsStore& settings, const char* filter,
                   const char* extension);

    bool OnCommand(WORD id, WORD code, HWND control) override;
    void Exchange(win::DataExchange& exchange) override;

    // Writes the file name and the last selection; false, writing nothing,
    // when there is no file name.
    bool WriteFileValues();
    // Opens the Save As dialog; a confirmed name replaces the file name.
    void Browse();
    // The file name for the executor: a relative name is taken against the
    // folder the program started in, whatever the current folder is now.
    std::string TargetName() const;

    std::string fileName;

private:
    const char* filter_;
    const char* extension_;
};
