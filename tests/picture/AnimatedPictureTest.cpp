// The animated picture control in a window of its own: frames seen on the
// screen in order and with their delays, disposal to the button face, still
// pictures without a thread, and a destroyed window ending the thread.

#include "picture/AnimatedPicture.h"

#include "image/ByteStream.h"
#include "image/DibImageGif.h"
#include "tests/e2e/VsrDriver.h"
#include "tests/common/Messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

using namespace vistrel;

namespace {

constexpr uint32_t kColours[] = {0xFF0000, 0x00FF00, 0x0000FF};

// An 8-bit image of one palette colour.
std::unique_ptr<CDibImage> Solid(int width, int height, int index, int delay) {
    const DWORD row = (width + 3) & ~3;
    std::vector<uint8_t> dib(sizeof(BITMAPINFOHEADER) + 256 * 4 + row * height, static_cast<uint8_t>(index));
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
    *header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, 8, BI_RGB, 0, 0, 0, 256, 0};
    auto* table = reinterpret_cast<RGBQUAD*>(header + 1);
    for (int i = 0; i < 256; ++i)
        table[i] = RGBQUAD{static_cast<BYTE>(i < 3 ? kColours[i] : 0),
                           static_cast<BYTE>(i < 3 ? kColours[i] >> 8 : 0),
                           static_cast<BYTE>(i < 3 ? kColours[i] >> 16 : 0), 0};
    auto image = std::make_unique<CDibImage>(FormatBmp);
    EXPECT_TRUE(image->ImportPackedDib(dib.data(), dib.size()));
    image->SetFrameDelay(delay);
    image->SetGifCompression(GifLzw);
    return image;
}

// A true-colour image of one colour, for JPEG.
std::unique_ptr<CDibImage> SolidRgb(int width, int height, uint32_t rgb) {
    const DWORD row = (width * 3 + 3) & ~3;
    std::vector<uint8_t> dib(sizeof(BITMAPINFOHEADER) + row * height);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
    *header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k)
                dib[sizeof(BITMAPINFOHEADER) + y * row + x * 3 + k] = static_cast<uint8_t>(rgb >> (8 * k));
    auto image = std::make_unique<CDibImage>(FormatBmp);
    EXPECT_TRUE(image->ImportPackedDib(dib.data(), dib.size()));
    return image;
}

std::string WriteGif(const char* name, std::vector<std::unique_ptr<CDibImage>> images, int disposal = 0) {
    std::vector<CDibImage*> pointers;
    for (auto& image : images)
        pointers.push_back(image.get());
    CDibImageGif writer;
    writer.SetDisposalMethod(disposal);
    CMemoryStream out;
    EXPECT_TRUE(writer.EncodeMultipage(&out, pointers.data(), static_cast<int>(pointers.size()), false));
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(out.Data().data(), 1, out.Data().size(), f);
    std::fclose(f);
    return path;
}

// A topmost window holding the control at its top-left corner.
struct Host {
    Host() {
        CoInitialize(nullptr);
        frame = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE, 100, 100, 200, 150,
                                nullptr, nullptr, nullptr, nullptr);
        control = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 0, 0, 10, 10, frame,
                                  nullptr, nullptr, nullptr);
        picture.Attach(control);
        PumpFor(200);
    }
    ~Host() {
        if (IsWindow(frame))
            DestroyWindow(frame);
        CoUninitialize();
    }
    uint32_t Pixel(int x, int y) const {
        POINT p{x, y};
        ClientToScreen(control, &p);
        HDC screen = GetDC(nullptr);
        const COLORREF c = GetPixel(screen, p.x, p.y);
        ReleaseDC(nullptr, screen);
        return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }
    HWND frame, control;
    CAnimatedPicture picture;
};

} // namespace

