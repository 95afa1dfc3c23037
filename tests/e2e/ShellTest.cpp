// The main window as a user meets it: started as vsr.exe in a Wine prefix and
// driven from outside with window messages, the registry and the screen.

#include "tests/e2e/VsrDriver.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

using namespace e2e;

namespace {

const std::vector<std::string> kWhatTexts = {
    "Capture the whole screen",
    "Capture the active window",
    "Capture selected area",
    "Capture a button or a menu or a window pane or ...",
};
const std::vector<std::string> kHowTexts = {
    "Capture after pressing a key",
    "Capture immediately after clicking on the \"Capture\" button",
    "Capture after a number of seconds",
};
const std::vector<std::string> kToTexts = {
    "Save result as bitmap", "Save result to clipboard", "Save result as animated GIF",
    "Save result as GIF",    "Save result as JPEG",      "Save result as PNG",
};

const int kPlaceholders[3] = {IDC_STEP1, IDC_STEP2, IDC_STEP3};

// Pixel offset of a page below its list, worked out on our own copy of the
// main window's template (same font, same dialog units).
int PageOffsetPixels(int dialogUnits) {
    HWND copy = CreateDialogParamA(
        GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    RECT rect = {0, 0, 0, dialogUnits};
    MapDialogRect(copy, &rect);
    DestroyWindow(copy);
    return rect.bottom;
}

// The visible page that lies right under the list `listId`.
HWND PageUnder(HWND main, int listId, int offsetUnits) {
    RECT list = RectInParent(GetDlgItem(main, listId), main);
    int y = list.bottom + PageOffsetPixels(offsetUnits);
    for (const ChildPage& page : VisibleChildDialogs(main))
        if (page.rect.left == list.left && page.rect.top == y)
            return page.window;
    return nullptr;
}

// Capture with the bitmap page and no file name: the pages save their values,
// then the one "Please enter a file name!" box is answered.
void CaptureWithoutFileName(VsrProcess& process, HWND main) {
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    std::optional<MessageBoxSeen> box = WaitMessageBox(process.pid(), "Error", 10000);
    ASSERT_TRUE(box) << "no box for the missing file name";
    EXPECT_EQ(box->text, "Please enter a file name!");
    CloseMessageBox(box->window);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box->window); }, 5000));
}

RECT ScreenRect(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

// On a 256-colour display the dialog background is dithered and Wine draws
// transparent GIFs differently into a window than into a memory bitmap, so
// the pixel comparisons below hold from 16 bits per pixel up.
bool PaletteDisplay() {
    HDC screen = GetDC(nullptr);
    bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
    ReleaseDC(nullptr, screen);
    return palette;
}

// Pixels around the step pictures' placeholders that are not dialog background.
int PicturePixels(HWND main) {
    // Let the first paint finish.
    Sleep(500);
    Screenshot shot = TakeScreenshot();
    uint32_t background = ScreenColour(COLOR_BTNFACE);
    int count = 0;
    for (int id : kPlaceholders)
        count += shot.CountDifferent(ScreenRect(GetDlgItem(main, id)), background);
    return count;
}

// Step picture `n` as Wine's own picture loader draws it on the dialog
// background: the pixels the main window should show.
struct PictureImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};
bool RenderStepPicture(int n, PictureImage& image) {
    std::string path = BinDir() + "\\img\\STEP" + std::to_string(n) + ".GIF";
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, nullptr), got = 0;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    ReadFile(file, GlobalLock(memory), size, &got, nullptr);
    GlobalUnlock(memory);
    CloseHandle(file);
    IStream* stream = nullptr;
    IPicture* picture = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream)))
        return false;
    HRESULT loaded = OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                                    reinterpret_cast<void**>(&picture));
    stream->Release();
    if (FAILED(loaded))
        return false;
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    picture->get_Width(&hmWidth);
    picture->get_Height(&hmHeight);
    HDC screen = GetDC(nullptr);
    image.width = MulDiv(hmWidth, GetDeviceCaps(screen, LOGPIXELSX), 2540);
    image.height = MulDiv(hmHeight, GetDeviceCaps(screen, LOGPIXELSY), 2540);
    ReleaseDC(nullptr, screen);
    image.pixels = DrawToPixels(image.width, image.height, SystemColour(COLOR_BTNFACE), [&](HDC dc) {
        picture->Render(dc, 0, 0, image.width, image.height, 0, hmHeight, hmWidth, -hmHeight, nullptr);
    });
    picture->Release();
    return true;
}

