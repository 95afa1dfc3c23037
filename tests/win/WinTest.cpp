// The window framework on real windows: dialogs from the program's templates,
// data exchange with its prompts, the handle owners and the hook-library look-up.

#include "win/Dialog.h"
#include "win/FileError.h"
#include "win/Handles.h"
#include "win/HookLibrary.h"
#include "win/IntField.h"

#include "resources/resource.h"
#include "tests/e2e/VsrDriver.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <future>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

// Closes the next message box of this process from another thread and tells what it said.
std::future<std::optional<e2e::MessageBoxSeen>> AnswerNextBox(const std::string& captionPrefix) {
    return std::async(std::launch::async, [captionPrefix] {
        auto box = e2e::WaitMessageBox(GetCurrentProcessId(), captionPrefix, 5000);
        if (box)
            e2e::CloseMessageBox(box->window);
        return box;
    });
}

// A visible top-level window for the pages to live in. Shown without
// activation: Wine takes seconds to destroy an active window when there is
// no window manager.
class Host {
public:
    Host() {
        window = CreateWindowExA(0, "STATIC", "Vistrel test host", WS_POPUP, 0, 0, 500, 300, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ShowWindow(window, SW_SHOWNOACTIVATE);
    }
    ~Host() { DestroyWindow(window); }
    HWND window;
};

// The area page's template with bound members.
class AreaFields : public win::Dialog {
public:
    AreaFields() : win::Dialog(IDD_AREA) {}
    int fixedPosition = 1;
    int x = 120;
    int width = 640;
    int height = 480;
    std::string yText = "seven";
    bool initialised = false;

protected:
    BOOL OnInitDialog() override {
        initialised = true;
        return win::Dialog::OnInitDialog();
    }
    void Exchange(win::DataExchange& exchange) override {
        exchange.Check(IDC_FIXED_POSITION, fixedPosition);
        exchange.Int(IDC_X_POSITION, x);
        exchange.Int(IDC_WIDTH, width, 1, 5000);
        exchange.Int(IDC_HEIGHT, height, 1, 5000);
        exchange.Text(IDC_Y_POSITION, yText);
    }
};

// The key page's template: its radio group.
class StopRule : public win::Dialog {
public:
    StopRule() : win::Dialog(IDD_ON_KEY) {}
    int rule = 1;

protected:
    void Exchange(win::DataExchange& exchange) override { exchange.Radio(IDC_STOP_AFTER_CAPTURE, rule); }
};

// The main window's template run by a dialog whose handlers fail the way a
// file operation does.
class FailingDialog : public win::Dialog {
public:
    FailingDialog() : win::Dialog(IDD_MAIN) {}
    bool initialised = false;

protected:
    BOOL OnInitDialog() override {
        initialised = true;
        return TRUE;
    }
    bool OnCommand(WORD id, WORD code, HWND control) override {
        if (id == 100)
            throw win::FileError("Access to C:\\out\\shot0001.bmp was denied.");
        if (id == 101)
            throw std::runtime_error("not a file error");
        return win::Dialog::OnCommand(id, code, control);
    }
};

std::string FieldText(HWND dialog, int id) {
    char text[64] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

} // namespace

TEST(IntField, ReadsPlainIntegersOnly) {
    EXPECT_EQ(win::ParseIntField("42"), 42);
    EXPECT_EQ(win::ParseIntField("  -7 "), -7);
    EXPECT_EQ(win::ParseIntField("+3"), 3);
    EXPECT_EQ(win::ParseIntField("2147483647"), 2147483647);
    EXPECT_EQ(win::ParseIntField("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", " ", "-", "12a", "1 2", "0x10", "2147483648", "99999999999999999999"})
        EXPECT_FALSE(win::ParseIntField(bad)) << '"' << bad << '"';
    EXPECT_TRUE(win::InUnsignedRange(5000, 1, 5000));
    EXPECT_FALSE(win::InUnsignedRange(0, 1, 5000));
    EXPECT_FALSE(win::InUnsignedRange(-1, 0, 5000)) << "a negative number is a huge unsigned one";
    EXPECT_EQ(win::UnsignedRangePrompt(1, 5000), "Please enter an integer between 1 and 5000.");
}

TEST(DataExchange, MembersGoIntoControlsAndComeBack) {
    Host host;
    AreaFields page;
    ASSERT_TRUE(page.Create(host.window));
    EXPECT_TRUE(page.initialised);
    EXPECT_EQ(GetParent(page.hwnd()), host.window);
    EXPECT_EQ(FieldText(page.hwnd(), IDC_X_POSITION), "120");
    EXPECT_EQ(FieldText(page.hwnd(), IDC_Y_POSITION), "seven");
    EXPECT_EQ(SendDlgItemMessageA(page.hwnd(), IDC_FIXED_POSITION, BM_GETCHECK, 0, 0), BST_CHECKED);

    SetDlgItemTextA(page.hwnd(), IDC_X_POSITION, " -15 ");
    SetDlgItemTextA(page.hwnd(), IDC_WIDTH, "5000");
    SetDlgItemTextA(page.hwnd(), IDC_Y_POSITION, "eight");
    SendDlgItemMessageA(page.hwnd(), IDC_FIXED_POSITION, BM_SETCHECK, BST_UNCHECKED, 0);
    ASSERT_TRUE(page.UpdateData(true));
    EXPECT_EQ(page.x, -15);
    EXPECT_EQ(page.width, 5000);
    EXPECT_EQ(page.yText, "eight");
    EXPECT_EQ(page.fixedPosition, 0);

    // A stored value no check box knows shows unchecked.
    page.fixedPosition = -1;
    page.UpdateData(false);
    EXPECT_EQ(SendDlgItemMessageA(page.hwnd(), IDC_FIXED_POSITION, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST(DataExchange, RefusedValuePromptsFocusesTheFieldAndStops) {
    Host host;
    AreaFields page;
    ASSERT_TRUE(page.Create(host.window));
    SetDlgItemTextA(page.hwnd(), IDC_X_POSITION, "33");
    SetDlgItemTextA(page.hwnd(), IDC_WIDTH, "0");
    SetDlgItemTextA(page.hwnd(), IDC_HEIGHT, "200");
    SetDlgItemTextA(page.hwnd(), IDC_Y_POSITION, "changed");

    auto box = AnswerNextBox("Vistrel test host");
    EXPECT_FALSE(page.UpdateData(true));
    auto seen = box.get();
    ASSERT_TRUE(seen) << "no prompt for a width of 0";
    EXPECT_EQ(seen->text, "Please enter an integer between 1 and 5000.");
    EXPECT_EQ(GetFocus(), GetDlgItem(page.hwnd(), IDC_WIDTH));
    EXPECT_EQ(page.x, 33) << "fields before the refused one are taken";
    EXPECT_EQ(page.width, 640) << "the refused value must not be taken";
    EXPECT_EQ(page.height, 480) << "the exchange must stop at the refused field";
    EXPECT_EQ(page.yText, "seven");

    // Negative numbers are refused by an unsigned range; text is no number at all.
    SetDlgItemTextA(page.hwnd(), IDC_WIDTH, "-1");
    box = AnswerNextBox("Vistrel test host");
    EXPECT_FALSE(page.UpdateData(true));
    seen = box.get();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->text, "Please enter an integer between 1 and 5000.");
    SetDlgItemTextA(page.hwnd(), IDC_WIDTH, "12");
    SetDlgItemTextA(page.hwnd(), IDC_X_POSITION, "twelve");
    box = AnswerNextBox("Vistrel test host");
    EXPECT_FALSE(page.UpdateData(true));
    seen = box.get();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->text, "Please enter an integer.");
    EXPECT_EQ(GetFocus(), GetDlgItem(page.hwnd(), IDC_X_POSITION));
}

TEST(DataExchange, RadioGroupIsTheIndexOfTheCheckedButton) {
    Host host;
    StopRule page;
    ASSERT_TRUE(page.Create(host.window));
    EXPECT_EQ(SendDlgItemMessageA(page.hwnd(), IDC_STOP_AFTER_KEY, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendDlgItemMessageA(page.hwnd(), IDC_STOP_AFTER_CAPTURE, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendDlgItemMessageA(page.hwnd(), IDC_STOP_AFTER_KEY, BM_SETCHECK, BST_UNCHECKED, 0);
    SendDlgItemMessageA(page.hwnd(), IDC_STOP_AFTER_CAPTURE, BM_SETCHECK, BST_CHECKED, 0);
    ASSERT_TRUE(page.UpdateData(true));
    EXPECT_EQ(page.rule, 0);
    SendDlgItemMessageA(page.hwnd(), IDC_STOP_AFTER_CAPTURE, BM_SETCHECK, BST_UNCHECKED, 0);
    ASSERT_TRUE(page.UpdateData(true));
    EXPECT_EQ(page.rule, -1) << "no button checked";
}

TEST(Dialog, ModalRunsUntilCancelAndReportsFailuresWithoutDying) {
    FailingDialog dialog;
    std::thread driver([&] {
        HWND window = nullptr;
        if (!e2e::WaitFor([&] { return (window = dialog.hwnd()) != nullptr; }, 5000)) {
            ADD_FAILURE() << "the modal dialog did not appear";
            return;
        }
        auto box = AnswerNextBox("Vistrel");
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(100, BN_CLICKED), 0);
        auto seen = box.get();
        EXPECT_TRUE(seen) << "a file error must be reported";
        if (seen) {
            EXPECT_EQ(seen->text, "Access to C:\\out\\shot0001.bmp was denied.");
        }
        box = AnswerNextBox("Vistrel");
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(101, BN_CLICKED), 0);
        EXPECT_TRUE(box.get()) << "any other failure is reported too";
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    INT_PTR result = dialog.DoModal(nullptr);
    driver.join();
    EXPECT_TRUE(dialog.initialised);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.hwnd(), nullptr) << "the window is gone once DoModal returns";
}

TEST(Dialog, TopLevelWindowTakesThePlaceProposedForANewScale) {
    FailingDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    RECT proposed{40, 50, 40 + 900, 50 + 700}; // as for 144 DPI on a second monitor
    SendMessageA(dialog.hwnd(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&proposed));
    RECT now{};
    GetWindowRect(dialog.hwnd(), &now);
    EXPECT_TRUE(EqualRect(&now, &proposed))
        << now.left << "," << now.top << " " << now.right - now.left << "x" << now.bottom - now.top;
}

TEST(Handles, OwnersReleaseOnceAndHandOver) {
    HBITMAP raw = CreateBitmap(4, 4, 1, 32, nullptr);
    {
        win::GdiObject<HBITMAP> first(raw);
        win::GdiObject<HBITMAP> second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
        EXPECT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_BITMAP));
    }
    EXPECT_EQ(GetObjectType(raw), 0u) << "the bitmap outlived its owner";

    HBITMAP kept = nullptr;
    {
        win::GdiObject<HBITMAP> owner(CreateBitmap(4, 4, 1, 32, nullptr));
        kept = owner.release();
    }
    EXPECT_EQ(GetObjectType(kept), static_cast<DWORD>(OBJ_BITMAP)) << "a released handle must stay alive";
    DeleteObject(kept);

    win::OwnedDC memory(CreateCompatibleDC(nullptr));
    win::GdiObject<HBITMAP> bitmap(CreateBitmap(8, 8, 1, 1, nullptr));
    HGDIOBJ original = GetCurrentObject(memory.get(), OBJ_BITMAP);
    {
        win::SelectionRestore selection(memory.get(), bitmap.get());
        EXPECT_EQ(GetCurrentObject(memory.get(), OBJ_BITMAP), bitmap.get());
    }
    EXPECT_EQ(GetCurrentObject(memory.get(), OBJ_BITMAP), original);

    win::GlobalMemory global(GlobalAlloc(GMEM_MOVEABLE, 16));
    {
        win::GlobalLockGuard lock(global.get());
        ASSERT_TRUE(lock);
        EXPECT_EQ(GlobalFlags(global.get()) & GMEM_LOCKCOUNT, 1u);
    }
    EXPECT_EQ(GlobalFlags(global.get()) & GMEM_LOCKCOUNT, 0u);
}

TEST(HookLibrary, ExportsAreLookedUpByNameWhenUsed) {
    win::HookLibrary::SetModule(nullptr);
    EXPECT_FALSE(win::HookLibrary::Call("attachDll")) << "no library, no call";

    HMODULE hook = LoadLibraryA("hook.dll");
    ASSERT_NE(hook, nullptr) << "hook.dll beside the test program";
    win::HookLibrary::SetModule(hook);
    for (const char* name : {"attachDll", "freeDll", "attachWnd", "detachWnd", "attachEdit", "detachEdit",
                             "attachKeyCapture", "detachKeyCapture"})
        EXPECT_NE(win::HookLibrary::Find(name), nullptr) << name;
    EXPECT_EQ(win::HookLibrary::Find("noSuchExport"), nullptr);
    EXPECT_FALSE(win::HookLibrary::Call("noSuchExport", 1, 2));
    win::HookLibrary::SetModule(nullptr);
    FreeLibrary(hook);

    // Arguments reach the export.
    win::HookLibrary::SetModule(GetModuleHandleA("kernel32.dll"));
    EXPECT_TRUE(win::HookLibrary::Call("SetLastError", static_cast<DWORD>(4242)));
    EXPECT_EQ(GetLastError(), 4242u);
    win::HookLibrary::SetModule(nullptr);
}
