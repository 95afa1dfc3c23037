#include "output/GifOutput.h"

#include "resources/resource.h"

CGifDlg::CGifDlg(SettingsStore& settings) : CToSelectDlg(IDD_GIF, IDS_SAVE_AS_GIF, settings) {}

std::unique_ptr<CToExecute> CGifDlg::CreateExecute() {
    WriteLastSelection();
    return nullptr;
}
