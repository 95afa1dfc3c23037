#pragma once

// The timer trigger: the start combination takes the first capture, then a
// countdown on the timer waiting page takes one every interval, until the
// count is reached or the stop combination ends the series.

#include "trigger/KeyExecute.h"

class COnTimerWizardDlg;

struct TimerSeries {
    bool stopAfterCount = true;
    unsigned captureLimit = 1;
    unsigned interval = 1; // seconds
};

class COnTimerExecute : public CKeyArmedExecute {
public:
    COnTimerExecute(SettingsStore& settings, HWND mainWindow, const KeyArming& keys,
                    const TimerSeries& series);
    int Begin(CWizardContainerDlg* waitingWindow, CWhatExecute* source) override;
    int AfterCapture(CWizardContainerDlg* waitingWindow, CWhatExecute* source) override;
    int End() override;
    // The step is not counted: the countdown starts again for the same capture.
    void AfterNoImage(CWizardContainerDlg* waitingWindow, CWhatExecute* source) override;

private:
    // The page made after the first capture, while the waiting window still
    // shows it; none once another page has replaced (and destroyed) it.
    COnTimerWizardDlg* KeptPage() const;
    COnTimerWizardDlg* ShowTimerPage(CWhatExecute* source);
    // The kept page, made (and kept) when there is none.
    COnTimerWizardDlg* SeriesPage(CWizardContainerDlg* window, CWhatExecute* source);

    TimerSeries series;
    unsigned captureCount = 0;
    CWizardContainerDlg* waitingWindow = nullptr;
    COnTimerWizardDlg* keptPage = nullptr; // owned by the waiting window
    bool toldNoImage = false;              // the kept page says why a step gave nothing
};
