#pragma once

// The PNG file output's page.

#include "app/SelectDlg.h"

class CPngDlg : public CToSelectDlg {
public:
    explicit CPngDlg(SettingsStore& settings);
    std::unique_ptr<CToExecute> CreateExecute() override;
};
