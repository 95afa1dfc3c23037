#pragma once

// The GIF file output's page.

#include "output/FilePage.h"

class CGifDlg : public CFileSelectDlg {
public:
    explicit CGifDlg(SettingsStore& settings);
    std::unique_ptr<CToExecute> CreateExecute() override;
};
