#pragma once

// The key trigger's page: the start combination, and whether the session
// stops after its first capture or on a stop combination.

#include "trigger/KeyEntryPage.h"

class COnKeyDlg : public CKeyEntryPage {
public:
    explicit COnKeyDlg(SettingsStore& settings);
    std::unique_ptr<CHowExecute> CreateExecute() override;
};
