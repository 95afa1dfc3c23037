// The file outputs' stores: numbered names, the rename collision, and the
// formats on disk.

#include "output/FileExecute.h"
#include "settings/SettingsStore.h"
#include "tests/common/Files.h"
#include "win/FileError.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

BitmapHolder MakeCapture(COLORREF colour) {
    HDC screen = GetDC(nullptr);
    BitmapHolder bitmap(CreateCompatibleBitmap(screen, 64, 48));
    win::OwnedDC memory(CreateCompatibleDC(screen));
    ReleaseDC(nullptr, screen);
    win::SelectionRestore selected(memory.get(), bitmap.get());
    win::GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    RECT all{0, 0, 64, 48};
    FillRect(memory.get(), &all, brush.get());
    return bitmap;
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

TEST_F(FileOutputTest, FailedRenameIsReportedButTheCaptureIsKept) {
    // Left over from an earlier session.
    FILE* f = std::fopen((dir + "\\shot0001.png").c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("older", f);
    std::fclose(f);

    CPngExecute output(settings, dir + "\\shot.png");
    BitmapHolder first = MakeCapture(RGB(0, 0, 255));
    EXPECT_TRUE(output.Store(first));
    BitmapHolder second = MakeCapture(RGB(0, 255, 0));
    EXPECT_THROW(output.Store(second), win::FileError);
    EXPECT_EQ(output.storedCount(), 2);
    EXPECT_TRUE(Exists(dir + "\\shot.png")) << "the first capture must stay";
    EXPECT_EQ(ReadFileBytes(dir + "\\shot0001.png").size(), 5u) << "an existing file was overwritten";
    const std::vector<unsigned char> kept = ReadFileBytes(dir + "\\shot0002.png");
    ASSERT_GT(kept.size(), 8u) << "second capture lost";
    EXPECT_EQ(kept[1], 'P');

    // The session goes on.
    BitmapHolder third = MakeCapture(RGB(255, 0, 0));
    EXPECT_TRUE(output.Store(third));
    EXPECT_TRUE(Exists(dir + "\\shot0003.png"));
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

// A drive with no room for the capture: full_disk.sh maps a 64 KiB tmpfs as a
// drive and names a folder on it in VISTREL_FULL_DISK.
TEST(FullDisk, NothingIsStoredNothingIsLeftAndTheSessionGoesOn) {
    const char* full = std::getenv("VISTREL_FULL_DISK");
    if (!full)
        GTEST_SKIP() << "needs a full drive; run through full_disk.sh";
    SettingsStore settings{"VistrelTest"};
    BitmapHolder capture = MakeNoise(512, 512);
    const char* names[4] = {"shot.bmp", "shot.jpg", "shot.png", "shot.gif"};
    for (int kind = 0; kind < 4; ++kind) {
        const std::string name = std::string(full) + "\\" + names[kind];
        std::unique_ptr<CFileExecute> output = MakeFileOutput(kind, settings, name);
        EXPECT_FALSE(output->Store(capture)) << name << " reported as stored on a full disk";
        EXPECT_FALSE(Exists(name)) << "a partial " << name << " was left behind";
        // The second capture finds no first file to rename and says so; the
        // third fails quietly like the first: the session goes on.
        EXPECT_THROW(output->Store(capture), win::FileError) << name;
        EXPECT_EQ(output->storedCount(), 2);
        EXPECT_FALSE(output->Store(capture)) << name;
        EXPECT_EQ(output->storedCount(), 3);
        EXPECT_FALSE(Exists(std::string(full) + "\\shot0003" + (names[kind] + 4))) << "partial file left";
    }
    // Nothing was left to fill the drive: a small capture still fits.
    BitmapHolder small = MakeCapture(RGB(10, 20, 30));
    CBitmapExecute after(settings, std::string(full) + "\\small.bmp");
    EXPECT_TRUE(after.Store(small));
    const std::vector<unsigned char> bmp = ReadFileBytes(std::string(full) + "\\small.bmp");
    ASSERT_GT(bmp.size(), 54u);
    const size_t declared = bmp[2] | bmp[3] << 8 | bmp[4] << 16 | static_cast<size_t>(bmp[5]) << 24;
    EXPECT_EQ(bmp.size(), declared) << "the small capture was cut short";
}

} // namespace