// Each step picture must be on the screen, centred on its placeholder.
void ExpectStepPicturesDrawn(HWND main) {
    Sleep(500);
    Screenshot shot = TakeScreenshot();
    for (int n = 1; n <= 3; ++n) {
        PictureImage image;
        ASSERT_TRUE(RenderStepPicture(n, image)) << "img\\STEP" << n << ".GIF beside the program";
        RECT place = ScreenRect(GetDlgItem(main, kPlaceholders[n - 1]));
        int left = place.left + (place.right - place.left - image.width) / 2;
        int top = place.top + (place.bottom - place.top - image.height) / 2;
        int wrong = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                if (shot.at(left + x, top + y) != image.pixels[static_cast<size_t>(y) * image.width + x])
                    ++wrong;
        EXPECT_EQ(wrong, 0) << "step picture " << n << " is not drawn centred on its placeholder";
    }
}

} // namespace

TEST(Shell, FirstRunShowsEntryZeroDefaultOptionsVersionCaptionAndCreatesKey) {
    ASSERT_TRUE(settings::DeleteKey());
    Running app;
    ASSERT_RUNNING(app);
    EXPECT_EQ(WindowText(app.window), "Vistrel 1.2.1");
    EXPECT_TRUE(settings::KeyExists()) << "the settings key was not created at start-up";

    EXPECT_EQ(ComboTexts(GetDlgItem(app.window, IDC_WHAT_LIST)), kWhatTexts);
    EXPECT_EQ(ComboTexts(GetDlgItem(app.window, IDC_HOW_LIST)), kHowTexts);
    EXPECT_EQ(ComboTexts(GetDlgItem(app.window, IDC_TO_LIST)), kToTexts);
    for (int list : {IDC_WHAT_LIST, IDC_HOW_LIST, IDC_TO_LIST})
        EXPECT_EQ(ComboSelection(GetDlgItem(app.window, list)), 0) << "list " << list;

    EXPECT_FALSE(IsChecked(app.window, IDC_HIDE));
    EXPECT_FALSE(IsChecked(app.window, IDC_MOUSE));
    EXPECT_TRUE(IsChecked(app.window, IDC_PREVIEW));
    EXPECT_TRUE(IsChecked(app.window, IDC_SOUND));

    // One page under each list, and nothing else shown.
    EXPECT_EQ(VisibleChildDialogs(app.window).size(), 3u);
    EXPECT_NE(PageUnder(app.window, IDC_WHAT_LIST, 31), nullptr);
    EXPECT_NE(PageUnder(app.window, IDC_HOW_LIST, 3), nullptr);
    EXPECT_NE(PageUnder(app.window, IDC_TO_LIST, 3), nullptr);

    // Started beside img\: the pictures are drawn and their placeholders hidden.
    if (!PaletteDisplay())
        ExpectStepPicturesDrawn(app.window);
    for (int id : kPlaceholders)
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(app.window, id))) << "placeholder " << id << " still shown";

    EXPECT_TRUE(app.process.Close()) << "vsr.exe did not end after Cancel";
}

