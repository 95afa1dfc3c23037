#pragma once

// The whole-screen and the active-window sources' executors.

#include "app/Execute.h"

class CFullscreenExecute : public CWhatExecute {
public:
    using CWhatExecute::CWhatExecute;
    bool Capture(BitmapHolder& bitmap, RECT& capturedRect, CWizardContainerDlg* waitingWindow) override;
    void Describe(std::string& text) override;
};

class CActiveWindowExecute : public CWhatExecute {
public:
    CActiveWindowExecute(SettingsStore& settings, int captureMouse, int clientCapture);
    bool Capture(BitmapHolder& bitmap, RECT& capturedRect, CWizardContainerDlg* waitingWindow) override;
    void Describe(std::string& text) override;
    std::string NoImageReason() const override {
        return "no window was in front, or the one in front lay outside the screen";
    }

private:
    int clientCapture;
};
