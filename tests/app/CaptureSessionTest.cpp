// The session's order of calls and its re-entrancy rules, with executors
// that record what happens to them and post messages at awkward moments.

#include "app/CaptureSession.h"
#include "app/Messages.h"
#include "capture/ScreenGrab.h"
#include "settings/SettingsStore.h"
#include "trigger/WaitingWindow.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

std::string journal;
CCaptureSession* session = nullptr;
HWND mainWindow = nullptr;

LRESULT CALLBACK MainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == MSG_CAPTURE && session) {
        journal += "[capture-msg]";
        session->OnCapture();
        return 0;
    }
    if (m == MSG_END_SESSION && session) {
        journal += "[end-msg]";
        session->OnEndSession();
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

// Posts both messages from inside Capture and dispatches them, as the queue
// drain of a real source does.
struct Source : CWhatExecute {
    bool awkward = false;
    bool grab = true;
    Source(SettingsStore& s, bool awkward) : CWhatExecute(s, 0), awkward(awkward) {}
    ~Source() override { journal += "~source "; }
    bool Capture(BitmapHolder& bitmap, RECT& rect, CWizardContainerDlg*) override {
        journal += "capture ";
        if (awkward) {
            PostMessageA(mainWindow, MSG_END_SESSION, 0, 0);
            PostMessageA(mainWindow, MSG_CAPTURE, 0, 0);
            DispatchPendingMessages();
        }
        rect = RECT{0, 0, 8, 8};
        return grab && GrabScreenRect(rect, bitmap, false);
    }
    void Describe(std::string& text) override { text = "test"; }
    void End() override { journal += "source-end "; }
};

struct Trigger : CHowExecute {
    using CHowExecute::CHowExecute;
    ~Trigger() override { journal += "~trigger "; }
    int Begin(CWizardContainerDlg*, CWhatExecute*) override {
        journal += "begin ";
        PostMessageA(mainWindow, MSG_CAPTURE, 0, 0);
        return 1;
    }
    int AfterCapture(CWizardContainerDlg*, CWhatExecute*) override {
        journal += "after ";
        PostMessageA(mainWindow, MSG_END_SESSION, 0, 0);
        return 1;
    }
    int End() override {
        journal += "trigger-end ";
        return 1;
    }
};

struct Output : CToExecute {
    bool fail = false;
    explicit Output(SettingsStore& s, bool fail = false) : CToExecute(s), fail(fail) {}
    ~Output() override { journal += "~output "; }
    bool Store(BitmapHolder& bitmap) override {
        journal += bitmap ? "store " : "store-empty ";
        if (fail)
            lastFailure = "Could not save x.png: disk full";
        return !fail;
    }
    bool Finish(HWND, int) override {
        journal += "finish ";
        return true;
    }
};

// Begins the session and runs it until it has ended and its first box was
// read into the journal and closed, 10 s at the most.
void RunUntilEndedAndTold(CCaptureSession& s, const SessionOptions& options) {
    SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND box = FindWindowA(nullptr, "Vistrel");
        if (!box)
            return;
        KillTimer(nullptr, id);
        char text[128] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        journal += std::string("box:") + text;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    s.Begin(options);
    const DWORD start = GetTickCount();
    while ((s.Running() || journal.find("box:") == std::string::npos) && GetTickCount() - start < 10000) {
        DispatchPendingMessages();
        Sleep(10);
    }
}

class SessionTest : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA c{};
        c.lpfnWndProc = MainProc;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = "SessionMain";
        RegisterClassA(&c);
        mainWindow = CreateWindowExA(0, "SessionMain", "main", WS_POPUP | WS_VISIBLE, 600, 500, 50, 50,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        journal.clear();
        session = nullptr;
    }
    void TearDown() override {
        session = nullptr;
        DestroyWindow(mainWindow);
    }
    SettingsStore settings{"VistrelTest"};
};