TEST(AnimatedPicture, ThreeFramesPlayInOrderWithTheirDelays) {
    std::vector<std::unique_ptr<CDibImage>> images;
    const int delays[] = {10, 3, 50};
    for (int i = 0; i < 3; ++i)
        images.push_back(Solid(40, 30, i, delays[i]));
    const std::string path = WriteGif("vistrel_anim3.gif", std::move(images));
    Host host;
    ASSERT_TRUE(host.picture.Load(path.c_str()));
    EXPECT_TRUE(host.picture.IsAnimated());
    EXPECT_EQ(host.picture.FrameCount(), 3);
    EXPECT_EQ(host.picture.PictureSize().cx, 40);
    EXPECT_EQ(host.picture.PictureSize().cy, 30);
    EXPECT_FALSE(host.picture.Draw()) << "an animation is started, not drawn";

    // Colour changes of the control's centre on the screen, with their times.
    std::vector<std::pair<uint32_t, DWORD>> seen;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 3000) {
        PumpFor(0);
        const uint32_t c = host.Pixel(20, 15);
        if (seen.empty() || seen.back().first != c)
            seen.emplace_back(c, GetTickCount());
    }
    EXPECT_TRUE(host.picture.IsPlaying());
    // From the first red on: red, green, blue, red... and nothing else.
    size_t first = 0;
    while (first < seen.size() && seen[first].first != kColours[0])
        ++first;
    ASSERT_GE(seen.size(), first + 5) << "fewer than five frames were seen in 3 s";
    for (size_t i = first; i < seen.size(); ++i)
        ASSERT_EQ(seen[i].first, kColours[(i - first) % 3]) << "change " << i - first;
    // Generous bounds: the machine is loaded. 3 hundredths play as 100 ms.
    const DWORD red = seen[first + 1].second - seen[first].second;
    const DWORD green = seen[first + 2].second - seen[first + 1].second;
    const DWORD blue = seen[first + 3].second - seen[first + 2].second;
    EXPECT_GE(red, 60u);
    EXPECT_LE(red, 600u);
    EXPECT_GE(green, 60u) << "a delay of 3 plays as 100 ms";
    EXPECT_LE(green, 600u);
    EXPECT_GE(blue, 400u);
    EXPECT_LE(blue, 1500u);
    DeleteFileA(path.c_str());
}

TEST(AnimatedPicture, DisposalTwoLeavesTheButtonFace) {
    std::vector<std::unique_ptr<CDibImage>> images;
    images.push_back(Solid(40, 30, 0, 10));
    images.push_back(Solid(10, 10, 2, 100));
    images.back()->SetOffset(5, 5);
    const std::string path = WriteGif("vistrel_dispose.gif", std::move(images), 2);
    Host host;
    ASSERT_TRUE(host.picture.Load(path.c_str()));
    host.picture.Draw();
    const uint32_t face = e2e::ScreenColour(COLOR_BTNFACE);
    bool redSeen = false;
    const DWORD start = GetTickCount();
    // While the small blue frame shows, the red one has been cleared around it.
    while (!(redSeen && host.Pixel(10, 10) == kColours[2]) && GetTickCount() - start < 5000) {
        PumpFor(10);
        redSeen = redSeen || host.Pixel(30, 20) == kColours[0];
    }
    ASSERT_TRUE(redSeen) << "the first frame never showed";
    ASSERT_EQ(host.Pixel(10, 10), kColours[2]) << "the second frame never showed";
    EXPECT_EQ(host.Pixel(30, 20), face);
    DeleteFileA(path.c_str());
}

