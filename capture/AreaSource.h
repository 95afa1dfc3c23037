#pragma once

// The selected-area source's page.

#include "app/SelectDlg.h"

class CAreaDlg : public CWhatSelectDlg {
public:
    explicit CAreaDlg(SettingsStore& settings);
    std::unique_ptr<CWhatExecute> CreateExecute(int captureMouse) override;
};
