#pragma once

// The animated GIF output's page: the file name and the delay between frames.

#include "output/FilePage.h"

class CAnimatedGifDlg : public CFileSelectDlg {
public:
    explicit CAnimatedGifDlg(SettingsStore& settings);
    std::unique_ptr<CToExecute> CreateExecute() override;

protected:
    void Exchange(win::DataExchange& exchange) override;

private:
    // Hundredths of a second.
    int delay = 100;
};
