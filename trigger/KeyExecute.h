#pragma once

// Triggers armed with key combinations: the keyboard hook reports the start
// combination as a capture and the stop combination as the session's end,
// in any program of the desktop.

#include "app/Execute.h"
#include "trigger/KeyEntryPage.h"

#include <string>

// The two combinations a session is armed with.
struct KeyArming {
    KeyCombination start;
    KeyCombination stop;
};

// Base of the key and timer executors: arming and disarming the hook, and
// the waiting pages' headline.
class CKeyArmedExecute : public CHowExecute {
public:
    CKeyArmedExecute(SettingsStore& settings, HWND mainWindow, const KeyArming& keys);
    int End() override;
    // Says on the waiting page why the step gave nothing.
    void AfterNoImage(CWizardContainerDlg* waitingWindow, CWhatExecute* source) override;

protected:
    void ArmKeyCapture();
    static std::string NoImageText(CWhatExecute* source);
    // A double quote, the start name, a double quote and a blank, then what the source captures.
    std::string Headline(CWhatExecute* source) const;

    KeyArming keys;
};

class COnKeyExecute : public CKeyArmedExecute {
public:
    COnKeyExecute(SettingsStore& settings, HWND mainWindow, const KeyArming& keys, bool stopAfterFirst);
    int Begin(CWizardContainerDlg* waitingWindow, CWhatExecute* source) override;
    int AfterCapture(CWizardContainerDlg* waitingWindow, CWhatExecute* source) override;

private:
    void ShowWaitingPage(CWizardContainerDlg* waitingWindow, CWhatExecute* source);

    bool stopAfterFirst;
};
