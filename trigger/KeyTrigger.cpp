#include "trigger/KeyTrigger.h"

#include "resources/resource.h"
#include "settings/SettingsStore.h"
#include "trigger/KeyExecute.h"

COnKeyDlg::COnKeyDlg(SettingsStore& settings) : CKeyEntryPage(IDD_ON_KEY, IDS_CAPTURE_AFTER_KEY, settings) {
    if (!wasLastSelection())
        return;
    ReadStart();
    stopKeyRadio = settings.ReadNumber(IDS_STOP_KEY_RADIO);
    ReadStop();
}

std::unique_ptr<CHowExecute> COnKeyDlg::CreateExecute() {
    if (RefuseIncomplete())
        return nullptr;
    const int rule = CheckedStopRule();
    WriteStart();
    settings.WriteNumber(IDS_STOP_KEY_RADIO, rule);
    WriteStop();
    WriteLastSelection();
    return std::make_unique<COnKeyExecute>(settings, MainWindow(), KeyArming{start, stop},
                                           rule == IDC_STOP_AFTER_CAPTURE);
}
