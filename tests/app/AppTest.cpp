// The shell's parts in-process: caption from the version resource, the step
// picture loader, and the pages' restore and write rules on their real templates.

#include "app/DialogPicture.h"
#include "app/PageRegistry.h"
#include "app/VersionCaption.h"
#include "capture/ActiveWindowSource.h"
#include "capture/ControlSource.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"
#include "tests/e2e/VsrDriver.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <type_traits>
#include <future>
#include <vector>

namespace {

const char kProduct[] = "VistrelPageTest";
const char kPath[] = "Software\\Quorvane\\VistrelPageTest";

// An uncompressed 24-bit BMP file of one colour.
std::string SolidBmp(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    int stride = (width * 3 + 3) & ~3;
    uint32_t imageSize = static_cast<uint32_t>(stride * height);
    std::string file(54 + imageSize, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<char>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(width));
    put32(22, static_cast<uint32_t>(height));
    file[26] = 1;
    file[28] = 24;
    put32(34, imageSize);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            size_t at = 54 + static_cast<size_t>(y) * stride + x * 3;
            file[at] = static_cast<char>(b);
            file[at + 1] = static_cast<char>(g);
            file[at + 2] = static_cast<char>(r);
        }
    return file;
}

std::string WriteFile(const e2e::TempFolder& folder, const char* name, const std::string& bytes) {
    std::string path = folder.path() + "\\" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// A 32-bit memory bitmap to draw into, white at first.
class Canvas {
public:
    Canvas(int width, int height) : width_(width) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_.reset(CreateCompatibleDC(nullptr));
        bitmap_.reset(
            CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0));
        selection_ = std::make_unique<win::SelectionRestore>(dc_.get(), bitmap_.get());
        std::fill(bits_, bits_ + width * height, 0xFFFFFFu);
    }
    HDC dc() const { return dc_.get(); }
    uint32_t at(int x, int y) const {
        GdiFlush();
        return bits_[y * width_ + x] & 0xFFFFFF;
    }

private:
    int width_;
    win::OwnedDC dc_;
    win::GdiObject<HBITMAP> bitmap_;
    std::unique_ptr<win::SelectionRestore> selection_;
    uint32_t* bits_ = nullptr;
};

