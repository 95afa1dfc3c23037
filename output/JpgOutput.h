#pragma once

// The JPEG file output's page.

#include "output/FilePage.h"

class CJpgDlg : public CFileSelectDlg {
public:
    explicit CJpgDlg(SettingsStore& settings);
    std::unique_ptr<CToExecute> CreateExecute() override;
};
