#pragma once

// The small always-on-top window shown during a capture session. It shows
// one page at a time (the key or timer trigger's page, or the control
// source's), hides itself before a grab and dodges the control the user
// points at by jumping between the four corners of the screen.

#include "win/Dialog.h"

#include <windows.h>

#include <ctime>
#include <memory>
#include <string>

class CWizardContainerDlg;

// A page of the waiting window. Pages are dialogs as well; the waiting
// window owns the one it shows.
class CWizardDlg {
public:
    virtual ~CWizardDlg() = default;
    virtual void SetStatusText(const std::string&) {}
    virtual win::Dialog& PageWindow() = 0;
    // Escape in the waiting window; true when the page took it.
    virtual bool Cancel() { return false; }
};

class CWizardContainerDlg : public win::Dialog {
public:
    CWizardContainerDlg();
    ~CWizardContainerDlg() override;

    // Makes the window (hidden, at the screen origin) owned by `owner`.
    bool Create(HWND owner);

    // Replaces the current page by `page`, whose window has already been
    // made as a child of this one.
    void ShowPage(std::unique_ptr<CWizardDlg> page);
    CWizardDlg* currentPage() const { return currentPage_.get(); }

    // Returns once the window is hidden and what it covered has repainted.
    void HideForCapture();
    // Shows the window at corner `index` (0 top-left, 1 bottom-left,
    // 2 bottom-right, 3 top-right).
    void MoveToCorner(int index);
    // Moves the window to a corner clear of `rect`, or hides it when none is.
    // True when it moved or hid the window.
    bool MoveAwayFrom(const RECT& rect);
    // The same before a grab of `rect`, for a window that is showing: a
    // hidden one stays hidden.
    void ClearForGrab(const RECT& rect);

    // Hidden on request (a page's Hide, or no free corner).
    bool hidden() const { return hidden_; }
    void HideOnRequest();
    int cornerIndex() const { return cornerIndex_; }
    const RECT& corner(int i) const { return corners_[i]; }
    // The window the pages report to: the main window.
    HWND Owner() const;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    // Enter on a page's focused button comes here from the dialog manager.
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnOK() override {}
    // Escape anywhere in the window goes to the page.
    void OnCancel() override;

private:
    // Routes keys typed into the window (Escape, Tab) through the dialog
    // manager, whichever loop fetches them.
    static LRESULT CALLBACK RouteDialogKeys(int code, WPARAM removal, LPARAM message);
    void ComputeCorners();
    void SendRequest(UINT message, WPARAM wParam, LPARAM lParam);
    RECT ScreenRect() const;

    bool hidden_ = false;
    std::unique_ptr<CWizardDlg> currentPage_;
    bool requestPending_ = false;
    RECT corners_[4]{};
    int cornerIndex_ = -1;
    bool dodging_ = false;
    HHOOK keyRoute_ = nullptr;
};

// Base of the pages with the buttons Capture, Hide and Cancel.
class CButtonWizardDlg : public win::Dialog, public CWizardDlg {
public:
    void SetStatusText(const std::string& text) override;
    win::Dialog& PageWindow() override { return *this; }
    bool Cancel() override;

protected:
    CButtonWizardDlg(UINT templateId, CWizardContainerDlg& container, std::string headline);
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnCancel() override;
    void Exchange(win::DataExchange& exchange) override;
    // The Capture button.
    virtual void OnCapture();
    void PostToMainWindow(UINT message);

    CWizardContainerDlg& container;
    std::string headline;
    std::string statusText;
};

// Waiting page of the key trigger: Capture posts a capture every time.
class COnKeyWizardDlg : public CButtonWizardDlg {
public:
    COnKeyWizardDlg(CWizardContainerDlg& container, std::string headline);
};

// Waiting page of the timer trigger, with its countdown.
class COnTimerWizardDlg : public CButtonWizardDlg {
public:
    COnTimerWizardDlg(CWizardContainerDlg& container, std::string headline);
    ~COnTimerWizardDlg() override;

    // Posts MSG_CAPTURE to `notifyWindow` after `seconds`; shows the
    // remaining time (and shots when `remainingShots` is not 0) meanwhile.
    void StartCountdown(HWND notifyWindow, unsigned seconds, unsigned remainingShots);
    void StopTimers();
    void ShowRemaining(unsigned seconds, unsigned shots);
    const std::string& countdown() const { return countdownText; }

protected:
    void OnCapture() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void Exchange(win::DataExchange& exchange) override;

private:
    std::string countdownText;
    bool captureRequested = false;
    HWND notifyWindow = nullptr;
    std::time_t endTime = 0;
    UINT_PTR intervalTimer = 0;
    UINT_PTR refreshTimer = 0;
    unsigned remainingShots = 0;
};

// Waiting page of the control source: only a prompt.
class CControlWizardDlg : public win::Dialog, public CWizardDlg {
public:
    CControlWizardDlg();
    win::Dialog& PageWindow() override { return *this; }

protected:
    void OnOK() override {}
    void OnCancel() override {}
};
