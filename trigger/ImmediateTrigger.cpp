#include "trigger/ImmediateTrigger.h"

#include "resources/resource.h"
#include "trigger/ImmediateExecute.h"

CImmediateDlg::CImmediateDlg(SettingsStore& settings)
    : CHowSelectDlg(IDD_IMMEDIATE, IDS_CAPTURE_IMMEDIATELY, settings) {}

std::unique_ptr<CHowExecute> CImmediateDlg::CreateExecute() {
    WriteLastSelection();
    return std::make_unique<CImmediateExecute>(settings, MainWindow());
}
