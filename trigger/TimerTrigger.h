#pragma once

// The timer trigger's page: the start combination, the interval, and whether
// the series stops after a number of captures or on a stop combination.

#include "trigger/KeyEntryPage.h"

class COnTimerDlg : public CKeyEntryPage {
public:
    explicit COnTimerDlg(SettingsStore& settings);
    std::unique_ptr<CHowExecute> CreateExecute() override;

protected:
    void Exchange(win::DataExchange& exchange) override;
    void UpdateEnabling() override;

private:
    int seconds = 1;
    int numberOfCaptures = 1;
};