TEST(Shell, SelectingAnEntrySwapsOnlyThatListsPageInPlace) {
    ASSERT_TRUE(settings::DeleteKey());
    Running app;
    ASSERT_RUNNING(app);
    struct List {
        int id;
        int offset;
        size_t entries;
    };
    const List lists[] = {{IDC_WHAT_LIST, 31, 4}, {IDC_HOW_LIST, 3, 3}, {IDC_TO_LIST, 3, 6}};
    for (const List& list : lists) {
        std::vector<HWND> seen = {PageUnder(app.window, list.id, list.offset)};
        ASSERT_NE(seen[0], nullptr);
        for (size_t entry = 1; entry <= list.entries; ++entry) {
            int index = static_cast<int>(entry % list.entries); // ends back at entry 0
            std::vector<ChildPage> before = VisibleChildDialogs(app.window);
            HWND previous = PageUnder(app.window, list.id, list.offset);
            ASSERT_TRUE(SelectComboEntry(app.window, list.id, index)) << "list " << list.id;
            HWND shown = PageUnder(app.window, list.id, list.offset);
            ASSERT_NE(shown, nullptr)
                << "no page at its place after choosing entry " << index << " of list " << list.id;
            EXPECT_NE(shown, previous) << "entry " << index << " of list " << list.id;
            EXPECT_FALSE(IsWindowVisible(previous)) << "previous page still shown, list " << list.id;
            std::vector<ChildPage> after = VisibleChildDialogs(app.window);
            ASSERT_EQ(after.size(), 3u);
            for (const ChildPage& page : before) {
                if (page.window != previous) {
                    EXPECT_TRUE(IsWindowVisible(page.window)) << "a page of another list was hidden";
                }
            }
            if (index != 0)
                seen.push_back(shown);
            else
                EXPECT_EQ(shown, seen[0]) << "entry 0 brought another page";
        }
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end())
            << "two entries share a page, list " << list.id;
    }
    // Pages keep their controls: the active-window page holds its check box.
    ASSERT_TRUE(SelectComboEntry(app.window, IDC_WHAT_LIST, 1));
    EXPECT_NE(GetDlgItem(PageUnder(app.window, IDC_WHAT_LIST, 31), IDC_CLIENT_CAPTURE), nullptr);
    EXPECT_TRUE(app.process.Close());
}

TEST(Shell, StoredSelectionsAndOptionsComeBack) {
    ASSERT_TRUE(settings::DeleteKey());
    // Entry 0's own text still selects entry 0, although the search starts after it.
    ASSERT_TRUE(settings::WriteText("lastWhatSelection", kWhatTexts[0]));
    ASSERT_TRUE(settings::WriteText("lastHowSelection", kHowTexts[2]));
    ASSERT_TRUE(settings::WriteText("lastToSelection", "Save result somewhere else"));
    ASSERT_TRUE(settings::WriteNumber("mouse", 1));
    ASSERT_TRUE(settings::WriteNumber("hide", 1));
    ASSERT_TRUE(settings::WriteNumber("preview", 0));
    ASSERT_TRUE(settings::WriteNumber("sound", 0));
    {
        Running app;
        ASSERT_RUNNING(app);
        EXPECT_EQ(ComboSelection(GetDlgItem(app.window, IDC_WHAT_LIST)), 0);
        EXPECT_EQ(ComboSelection(GetDlgItem(app.window, IDC_HOW_LIST)), 2);
        EXPECT_EQ(ComboSelection(GetDlgItem(app.window, IDC_TO_LIST)), 0)
            << "an unknown text must leave entry 0";
        EXPECT_TRUE(IsChecked(app.window, IDC_MOUSE));
        EXPECT_TRUE(IsChecked(app.window, IDC_HIDE));
        EXPECT_FALSE(IsChecked(app.window, IDC_PREVIEW));
        EXPECT_FALSE(IsChecked(app.window, IDC_SOUND));
        EXPECT_TRUE(app.process.Close());
    }
    // Strange stored options: mouse and hide show unchecked, missing preview and sound mean on.
    ASSERT_TRUE(settings::DeleteKey());
    ASSERT_TRUE(settings::WriteText("lastWhatSelection", kWhatTexts[3]));
    ASSERT_TRUE(settings::WriteNumber("mouse", 0xFFFFFFFF));
    ASSERT_TRUE(settings::WriteNumber("hide", 7));
    {
        Running app;
        ASSERT_RUNNING(app);
        EXPECT_EQ(ComboSelection(GetDlgItem(app.window, IDC_WHAT_LIST)), 3);
        EXPECT_FALSE(IsChecked(app.window, IDC_MOUSE));
        EXPECT_FALSE(IsChecked(app.window, IDC_HIDE));
        EXPECT_TRUE(IsChecked(app.window, IDC_PREVIEW));
        EXPECT_TRUE(IsChecked(app.window, IDC_SOUND));
        EXPECT_TRUE(app.process.Close());
    }
}

