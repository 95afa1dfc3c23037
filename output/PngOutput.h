#pragma once

// The PNG file output's page.

#include "output/FilePage.h"

class CPngDlg : public CFileSelectDlg {
public:
    explicit CPngDlg(SettingsStore& settings);
    std::unique_ptr<CToExecute> CreateExecute() override;
};