class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteKeyA(HKEY_CURRENT_USER, kPath);
        host = CreateWindowExA(0, "STATIC", "page host", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    }
    void TearDown() override {
        DestroyWindow(host);
        RegDeleteKeyA(HKEY_CURRENT_USER, kPath);
    }
    void Store(const char* name, const std::string& text) {
        RegSetKeyValueA(HKEY_CURRENT_USER, kPath, name, REG_SZ, text.c_str(),
                        static_cast<DWORD>(text.size() + 1));
    }
    void Store(const char* name, DWORD value) {
        RegSetKeyValueA(HKEY_CURRENT_USER, kPath, name, REG_DWORD, &value, sizeof value);
    }
    std::string StoredText(const char* name) {
        char text[512] = {};
        DWORD size = sizeof text;
        if (RegGetValueA(HKEY_CURRENT_USER, kPath, name, RRF_RT_REG_SZ, nullptr, text, &size) !=
            ERROR_SUCCESS)
            return "<missing>";
        return text;
    }
    long StoredNumber(const char* name) {
        DWORD value = 0, size = sizeof value;
        if (RegGetValueA(HKEY_CURRENT_USER, kPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
            ERROR_SUCCESS)
            return -100;
        return static_cast<long>(value);
    }
    bool Checked(const CSelectDlg& page, int id) {
        return SendDlgItemMessageA(page.hwnd(), id, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    HWND host = nullptr;
};

} // namespace

TEST(VersionCaption, SpacesGoAndCommasBecomeDots) {
    EXPECT_EQ(CaptionForVersion("1.2.1"), "Vistrel 1.2.1");
    EXPECT_EQ(CaptionForVersion("1, 2, 1, 0"), "Vistrel 1.2.1.0");
    EXPECT_EQ(CaptionForVersion(" 2 ,0 "), "Vistrel 2.0");
    // This test program carries the program's version resource.
    EXPECT_EQ(OwnProductVersion(), "1.2.1");
}

TEST(DialogPicture, LoadsSizesAndRendersAPicture) {
    e2e::TempFolder folder;
    std::string path = WriteFile(folder, "red.bmp", SolidBmp(10, 8, 255, 0, 0));
    DialogPicture picture;
    EXPECT_FALSE(picture.RenderAt(nullptr, 0, 0, 0, 0)) << "an empty picture draws nothing";
    ASSERT_TRUE(picture.LoadFromFile(path, nullptr));
    Canvas canvas(40, 30);
    SIZE size = picture.SizeInPixels(canvas.dc());
    EXPECT_EQ(size.cx, 10);
    EXPECT_EQ(size.cy, 8);
    SIZE screenSize = picture.SizeInPixels(nullptr);
    EXPECT_EQ(screenSize.cx, 10);
    EXPECT_EQ(screenSize.cy, 8);

    // All zero: at (0, 0) in its own size.
    ASSERT_TRUE(picture.RenderAt(canvas.dc(), 0, 0, 0, 0));
    EXPECT_EQ(canvas.at(0, 0), 0xFF0000u);
    EXPECT_EQ(canvas.at(9, 7), 0xFF0000u);
    EXPECT_EQ(canvas.at(10, 8), 0xFFFFFFu);
    // Anywhere else, stretched to the rectangle, the right way up.
    ASSERT_TRUE(picture.RenderAt(canvas.dc(), 20, 10, 40, 26));
    EXPECT_EQ(canvas.at(20, 10), 0xFF0000u);
    EXPECT_EQ(canvas.at(39, 25), 0xFF0000u);
    EXPECT_EQ(canvas.at(19, 10), 0xFFFFFFu);
}

TEST(DialogPicture, CentresOnItsPlaceholderOnceAndHidesIt) {
    e2e::TempFolder folder;
    DialogPicture picture;
    ASSERT_TRUE(picture.LoadFromFile(WriteFile(folder, "blue.bmp", SolidBmp(10, 8, 0, 0, 255)), nullptr));
    HWND parent =
        CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    HWND placeholder = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 100, 50, 41, 31, parent,
                                       nullptr, nullptr, nullptr);
    Canvas canvas(300, 200);
    ASSERT_TRUE(picture.DrawInPlaceOf(canvas.dc(), placeholder));
    RECT expected = {115, 61, 125, 69};
    EXPECT_TRUE(EqualRect(&picture.placement(), &expected))
        << picture.placement().left << "," << picture.placement().top << " " << picture.placement().right
        << "," << picture.placement().bottom;
    EXPECT_FALSE(IsWindowVisible(placeholder));
    EXPECT_EQ(canvas.at(115, 61), 0x0000FFu);
    EXPECT_EQ(canvas.at(124, 68), 0x0000FFu);
    EXPECT_EQ(canvas.at(114, 61), 0xFFFFFFu);

    // The placement stays, even when the placeholder moves or a new picture comes.
    MoveWindow(placeholder, 0, 0, 41, 31, FALSE);
    ASSERT_TRUE(picture.LoadFromFile(WriteFile(folder, "green.bmp", SolidBmp(4, 4, 0, 255, 0)), nullptr));
    ASSERT_TRUE(picture.DrawInPlaceOf(canvas.dc(), placeholder));
    EXPECT_TRUE(EqualRect(&picture.placement(), &expected));
    EXPECT_EQ(canvas.at(120, 65), 0x00FF00u);
    DestroyWindow(parent);
}