TEST(Shell, CaptureSavesSelectionsAndOptionsThatSurviveARestart) {
    ASSERT_TRUE(settings::DeleteKey());
    {
        Running app;
        ASSERT_RUNNING(app);
        // Active window, immediately, to the clipboard: a session that starts.
        ASSERT_TRUE(SelectComboEntry(app.window, IDC_WHAT_LIST, 1));
        ASSERT_TRUE(SelectComboEntry(app.window, IDC_HOW_LIST, 1));
        ASSERT_TRUE(SelectComboEntry(app.window, IDC_TO_LIST, 1));
        SetChecked(app.window, IDC_MOUSE, true);
        SetChecked(app.window, IDC_PREVIEW, false);
        ASSERT_TRUE(PressButton(app.window, IDOK)) << "Capture did not return";

        EXPECT_EQ(settings::ReadText("lastWhatSelection"), kWhatTexts[1]);
        EXPECT_EQ(settings::ReadText("lastHowSelection"), kHowTexts[1]);
        EXPECT_EQ(settings::ReadText("lastToSelection"), kToTexts[1]);
        EXPECT_EQ(settings::ReadNumber("mouse"), 1u);
        EXPECT_EQ(settings::ReadNumber("hide"), 0u);
        EXPECT_EQ(settings::ReadNumber("preview"), 0u);
        EXPECT_EQ(settings::ReadNumber("sound"), 1u);
        EXPECT_TRUE(app.process.Close());
    }
    Running again;
    ASSERT_RUNNING(again);
    EXPECT_EQ(ComboSelection(GetDlgItem(again.window, IDC_WHAT_LIST)), 1);
    EXPECT_EQ(ComboSelection(GetDlgItem(again.window, IDC_HOW_LIST)), 1);
    EXPECT_EQ(ComboSelection(GetDlgItem(again.window, IDC_TO_LIST)), 1);
    EXPECT_TRUE(IsChecked(again.window, IDC_MOUSE));
    EXPECT_FALSE(IsChecked(again.window, IDC_HIDE));
    EXPECT_FALSE(IsChecked(again.window, IDC_PREVIEW));
    EXPECT_TRUE(IsChecked(again.window, IDC_SOUND));
    EXPECT_TRUE(again.process.Close());
}

