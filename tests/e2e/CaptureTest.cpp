// Captures as a user makes them: vsr.exe started with stored selections,
// Capture pressed, and the files, the clipboard and the windows checked.
// The whole-screen files are compared with the test's own grab of the
// screen; with VISTREL_CAPTURE_OUT set they are left in that folder for the
// comparison against ImageMagick's grab as well.

#include "tests/common/Decoders.h"
#include "tests/common/Files.h"
#include "tests/e2e/VsrDriver.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const char kWholeScreen[] = "Capture the whole screen";
const char kActiveWindow[] = "Capture the active window";
const char kArea[] = "Capture selected area";
const char kImmediately[] = "Capture immediately after clicking on the \"Capture\" button";
const char kBitmap[] = "Save result as bitmap";
const char kClipboard[] = "Save result to clipboard";
const char kGif[] = "Save result as GIF";
const char kJpeg[] = "Save result as JPEG";
const char kPng[] = "Save result as PNG";

struct Options {
    const char* what = kWholeScreen;
    const char* to = kBitmap;
    std::string fileName;
    DWORD hide = 1, mouse = 0, preview = 0, sound = 0, clientCapture = 0;
};

// Stored selections and options, as if the last session had used them.
void Store(const Options& o) {
    settings::DeleteKey();
    settings::WriteText("lastWhatSelection", o.what);
    settings::WriteText("lastHowSelection", kImmediately);
    settings::WriteText("lastToSelection", o.to);
    settings::WriteText("fileName", o.fileName);
    settings::WriteNumber("hide", o.hide);
    settings::WriteNumber("mouse", o.mouse);
    settings::WriteNumber("preview", o.preview);
    settings::WriteNumber("sound", o.sound);
    settings::WriteNumber("clientCapture", o.clientCapture);
}

class CaptureRun : public Running {
public:
    // Capture, then the session's end: the main window back on the screen.
    bool CaptureAndWaitForEnd(DWORD timeoutMs = 15000) {
        if (!PressButton(window, IDOK))
            return false;
        Sleep(200);
        return WaitFor([&] { return IsWindowVisible(window) && !WaitingWindowShown(); }, timeoutMs);
    }
    // The session is over once its waiting window is gone, shown or hidden.
    bool SessionOver() const {
        for (HWND w = FindWindowExA(nullptr, nullptr, nullptr, "Vistrel Wizard"); w;
             w = FindWindowExA(nullptr, w, nullptr, "Vistrel Wizard")) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == process.pid())
                return false;
        }
        return true;
    }
    bool WaitingWindowShown() const {
        for (HWND w : TopLevelWindows(process.pid()))
            if (WindowText(w) == "Vistrel Wizard")
                return true;
        return false;
    }
};

std::string OutputFolder() {
    if (const char* out = std::getenv("VISTREL_CAPTURE_OUT"))
        return out;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "vistrel-e2e-capture";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int DisplayDepth() {
    HDC screen = GetDC(nullptr);
    int depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    return depth;
}

// The main window is laid out for the screen's DPI: its width in pixels per
// dialog unit of its template (341 units wide) grows with the DPI. With
// VISTREL_EXPECT_DPI set the screen must have that DPI, so the run shows scaling.
void ExpectLaidOutForTheScreensDpi(HWND main) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    RECT client{};
    GetClientRect(main, &client);
    const char* expected = std::getenv("VISTREL_EXPECT_DPI");
    if (expected && *expected) {
        EXPECT_EQ(dpi, std::atoi(expected))
            << "the screen's DPI was not set (main window " << client.right << " pixels wide)";
    }
    const double pixelsPerUnitAt96 = client.right / 341.0 * 96 / dpi;
    EXPECT_GT(pixelsPerUnitAt96, 1.5) << client.right << " pixels wide at " << dpi << " DPI";
    EXPECT_LT(pixelsPerUnitAt96, 2.0) << client.right << " pixels wide at " << dpi << " DPI";
}

std::string CaptureToFile(const char* output, const std::string& name) {
    const std::string path = OutputFolder() + "\\" + name;
    DeleteFileA(path.c_str());
    Options o;
    o.to = output;
    o.fileName = path;
    Store(o);
    CaptureRun app;
    EXPECT_TRUE(app.started && app.window) << "vsr.exe did not start";
    if (!app.window)
        return path;
    ExpectLaidOutForTheScreensDpi(app.window);
    EXPECT_TRUE(app.CaptureAndWaitForEnd()) << "the session did not end";
    EXPECT_TRUE(WaitFor([&] { return Exists(path); }, 5000)) << path << " not written";
    app.process.Close();
    return path;
}

