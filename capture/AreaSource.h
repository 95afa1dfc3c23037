#pragma once

// The selected-area source's page: where the frame opens and how large it
// is, and whether the user may move or resize it.

#include "app/SelectDlg.h"
#include "capture/AreaExecute.h"

class CAreaDlg : public CWhatSelectDlg {
public:
    explicit CAreaDlg(SettingsStore& settings);
    std::unique_ptr<CWhatExecute> CreateExecute(int captureMouse) override;
    // Takes the area just captured, so the frame opens there next time.
    void ShowArea(int x, int y, int width, int height);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void Exchange(win::DataExchange& exchange) override;

private:
    // Each check box enables the two fields beneath it.
    void UpdateEnabling();

    AreaValues area;
};
