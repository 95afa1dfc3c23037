#pragma once

// The bitmap file output's page.

#include "app/SelectDlg.h"

class CBitmapDlg : public CToSelectDlg {
public:
    explicit CBitmapDlg(SettingsStore& settings);
    std::unique_ptr<CToExecute> CreateExecute() override;
};
