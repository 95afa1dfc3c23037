#include "capture/FullscreenSource.h"

#include "capture/ScreenSources.h"
#include "resources/resource.h"

CFullscreenDlg::CFullscreenDlg(SettingsStore& settings)
    : CWhatSelectDlg(IDD_FULLSCREEN, IDS_CAPTURE_WHOLE_SCREEN, settings) {}

std::unique_ptr<CWhatExecute> CFullscreenDlg::CreateExecute(int captureMouse) {
    WriteLastSelection();
    return std::make_unique<CFullscreenExecute>(settings, captureMouse);
}
