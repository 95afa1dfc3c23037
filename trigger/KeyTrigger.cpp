#include "trigger/KeyTrigger.h"

#include "resources/resource.h"

COnKeyDlg::COnKeyDlg(SettingsStore& settings) : CHowSelectDlg(IDD_ON_KEY, IDS_CAPTURE_AFTER_KEY, settings) {}

std::unique_ptr<CHowExecute> COnKeyDlg::CreateExecute() {
    WriteLastSelection();
    return nullptr;
}
