#include "capture/ControlSource.h"

#include "capture/ControlExecute.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"

CControlDlg::CControlDlg(SettingsStore& settings)
    : CWhatSelectDlg(IDD_CONTROL, IDS_CAPTURE_CONTROL, settings) {
    if (wasLastSelection())
        scroll = settings.ReadNumber(IDS_SCROLL);
}

void CControlDlg::Exchange(win::DataExchange& exchange) {
    exchange.Check(IDC_SCROLL, scroll);
}

std::unique_ptr<CWhatExecute> CControlDlg::CreateExecute(int captureMouse) {
    settings.WriteNumber(IDS_SCROLL, scroll);
    WriteLastSelection();
    // The main window, parent of this page, receives the hook's reports.
    return std::make_unique<CControlExecute>(settings, captureMouse, GetParent(hwnd()), scroll);
}
