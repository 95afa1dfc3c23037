#pragma once

// One capture session, from Capture to the end request: the three
// executors, the waiting window, the capture step with its flash and sound.
// Owned by the main window, which forwards MSG_CAPTURE and MSG_END_SESSION.
//
// Several calls dispatch messages while they work (the waiting window's
// hide, the sources' queue drain, the modal Result dialog), so both messages
// can arrive inside a running step. A step is never re-entered: a capture
// request meanwhile runs after the step, and an end request is carried out
// once the step has finished. Nothing is deleted while it is in use. Once the
// trigger has decided that the session ends, no capture request runs.
//
// The first capture the output could not store is reported at once, after
// its step; the session goes on, later losses are counted, and when the
// session ends one box gives their number with the first and the last.
// Any exception out of a step counts as such a loss. An output that tells
// its losses itself at Finish (the animation) gives a status line for the
// waiting window instead, and its one text after the session.

#include "app/Execute.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <string>

class CWizardContainerDlg;

struct SessionOptions {
    int hide = 0;
    int mouse = 0;
    int preview = 0;
    int sound = 0;
};

class CCaptureSession {
public:
    explicit CCaptureSession(HWND mainWindow);
    ~CCaptureSession();
    CCaptureSession(const CCaptureSession&) = delete;
    CCaptureSession& operator=(const CCaptureSession&) = delete;

    bool Running() const { return source_ != nullptr; }

    // Checks the three executors: when one is missing, says why ("Please
    // enter a file name!" when the output is the one) and deletes the others.
    // Otherwise keeps them; the caller saves the options and calls Begin.
    bool Accept(std::unique_ptr<CWhatExecute> source, std::unique_ptr<CHowExecute> trigger,
                std::unique_ptr<CToExecute> output);
    // Hides the main window when asked, shows the waiting window and arms the trigger.
    void Begin(const SessionOptions& options);

    void OnCapture();
    void OnEndSession();
    // The main window is closing: the session ends as on the stop
    // combination, without a preview on the way out. False when a step is
    // still running: the session then ends after it and closes the main
    // window again (IDCANCEL).
    bool EndForClose();
    // The mouse hook's reports while the control source picks a window:
    // the window under the pointer and the packed screen position.
    void OnPointer(UINT message, WPARAM window, LPARAM point);

    CWhatExecute* source() const { return source_.get(); }
    CWizardContainerDlg* waitingWindow() const { return waitingWindow_.get(); }

private:
    // Both return what to tell the user after the step: the session's first
    // lost capture, a notice.
    std::string CaptureStep();
    std::string TakeCapture();
    void Flash(const RECT& rect);
    std::string Store(BitmapHolder& bitmap);
    void End();
    // After a step of a session that goes on and that has something to tell
    // (a loss, a notice, a capture left out, no image): the waiting window is
    // back (unless the user hid it), with the output's word on the capture.
    void ShowWaitingAgain(const std::string& status);
    // Runs a trigger's or source's Begin or End; an exception out of it is
    // told at the end of the session, which it ends.
    template <typename Call> bool Guarded(Call call);
    // Whether capture requests are still taken.
    bool TakesCaptures() const;
    // A capture request that came while busy is asked for again.
    void RepostDeferredCapture();
    static std::string FailureText(const std::exception& error);
    // Counts a lost capture; returns the text to show now (the first only).
    std::string NoteLoss(const std::string& failure);
    // The box for losses not yet shown, at the session's end.
    void ReportLosses();

    HWND mainWindow_;
    SessionOptions options_;
    std::unique_ptr<CWizardContainerDlg> waitingWindow_;
    std::unique_ptr<CWhatExecute> source_;
    std::unique_ptr<CHowExecute> trigger_;
    std::unique_ptr<CToExecute> output_;
    bool busy_ = false;         // a step, the start or the end is running
    bool endRequested_ = false; // an end request arrived while busy
    bool inPointerHandler_ = false;
    bool buttonDownPending_ = false; // a click arrived inside a pointer handler
    HWND pendingPressWindow_ = nullptr;
    POINT pendingPressPoint_{};
    bool captureDeferred_ = false; // a capture request arrived while busy
    bool closing_ = false;         // the main window is closing: no preview at the end
    bool closeAfterEnd_ = false;   // the main window closes once the session has ended
    std::string status_;           // the output's word on the last capture, for the waiting page
    bool noImage_ = false;         // the last step's source gave no image
    std::string guardedFailure_;   // what a Begin or End threw, or why a last step took nothing
    int lossCount_ = 0;
    std::string firstLoss_;
    std::string lastLoss_;
};
