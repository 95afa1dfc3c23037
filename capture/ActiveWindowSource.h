#pragma once

// The active-window source's page: whole window or only its client area.

#include "app/SelectDlg.h"

class CActiveWindowDlg : public CWhatSelectDlg {
public:
    explicit CActiveWindowDlg(SettingsStore& settings);
    std::unique_ptr<CWhatExecute> CreateExecute(int captureMouse) override;

protected:
    void Exchange(win::DataExchange& exchange) override;

private:
    int clientCapture = 0;
};