TEST(AnimatedPicture, StillPicturesAreDrawnWithoutAThread) {
    std::vector<std::unique_ptr<CDibImage>> one;
    one.push_back(Solid(24, 16, 2, 10));
    std::vector<std::string> paths = {WriteGif("vistrel_still.gif", std::move(one))};
    for (uint32_t format : {FormatPng, FormatJpeg}) {
        auto image = format == FormatPng ? Solid(24, 16, 2, 0) : SolidRgb(24, 16, kColours[2]);
        char folder[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        paths.push_back(std::string(folder) +
                        (format == FormatPng ? "vistrel_still.png" : "vistrel_still.jpg"));
        ASSERT_TRUE(image->SaveToFile(paths.back().c_str(), format)) << image->LastError();
    }
    for (const std::string& path : paths) {
        Host host;
        ASSERT_TRUE(host.picture.Load(path.c_str())) << path;
        EXPECT_FALSE(host.picture.IsAnimated()) << path;
        EXPECT_EQ(host.picture.FrameCount(), 0) << path;
        EXPECT_EQ(host.picture.PictureSize().cx, 24) << path;
        EXPECT_EQ(host.picture.PictureSize().cy, 16) << path;
        EXPECT_TRUE(host.picture.Draw()) << path;
        PumpFor(300);
        EXPECT_FALSE(host.picture.IsPlaying()) << path;
        const uint32_t c = host.Pixel(12, 8);
        EXPECT_LT(c & 0xFFFF00, 0x202000u) << path << " shows " << std::hex << c;
        EXPECT_GT(c & 0xFF, 0xD0u) << path << " shows " << std::hex << c;
        DeleteFileA(path.c_str());
    }
    Host empty;
    EXPECT_FALSE(empty.picture.Load("Z:\\no\\such\\file.gif"));
    EXPECT_FALSE(empty.picture.Draw());
}

TEST(AnimatedPicture, DestroyingTheWindowDuringALongDelayEndsTheThreadAtOnce) {
    std::vector<std::unique_ptr<CDibImage>> images;
    images.push_back(Solid(20, 20, 0, 3000));
    images.push_back(Solid(20, 20, 1, 3000));
    const std::string path = WriteGif("vistrel_long.gif", std::move(images));
    Host host;
    ASSERT_TRUE(host.picture.Load(path.c_str()));
    host.picture.Draw();
    ASSERT_TRUE(e2e::WaitFor([&] { return host.picture.IsPlaying(); }, 3000)) << "the thread did not start";
    PumpFor(300);
    const DWORD start = GetTickCount();
    DestroyWindow(host.frame);
    const DWORD took = GetTickCount() - start;
    EXPECT_FALSE(host.picture.IsPlaying());
    EXPECT_LT(took, 2500u) << "the thread waited out its 30 s delay or the 5 s limit";
    DeleteFileA(path.c_str());
}

// A long animation is decoded frame by frame as it plays, never more than a
// few at once; the paint rectangle chooses the part of the canvas shown.
TEST(AnimatedPicture, FramesAreDecodedAsShownAndThePaintRectChoosesThePart) {
    std::vector<std::unique_ptr<CDibImage>> images;
    for (int i = 0; i < 12; ++i) {
        images.push_back(Solid(80, 30, i % 3, 1));
        // The right half of every frame is blue.
        for (int y = 0; y < 30; ++y)
            std::memset(images.back()->Row(y) + 40, 2, 40);
    }
    const std::string path = WriteGif("vistrel_anim12.gif", std::move(images));
    Host host;
    ASSERT_TRUE(host.picture.Load(path.c_str()));
    EXPECT_EQ(host.picture.FrameCount(), 12);
    EXPECT_EQ(host.picture.DecodedFrames(), 1) << "only the first frame is decoded by Load";
    host.picture.Draw();
    int most = 0;
    std::vector<uint32_t> colours;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 2000) {
        PumpFor(20);
        most = std::max(most, host.picture.DecodedFrames());
        const uint32_t c = host.Pixel(10, 15);
        if (colours.empty() || colours.back() != c)
            colours.push_back(c);
    }
    EXPECT_GE(colours.size(), 6u) << "the animation did not play through its frames";
    EXPECT_LE(most, CAnimatedPicture::kDecodedFrames);
    EXPECT_GE(most, 2);
    EXPECT_EQ(host.Pixel(50, 15), kColours[2]);
    host.picture.SetPaintRect(RECT{40, 0, 80, 30});
    PumpFor(300);
    EXPECT_EQ(host.Pixel(10, 15), kColours[2]) << "the right half is shown at the left";
    host.picture.Stop();
    DeleteFileA(path.c_str());
}
