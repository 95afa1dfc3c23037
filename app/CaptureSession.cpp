#include "app/CaptureSession.h"

#include "app/Messages.h"
#include "app/ScreenEffects.h"
#include "capture/ControlExecute.h"
#include "capture/OwnBoxes.h"
#include "resources/resource.h"
#include "trigger/WaitingWindow.h"
#include "win/FileError.h"

#include <new>

namespace {

constexpr DWORD kFlashAfterSoundMilliseconds = 50;
constexpr DWORD kFlashWithoutSoundMilliseconds = 150;

// The hook packs the screen position as two signed 16-bit words.
POINT ScreenPoint(LPARAM packed) {
    return POINT{static_cast<SHORT>(LOWORD(packed)), static_cast<SHORT>(HIWORD(packed))};
}

// Marks the session busy for a scope, also when an exception leaves it.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

void Tell(HWND owner, const std::string& text) {
    ownboxes::OpenBox open;
    MessageBoxA(owner, text.c_str(), "Vistrel", MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
}

} // namespace

template <typename Call> bool CCaptureSession::Guarded(Call call) {
    try {
        call();
        return true;
    } catch (const std::exception& error) {
        if (guardedFailure_.empty())
            guardedFailure_ = std::string("The capture session had to end: ") +
                              (dynamic_cast<const std::bad_alloc*>(&error) ? "Out of memory." : error.what());
        return false;
    }
}

CCaptureSession::CCaptureSession(HWND mainWindow) : mainWindow_(mainWindow) {}

CCaptureSession::~CCaptureSession() {
    // The main window closes during a session: stop what reaches outside
    // (key capture, timers, area window) before everything goes.
    if (Running() && !busy_) {
        source_->End();
        trigger_->End();
    }
    source_.reset();
    trigger_.reset();
    output_.reset();
    waitingWindow_.reset();
}

bool CCaptureSession::Accept(std::unique_ptr<CWhatExecute> source, std::unique_ptr<CHowExecute> trigger,
                             std::unique_ptr<CToExecute> output) {
    if (Running())
        return false;
    if (source && trigger && output) {
        source_ = std::move(source);
        trigger_ = std::move(trigger);
        output_ = std::move(output);
        return true;
    }
    if (output)
        output.reset();
    else
        MessageBoxA(mainWindow_, "Please enter a file name!", "Error", MB_OK | MB_ICONERROR);
    trigger.reset();
    source.reset();
    return false;
}

void CCaptureSession::Begin(const SessionOptions& options) {
    if (!Running())
        return;
    options_ = options;
    lossCount_ = 0;
    captureDeferred_ = false;
    {
        BusyScope busy(busy_);
        if (options_.hide)
            ShowWindow(mainWindow_, SW_HIDE);
        waitingWindow_ = std::make_unique<CWizardContainerDlg>();
        if (waitingWindow_->Create(mainWindow_))
            SetWindowPos(waitingWindow_->hwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        // A trigger or source that cannot start ends the session: nothing
        // would ever bring the main window back.
        if (!Guarded([&] { trigger_->Begin(waitingWindow_.get(), source_.get()); }) ||
            !Guarded([&] { source_->Begin(waitingWindow_.get()); }))
            endRequested_ = true;
    }
    if (endRequested_)
        End();
    RepostDeferredCapture();
}

bool CCaptureSession::TakesCaptures() const {
    return Running() && !endRequested_ && !trigger_->EndDecided();
}

void CCaptureSession::RepostDeferredCapture() {
    if (!captureDeferred_)
        return;
    captureDeferred_ = false;
    // Posted rather than run here: an end request queued meanwhile (the stop
    // combination) keeps its place in line.
    if (TakesCaptures())
        PostMessageA(mainWindow_, MSG_CAPTURE, 0, 0);
}

void CCaptureSession::OnCapture() {
    if (!TakesCaptures())
        return;
    // A start press during a step (or a click's request dispatched inside a
    // pointer handler) is not lost: it runs once the step is over.
    if (busy_) {
        captureDeferred_ = true;
        return;
    }
    // A box of ours that a grab would take: the capture runs once it closes
    // (the request is posted again after the box).
    if (!ownboxes::MayCaptureNow()) {
        captureDeferred_ = true;
        return;
    }
    const std::string lost = CaptureStep();
    // The trigger's end request is already queued, but a capture request may
    // stand before it: the session ends now, so none of those runs.
    if (trigger_->EndDecided())
        endRequested_ = true;
    if (endRequested_)
        End();
    else if (!lost.empty() || !status_.empty() || noImage_)
        ShowWaitingAgain(status_);
    // Shown once the step is over, so the session goes on behind the box.
    if (!lost.empty())
        Tell(mainWindow_, lost);
    RepostDeferredCapture();
}

void CCaptureSession::OnEndSession() {
    if (!Running())
        return;
    if (busy_) {
        endRequested_ = true;
        return;
    }
    End();
}

bool CCaptureSession::EndForClose() {
    if (!Running())
        return true;
    closing_ = true;
    if (busy_) {
        endRequested_ = true;
        closeAfterEnd_ = true;
        return false;
    }
    End();
    return true;
}

void CCaptureSession::ShowWaitingAgain(const std::string& status) {
    HWND waiting = waitingWindow_ ? waitingWindow_->hwnd() : nullptr;
    if (!Running() || !waiting)
        return;
    if (!status.empty() && waitingWindow_->currentPage())
        waitingWindow_->currentPage()->SetStatusText(status);
    // A grab hid it: without it a hidden main window leaves no sign that the
    // session still runs, nor a Cancel. One the user hid stays hidden.
    if (!waitingWindow_->hidden() && !IsWindowVisible(waiting))
        SetWindowPos(waiting, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void CCaptureSession::OnPointer(UINT message, WPARAM window, LPARAM point) {
    auto* control = dynamic_cast<CControlExecute*>(source_.get());
    if (!control)
        return;
    if (busy_) {
        // A pointer handler dispatches messages (the waiting window dodging
        // the outline): a click then waits for it, a move is superseded by
        // the next one. Reports during a capture step are stale.
        if (message == MSG_MOUSE_DOWN && inPointerHandler_) {
            buttonDownPending_ = true;
            pendingPressWindow_ = reinterpret_cast<HWND>(window);
            pendingPressPoint_ = ScreenPoint(point);
        }
        return;
    }
    {
        BusyScope busy(busy_);
        inPointerHandler_ = true;
        if (message == MSG_MOUSE_MOVE)
            control->OnPointerMove();
        else if (message == MSG_MOUSE_UP)
            control->OnButtonUp();
        if (message == MSG_MOUSE_DOWN && !endRequested_)
            control->OnButtonDown(reinterpret_cast<HWND>(window), ScreenPoint(point));
        else if (buttonDownPending_ && !endRequested_)
            control->OnButtonDown(pendingPressWindow_, pendingPressPoint_);
        buttonDownPending_ = false;
        inPointerHandler_ = false;
    }
    if (endRequested_)
        End();
    RepostDeferredCapture();
}

std::string CCaptureSession::CaptureStep() {
    BusyScope busy(busy_);
    status_.clear();
    noImage_ = false;
    try {
        return TakeCapture();
    } catch (const std::exception& error) {
        // The trigger may not have been told: one that fires once by itself
        // would never end the session.
        if (!trigger_->WaitsForEvents())
            endRequested_ = true;
        return NoteLoss(FailureText(error));
    }
}

std::string CCaptureSession::TakeCapture() {
    BitmapHolder bitmap;
    RECT rect{};
    // No image is a normal step (a pick that only starts, a window off the
    // screen): only the trigger hears of it. A trigger that will not fire again would
    // leave the session, and a hidden main window, without a way out.
    if (!source_->Capture(bitmap, rect, waitingWindow_.get())) {
        noImage_ = !source_->WaitingForPick();
        if (noImage_)
            trigger_->AfterNoImage(waitingWindow_.get(), source_.get());
        if (!trigger_->WaitsForEvents() && !source_->WaitingForPick()) {
            // Nothing else will come: the user hears why, once the session is over.
            endRequested_ = true;
            guardedFailure_ = "Nothing was captured: " + source_->NoImageReason() + ".";
        }
        return {};
    }
    Flash(rect);
    std::string lost = Store(bitmap);
    bitmap.reset();
    trigger_->AfterCapture(waitingWindow_.get(), source_.get());
    return lost;
}

void CCaptureSession::Flash(const RECT& rect) {
    InvertScreenRect(rect);
    if (options_.sound) {
        PlayResourceSound(nullptr);
        PlayResourceSound(IDR_CAMERASOUND);
    }
    Sleep(options_.sound ? kFlashAfterSoundMilliseconds : kFlashWithoutSoundMilliseconds);
    InvertScreenRect(rect);
}

std::string CCaptureSession::Store(BitmapHolder& bitmap) {
    std::string failure, notice;
    try {
        output_->StoreWithPreview(mainWindow_, bitmap, options_.preview);
        failure = output_->LastFailure();
        notice = output_->LastNotice();
        status_ = output_->LastStatus();
    } catch (const std::exception& error) {
        failure = FailureText(error);
    }
    std::string report = failure.empty() ? std::string() : NoteLoss(failure);
    if (!notice.empty())
        report = report.empty() ? notice : notice + "\n\n" + report;
    return report;
}

std::string CCaptureSession::FailureText(const std::exception& error) {
    if (dynamic_cast<const win::FileError*>(&error))
        return error.what();
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return "Could not store the capture: Out of memory.";
    return std::string("Could not store the capture: ") + error.what();
}

std::string CCaptureSession::NoteLoss(const std::string& failure) {
    if (lossCount_++ == 0)
        firstLoss_ = failure;
    lastLoss_ = failure;
    // Only the first loss is shown at once: a timer series on a full disk
    // must not pile up boxes. The rest are counted for the end.
    return lossCount_ == 1 ? failure : std::string();
}

void CCaptureSession::ReportLosses() {
    if (lossCount_ > 1) {
        const std::string text = std::to_string(lossCount_) +
                                 " captures of this session could not be stored.\n\nFirst: " + firstLoss_ +
                                 "\n\nLast: " + lastLoss_;
        Tell(mainWindow_, text);
    }
    lossCount_ = 0;
    firstLoss_.clear();
    lastLoss_.clear();
}

void CCaptureSession::End() {
    endRequested_ = false;
    captureDeferred_ = false;
    std::string finishReport;
    {
        BusyScope busy(busy_);
        Guarded([&] { source_->End(); });
        Guarded([&] { trigger_->End(); });
        try {
            // A program on its way out opens no preview: the file is written as it is.
            output_->ClearReports();
            output_->Finish(mainWindow_, closing_ ? 0 : options_.preview);
            const std::string& failure = output_->LastFailure();
            finishReport = failure.empty() ? output_->LastNotice() : NoteLoss(failure);
        } catch (const std::exception& error) {
            // The session still ends and the main window comes back.
            finishReport = NoteLoss(FailureText(error));
        }
        if (waitingWindow_) {
            ShowWindow(waitingWindow_->hwnd(), SW_HIDE);
            waitingWindow_.reset();
        }
        source_.reset();
        trigger_.reset();
        output_.reset();
    }
    endRequested_ = false;
    captureDeferred_ = false; // a request during Finish belongs to no session
    ShowWindow(mainWindow_, SW_RESTORE);
    // Allowed by the hook when a key or click of another program ended the session.
    SetForegroundWindow(mainWindow_);
    if (!guardedFailure_.empty())
        Tell(mainWindow_, guardedFailure_);
    guardedFailure_.clear();
    if (!finishReport.empty())
        Tell(mainWindow_, finishReport);
    ReportLosses();
    closing_ = false;
    if (closeAfterEnd_) {
        closeAfterEnd_ = false;
        PostMessageA(mainWindow_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
}
