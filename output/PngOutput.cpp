#include "output/PngOutput.h"

#include "output/FileExecute.h"
#include "resources/resource.h"

CPngDlg::CPngDlg(SettingsStore& settings)
    : CFileSelectDlg(IDD_PNG, IDS_SAVE_AS_PNG, settings, "PNG (*.png)|*.png", "png") {}

std::unique_ptr<CToExecute> CPngDlg::CreateExecute() {
    if (!WriteFileValues())
        return nullptr;
    WriteLastSelection();
    return std::make_unique<CPngExecute>(settings, TargetName());
}
