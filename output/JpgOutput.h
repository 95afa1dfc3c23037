#pragma once

// The JPEG file output's page.

#include "app/SelectDlg.h"

class CJpgDlg : public CToSelectDlg {
public:
    explicit CJpgDlg(SettingsStore& settings);
    std::unique_ptr<CToExecute> CreateExecute() override;
};
