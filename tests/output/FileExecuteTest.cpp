// The file outputs' stores: numbered names beside files of earlier
// sessions and of another copy, the formats on disk, writes that fail on a
// full drive or a held file, and how a session tells its lost captures.

#include "app/CaptureSession.h"
#include "app/Messages.h"
#include "capture/ScreenGrab.h"
#include "output/AnimatedGifOutput.h"
#include "output/FileExecute.h"
#include "image/SafeFile.h"

#include <olectl.h>
#include "settings/SettingsStore.h"
#include "tests/common/Bitmaps.h"
#include "tests/common/Files.h"
#include "tests/common/ImportPatch.h"
#include "tests/common/SessionWindow.h"
#include "win/Text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

BitmapHolder MakeCapture(COLORREF colour, int width = 64, int height = 48) {
    return MakeTestBitmap(width, height, colour);
}

// The four file outputs by number: BMP, JPEG, PNG, GIF.
std::unique_ptr<CFileExecute> MakeFileOutput(int kind, SettingsStore& settings, const std::string& name) {
    switch (kind) {
    case 0:
        return std::make_unique<CBitmapExecute>(settings, name);
    case 1:
        return std::make_unique<CJpgExecute>(settings, name);
    case 2:
        return std::make_unique<CPngExecute>(settings, name);
    default:
        return std::make_unique<CGifExecute>(settings, name);
    }
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class FileOutputTest : public testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir = std::string(temp) + "vistrel-out." + std::to_string(GetCurrentProcessId()) + "." +
              testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(dir.c_str(), nullptr);
    }
    void TearDown() override {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do
                DeleteFileA((dir + "\\" + found.cFileName).c_str());
            while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(dir.c_str());
    }
    std::string dir;
    SettingsStore settings{"VistrelTest"};
};

TEST_F(FileOutputTest, SeveralCapturesGetNumberedNamesAndOneKeepsTheName) {
    {
        CBitmapExecute once(settings, dir + "\\single.bmp");
        BitmapHolder capture = MakeCapture(RGB(1, 2, 3));
        EXPECT_TRUE(once.Store(capture));
    }
    EXPECT_TRUE(Exists(dir + "\\single.bmp"));
    EXPECT_FALSE(Exists(dir + "\\single0001.bmp"));

    CBitmapExecute output(settings, dir + "\\test.bmp");
    const COLORREF colours[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
    for (COLORREF colour : colours) {
        BitmapHolder capture = MakeCapture(colour);
        EXPECT_TRUE(output.Store(capture));
    }
    EXPECT_FALSE(Exists(dir + "\\test.bmp"));
    for (const char* name : {"test0001.bmp", "test0002.bmp", "test0003.bmp"})
        EXPECT_TRUE(Exists(dir + "\\" + name)) << name;
    // Each file holds its own capture.
    const auto first = ReadFileBytes(dir + "\\test0001.bmp"), second = ReadFileBytes(dir + "\\test0002.bmp"),
               third = ReadFileBytes(dir + "\\test0003.bmp");
    ASSERT_GT(second.size(), 60u);
    EXPECT_NE(first, second);
    EXPECT_NE(second, third);
}

void WriteFile(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f) << path;
    std::fputs(text.c_str(), f);
    std::fclose(f);
}

std::vector<unsigned char> Bytes(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

// The names in a folder, for files left behind.
std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
                names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return names;
}

