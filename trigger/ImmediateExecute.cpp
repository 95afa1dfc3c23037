#include "trigger/ImmediateExecute.h"

#include "app/Messages.h"
#include "trigger/WaitingWindow.h"

int CImmediateExecute::Begin(CWizardContainerDlg* waitingWindow, CWhatExecute*) {
    if (waitingWindow)
        waitingWindow->HideForCapture();
    // Posted: the capture runs from the main window's loop, after the source's Begin.
    PostMessageA(mainWindow, MSG_CAPTURE, 0, 0);
    return 1;
}

int CImmediateExecute::AfterCapture(CWizardContainerDlg*, CWhatExecute*) {
    RequestEnd();
    return 1;
}
