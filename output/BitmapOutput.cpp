#include "output/BitmapOutput.h"

#include "resources/resource.h"

CBitmapDlg::CBitmapDlg(SettingsStore& settings) : CToSelectDlg(IDD_BITMAP, IDS_SAVE_AS_BITMAP, settings) {}

std::unique_ptr<CToExecute> CBitmapDlg::CreateExecute() {
    WriteLastSelection();
    return nullptr;
}
