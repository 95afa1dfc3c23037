#include "output/PngOutput.h"

#include "resources/resource.h"

CPngDlg::CPngDlg(SettingsStore& settings) : CToSelectDlg(IDD_PNG, IDS_SAVE_AS_PNG, settings) {}

std::unique_ptr<CToExecute> CPngDlg::CreateExecute() {
    WriteLastSelection();
    return nullptr;
}
