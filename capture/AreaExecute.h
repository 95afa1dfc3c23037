#pragma once

// The selected-area source: a hollow frame the user moves and resizes over
// the screen for the whole session; each capture takes what shows through
// its hole.

#include "app/Execute.h"
#include "win/Dialog.h"

#include <memory>

class CAreaDlg;

// Where the frame's hole is and what the user may change.
struct AreaValues {
    int fixedDimensions = 0;
    int fixedPosition = 0;
    int height = 100;
    int width = 100;
    int xPosition = 100;
    int yPosition = 100;
};

// The frame: a caption bar and a sizing border around a hole through which
// the live screen shows and takes clicks.
class CSelectAreaDlg : public win::Dialog {
public:
    CSelectAreaDlg(CWizardContainerDlg* waitingWindow, const AreaValues& area);
    // Makes the window and shows it on top of all others around the area.
    bool Open();
    // The hole in screen pixels.
    RECT Hole() const;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    void CutHole();
    void ShowCoordinates();
    // Places and sizes the frame so that its hole is `hole`.
    void FitAround(const RECT& hole);

    CWizardContainerDlg* waitingWindow;
    int fixedDimensions;
    int fixedPosition;
    RECT typed; // the area the page asked for
    // The window's place and size at creation: the locks hold it there.
    int x, y, windowWidth, windowHeight;
};

class CAreaExecute : public CWhatExecute {
public:
    CAreaExecute(SettingsStore& settings, int captureMouse, CAreaDlg& page, const AreaValues& area);
    ~CAreaExecute() override;
    int Begin(CWizardContainerDlg* waitingWindow) override;
    bool Capture(BitmapHolder& bitmap, RECT& capturedRect, CWizardContainerDlg* waitingWindow) override;
    void Describe(std::string& text) override;
    void End() override;

private:
    CAreaDlg& page;
    AreaValues area;
    CWizardContainerDlg* waitingWindow = nullptr;
    std::unique_ptr<CSelectAreaDlg> frame;
};
