#include "trigger/TimerExecute.h"

#include "trigger/WaitingWindow.h"

COnTimerExecute::COnTimerExecute(SettingsStore& settings, HWND mainWindow, const KeyArming& keys,
                                 const TimerSeries& series)
    : CKeyArmedExecute(settings, mainWindow, keys), series(series) {}

COnTimerWizardDlg* COnTimerExecute::ShowTimerPage(CWhatExecute* source) {
    if (!waitingWindow)
        return nullptr;
    auto page = std::make_unique<COnTimerWizardDlg>(*waitingWindow, Headline(source));
    if (!page->Create(waitingWindow->hwnd()))
        return nullptr;
    COnTimerWizardDlg* shown = page.get();
    waitingWindow->ShowPage(std::move(page));
    return shown;
}

COnTimerWizardDlg* COnTimerExecute::KeptPage() const {
    // The waiting window destroys its page whenever it shows another (the
    // control source does so at every pick): only its current page is alive.
    if (!keptPage || !waitingWindow)
        return nullptr;
    return dynamic_cast<COnTimerWizardDlg*>(waitingWindow->currentPage()) == keptPage ? keptPage : nullptr;
}

int COnTimerExecute::Begin(CWizardContainerDlg* window, CWhatExecute* source) {
    waitingWindow = window;
    // Not kept: it says "Timer has not been started yet." until the first capture.
    ShowTimerPage(source);
    ++captureCount;
    ArmKeyCapture();
    return 1;
}

COnTimerWizardDlg* COnTimerExecute::SeriesPage(CWizardContainerDlg* window, CWhatExecute* source) {
    waitingWindow = window;
    COnTimerWizardDlg* page = KeptPage();
    if (!page) {
        page = keptPage = ShowTimerPage(source);
        toldNoImage = false;
    }
    return page;
}

int COnTimerExecute::AfterCapture(CWizardContainerDlg* window, CWhatExecute* source) {
    COnTimerWizardDlg* page = SeriesPage(window, source);
    if (page && toldNoImage) {
        page->SetStatusText(std::string());
        toldNoImage = false;
    }
    // captureCount is k at the k-th capture: a limit of N takes exactly N.
    if (series.stopAfterCount && captureCount >= series.captureLimit)
        RequestEnd();
    else if (page)
        page->StartCountdown(mainWindow, series.interval,
                             series.stopAfterCount ? series.captureLimit - captureCount : 0);
    ++captureCount;
    return 1;
}

void COnTimerExecute::AfterNoImage(CWizardContainerDlg* window, CWhatExecute* source) {
    COnTimerWizardDlg* page = SeriesPage(window, source);
    if (!page)
        return;
    page->SetStatusText(NoImageText(source) + " It is taken again when the countdown ends.");
    toldNoImage = true;
    // captureCount is still this capture's number: the remaining shots include it.
    page->StartCountdown(mainWindow, series.interval,
                         series.stopAfterCount ? series.captureLimit - captureCount + 1 : 0);
}

int COnTimerExecute::End() {
    if (COnTimerWizardDlg* page = KeptPage())
        page->StopTimers();
    return CKeyArmedExecute::End();
}
