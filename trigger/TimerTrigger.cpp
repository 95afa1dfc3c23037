#include "trigger/TimerTrigger.h"

#include "resources/resource.h"
#include "settings/SettingsStore.h"
#include "trigger/TimerExecute.h"

namespace {
constexpr unsigned kMaxSeconds = 3600;
constexpr unsigned kMaxCaptures = 10000;
} // namespace

COnTimerDlg::COnTimerDlg(SettingsStore& settings)
    : CKeyEntryPage(IDD_ON_TIMER, IDS_CAPTURE_AFTER_SECONDS, settings) {
    if (!wasLastSelection())
        return;
    ReadStart();
    stopKeyRadio = settings.ReadNumber(IDS_STOP_KEY_RADIO);
    numberOfCaptures = settings.ReadNumber(IDS_NUMBER_OF_CAPTURES);
    seconds = settings.ReadNumber(IDS_SECONDS);
    ReadStop();
}

void COnTimerDlg::Exchange(win::DataExchange& exchange) {
    CKeyEntryPage::Exchange(exchange);
    // Seconds are checked first; either refusal stops the capture.
    exchange.Int(IDC_SECONDS, seconds, 1, kMaxSeconds);
    exchange.Int(IDC_CAPTURES, numberOfCaptures, 1, kMaxCaptures);
}

void COnTimerDlg::UpdateEnabling() {
    CKeyEntryPage::UpdateEnabling();
    EnableWindow(Item(IDC_CAPTURES), CheckedStopRule() != IDC_STOP_AFTER_KEY);
}

std::unique_ptr<CHowExecute> COnTimerDlg::CreateExecute() {
    if (RefuseIncomplete())
        return nullptr;
    const int rule = CheckedStopRule();
    WriteStart();
    settings.WriteNumber(IDS_STOP_KEY_RADIO, rule);
    settings.WriteNumber(IDS_NUMBER_OF_CAPTURES, numberOfCaptures);
    settings.WriteNumber(IDS_SECONDS, seconds);
    WriteStop();
    WriteLastSelection();
    TimerSeries series;
    series.stopAfterCount = rule == IDC_STOP_AFTER_CAPTURE;
    series.captureLimit = static_cast<unsigned>(numberOfCaptures);
    series.interval = static_cast<unsigned>(seconds);
    return std::make_unique<COnTimerExecute>(settings, MainWindow(), KeyArming{start, stop}, series);
}
