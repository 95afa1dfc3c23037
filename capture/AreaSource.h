#pragma once

// The selected-area source's page: where the frame opens and how large it
// is, and whether the user may move or resize it.

#include "app/SelectDlg.h"

class CAreaDlg : public CWhatSelectDlg {
public:
    explicit CAreaDlg(SettingsStore& settings);
    std::unique_ptr<CWhatExecute> CreateExecute(int captureMouse) override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void Exchange(win::DataExchange& exchange) override;

private:
    // Each check box enables the two fields beneath it.
    void UpdateEnabling();

    int fixedDimensions = 0;
    int fixedPosition = 0;
    int height = 100;
    int width = 100;
    int xPosition = 100;
    int yPosition = 100;
};
