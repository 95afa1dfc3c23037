// The Result preview's picture control playing a long animation: animations
// of 10, 100 and 1000 full-HD frames (a desktop with a pointer moving across
// it) are loaded and played for a few seconds each; prints the process's
// private memory and GDI objects after Load and at their most while
// playing. Flat in the frame count is the goal. Run on demand through
// tools/bench/preview_bench.sh; prints "<frames> <load MB> <play MB> <GDI>".

#include "image/DibImageGif.h"
#include "image/SafeFile.h"
#include "picture/AnimatedPicture.h"
#include "tests/common/Messages.h"
#include "tools/bench/BenchPictures.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace vistrel;

namespace {

double PrivateMegabytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PagefileUsage) / (1024.0 * 1024.0);
}

bool WriteAnimation(const std::string& path, int frames) {
    CDibImage desktop(FormatBmp);
    bench::MakeDesktop(desktop, true);
    desktop.SetFrameDelay(1);
    desktop.SetGifCompression(GifLzw);
    CSafeFileStream file(path);
    CDibImageGif writer;
    for (int k = 0; k < frames; ++k) {
        // A small block moves across: every frame differs from the last.
        const int32_t x = (16 * k) % (bench::kWidth - 16), y = (8 * k) % (bench::kHeight - 16);
        std::vector<uint8_t> saved;
        for (int32_t row = 0; row < 16; ++row) {
            uint8_t* p = desktop.Row(bench::kHeight - 1 - (y + row)) + x;
            saved.insert(saved.end(), p, p + 16);
            std::fill(p, p + 16, uint8_t(255));
        }
        if (!writer.AddAnimationFrame(&file, desktop, false))
            return false;
        for (int32_t row = 0; row < 16; ++row)
            std::copy(saved.begin() + 16 * row, saved.begin() + 16 * (row + 1),
                      desktop.Row(bench::kHeight - 1 - (y + row)) + x);
    }
    return writer.EndAnimation(&file) && file.Commit();
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    const DWORD playMs = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) : 5000;
    CoInitialize(nullptr);
    HWND frame =
        CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    HWND control = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, frame, nullptr,
                                   nullptr, nullptr);
    std::printf("%8s %10s %10s %6s   (private MB before: %.1f)\n", "frames", "load MB", "play MB", "GDI",
                PrivateMegabytes());
    for (int frames : {10, 100, 1000}) {
        const std::string path = folder + "\\preview" + std::to_string(frames) + ".gif";
        if (!WriteAnimation(path, frames)) {
            std::fprintf(stderr, "previewbench: cannot write %s\n", path.c_str());
            return 1;
        }
        double loaded = 0, most = 0;
        DWORD gdi = 0;
        {
            CAnimatedPicture picture;
            picture.Attach(control);
            if (!picture.Load(path.c_str())) {
                std::fprintf(stderr, "previewbench: cannot load %s\n", path.c_str());
                return 1;
            }
            loaded = PrivateMegabytes();
            picture.Draw();
            const DWORD start = GetTickCount();
            while (GetTickCount() - start < playMs) {
                PumpFor(100);
                most = std::max(most, PrivateMegabytes());
                gdi = std::max(gdi, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
            }
        }
        DeleteFileA(path.c_str());
        std::printf("%8d %10.1f %10.1f %6lu\n", frames, loaded, most, static_cast<unsigned long>(gdi));
        std::fflush(stdout);
    }
    DestroyWindow(frame);
    CoUninitialize();
    return 0;
}