TEST(Shell, ActiveWindowPageRestoresItsValueOnlyAsLastSelection) {
    ASSERT_TRUE(settings::DeleteKey());
    ASSERT_TRUE(settings::WriteNumber("clientCapture", 1));
    // The list finds its entry whatever the case, but the page wants its exact name.
    ASSERT_TRUE(settings::WriteText("lastWhatSelection", "capture the active window"));
    {
        Running app;
        ASSERT_RUNNING(app);
        ASSERT_EQ(ComboSelection(GetDlgItem(app.window, IDC_WHAT_LIST)), 1);
        HWND page = PageUnder(app.window, IDC_WHAT_LIST, 31);
        ASSERT_NE(page, nullptr);
        EXPECT_FALSE(IsChecked(page, IDC_CLIENT_CAPTURE))
            << "restored although the stored name differs in case";
        EXPECT_TRUE(app.process.Close());
    }
    ASSERT_TRUE(settings::WriteText("lastWhatSelection", kWhatTexts[1]));
    {
        Running app;
        ASSERT_RUNNING(app);
        ASSERT_EQ(ComboSelection(GetDlgItem(app.window, IDC_WHAT_LIST)), 1);
        HWND page = PageUnder(app.window, IDC_WHAT_LIST, 31);
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(IsChecked(page, IDC_CLIENT_CAPTURE));
        // Unticked and captured: the page writes its value and its name.
        SetChecked(page, IDC_CLIENT_CAPTURE, false);
        CaptureWithoutFileName(app.process, app.window);
        EXPECT_EQ(settings::ReadNumber("clientCapture"), 0u);
        EXPECT_EQ(settings::ReadText("lastWhatSelection"), kWhatTexts[1]);
        // The close box ends the program like Cancel.
        PostMessageA(app.window, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(app.process.WaitExit(10000)) << "the close box did not end the program";
    }
}

TEST(Shell, AreaFieldOutOfRangeStopsCaptureAtThatField) {
    ASSERT_TRUE(settings::DeleteKey());
    const std::string screenWidth = std::to_string(GetSystemMetrics(SM_CXSCREEN));
    {
        Running app;
        ASSERT_RUNNING(app);
        ASSERT_TRUE(SelectComboEntry(app.window, IDC_WHAT_LIST, 2));
        HWND page = PageUnder(app.window, IDC_WHAT_LIST, 31);
        ASSERT_NE(page, nullptr);
        for (int field : {IDC_X_POSITION, IDC_Y_POSITION, IDC_WIDTH, IDC_HEIGHT}) {
            EXPECT_EQ(WindowText(GetDlgItem(page, field)), "100") << "field " << field;
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, field))) << "field " << field;
        }
        // Ticking "fixed dimensions" enables Width and Height only.
        SetChecked(page, IDC_FIXED_DIMENSIONS, true);
        ASSERT_TRUE(PressButton(page, IDC_FIXED_DIMENSIONS));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_WIDTH)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_HEIGHT)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_X_POSITION)));

        SetDlgItemTextA(page, IDC_WIDTH, "0");
        PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        auto box = WaitMessageBox(app.process.pid(), "Vistrel", 10000);
        ASSERT_TRUE(box) << "no prompt for a width of 0";
        EXPECT_EQ(box->text, "Please enter an integer between 1 and " + screenWidth + ".");
        CloseMessageBox(box->window);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(box->window); }, 5000));
        // The prompt's window goes before the program puts the focus back: wait for it.
        GUITHREADINFO focus = {};
        focus.cbSize = sizeof focus;
        EXPECT_TRUE(WaitFor(
            [&] {
                return GetGUIThreadInfo(GetWindowThreadProcessId(app.window, nullptr), &focus) &&
                       focus.hwndFocus == GetDlgItem(page, IDC_WIDTH);
            },
            3000))
            << "the focus belongs on the refused field";
        EXPECT_FALSE(settings::ReadText("lastWhatSelection")) << "a refused value must stop the capture";
        EXPECT_FALSE(settings::ReadNumber("width"));

        SetDlgItemTextA(page, IDC_WIDTH, "300");
        CaptureWithoutFileName(app.process, app.window);
        EXPECT_EQ(settings::ReadNumber("width"), 300u);
        EXPECT_EQ(settings::ReadNumber("fixedDimensions"), 1u);
        EXPECT_EQ(settings::ReadNumber("fixedPosition"), 0u);
        EXPECT_EQ(settings::ReadNumber("xPosition"), 100u);
        EXPECT_EQ(settings::ReadText("lastWhatSelection"), kWhatTexts[2]);
        EXPECT_TRUE(app.process.Close());
    }
    Running again;
    ASSERT_RUNNING(again);
    HWND page = PageUnder(again.window, IDC_WHAT_LIST, 31);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(page, IDC_WIDTH)), "300");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_WIDTH)));
    EXPECT_TRUE(again.process.Close());
}

