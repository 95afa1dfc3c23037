#pragma once

// The GIF file output's page.

#include "app/SelectDlg.h"

class CGifDlg : public CToSelectDlg {
public:
    explicit CGifDlg(SettingsStore& settings);
    std::unique_ptr<CToExecute> CreateExecute() override;
};
