#pragma once

// The bitmap file output's page.

#include "output/FilePage.h"

class CBitmapDlg : public CFileSelectDlg {
public:
    explicit CBitmapDlg(SettingsStore& settings);
    std::unique_ptr<CToExecute> CreateExecute() override;
};
