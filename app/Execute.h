#pragma once

// The executors of one capture session: a source (what), a trigger (when)
// and an output (where). The selected pages build them on Capture; the main
// window owns them for the session and deletes them through these bases.

#include "win/Handles.h"

#include <windows.h>

#include <string>

class SettingsStore;
class CWizardContainerDlg;

// The captured image of one capture step: a display-compatible bitmap.
using BitmapHolder = win::GdiObject<HBITMAP>;

class CWhatExecute {
public:
    CWhatExecute(SettingsStore& settings, int captureMouse)
        : settings(settings), captureMouse(captureMouse) {}
    // Grabs one image into `bitmap` and reports the screen rectangle it shows;
    // false when this call produced no image.
    virtual bool Capture(BitmapHolder& bitmap, RECT& capturedRect, CWizardContainerDlg* waitingWindow) = 0;
    virtual ~CWhatExecute() = default;
    virtual int Begin(CWizardContainerDlg*) { return 0; }
    // One sentence saying what this source captures.
    virtual void Describe(std::string& text) = 0;
    virtual void End() {}
    // True while a Capture without an image only started a pick that will
    // ask for the capture itself (the control source).
    virtual bool WaitingForPick() const { return false; }
    // Why the last Capture gave no image, as the end of a sentence for the user.
    virtual std::string NoImageReason() const {
        return "what it captures lay outside the screen, or the screen could not be read";
    }

protected:
    SettingsStore& settings;
    int captureMouse;
};

class CHowExecute {
public:
    // `mainWindow` receives the trigger's capture and end-of-session messages.
    CHowExecute(SettingsStore& settings, HWND mainWindow) : settings(settings), mainWindow(mainWindow) {}
    virtual int AfterCapture(CWizardContainerDlg* waitingWindow, CWhatExecute* source) = 0;
    virtual int Begin(CWizardContainerDlg* waitingWindow, CWhatExecute* source) = 0;
    virtual int End() { return 1; }
    virtual ~CHowExecute() = default;
    // False for a trigger that fires once by itself and then has nothing to
    // wait for: a step without an image must then end the session.
    virtual bool WaitsForEvents() const { return true; }
    // A capture step gave no image (and started no pick): AfterCapture does
    // not follow, so a trigger that goes on by itself must do so from here.
    virtual void AfterNoImage(CWizardContainerDlg*, CWhatExecute*) {}
    // True once this trigger has asked for the end of the session (its last
    // capture is taken): no capture request may run after that, even one
    // that was queued before the end request.
    bool EndDecided() const { return endDecided; }

protected:
    // Asks the main window to end the session.
    void RequestEnd();

    SettingsStore& settings;
    HWND mainWindow;

private:
    bool endDecided = false;
};

class CToExecute {
public:
    explicit CToExecute(SettingsStore& settings) : settings(settings) {}
    // True when the image was stored.
    virtual bool Store(BitmapHolder& bitmap) = 0;
    // Stores the image, after the user accepted it when `preview` is on.
    virtual bool StoreWithPreview(HWND owner, BitmapHolder& bitmap, int preview);
    virtual ~CToExecute() = default;
    virtual bool Finish(HWND, int) { return true; }
    // What went wrong in the last Store, in words for the user ("Could not
    // save shot0003.png: ..."); empty when nothing did.
    const std::string& LastFailure() const { return lastFailure; }
    // Something the user should know that lost nothing (a first file kept
    // under the entered name); empty when there is none.
    const std::string& LastNotice() const { return lastNotice; }
    // A line for the waiting window about the last Store, for an output
    // that tells its losses once, at Finish (a capture left out of an
    // animation); empty when there is none.
    const std::string& LastStatus() const { return lastStatus; }
    // Forgets the texts of the last Store, so that what follows says only its own.
    void ClearReports() {
        lastFailure.clear();
        lastNotice.clear();
        lastStatus.clear();
    }

protected:
    SettingsStore& settings;
    std::string lastFailure;
    std::string lastNotice;
    std::string lastStatus;
};
