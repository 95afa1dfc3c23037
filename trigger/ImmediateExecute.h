#pragma once

// The immediate trigger: one capture as soon as the session has started.

#include "app/Execute.h"

class CImmediateExecute : public CHowExecute {
public:
    using CHowExecute::CHowExecute;
    int AfterCapture(CWizardContainerDlg* waitingWindow, CWhatExecute* source) override;
    int Begin(CWizardContainerDlg* waitingWindow, CWhatExecute* source) override;
    // Nothing fires after the one capture request.
    bool WaitsForEvents() const override { return false; }
};
