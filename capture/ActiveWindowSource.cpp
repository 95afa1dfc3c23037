#include "capture/ActiveWindowSource.h"

#include "capture/ScreenSources.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"

CActiveWindowDlg::CActiveWindowDlg(SettingsStore& settings)
    : CWhatSelectDlg(IDD_ACTIVE_WINDOW, IDS_CAPTURE_ACTIVE_WINDOW, settings) {
    if (wasLastSelection())
        clientCapture = settings.ReadNumber(IDS_CLIENT_CAPTURE);
}

void CActiveWindowDlg::Exchange(win::DataExchange& exchange) {
    exchange.Check(IDC_CLIENT_CAPTURE, clientCapture);
}

std::unique_ptr<CWhatExecute> CActiveWindowDlg::CreateExecute(int captureMouse) {
    settings.WriteNumber(IDS_CLIENT_CAPTURE, clientCapture);
    WriteLastSelection();
    return std::make_unique<CActiveWindowExecute>(settings, captureMouse, clientCapture);
}
