#include "output/JpgOutput.h"

#include "output/FileExecute.h"
#include "resources/resource.h"

CJpgDlg::CJpgDlg(SettingsStore& settings)
    : CFileSelectDlg(IDD_JPG, IDS_SAVE_AS_JPEG, settings, "JPG (*.jpg)|*.jpg", "jpg") {}

std::unique_ptr<CToExecute> CJpgDlg::CreateExecute() {
    if (!WriteFileValues())
        return nullptr;
    WriteLastSelection();
    return std::make_unique<CJpgExecute>(settings, TargetName());
}
