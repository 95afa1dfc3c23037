#include "output/GifOutput.h"

#include "output/FileExecute.h"
#include "resources/resource.h"

CGifDlg::CGifDlg(SettingsStore& settings)
    : CFileSelectDlg(IDD_GIF, IDS_SAVE_AS_GIF, settings, "GIF (*.gif)|*.gif", "gif") {}

std::unique_ptr<CToExecute> CGifDlg::CreateExecute() {
    if (!WriteFileValues())
        return nullptr;
    WriteLastSelection();
    return std::make_unique<CGifExecute>(settings, TargetName());
}
