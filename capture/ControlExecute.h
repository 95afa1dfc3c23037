#pragma once

// The control source: the user points at any window of the desktop (a
// button, a list, a pane), which is outlined by an inverted frame while the
// pointer moves, and clicks to capture it. The mouse hook swallows the moves
// and clicks and reports them to the main window, which hands them here.

#include "app/Execute.h"

class CControlExecute : public CWhatExecute {
public:
    // `mainWindow` receives the hook's reports and the click's capture request.
    CControlExecute(SettingsStore& settings, int captureMouse, HWND mainWindow, int scroll);
    // The first call starts a pick and yields no image; the one after the click takes it.
    bool Capture(BitmapHolder& bitmap, RECT& capturedRect, CWizardContainerDlg* waitingWindow) override;
    void Describe(std::string& text) override;
    void End() override;

    void OnPointerMove();
    void OnButtonUp() {}
    // `pressed` and `at` come with the press: the window under the pointer and
    // the pointer's screen position at that moment.
    void OnButtonDown(HWND pressed, POINT at);

    // Whether the next capture request will start a pick rather than take an image.
    bool WaitingForPick() const override { return startPick == 0; }

private:
    // Draws the outline of `pickedRect`, or erases the one drawn: the same
    // strips inverted again, with the same part left out.
    void ToggleFrame();
    bool PlanFrame();
    void InvertFrame(HDC display);

    HWND mainWindow;
    int scroll;
    int startPick = 1;
    RECT pickedRect{};
    HWND pickedWindow = nullptr;
    int tracking = 0;
    bool clicked = false; // the press decided the pick; later moves change nothing
    bool frameShown = false;
    // The outline on the screen: its strips and the waiting window's place,
    // which the strips skip.
    RECT frameStrips[4]{};
    RECT frameSkipped{};
    bool frameSkips = false;
    CWizardContainerDlg* waitingWindow = nullptr;
};
