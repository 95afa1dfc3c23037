#pragma once

// The control source's page. Its one value, `scroll`, sits on a check box
// that stays hidden; it is kept and stored all the same.

#include "app/SelectDlg.h"

class CControlDlg : public CWhatSelectDlg {
public:
    explicit CControlDlg(SettingsStore& settings);
    std::unique_ptr<CWhatExecute> CreateExecute(int captureMouse) override;

protected:
    void Exchange(win::DataExchange& exchange) override;

private:
    int scroll = 0;
};