TEST_F(SessionTest, OneImmediateCaptureRunsInOrderAndEndsTheSession) {
    CCaptureSession s(mainWindow);
    session = &s;
    ASSERT_TRUE(s.Accept(std::make_unique<Source>(settings, false),
                         std::make_unique<Trigger>(settings, mainWindow),
                         std::make_unique<Output>(settings)));
    s.Begin(SessionOptions{1, 0, 0, 0});
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    const DWORD start = GetTickCount();
    while (s.Running() && GetTickCount() - start < 10000) {
        DispatchPendingMessages();
        Sleep(10);
    }
    EXPECT_FALSE(s.Running());
    EXPECT_EQ(journal, "begin [capture-msg]capture store after [end-msg]source-end trigger-end finish "
                       "~source ~trigger ~output ");
    EXPECT_TRUE(IsWindowVisible(mainWindow)) << "main window not restored";
    // Late messages of an ended session do nothing.
    journal.clear();
    s.OnCapture();
    s.OnEndSession();
    EXPECT_EQ(journal, "");
    session = nullptr;
}

TEST_F(SessionTest, MessagesInsideAStepNeitherReenterNorDeleteAnything) {
    CCaptureSession s(mainWindow);
    session = &s;
    ASSERT_TRUE(s.Accept(std::make_unique<Source>(settings, true),
                         std::make_unique<Trigger>(settings, mainWindow),
                         std::make_unique<Output>(settings)));
    s.Begin(SessionOptions{0, 0, 0, 0});
    const DWORD start = GetTickCount();
    while (s.Running() && GetTickCount() - start < 10000) {
        DispatchPendingMessages();
        Sleep(10);
    }
    // The end request inside the step waits for it; the second capture is dropped.
    EXPECT_EQ(journal, "begin [capture-msg]capture [end-msg][capture-msg]store after source-end trigger-end "
                       "finish ~source ~trigger ~output [end-msg]");
    session = nullptr;
}

// A series that ends itself after `limit` captures, as the key and timer triggers do.
struct SeriesTrigger : Trigger {
    int limit;
    int taken = 0;
    SeriesTrigger(SettingsStore& s, HWND w, int limit) : Trigger(s, w), limit(limit) {}
    int AfterCapture(CWizardContainerDlg*, CWhatExecute*) override {
        journal += "after ";
        if (++taken == limit)
            RequestEnd();
        return 1;
    }
};

// A start press while the step runs: its request is queued (and, when
// `dispatch`, handled inside the step, as a queue drain does).
struct PressedDuringStep : Source {
    int presses;
    bool dispatch;
    PressedDuringStep(SettingsStore& s, int presses, bool dispatch) : Source(s, false), presses(presses), dispatch(dispatch) {}
    bool Capture(BitmapHolder& bitmap, RECT& rect, CWizardContainerDlg* w) override {
        if (presses-- > 0) {
            PostMessageA(mainWindow, MSG_CAPTURE, 0, 0);
            if (dispatch)
                DispatchPendingMessages();
        }
        return Source::Capture(bitmap, rect, w);
    }
};

TEST_F(SessionTest, ARequestDuringAStepRunsAfterItButNoneRunsPastTheTriggersEnd) {
    auto run = [&](int limit, bool dispatch) {
        journal.clear();
        CCaptureSession s(mainWindow);
        session = &s;
        EXPECT_TRUE(s.Accept(std::make_unique<PressedDuringStep>(settings, 1, dispatch),
                             std::make_unique<SeriesTrigger>(settings, mainWindow, limit),
                             std::make_unique<Output>(settings)));
        s.Begin(SessionOptions{0, 0, 0, 0});
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 1500) {
            DispatchPendingMessages();
            Sleep(10);
        }
        EXPECT_FALSE(s.Running());
        session = nullptr;
    };
    // "Stop after first capture": the request queued ahead of the end request takes nothing.
    run(1, false);
    EXPECT_EQ(journal, "begin [capture-msg]capture store after source-end trigger-end finish ~source ~trigger "
                       "~output [capture-msg][end-msg]");
    // A series of two: the press handled inside the first step takes the second capture.
    run(2, true);
    EXPECT_EQ(journal, "begin [capture-msg][capture-msg]capture store after [capture-msg]capture store after "
                       "source-end trigger-end finish ~source ~trigger ~output [end-msg]");
}