// The first file's rename meets the earlier shot0001.png: both are kept.
TEST_F(FileOutputTest, EarlierSessionsFilesAreKeptAndNewCapturesTakeFreeNumbers) {
    for (char k : {'1', '2', '3'})
        WriteFile(dir + "\\shot000" + k + ".png", std::string("earlier ") + k);
    CPngExecute output(settings, dir + "\\shot.png");
    std::vector<unsigned char> first;
    for (COLORREF colour : {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)}) {
        BitmapHolder capture = MakeCapture(colour);
        EXPECT_TRUE(output.Store(capture));
        EXPECT_EQ(output.LastFailure(), "");
        if (first.empty())
            first = ReadFileBytes(dir + "\\shot.png");
    }
    for (char k : {'1', '2', '3'})
        EXPECT_EQ(ReadFileBytes(dir + "\\shot000" + k + ".png"), Bytes(std::string("earlier ") + k)) << k;
    EXPECT_EQ(ReadFileBytes(dir + "\\shot0004.png"), first) << "the renamed first capture";
    const auto fifth = ReadFileBytes(dir + "\\shot0005.png"), sixth = ReadFileBytes(dir + "\\shot0006.png");
    ASSERT_GT(fifth.size(), 8u);
    EXPECT_EQ(std::string(fifth.begin() + 1, fifth.begin() + 4), "PNG");
    EXPECT_NE(fifth, sixth);
    EXPECT_EQ(FolderEntries(dir).size(), 6u) << "a temporary or the entered name was left";
}

TEST_F(FileOutputTest, EachFormatIsWrittenWhateverTheExtension) {
    BitmapHolder capture = MakeCapture(RGB(200, 100, 50));
    CJpgExecute jpg(settings, dir + "\\a.jpg");
    CPngExecute png(settings, dir + "\\b.png");
    CGifExecute gif(settings, dir + "\\c.gif");
    CJpgExecute jpgAsPng(settings, dir + "\\shot.png");
    EXPECT_TRUE(jpg.Store(capture));
    EXPECT_TRUE(png.Store(capture));
    EXPECT_TRUE(gif.Store(capture));
    EXPECT_TRUE(jpgAsPng.Store(capture));

    auto j = ReadFileBytes(dir + "\\a.jpg");
    ASSERT_GT(j.size(), 20u);
    EXPECT_EQ(j[0], 0xFF);
    EXPECT_EQ(j[1], 0xD8);
    EXPECT_EQ(std::string(j.begin() + 6, j.begin() + 10), "JFIF");
    auto p = ReadFileBytes(dir + "\\b.png");
    ASSERT_GT(p.size(), 26u);
    EXPECT_EQ(std::string(p.begin() + 1, p.begin() + 4), "PNG");
    HDC screen = GetDC(nullptr);
    const bool deep = GetDeviceCaps(screen, BITSPIXEL) > 8;
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(p[25], deep ? 2 : 3) << "PNG colour type";
    auto g = ReadFileBytes(dir + "\\c.gif");
    ASSERT_GT(g.size(), 13u);
    EXPECT_EQ(std::string(g.begin(), g.begin() + 4), "GIF8");
    EXPECT_EQ(g[10] & 0x87, 0x87) << "global table of 256 entries";
    auto s = ReadFileBytes(dir + "\\shot.png");
    ASSERT_GT(s.size(), 2u);
    EXPECT_EQ(s[0], 0xFF);
}

TEST_F(FileOutputTest, UnwritablePathStoresNothingAndUsesUpTheNumber) {
    BitmapHolder capture = MakeCapture(RGB(9, 9, 9));
    for (int kind = 0; kind < 4; ++kind) {
        const std::string name = dir + "\\missing\\x" + std::to_string(kind) + ".img";
        std::unique_ptr<CFileExecute> output = MakeFileOutput(kind, settings, name);
        EXPECT_FALSE(output->Store(capture)) << kind;
        EXPECT_EQ(output->storedCount(), 1);
        const std::string report = output->LastFailure();
        EXPECT_EQ(report.rfind("Could not save " + name + ": ", 0), 0u) << report;
        EXPECT_GT(report.size(), ("Could not save " + name + ": ").size()) << "no reason given";
    }
}