TEST(Shell, BrowsedAndLongFileNamesSurviveARestart) {
    ASSERT_TRUE(settings::DeleteKey());
    TempFolder folder;
    const std::string picked = folder.path() + "\\picked.png";
    std::string longName = folder.path() + "\\";
    longName += std::string(300 - longName.size() - 4, 'n') + ".png";
    {
        Running app;
        ASSERT_RUNNING(app);
        ASSERT_TRUE(SelectComboEntry(app.window, IDC_TO_LIST, 5));
        HWND page = PageUnder(app.window, IDC_TO_LIST, 3);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(WindowText(GetDlgItem(page, IDC_FILE_NAME)), "");

        // Browse opens Save As; the confirmed path lands in the field.
        PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_BROWSE)));
        auto saveAs = WaitMessageBox(app.process.pid(), "Save As", 15000);
        ASSERT_TRUE(saveAs) << "Browse opened no Save As dialog";
        // The file name box is a combo box (cmb13) with an edit field inside.
        HWND nameBox = GetDlgItem(saveAs->window, 0x47c);
        HWND nameCombo = FindWindowExA(nameBox, nullptr, "ComboBox", nullptr);
        HWND nameField = FindWindowExA(nameCombo ? nameCombo : nameBox, nullptr, "Edit", nullptr);
        ASSERT_NE(nameField, nullptr) << "no file name field in Save As";
        SendMessageA(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(picked.c_str()));
        PostMessageA(saveAs->window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(saveAs->window); }, 10000)) << "Save As did not close";
        EXPECT_EQ(WindowText(GetDlgItem(page, IDC_FILE_NAME)), picked);

        // A device name is refused at the field before anything starts.
        SetDlgItemTextA(page, IDC_FILE_NAME, (folder.path() + "/nul.png").c_str());
        PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        auto refused = WaitMessageBox(app.process.pid(), "Vistrel", 10000);
        ASSERT_TRUE(refused) << "no box for a device name";
        EXPECT_EQ(refused->text, "\"nul.png\" names a device, not a file. Please choose another name.");
        CloseMessageBox(refused->window);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(refused->window); }, 5000));
        EXPECT_FALSE(settings::ReadText("fileName")) << "a refused name must stop the capture";
        // So are Windows' superscript device names and a stream of another file.
        const std::pair<const char*, const char*> refusals[] = {
            {"COM\xB9.png", "\"COM\xB9.png\" names a device, not a file. Please choose another name."},
            {"a.png:x", "A file name cannot hold a colon other than the drive's: \"a.png:x\"."}};
        for (const auto& [typed, said] : refusals) {
            SetDlgItemTextA(page, IDC_FILE_NAME, typed);
            PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            auto box = WaitMessageBox(app.process.pid(), "Vistrel", 10000);
            ASSERT_TRUE(box) << "no box for " << typed;
            EXPECT_EQ(box->text, said);
            CloseMessageBox(box->window);
            ASSERT_TRUE(WaitFor([&] { return !IsWindow(box->window); }, 5000));
        }
        EXPECT_FALSE(settings::ReadText("fileName"));

        // Typed: a name of 300 characters, stored whole on Capture.
        SetDlgItemTextA(page, IDC_FILE_NAME, longName.c_str());
        ASSERT_TRUE(PressButton(app.window, IDOK));
        EXPECT_EQ(settings::ReadText("fileName"), longName);
        EXPECT_EQ(settings::ReadText("lastToSelection"), kToTexts[5]);
        EXPECT_TRUE(app.process.Close());
    }
    Running again;
    ASSERT_RUNNING(again);
    EXPECT_EQ(ComboSelection(GetDlgItem(again.window, IDC_TO_LIST)), 5);
    HWND page = PageUnder(again.window, IDC_TO_LIST, 3);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(page, IDC_FILE_NAME)), longName)
        << "a long file name must come back whole";
    EXPECT_TRUE(again.process.Close());
}