TEST_F(SessionTest, MissingOutputShowsTheBoxMissingTriggerShowsNothing) {
    CCaptureSession s(mainWindow);
    // The box is modal: answer it from a thread timer.
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND box = FindWindowA(nullptr, "Error");
        if (!box)
            return;
        KillTimer(nullptr, id);
        char text[128] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        journal += std::string("box:") + text + " ";
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_FALSE(s.Accept(std::make_unique<Source>(settings, false),
                          std::make_unique<Trigger>(settings, mainWindow), nullptr));
    EXPECT_EQ(journal, "box:Please enter a file name! ~trigger ~source ");
    journal.clear();
    EXPECT_FALSE(
        s.Accept(std::make_unique<Source>(settings, false), nullptr, std::make_unique<Output>(settings)));
    EXPECT_EQ(journal, "~output ~source ");
    EXPECT_FALSE(s.Running());
}

TEST_F(SessionTest, ALostCaptureIsReportedAfterItsStepAndTheSessionGoesOn) {
    CCaptureSession s(mainWindow);
    session = &s;
    ASSERT_TRUE(s.Accept(std::make_unique<Source>(settings, false),
                         std::make_unique<Trigger>(settings, mainWindow),
                         std::make_unique<Output>(settings, true)));
    RunUntilEndedAndTold(s, SessionOptions{0, 0, 0, 0});
    EXPECT_FALSE(s.Running());
    // The end request is carried out while the box is still open.
    EXPECT_EQ(journal, "begin [capture-msg]capture store after [end-msg]source-end trigger-end finish "
                       "~source ~trigger ~output box:Could not save x.png: disk full");
    session = nullptr;
}

// A trigger that cannot start, a source that cannot stop, and a trigger
// that fires once onto a source that takes nothing: each ends the session
// (hidden main window back, every executor's End and Finish run) and is told
// in a box after it.
TEST_F(SessionTest, ASessionThatCannotGoOnEndsAndSaysWhy) {
    struct FailingTrigger : Trigger {
        using Trigger::Trigger;
        int Begin(CWizardContainerDlg* w, CWhatExecute* s) override {
            Trigger::Begin(w, s);
            throw std::runtime_error("the key could not be armed");
        }
    };
    struct FailingSource : Source {
        using Source::Source;
        void End() override {
            Source::End();
            throw std::runtime_error("the frame could not be closed");
        }
    };
    struct Once : Trigger {
        using Trigger::Trigger;
        bool WaitsForEvents() const override { return false; }
    };
    const char* told[] = {"box:The capture session had to end: the key could not be armed",
                          "box:The capture session had to end: the frame could not be closed",
                          "box:Nothing was captured: what it captures lay outside the screen"};
    for (int kind = 0; kind < 3; ++kind) {
        const bool inBegin = kind == 0;
        journal.clear();
        CCaptureSession s(mainWindow);
        session = &s;
        std::unique_ptr<Source> source = kind == 1 ? std::make_unique<FailingSource>(settings, false)
                                                   : std::make_unique<Source>(settings, false);
        source->grab = kind != 2;
        std::unique_ptr<Trigger> trigger = inBegin     ? std::make_unique<FailingTrigger>(settings, mainWindow)
                                           : kind == 2 ? std::make_unique<Once>(settings, mainWindow)
                                                       : std::make_unique<Trigger>(settings, mainWindow);
        ASSERT_TRUE(s.Accept(std::move(source), std::move(trigger), std::make_unique<Output>(settings)));
        RunUntilEndedAndTold(s, SessionOptions{1, 0, 0, 0});
        EXPECT_FALSE(s.Running());
        EXPECT_TRUE(IsWindowVisible(mainWindow)) << "main window not restored";
        EXPECT_NE(journal.find("source-end trigger-end finish ~source ~trigger ~output "), std::string::npos)
            << journal;
        EXPECT_NE(journal.find(told[kind]), std::string::npos) << journal;
        session = nullptr;
    }
}

} // namespace