// Random pixels, so that no format compresses the capture into a few bytes.
BitmapHolder MakeNoise(int width, int height) {
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    unsigned seed = 12345;
    for (unsigned char& b : pixels) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<unsigned char>(seed >> 16);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    BitmapHolder bitmap(CreateCompatibleBitmap(screen, width, height));
    SetDIBits(screen, bitmap.get(), 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

// Sessions of a few captures, as a timer series makes them, with every box
// they show read and closed.
namespace series {

int captures = 0;
int wanted = 2;
std::vector<std::string> boxes;
std::vector<bool> boxUp;                // per capture: whether a box was showing when it began
std::vector<size_t> boxesBefore;        // per capture: how many boxes had been closed before it
std::function<void(int)> beforeCapture; // told the number of the capture to come
int noiseSize = 512;                    // the captures' width and height
bool sourceThrows = false;
bool mainBack = false; // the main window was shown when the session ended

struct NoiseSource : CWhatExecute {
    using CWhatExecute::CWhatExecute;
    bool Capture(BitmapHolder& bitmap, RECT& rect, CWizardContainerDlg*) override {
        ++captures;
        boxUp.push_back(FindWindowA("#32770", "Vistrel") != nullptr);
        boxesBefore.push_back(boxes.size());
        if (sourceThrows)
            throw std::bad_alloc();
        if (beforeCapture)
            beforeCapture(captures);
        bitmap = MakeNoise(noiseSize, noiseSize);
        rect = RECT{0, 0, 4, 4};
        return true;
    }
    void Describe(std::string& text) override { text = "noise"; }
};

struct Series : CHowExecute {
    using CHowExecute::CHowExecute;
    int Begin(CWizardContainerDlg*, CWhatExecute*) override {
        return PostMessageA(mainWindow, MSG_CAPTURE, 0, 0);
    }
    int AfterCapture(CWizardContainerDlg*, CWhatExecute*) override {
        return PostMessageA(mainWindow, captures < wanted ? MSG_CAPTURE : MSG_END_SESSION, 0, 0);
    }
    // One capture, then the end: what the immediate trigger promises.
    bool WaitsForEvents() const override { return wanted > 1; }
};

// An output that runs out of memory, as a long animated session may.
struct OutOfMemory : CToExecute {
    using CToExecute::CToExecute;
    bool Store(BitmapHolder&) override { throw std::bad_alloc(); }
};

void CALLBACK CloseBoxes(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND box = FindWindowA("#32770", "Vistrel")) {
        char text[2048] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        boxes.push_back(text);
        SendMessageA(box, WM_COMMAND, IDOK, 0);
    }
}

// Runs one session of `wanted` captures into `output`; false when it did not
// end within 30 s. Each box's text is kept (nested boxes may close in any order).
bool Run(SettingsStore& settings, std::unique_ptr<CToExecute> output, SessionOptions options = {}) {
    captures = 0;
    boxes.clear();
    boxUp.clear();
    boxesBefore.clear();
    WNDCLASSA c{};
    c.lpfnWndProc = TestMainProc;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = "SeriesMain";
    RegisterClassA(&c);
    // Made hidden, as "hide" leaves it (hiding takes seconds under Wine).
    HWND main =
        CreateWindowExA(0, c.lpszClassName, "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, c.hInstance, nullptr);
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseBoxes);
    bool ended;
    {
        CCaptureSession running(main);
        session = &running;
        running.Accept(std::make_unique<NoiseSource>(settings, 0), std::make_unique<Series>(settings, main),
                       std::move(output));
        running.Begin(options);
        const DWORD start = GetTickCount();
        while ((running.Running() || boxes.empty()) && GetTickCount() - start < 30000) {
            DispatchPendingMessages();
            Sleep(10);
        }
        ended = !running.Running();
        session = nullptr;
    }
    mainBack = IsWindowVisible(main) != FALSE;
    KillTimer(nullptr, timer);
    DestroyWindow(main);
    beforeCapture = nullptr;
    sourceThrows = false;
    wanted = 2;
    noiseSize = 512;
    return ended;
}

} // namespace series

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The session's box that starts with `start`; empty when there is none.
std::string BoxStartingWith(const std::string& start) {
    for (const std::string& box : series::boxes)
        if (box.rfind(start, 0) == 0)
            return box;
    return {};
}

int WINAPI FailingGetDIBits(HDC, HBITMAP, UINT, UINT, LPVOID, LPBITMAPINFO, UINT) {
    return 0;
}

// Two captures into a folder that is not there, then one whose pixels GDI
// will not give: the first loss is told at once, the other two are counted
// and told once the session has ended. No file stands for a lost capture.
TEST_F(FileOutputTest, EveryLostCaptureIsCountedAndToldOnce) {
    const std::string name = dir + "\\later\\shot.png";
    std::unique_ptr<ImportPatch> patch;
    series::wanted = 3;
    series::beforeCapture = [&](int k) {
        if (k == 3) {
            CreateDirectoryA((dir + "\\later").c_str(), nullptr);
            patch = std::make_unique<ImportPatch>("gdi32.dll", "GetDIBits",
                                                  reinterpret_cast<const void*>(&FailingGetDIBits));
        }
    };
    EXPECT_TRUE(series::Run(settings, std::make_unique<CPngExecute>(settings, name)));
    const bool patched = patch && patch->ok();
    patch.reset();
    EXPECT_TRUE(patched) << "GetDIBits not found among the program's imports";
    EXPECT_EQ(series::captures, 3);
    ASSERT_EQ(series::boxes.size(), 2u);
    EXPECT_EQ(series::boxesBefore, (std::vector<size_t>{0, 1, 1})) << "the first loss was not told at once";
    EXPECT_EQ(series::boxUp, (std::vector<bool>{false, false, false})) << "a capture ran while our box showed";
    EXPECT_NE(BoxStartingWith("Could not save " + name + ": "), "") << series::boxes[0];
    const std::string summary = BoxStartingWith("3 captures of this session could not be stored");
    ASSERT_NE(summary, "") << series::boxes[0] << "\n" << series::boxes[1];
    EXPECT_TRUE(Contains(summary, "First: Could not save " + name + ": ")) << summary;
    EXPECT_TRUE(Contains(summary, "Last: Could not save " + dir +
                                      "\\later\\shot0003.png: the capture could "
                                      "not be converted (GetDIBits failed)"))
        << summary;
    EXPECT_EQ(FolderEntries(dir + "\\later"), std::vector<std::string>{})
        << "a file stands for a lost capture";
    RemoveDirectoryA((dir + "\\later").c_str());
}

// Out of memory in an immediate session with the main window hidden: the
// session ends, the window comes back and a box says what happened, whether
// the output or the source ran out (the source: the trigger was never told).
TEST_F(FileOutputTest, AnExceptionOutOfAStepEndsAnImmediateSessionAndIsTold) {
    for (bool inSource : {false, true}) {
        series::sourceThrows = inSource;
        series::wanted = 1;
        EXPECT_TRUE(series::Run(settings, std::make_unique<series::OutOfMemory>(settings), {1, 0, 0, 0}))
            << inSource;
        EXPECT_TRUE(series::mainBack) << "the main window stayed hidden";
        ASSERT_EQ(series::boxes.size(), 1u) << inSource;
        EXPECT_TRUE(Contains(series::boxes[0], "Out of memory")) << series::boxes[0];
    }
}

// Another program's handle without delete sharing, as a virus scanner takes
// one for a moment after a write.
win::File Hold(const std::string& path) {
    return win::File(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
}

// A short hold is waited out; a long one on the first file's rename keeps
// that capture under the entered name (a notice, no loss); a long one on a
// write loses the capture, told, and the file held stays whole.
TEST_F(FileOutputTest, AMomentaryHoldIsWaitedOutAndALongOneLeavesTheFileWhole) {
    for (unsigned long code : {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED, ERROR_LOCK_VIOLATION})
        EXPECT_TRUE(vistrel::platform::IsTransientMoveError(code)) << code;
    for (unsigned long code : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_DISK_FULL})
        EXPECT_FALSE(vistrel::platform::IsTransientMoveError(code)) << code;

    const std::string name = dir + "\\held.png";
    BitmapHolder capture = MakeCapture(RGB(10, 20, 30));
    WriteFile(name, "viewer's file");
    CPngExecute output(settings, name);
    {
        win::File held = Hold(name);
        ASSERT_TRUE(held);
        std::thread release([&] {
            Sleep(300);
            held.reset();
        });
        EXPECT_TRUE(output.Store(capture)) << output.LastFailure();
        release.join();
    }
    const auto first = ReadFileBytes(name);
    ASSERT_GT(first.size(), 8u);
    EXPECT_EQ(std::string(first.begin() + 1, first.begin() + 4), "PNG");
    {
        win::File held = Hold(name);
        EXPECT_TRUE(output.Store(capture));
    }
    EXPECT_EQ(output.LastFailure(), "");
    EXPECT_NE(output.LastNotice().find("That capture is kept as " + name + "."), std::string::npos)
        << output.LastNotice();
    EXPECT_EQ(ReadFileBytes(name), first);
    EXPECT_GT(ReadFileBytes(dir + "\\held0001.png").size(), 8u);
    {
        CPngExecute again(settings, name);
        win::File held = Hold(name);
        EXPECT_FALSE(again.Store(capture));
        EXPECT_EQ(again.LastFailure().rfind("Could not save " + name + ": ", 0), 0u) << again.LastFailure();
    }
    EXPECT_EQ(ReadFileBytes(name), first);
    EXPECT_EQ(FolderEntries(dir).size(), 2u) << "a temporary was left";
}

// Two copies of the program writing the same entered name: the second
// replaces the plain name in one step, and the first's rename leaves the
// second's file alone.
TEST_F(FileOutputTest, TwoCopiesOnOneNameNeverTakeEachOthersFiles) {
    const std::string name = dir + "\\twin.png";
    CPngExecute first(settings, name), second(settings, name);
    BitmapHolder a1 = MakeCapture(RGB(255, 0, 0)), b1 = MakeCapture(RGB(0, 0, 255));
    BitmapHolder a2 = MakeCapture(RGB(0, 255, 0)), b2 = MakeCapture(RGB(255, 255, 0));
    ASSERT_TRUE(first.Store(a1));
    ASSERT_TRUE(second.Store(b1));
    const auto b1Bytes = ReadFileBytes(name);
    ASSERT_TRUE(first.Store(a2));
    EXPECT_EQ(first.LastNotice(), "");
    EXPECT_EQ(ReadFileBytes(name), b1Bytes) << "the first copy renamed the second's file";
    const auto a2Bytes = ReadFileBytes(dir + "\\twin0002.png");
    ASSERT_TRUE(second.Store(b2));
    EXPECT_EQ(ReadFileBytes(dir + "\\twin0001.png"), b1Bytes);
    EXPECT_EQ(ReadFileBytes(dir + "\\twin0002.png"), a2Bytes);
    EXPECT_GT(ReadFileBytes(dir + "\\twin0003.png").size(), 8u);
    EXPECT_EQ(FolderEntries(dir).size(), 3u);
}

// Each frame goes to a temporary beside the target as it is stored; Finish
// completes it and moves it over the earlier file. A capture that cannot
// be converted is told and left out; a session without a frame writes nothing.
TEST_F(FileOutputTest, AnimatedFramesAreWrittenAsStoredAndMovedAtTheEnd) {
    const std::string name = dir + "\\anim.gif";
    WriteFile(name, "an earlier animation");
    {
        CAnimatedGifExecute output(settings, name, 20);
        BitmapHolder none;
        EXPECT_FALSE(output.Store(none));
        EXPECT_EQ(output.LastFailure(), "") << "a left-out capture is told once, at the end";
        EXPECT_EQ(output.LastStatus().rfind("Capture 1 could not be added to " + name + ": ", 0), 0u)
            << output.LastStatus();
        EXPECT_EQ(FolderEntries(dir).size(), 1u) << "no temporary before the first frame";
        const SIZE sizes[] = {{64, 48}, {96, 64}, {40, 30}};
        for (const SIZE& size : sizes) {
            BitmapHolder capture = MakeCapture(RGB(10, 20, 30), size.cx, size.cy);
            EXPECT_TRUE(output.Store(capture)) << output.LastFailure();
        }
        EXPECT_EQ(output.frameCount(), 3u);
        EXPECT_EQ(FolderEntries(dir).size(), 2u) << "the frames are in a temporary beside the target";
        EXPECT_EQ(ReadFileBytes(name), Bytes("an earlier animation"));
        EXPECT_TRUE(output.Finish(nullptr, 0));
        EXPECT_EQ(output.LastFailure(),
                  name + " holds 3 captures. Capture 1 could not be added: the capture could not be converted");
    }
    EXPECT_EQ(FolderEntries(dir), std::vector<std::string>{"anim.gif"}) << "a temporary was left";
    const std::vector<uint8_t> gif = ReadFileBytes(name);
    ASSERT_GT(gif.size(), 13u);
    EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF89a");
    EXPECT_EQ(ValueAt<uint16_t>(gif, 6), 96);
    EXPECT_EQ(ValueAt<uint16_t>(gif, 8), 64);
    EXPECT_EQ(gif.back(), 0x3B);
    // The system's own picture loader takes the file.
    win::GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, gif.size()));
    std::memcpy(win::GlobalLockGuard(memory.get()).data(), gif.data(), gif.size());
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(memory.get(), FALSE, &stream), S_OK);
    IPicture* picture = nullptr;
    EXPECT_EQ(OleLoadPicture(stream, static_cast<LONG>(gif.size()), FALSE, IID_IPicture,
                             reinterpret_cast<void**>(&picture)),
              S_OK);
    if (picture)
        picture->Release();
    stream->Release();

    DeleteFileA(name.c_str());
    {
        CAnimatedGifExecute output(settings, name, 20);
        EXPECT_TRUE(output.Finish(nullptr, 1)) << "nothing stored is no failure";
    }
    EXPECT_TRUE(FolderEntries(dir).empty()) << "a session without a frame leaves nothing";
}

