#pragma once

// The whole-screen and the active-window sources' executors.

#include "app/Execute.h"

class CFullscreenExecute : public CWhatExecute {
public:
    using CWhatExecute::CWhatExecute;
    bool Capture(BitmapHolder& bitmap, RECT& capturedRect, CWizardContainerDlg* waitingWindow) override;
    void Describe(std::string& text) override;
};

// Why the active window cannot be captured although it is the foreground
// window, from Windows' answers (IsIconic, and the compositor's cloaked
// attribute with its result); none when it can.
const char* ActiveWindowOffScreen(BOOL iconic, HRESULT cloakedResult, DWORD cloaked);

class CActiveWindowExecute : public CWhatExecute {
public:
    CActiveWindowExecute(SettingsStore& settings, int captureMouse, int clientCapture);
    bool Capture(BitmapHolder& bitmap, RECT& capturedRect, CWizardContainerDlg* waitingWindow) override;
    void Describe(std::string& text) override;
    std::string NoImageReason() const override {
        return !lastWhy.empty() ? lastWhy : "no window was in front, or the one in front lay outside the screen";
    }

private:
    int clientCapture;
    bool saidWhy = false; // the waiting page tells why the last capture took nothing
    std::string lastWhy;  // that reason when the window in front was minimised or cloaked
};
