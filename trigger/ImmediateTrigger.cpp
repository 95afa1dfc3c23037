#include "trigger/ImmediateTrigger.h"

#include "resources/resource.h"

CImmediateDlg::CImmediateDlg(SettingsStore& settings)
    : CHowSelectDlg(IDD_IMMEDIATE, IDS_CAPTURE_IMMEDIATELY, settings) {}

std::unique_ptr<CHowExecute> CImmediateDlg::CreateExecute() {
    WriteLastSelection();
    return nullptr;
}
