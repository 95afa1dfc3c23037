#pragma once

// The timer trigger's page.

#include "app/SelectDlg.h"

class COnTimerDlg : public CHowSelectDlg {
public:
    explicit COnTimerDlg(SettingsStore& settings);
    std::unique_ptr<CHowExecute> CreateExecute() override;
};
