#include "output/AnimatedGifOutput.h"

#include "resources/resource.h"
#include "settings/SettingsStore.h"

CAnimatedGifDlg::CAnimatedGifDlg(SettingsStore& settings)
    : CFileSelectDlg(IDD_ANIMATED_GIF, IDS_SAVE_AS_ANIMATED_GIF, settings, "GIF (*.gif)|*.gif", "gif") {
    if (wasLastSelection())
        delay = settings.ReadNumber(IDS_DELAY);
}

void CAnimatedGifDlg::Exchange(win::DataExchange& exchange) {
    CFileSelectDlg::Exchange(exchange);
    exchange.Int(IDC_DELAY, delay);
}

std::unique_ptr<CToExecute> CAnimatedGifDlg::CreateExecute() {
    if (!WriteFileValues())
        return nullptr;
    settings.WriteNumber(IDS_DELAY, delay);
    WriteLastSelection();
    return nullptr;
}
