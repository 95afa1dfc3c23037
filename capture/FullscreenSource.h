#pragma once

// The whole-screen source's page: nothing to set.

#include "app/SelectDlg.h"

class CFullscreenDlg : public CWhatSelectDlg {
public:
    explicit CFullscreenDlg(SettingsStore& settings);
    std::unique_ptr<CWhatExecute> CreateExecute(int captureMouse) override;
};