INT_PTR WINAPI FailingDialogBox(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM) {
    return -1;
}

BOOL WINAPI FlushRefused(HANDLE) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

// Finished animations that meet an earlier file held open by a viewer, a
// preview that cannot open, and a drive that cannot flush: each is kept, the
// earlier file stays as it was, and what happened is told in one text.
TEST_F(FileOutputTest, AnAnimationIsKeptWhateverStandsInItsWay) {
    const std::string name = dir + "\\anim.gif";
    const auto animate = [&](int preview) {
        CAnimatedGifExecute output(settings, name, 20);
        for (COLORREF colour : {RGB(200, 0, 0), RGB(0, 0, 200)}) {
            BitmapHolder capture = MakeCapture(colour);
            EXPECT_TRUE(output.Store(capture)) << output.LastStatus();
        }
        EXPECT_TRUE(output.Finish(nullptr, preview));
        EXPECT_EQ(output.LastFailure(), "");
        return output.LastNotice();
    };
    const auto isGif = [](const std::string& path) {
        const std::vector<uint8_t> b = ReadFileBytes(path);
        return b.size() > 13 && std::string(b.begin(), b.begin() + 6) == "GIF89a" && b.back() == 0x3B;
    };
    WriteFile(name, "the viewer's animation");
    {
        // A drive that cannot flush says "invalid function": no loss.
        ImportPatch flush("kernel32.dll", "FlushFileBuffers", reinterpret_cast<const void*>(&FlushRefused));
        ASSERT_TRUE(flush.ok());
        win::File held = Hold(name);
        ASSERT_TRUE(held);
        const std::string notice = animate(0);
        EXPECT_TRUE(Contains(notice, "Could not replace " + name + ": ")) << notice;
        EXPECT_TRUE(Contains(notice, "the animation is stored as " + dir + "\\anim0001.gif.")) << notice;
    }
    EXPECT_EQ(ReadFileBytes(name), Bytes("the viewer's animation"));
    EXPECT_TRUE(isGif(dir + "\\anim0001.gif"));
    {
        ImportPatch dialog("user32.dll", "DialogBoxParamA", reinterpret_cast<const void*>(&FailingDialogBox));
        ASSERT_TRUE(dialog.ok());
        const std::string notice = animate(1);
        EXPECT_EQ(notice, "The preview could not be opened, so the animation was stored without it.");
    }
    EXPECT_TRUE(isGif(name)) << "a preview that cannot open is no Drop";
    EXPECT_EQ(FolderEntries(dir), (std::vector<std::string>{"anim.gif", "anim0001.gif"})) << "a temporary was left";
}

