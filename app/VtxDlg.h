#pragma once

// The main window: three lists choosing what to capture, when, and where the
// result goes, each with the parameter page of its chosen entry beneath it;
// four options; three step pictures. Capture starts a session.

#include "app/CaptureSession.h"
#include "app/DialogPicture.h"
#include "app/Execute.h"
#include "app/SelectDlg.h"
#include "win/Dialog.h"

#include <memory>
#include <vector>

class SettingsStore;

class CVtxDlg : public win::Dialog {
public:
    CVtxDlg();
    ~CVtxDlg() override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnOK() override;
    // The close box or Escape during a session ends it first, so its
    // output is finished (an animation written), then the program ends.
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void Exchange(win::DataExchange& exchange) override;

    // Builds the three executors from the selected pages and saves the
    // options; false when the session cannot start.
    bool StartSession();

private:
    void SetCaptionFromVersion();
    void SetIcons();
    void AddPage(int listId, CSelectDlg& page);
    // Selects entry 0, then the entry the stored text begins with; the stored text.
    std::string RestoreSelection(int listId, UINT lastSelectionId);
    void RestoreOptions();
    void SaveOptions();
    // Shows the page of the list's selected entry in place of the list's current one.
    CSelectDlg* ShowSelectedPage(int listId, CSelectDlg* current);
    void OnPaint();
    void PaintIcon();
    void DrawStepPictures(HDC dc);

    int hide = 0;
    int mouse = 0;
    int preview = 1;
    int sound = 1;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    DialogPicture pictures[3];
    bool firstPaint = true;
    std::unique_ptr<SettingsStore> settings;
    // The running capture session, if any; made at the first Capture.
    std::unique_ptr<CCaptureSession> session;
    CWhatSelectDlg* currentWhat = nullptr;
    CHowSelectDlg* currentHow = nullptr;
    CToSelectDlg* currentTo = nullptr;
    std::vector<std::unique_ptr<CWhatSelectDlg>> whatPages;
    std::vector<std::unique_ptr<CHowSelectDlg>> howPages;
    std::vector<std::unique_ptr<CToSelectDlg>> toPages;
};
