#include "app/PageRegistry.h"

#include "capture/ActiveWindowSource.h"
#include "capture/AreaSource.h"
#include "capture/ControlSource.h"
#include "capture/FullscreenSource.h"
#include "output/AnimatedGifOutput.h"
#include "output/BitmapOutput.h"
#include "output/ClipboardOutput.h"
#include "output/GifOutput.h"
#include "output/JpgOutput.h"
#include "output/PngOutput.h"
#include "trigger/ImmediateTrigger.h"
#include "trigger/KeyTrigger.h"
#include "trigger/TimerTrigger.h"

namespace {

template <typename Base, typename... Pages>
std::vector<std::unique_ptr<Base>> MakePages(SettingsStore& settings) {
    std::vector<std::unique_ptr<Base>> pages;
    (pages.push_back(std::make_unique<Pages>(settings)), ...);
    return pages;
}

} // namespace

std::vector<std::unique_ptr<CWhatSelectDlg>> MakeWhatPages(SettingsStore& settings) {
    return MakePages<CWhatSelectDlg, CFullscreenDlg, CActiveWindowDlg, CAreaDlg, CControlDlg>(settings);
}

std::vector<std::unique_ptr<CHowSelectDlg>> MakeHowPages(SettingsStore& settings) {
    return MakePages<CHowSelectDlg, COnKeyDlg, CImmediateDlg, COnTimerDlg>(settings);
}

std::vector<std::unique_ptr<CToSelectDlg>> MakeToPages(SettingsStore& settings) {
    return MakePages<CToSelectDlg, CBitmapDlg, CClipboardDlg, CAnimatedGifDlg, CGifDlg, CJpgDlg, CPngDlg>(
        settings);
}