TEST(Shell, EnterCapturesAndEscapeEnds) {
    ASSERT_TRUE(settings::DeleteKey());
    Running app;
    ASSERT_RUNNING(app);
    ASSERT_TRUE(SelectComboEntry(app.window, IDC_HOW_LIST, 2));
    // The clipboard needs no file name, so no box takes the Escape.
    ASSERT_TRUE(SelectComboEntry(app.window, IDC_TO_LIST, 1));
    ASSERT_TRUE(TypeKey(app.window, VK_RETURN)) << "could not bring the main window to the front";
    EXPECT_TRUE(WaitFor([] { return settings::ReadText("lastHowSelection").has_value(); }, 5000))
        << "Enter did not capture";
    EXPECT_EQ(settings::ReadText("lastHowSelection"), kHowTexts[2]);
    ASSERT_TRUE(TypeKey(app.window, VK_ESCAPE));
    EXPECT_TRUE(app.process.WaitExit(10000)) << "Escape did not end the program";
}

TEST(Shell, StartedElsewhereFindsThePicturesBesideTheProgramOrReportsEachOnce) {
    TempFolder elsewhere;
    {
        // As from the Start menu's shortcut: the working folder has no img\.
        Running app(elsewhere.path());
        ASSERT_RUNNING(app);
        EXPECT_FALSE(WaitMessageBox(app.process.pid(), "Error opening file: ", 1500));
        if (!PaletteDisplay()) {
            EXPECT_GT(PicturePixels(app.window), 0) << "no step pictures from beside vsr.exe";
        }
        EXPECT_TRUE(app.process.Close());
    }
    // A program folder without img\ either: one box per picture, naming the
    // path beside the program.
    TempFolder alone;
    for (const char* file : {"\\vsr.exe", "\\hook.dll"})
        ASSERT_TRUE(CopyFileA((BinDir() + file).c_str(), (alone.path() + file).c_str(), FALSE));
    VsrProcess process;
    ASSERT_TRUE(process.Start(elsewhere.path(), alone.path() + "\\vsr.exe"));
    for (const char* name : {"img\\STEP1.GIF", "img\\STEP2.GIF", "img\\STEP3.GIF"}) {
        std::optional<MessageBoxSeen> box = WaitMessageBox(process.pid(), "Error opening file: ", 15000);
        ASSERT_TRUE(box) << "no error box for " << name;
        EXPECT_EQ(box->caption, "Error opening file: " + alone.path() + "\\" + name);
        EXPECT_FALSE(box->text.empty()) << "the box should carry the system's reason";
        CloseMessageBox(box->window);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(box->window); }, 5000)) << "the box did not close";
    }
    HWND main = process.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    // Later paints show no box and no picture.
    for (int i = 0; i < 3; ++i) {
        RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        EXPECT_FALSE(WaitMessageBox(process.pid(), "Error opening file: ", 700)) << "a box on a later paint";
    }
    if (!PaletteDisplay()) {
        EXPECT_EQ(PicturePixels(main), 0) << "something drawn where no picture could be loaded";
    }
    EXPECT_TRUE(process.Close());
}

TEST(Shell, WithoutTheHookLibraryOnlyABoxNamingItAppears) {
    TempFolder alone;
    std::string copy = alone.path() + "\\vsr.exe";
    ASSERT_TRUE(CopyFileA((BinDir() + "\\vsr.exe").c_str(), copy.c_str(), FALSE));
    VsrProcess process;
    ASSERT_TRUE(process.Start(alone.path(), copy));
    std::optional<MessageBoxSeen> box = WaitMessageBox(process.pid(), "Vistrel", 15000);
    ASSERT_TRUE(box) << "vsr.exe without hook.dll said nothing";
    EXPECT_NE(box->text.find(alone.path() + "\\hook.dll"), std::string::npos) << box->text;
    CloseMessageBox(box->window);
    DWORD exitCode = 1;
    ASSERT_TRUE(process.WaitExit(15000, &exitCode)) << "vsr.exe kept running without hook.dll";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(TopLevelWindows(process.pid()).empty());
}