TEST(DialogPicture, MissingFileIsReportedAndNoPictureIsSilent) {
    e2e::TempFolder folder;
    DialogPicture picture;
    std::string missing = folder.path() + "\\img\\STEP9.GIF";
    auto box = std::async(std::launch::async, [] {
        auto seen = e2e::WaitMessageBox(GetCurrentProcessId(), "Error opening file: ", 5000);
        if (seen)
            e2e::CloseMessageBox(seen->window);
        return seen;
    });
    EXPECT_FALSE(picture.LoadFromFile(missing, nullptr));
    auto seen = box.get();
    ASSERT_TRUE(seen) << "no box for a missing file";
    EXPECT_EQ(seen->caption, "Error opening file: " + missing);
    EXPECT_FALSE(seen->text.empty());
    EXPECT_TRUE(picture.empty());

    // A file that opens but holds no picture: no box, no picture.
    std::string junk = WriteFile(folder, "junk.gif", std::string(100, 'j'));
    auto noBox = std::async(std::launch::async,
                            [] { return e2e::WaitMessageBox(GetCurrentProcessId(), "Error", 1000); });
    EXPECT_FALSE(picture.LoadFromFile(junk, nullptr));
    auto unexpected = noBox.get();
    if (unexpected)
        e2e::CloseMessageBox(unexpected->window);
    EXPECT_FALSE(unexpected) << "a box for a file that is merely no picture";
    EXPECT_TRUE(picture.empty());
}

TEST_F(PageTest, EveryPageComesFromItsTemplateWithItsName) {
    SettingsStore store(kProduct);
    struct Expect {
        UINT templateId;
        const char* name;
    };
    const std::vector<Expect> what = {{IDD_FULLSCREEN, "Capture the whole screen"},
                                      {IDD_ACTIVE_WINDOW, "Capture the active window"},
                                      {IDD_AREA, "Capture selected area"},
                                      {IDD_CONTROL, "Capture a button or a menu or a window pane or ..."}};
    const std::vector<Expect> how = {
        {IDD_ON_KEY, "Capture after pressing a key"},
        {IDD_IMMEDIATE, "Capture immediately after clicking on the \"Capture\" button"},
        {IDD_ON_TIMER, "Capture after a number of seconds"}};
    const std::vector<Expect> to = {{IDD_BITMAP, "Save result as bitmap"},
                                    {IDD_CLIPBOARD, "Save result to clipboard"},
                                    {IDD_ANIMATED_GIF, "Save result as animated GIF"},
                                    {IDD_GIF, "Save result as GIF"},
                                    {IDD_JPG, "Save result as JPEG"},
                                    {IDD_PNG, "Save result as PNG"}};
    auto check = [&](auto pages, const std::vector<Expect>& expected, const char* lastSelection) {
        ASSERT_EQ(pages.size(), expected.size());
        for (size_t i = 0; i < pages.size(); ++i) {
            auto& page = *pages[i];
            EXPECT_EQ(page.templateId(), expected[i].templateId);
            EXPECT_EQ(page.displayName(), expected[i].name);
            ASSERT_TRUE(page.Create(host)) << "template " << expected[i].templateId;
            EXPECT_EQ(GetParent(page.hwnd()), host);
            EXPECT_FALSE(IsWindowVisible(page.hwnd())) << "pages start hidden";
            // Building the executor names the page as its list's last selection
            // (a file page only once it has a file name).
            if (HWND name = GetDlgItem(page.hwnd(), IDC_FILE_NAME)) {
                SetWindowTextA(name, "shot.img");
                ASSERT_TRUE(page.UpdateData(true));
            }
            if constexpr (std::is_base_of_v<CWhatSelectDlg, std::decay_t<decltype(page)>>)
                page.CreateExecute(0);
            else
                page.CreateExecute();
            EXPECT_EQ(StoredText(lastSelection), expected[i].name);
        }
    };
    check(MakeWhatPages(store), what, "lastWhatSelection");
    check(MakeHowPages(store), how, "lastHowSelection");
    check(MakeToPages(store), to, "lastToSelection");
}

