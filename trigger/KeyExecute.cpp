#include "trigger/KeyExecute.h"

#include "trigger/SnippingNotice.h"
#include "trigger/WaitingWindow.h"
#include "win/HookLibrary.h"

CKeyArmedExecute::CKeyArmedExecute(SettingsStore& settings, HWND mainWindow, const KeyArming& keys)
    : CHowExecute(settings, mainWindow), keys(keys) {}

void CKeyArmedExecute::ArmKeyCapture() {
    const KeyCombination& start = keys.start;
    const KeyCombination& stop = keys.stop;
    win::HookLibrary::Call(
        "attachKeyCapture", mainWindow, static_cast<UINT>(start.keyCode), static_cast<UINT>(start.shift),
        static_cast<UINT>(start.ctrl), static_cast<UINT>(start.alt), static_cast<UINT>(stop.keyCode),
        static_cast<UINT>(stop.shift), static_cast<UINT>(stop.ctrl), static_cast<UINT>(stop.alt));
    const bool armsPrintScreen = start.keyCode == static_cast<int>(snipping::kPrintScreen) ||
                                 (!stop.name.empty() && stop.keyCode == static_cast<int>(snipping::kPrintScreen));
    snipping::TellIfWindowsTakesTheKey(mainWindow, armsPrintScreen);
}

int CKeyArmedExecute::End() {
    win::HookLibrary::Call("detachKeyCapture");
    return 1;
}

std::string CKeyArmedExecute::NoImageText(CWhatExecute* source) {
    return "The last capture gave no image: " + source->NoImageReason() + ".";
}

void CKeyArmedExecute::AfterNoImage(CWizardContainerDlg* waitingWindow, CWhatExecute* source) {
    if (waitingWindow && waitingWindow->currentPage())
        waitingWindow->currentPage()->SetStatusText(NoImageText(source));
}

std::string CKeyArmedExecute::Headline(CWhatExecute* source) const {
    std::string description;
    if (source)
        source->Describe(description);
    return "\"" + keys.start.name + "\" " + description;
}

COnKeyExecute::COnKeyExecute(SettingsStore& settings, HWND mainWindow, const KeyArming& keys,
                             bool stopAfterFirst)
    : CKeyArmedExecute(settings, mainWindow, keys), stopAfterFirst(stopAfterFirst) {}

void COnKeyExecute::ShowWaitingPage(CWizardContainerDlg* waitingWindow, CWhatExecute* source) {
    if (!waitingWindow)
        return;
    auto page = std::make_unique<COnKeyWizardDlg>(*waitingWindow, Headline(source));
    if (page->Create(waitingWindow->hwnd()))
        waitingWindow->ShowPage(std::move(page));
}

int COnKeyExecute::Begin(CWizardContainerDlg* waitingWindow, CWhatExecute* source) {
    ShowWaitingPage(waitingWindow, source);
    ArmKeyCapture();
    return 1;
}

int COnKeyExecute::AfterCapture(CWizardContainerDlg* waitingWindow, CWhatExecute* source) {
    ShowWaitingPage(waitingWindow, source);
    if (stopAfterFirst)
        RequestEnd();
    return 1;
}