// A drive with no room for the capture: full_disk.sh maps a 64 KiB tmpfs as a
// drive and names a folder on it in VISTREL_FULL_DISK.
TEST(FullDisk, EveryWriterKeepsTheEarlierFileAndReportsTheLostCapturesOnce) {
    const char* full = std::getenv("VISTREL_FULL_DISK");
    if (!full)
        GTEST_SKIP() << "needs a full drive; run through full_disk.sh";
    SettingsStore settings{"VistrelTest"};
    const std::string diskFull = win::SystemErrorText(ERROR_DISK_FULL);
    const char* names[4] = {"shot.bmp", "shot.jpg", "shot.png", "shot.gif"};
    for (int kind = 0; kind < 4; ++kind) {
        const std::string name = std::string(full) + "\\" + names[kind];
        WriteFile(name, "an earlier capture");
        EXPECT_TRUE(series::Run(settings, MakeFileOutput(kind, settings, name)))
            << name << ": session not ended";
        EXPECT_EQ(series::captures, 2) << name << ": the session did not go on";
        ASSERT_EQ(series::boxes.size(), 2u) << name << ": the first loss, then the count";
        EXPECT_TRUE(Contains(BoxStartingWith("Could not save " + name + ": "), diskFull)) << series::boxes[0];
        EXPECT_NE(BoxStartingWith("2 captures of this session could not be stored"), "") << name;
        EXPECT_EQ(ReadFileBytes(name), Bytes("an earlier capture")) << name << " changed";
        EXPECT_EQ(FolderEntries(full), std::vector<std::string>{names[kind]}) << "a temporary file was left";
        DeleteFileA(name.c_str());
    }
    // An animation keeps the frames that fit, told in one box; Pillow then
    // counts its frames (full_disk.sh).
    const std::string anim = std::string(full) + "\\anim.gif";
    series::wanted = 5;
    series::noiseSize = 120;
    EXPECT_TRUE(series::Run(settings, std::make_unique<CAnimatedGifExecute>(settings, anim, 10)));
    EXPECT_EQ(series::captures, 5);
    ASSERT_EQ(series::boxes.size(), 1u);
    int held = 0;
    ASSERT_EQ(std::sscanf(series::boxes[0].c_str(), (anim + " holds %d captures").c_str(), &held), 1)
        << series::boxes[0];
    EXPECT_GE(held, 1);
    EXPECT_LE(held, 4) << "the drive was not filled";
    EXPECT_TRUE(Contains(series::boxes[0], " 5 could not be added: " + diskFull)) << series::boxes[0];
    EXPECT_EQ(FolderEntries(full), std::vector<std::string>{"anim.gif"}) << "a temporary file was left";
    ReportFrames("anim.gif", held);
}

} // namespace