TEST_F(PageTest, OwnValuesComeBackOnlyForTheExactLastSelection) {
    Store("clientCapture", 1);
    Store("scroll", 1);
    Store("lastWhatSelection", "Capture the active window");
    {
        SettingsStore store(kProduct);
        CActiveWindowDlg active(store);
        CControlDlg control(store);
        ASSERT_TRUE(active.Create(host));
        ASSERT_TRUE(control.Create(host));
        EXPECT_TRUE(Checked(active, IDC_CLIENT_CAPTURE)) << "the last selection restores its values";
        EXPECT_FALSE(Checked(control, IDC_SCROLL)) << "another page keeps its defaults";

        // The page that was not the last selection overwrites the stored value with its own.
        control.CreateExecute(0);
        EXPECT_EQ(StoredNumber("scroll"), 0);
        EXPECT_EQ(StoredText("lastWhatSelection"), "Capture a button or a menu or a window pane or ...");
    }
    for (const char* almost :
         {"capture the active window", "Capture the active window ", "Capture the active"}) {
        Store("lastWhatSelection", almost);
        SettingsStore store(kProduct);
        CActiveWindowDlg active(store);
        ASSERT_TRUE(active.Create(host));
        EXPECT_FALSE(Checked(active, IDC_CLIENT_CAPTURE)) << "restored for \"" << almost << '"';
    }
}

TEST_F(PageTest, CapturingWritesTheValuesFromTheControls) {
    SettingsStore store(kProduct);
    CActiveWindowDlg active(store);
    ASSERT_TRUE(active.Create(host));
    SendDlgItemMessageA(active.hwnd(), IDC_CLIENT_CAPTURE, BM_SETCHECK, BST_CHECKED, 0);
    ASSERT_TRUE(active.UpdateData(true));
    EXPECT_NE(active.CreateExecute(1), nullptr);
    EXPECT_EQ(StoredNumber("clientCapture"), 1);
    EXPECT_EQ(StoredText("lastWhatSelection"), "Capture the active window");
}

TEST_F(PageTest, FilePagesNeedAFileNameAndGetBackOnlyTheirOwn) {
    {
        SettingsStore store(kProduct);
        auto pages = MakeToPages(store);
        for (auto& page : pages)
            ASSERT_TRUE(page->Create(host));
        // Pages: bitmap, clipboard, animated GIF, GIF, JPEG, PNG. No name, no output, nothing stored.
        CToSelectDlg& jpeg = *pages[4];
        EXPECT_EQ(jpeg.CreateExecute(), nullptr);
        EXPECT_EQ(StoredText("fileName"), "<missing>");
        EXPECT_EQ(StoredText("lastToSelection"), "<missing>");

        SetDlgItemTextA(jpeg.hwnd(), IDC_FILE_NAME, "C:\\shots\\test.jpg");
        ASSERT_TRUE(jpeg.UpdateData(true));
        jpeg.CreateExecute();
        EXPECT_EQ(StoredText("fileName"), "C:\\shots\\test.jpg");
        EXPECT_EQ(StoredText("lastToSelection"), "Save result as JPEG");

        CToSelectDlg& animated = *pages[2];
        SetDlgItemTextA(animated.hwnd(), IDC_FILE_NAME, "anim.gif");
        SetDlgItemTextA(animated.hwnd(), IDC_DELAY, "25");
        ASSERT_TRUE(animated.UpdateData(true));
        animated.CreateExecute();
        EXPECT_EQ(StoredNumber("delay"), 25);
        Store("lastToSelection", "Save result as JPEG");
    }
    // The stored name goes back only into the page that wrote it.
    SettingsStore store(kProduct);
    auto pages = MakeToPages(store);
    for (auto& page : pages)
        ASSERT_TRUE(page->Create(host));
    char text[64] = {};
    GetDlgItemTextA(pages[4]->hwnd(), IDC_FILE_NAME, text, sizeof text);
    EXPECT_STREQ(text, "anim.gif") << "the JPEG page is the last selection";
    GetDlgItemTextA(pages[5]->hwnd(), IDC_FILE_NAME, text, sizeof text);
    EXPECT_STREQ(text, "") << "the PNG page starts empty";
    GetDlgItemTextA(pages[2]->hwnd(), IDC_DELAY, text, sizeof text);
    EXPECT_STREQ(text, "100") << "the animated GIF page keeps its default delay";
}
