#include "output/JpgOutput.h"

#include "resources/resource.h"

CJpgDlg::CJpgDlg(SettingsStore& settings) : CToSelectDlg(IDD_JPG, IDS_SAVE_AS_JPEG, settings) {}

std::unique_ptr<CToExecute> CJpgDlg::CreateExecute() {
    WriteLastSelection();
    return nullptr;
}