// A GIF has 256 colours for the whole screen: its mean difference from the
// screen stays small, while shifted, swapped or garbled rows go far beyond.
constexpr double kGifTolerance = 16.0;

// A whole-screen file read back by a decoder that is not ours against the
// screen grabbed by the test right after the capture. Lossless files equal
// it but where the screen changed in between (a clock ticking over): at most
// one pixel in a thousand. Lossy ones stay within a mean difference per
// channel.
void ExpectTheScreen(const std::string& path, const Screenshot& screen, double meanTolerance = 0) {
    ComScope com;
    int width = 0, height = 0;
    const bool png = path.size() > 4 && path.compare(path.size() - 4, 4, ".png") == 0;
    const std::vector<uint32_t> file =
        png ? DecodePng(path, width, height) : DecodeWithOle(path, width, height);
    ASSERT_EQ(width, screen.width) << path;
    ASSERT_EQ(height, screen.height) << path;
    ASSERT_EQ(file.size(), screen.pixels.size()) << path;
    size_t differ = 0;
    double total = 0;
    for (size_t i = 0; i < file.size(); ++i) {
        differ += file[i] != screen.pixels[i];
        for (int shift = 0; shift < 24; shift += 8)
            total += std::abs(static_cast<int>((file[i] >> shift) & 0xFF) -
                              static_cast<int>((screen.pixels[i] >> shift) & 0xFF));
    }
    const double mean = total / (3.0 * file.size());
    if (meanTolerance == 0)
        EXPECT_LE(differ * 1000, file.size()) << path << ": " << differ << " pixels differ from the screen";
    else
        EXPECT_LE(mean, meanTolerance) << path << ": mean difference per channel from the screen";
}

TEST(Capture, WholeScreenToBmpJpegPngGif) {
    const std::string bmp = CaptureToFile(kBitmap, "screen.bmp");
    ExpectTheScreen(bmp, TakeScreenshot());
    std::vector<unsigned char> b = ReadFileBytes(bmp);
    ASSERT_GT(b.size(), 54u);
    const int depth = DisplayDepth();
    const int bits = depth <= 8 ? 8 : depth <= 24 ? 24 : 32;
    EXPECT_EQ(ValueAt<WORD>(b, 28), bits);
    EXPECT_EQ(ValueAt<DWORD>(b, 10), bits == 8 ? 1078u : 54u);
    EXPECT_EQ(ValueAt<LONG>(b, 18), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(ValueAt<LONG>(b, 22), GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(ValueAt<DWORD>(b, 2), b.size());

    const std::string jpeg = CaptureToFile(kJpeg, "screen.jpg");
    ExpectTheScreen(jpeg, TakeScreenshot(), 4.0);
    std::vector<unsigned char> j = ReadFileBytes(jpeg);
    ASSERT_GT(j.size(), 20u);
    EXPECT_EQ(j[0], 0xFF);
    EXPECT_EQ(j[1], 0xD8);
    EXPECT_EQ(std::string(j.begin() + 6, j.begin() + 10), "JFIF");
    EXPECT_EQ(j[13], 1) << "JFIF density in dots per inch";
    EXPECT_EQ(j[14] * 256 + j[15], 72);
    EXPECT_EQ(j[16] * 256 + j[17], 72);
    const std::string png = CaptureToFile(kPng, "screen.png");
    ExpectTheScreen(png, TakeScreenshot());
    std::vector<unsigned char> p = ReadFileBytes(png);
    ASSERT_GT(p.size(), 26u);
    EXPECT_EQ(p[25], depth > 8 ? 2 : 3);
    const std::string gif = CaptureToFile(kGif, "screen.gif");
    ExpectTheScreen(gif, TakeScreenshot(), kGifTolerance);
    std::vector<unsigned char> g = ReadFileBytes(gif);
    ASSERT_GT(g.size(), 13u);
    EXPECT_EQ(std::string(g.begin(), g.begin() + 4), "GIF8");
}

// The clipboard as another program sees it; the DIB is kept as a BMP file
// for the pixel comparison.
TEST(Capture, WholeScreenToTheClipboardOfAnotherProgram) {
    Options o;
    o.to = kClipboard;
    Store(o);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    {
        CaptureRun app;
        ASSERT_RUNNING(app);
        ASSERT_TRUE(app.CaptureAndWaitForEnd());
        app.process.Close();
    }
    const Screenshot screen = TakeScreenshot();
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_PALETTE));
    HGLOBAL dib = GetClipboardData(CF_DIB);
    ASSERT_TRUE(dib);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
    EXPECT_EQ(header->biBitCount, DisplayDepth() > 8 ? 24 : 8);
    EXPECT_EQ(header->biWidth, GetSystemMetrics(SM_CXSCREEN));
    const DWORD table = header->biBitCount <= 8 ? (header->biClrUsed ? header->biClrUsed : 256) * 4 : 0;
    const DWORD rows = ((header->biWidth * header->biBitCount + 31) / 32) * 4 * header->biHeight;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + header->biSize + table;
    file.bfSize = file.bfOffBits + rows;
    const std::string path = OutputFolder() + "\\clipboard.bmp";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(&file, sizeof file, 1, f);
    fwrite(header, header->biSize + table + rows, 1, f);
    fclose(f);
    GlobalUnlock(dib);
    CloseClipboard();
    ExpectTheScreen(path, screen);
}

