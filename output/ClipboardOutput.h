#pragma once

// The clipboard output's page: nothing to set.

#include "app/SelectDlg.h"

class CClipboardDlg : public CToSelectDlg {
public:
    explicit CClipboardDlg(SettingsStore& settings);
    std::unique_ptr<CToExecute> CreateExecute() override;
};
