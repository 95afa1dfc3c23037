#include "output/AnimatedGifOutput.h"

#include "resources/resource.h"

CAnimatedGifDlg::CAnimatedGifDlg(SettingsStore& settings)
    : CToSelectDlg(IDD_ANIMATED_GIF, IDS_SAVE_AS_ANIMATED_GIF, settings) {}

std::unique_ptr<CToExecute> CAnimatedGifDlg::CreateExecute() {
    WriteLastSelection();
    return nullptr;
}