TEST(Capture, BusyClipboardIsReportedOnceAndTheSessionEnds) {
    Options o;
    o.to = kClipboard;
    Store(o);
    CaptureRun app;
    ASSERT_RUNNING(app);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    // Held open by this program for the whole capture.
    ASSERT_TRUE(PressButton(app.window, IDOK));
    auto box = WaitMessageBox(app.process.pid(), "Vistrel", 15000);
    const bool ended =
        WaitFor([&] { return IsWindowVisible(app.window) && !app.WaitingWindowShown(); }, 15000);
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
    CloseClipboard();
    ASSERT_TRUE(box) << "the lost capture was not reported";
    EXPECT_EQ(box->text.rfind("Could not put the capture on the clipboard: ", 0), 0u) << box->text;
    CloseMessageBox(box->window);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box->window); }, 5000)) << "the box did not close";
    EXPECT_TRUE(ended);
    auto second = WaitMessageBox(app.process.pid(), "", 300);
    EXPECT_FALSE(second) << "a second box: " << second->text;
    EXPECT_TRUE(app.process.Close());
}

TEST(Capture, ActiveWindowTakesTheMainWindowWhenItStaysVisible) {
    const std::string path = OutputFolder() + "\\active.bmp";
    for (DWORD client : {0u, 1u}) {
        DeleteFileA(path.c_str());
        Options o;
        o.what = kActiveWindow;
        o.hide = 0;
        o.clientCapture = client;
        o.fileName = path;
        Store(o);
        CaptureRun app;
        ASSERT_RUNNING(app);
        // The main window must be the foreground window.
        SetForegroundWindow(app.window);
        WaitFor([&] { return GetForegroundWindow() == app.window; }, 3000);
        RECT expected;
        if (client) {
            GetClientRect(app.window, &expected);
        } else {
            GetWindowRect(app.window, &expected);
            OffsetRect(&expected, -expected.left, -expected.top);
        }
        ASSERT_TRUE(app.CaptureAndWaitForEnd());
        ASSERT_TRUE(WaitFor([&] { return Exists(path); }, 5000));
        std::vector<unsigned char> b = ReadFileBytes(path);
        ASSERT_GT(b.size(), 54u);
        EXPECT_EQ(ValueAt<LONG>(b, 18), expected.right) << "client " << client;
        EXPECT_EQ(ValueAt<LONG>(b, 22), expected.bottom) << "client " << client;
        app.process.Close();
    }
}

TEST(Capture, EmptyFileNameShowsOneBoxAndStartsNoSession) {
    Options o;
    o.fileName = "";
    Store(o);
    CaptureRun app;
    ASSERT_RUNNING(app);
    PostMessageA(app.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    auto box = WaitMessageBox(app.process.pid(), "Error", 5000);
    ASSERT_TRUE(box) << "no \"Error\" box";
    EXPECT_EQ(box->text, "Please enter a file name!");
    CloseMessageBox(box->window);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box->window); }, 5000)) << "the box did not close";
    EXPECT_FALSE(WaitMessageBox(app.process.pid(), "", 500)) << "a second box";
    EXPECT_FALSE(app.WaitingWindowShown());
    EXPECT_TRUE(IsWindowVisible(app.window));
    EXPECT_TRUE(app.process.Close());
}

