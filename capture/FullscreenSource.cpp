#include "capture/FullscreenSource.h"

#include "resources/resource.h"

CFullscreenDlg::CFullscreenDlg(SettingsStore& settings)
    : CWhatSelectDlg(IDD_FULLSCREEN, IDS_CAPTURE_WHOLE_SCREEN, settings) {}

std::unique_ptr<CWhatExecute> CFullscreenDlg::CreateExecute(int) {
    WriteLastSelection();
    return nullptr;
}
