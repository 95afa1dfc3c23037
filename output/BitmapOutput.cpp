#include "output/BitmapOutput.h"

#include "output/FileExecute.h"
#include "resources/resource.h"

CBitmapDlg::CBitmapDlg(SettingsStore& settings)
    : CFileSelectDlg(IDD_BITMAP, IDS_SAVE_AS_BITMAP, settings, "Bitmap (*.bmp)|*.bmp", "bmp") {}

std::unique_ptr<CToExecute> CBitmapDlg::CreateExecute() {
    if (!WriteFileValues())
        return nullptr;
    WriteLastSelection();
    return std::make_unique<CBitmapExecute>(settings, TargetName());
}
