#pragma once

// The immediate trigger's page: nothing to set.

#include "app/SelectDlg.h"

class CImmediateDlg : public CHowSelectDlg {
public:
    explicit CImmediateDlg(SettingsStore& settings);
    std::unique_ptr<CHowExecute> CreateExecute() override;
};
