#pragma once

// The animated GIF output's page.

#include "app/SelectDlg.h"

class CAnimatedGifDlg : public CToSelectDlg {
public:
    explicit CAnimatedGifDlg(SettingsStore& settings);
    std::unique_ptr<CToExecute> CreateExecute() override;
};