TEST(Capture, UnwritablePathIsReportedOnceAndTheSessionEnds) {
    Options o;
    o.fileName = OutputFolder() + "\\no-such-folder\\shot.bmp";
    Store(o);
    CaptureRun app;
    ASSERT_RUNNING(app);
    EXPECT_TRUE(app.CaptureAndWaitForEnd());
    auto box = WaitMessageBox(app.process.pid(), "Vistrel", 5000);
    ASSERT_TRUE(box) << "the lost capture was not reported";
    const std::string expected = "Could not save " + o.fileName + ": ";
    EXPECT_EQ(box->text.rfind(expected, 0), 0u) << box->text;
    EXPECT_GT(box->text.size(), expected.size()) << "no reason given";
    CloseMessageBox(box->window);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box->window); }, 5000)) << "the box did not close";
    EXPECT_FALSE(Exists(o.fileName));
    auto second = WaitMessageBox(app.process.pid(), "", 300);
    EXPECT_FALSE(second) << "a second box: " << second->text;
    EXPECT_TRUE(app.process.Close()) << "the program must still answer";
}

// With the main window hidden there is no foreground window to capture: the
// one capture request yields nothing, the session must not stay open, and
// the user hears why nothing came.
TEST(Capture, ImmediateActiveWindowWithoutForegroundWindowEndsTheSession) {
    const std::string path = OutputFolder() + "\\no-foreground.bmp";
    DeleteFileA(path.c_str());
    Options o;
    o.what = kActiveWindow;
    o.hide = 1;
    o.fileName = path;
    Store(o);
    CaptureRun app;
    ASSERT_RUNNING(app);
    EXPECT_TRUE(app.CaptureAndWaitForEnd(10000))
        << "the session did not end within 10 s: the program stays hidden";
    EXPECT_FALSE(Exists(path)) << "a window was captured after all: the case was not tested";
    auto box = WaitMessageBox(app.process.pid(), "Vistrel", 5000);
    ASSERT_TRUE(box) << "an immediate capture that took nothing was not told";
    EXPECT_EQ(box->text, "Nothing was captured: no window was in front, or the one in front lay outside the screen.");
    CloseMessageBox(box->window);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box->window); }, 5000)) << "the box did not close";
    EXPECT_TRUE(app.process.Close());
}

HWND WaitResult(DWORD pid) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND w : TopLevelWindows(pid))
                if (WindowText(w) == "Result")
                    found = w;
            return found != nullptr;
        },
        10000);
    return found;
}

TEST(Capture, PreviewStoresOnlyWhatIsAcceptedAndReopensInPlace) {
    const std::string path = OutputFolder() + "\\preview.png";
    Options o;
    o.to = kPng;
    o.preview = 1;
    o.fileName = path;
    // A framed area, not the screen: a preview smaller than the screen can
    // be put back where it was and still lie wholly on the screen. (Not the
    // active window either: that depends on which window the suite left in
    // front.)
    o.what = kArea;
    o.hide = 0;
    Store(o);
    for (auto [name, value] : {std::pair{"xPosition", 100}, {"yPosition", 100}, {"width", 300}, {"height", 200},
                               {"fixedPosition", 0}, {"fixedDimensions", 0}})
        settings::WriteNumber(name, value);
    CaptureRun app;
    ASSERT_RUNNING(app);

    struct Case {
        int command;
        bool stored;
    };
    RECT closedAt{};
    for (Case c : {Case{IDC_DROP, false}, Case{IDCANCEL, false}, Case{IDOK, true}}) {
        DeleteFileA(path.c_str());
        SetForegroundWindow(app.window);
        WaitFor([&] { return GetForegroundWindow() == app.window; }, 3000);
        ASSERT_TRUE(PressButton(app.window, IDOK));
        HWND result = WaitResult(app.process.pid());
        if (!result) {
            std::string shown;
            for (HWND w : TopLevelWindows(app.process.pid()))
                shown += " \"" + WindowText(w) + "\"";
            FAIL() << "no Result dialog after command " << c.command << "; windows shown:" << shown;
        }
        RECT place;
        GetWindowRect(result, &place);
        if (c.command == IDOK) { // after Drop, Esc did not move the remembered place
            EXPECT_EQ(place.left, closedAt.left);
        }
        if (c.command == IDC_DROP) {
            SetWindowPos(result, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            GetWindowRect(result, &closedAt);
        }
        if (c.command == IDCANCEL)
            SetWindowPos(result, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        PostMessageA(result, WM_COMMAND, MAKEWPARAM(c.command, BN_CLICKED), 0);
        // The next Capture only starts once this session is over, frame hidden and all.
        ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(app.window) && app.SessionOver(); }, 10000));
        Sleep(300);
        EXPECT_EQ(Exists(path), c.stored) << "after command " << c.command;
    }
    EXPECT_TRUE(app.process.Close());
}

} // namespace
