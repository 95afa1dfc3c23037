#include "trigger/TimerTrigger.h"

#include "resources/resource.h"

COnTimerDlg::COnTimerDlg(SettingsStore& settings)
    : CHowSelectDlg(IDD_ON_TIMER, IDS_CAPTURE_AFTER_SECONDS, settings) {}

std::unique_ptr<CHowExecute> COnTimerDlg::CreateExecute() {
    WriteLastSelection();
    return nullptr;
}
