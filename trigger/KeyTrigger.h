#pragma once

// The key trigger's page.

#include "app/SelectDlg.h"

class COnKeyDlg : public CHowSelectDlg {
public:
    explicit COnKeyDlg(SettingsStore& settings);
    std::unique_ptr<CHowExecute> CreateExecute() override;
};
